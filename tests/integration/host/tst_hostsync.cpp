// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The host application as scripts and CI use it: a separate brindle-host process with the real
// plugin, configured with --add-repository and run with --sync against the sample GitLab
// server in this process.

#include "gitlabserver.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

namespace {

const int PROCESS_LIMIT_MS = 150000;

struct SampleProject
{
    QString repository; // the name the test configures for the sample's group
    QString path;
    QString title;
};

struct HostRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

QList<SampleProject> sampleProjects(const QString &repository, const QString &groupPath)
{
    QList<SampleProject> projects;
    const QDir group(QString(BRINDLE_SOURCE_DIR) + "/samples/" + groupPath);
    const QStringList folders = group.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &folder : folders) {
        QFile metadata(group.filePath(folder + "/project.json"));
        if (!metadata.open(QIODevice::ReadOnly))
            continue; // a subgroup
        const QJsonObject object = QJsonDocument::fromJson(metadata.readAll()).object();
        projects.append({repository, folder, object.value("name").toString()});
    }
    return projects;
}

QString manifestTitle(const QString &manifestFile)
{
    QFile file(manifestFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader reader(&file);
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("example"))
            return reader.attributes().value("name").toString();
        if (reader.name() != QLatin1String("instructionals")
            && reader.name() != QLatin1String("examples")) {
            reader.skipCurrentElement();
        }
    }
    return {};
}

int countRequests(const QList<GitLab::RecordedRequest> &requests, const QString &pathPart)
{
    return int(std::count_if(requests.cbegin(), requests.cend(), [&](const auto &request) {
        return request.path.contains(pathPart);
    }));
}

} // namespace

class tst_HostSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void syncInstallsTheSamplesAndASecondRunDownloadsNothing();
    void syncGivesUpWithTheReasonWhileADownloadHangs();
    void unusableRepositoryArgumentStopsBeforeAnythingRuns();
    void screenshotsShowTheWelcomePageTheOptionsAndTheDialogItOpens();

private:
    HostRun runHost(const QStringList &arguments);
    QStringList configureBoth() const;
    QString dataDir(const QString &repository) const;

    GitLab::Server m_server;
    QList<SampleProject> m_samples;
    std::unique_ptr<QTemporaryDir> m_home;
};

void tst_HostSync::initTestCase()
{
    QVERIFY2(QFileInfo(BRINDLE_HOST_EXECUTABLE).isExecutable(), BRINDLE_HOST_EXECUTABLE);
    QString error;
    QVERIFY2(m_server.loadSamples(QString(BRINDLE_SOURCE_DIR) + "/samples", &error),
             qPrintable(error));
    QVERIFY(m_server.listen());
    m_samples = sampleProjects("examples", "palvexos/examples")
                + sampleProjects("demos", "palvexos/demos");
    QVERIFY2(m_samples.size() >= 5, "the samples hold at least five examples");
}

void tst_HostSync::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    m_server.clearRequests();
}

void tst_HostSync::cleanup()
{
    m_server.clearFaults();
}

HostRun tst_HostSync::runHost(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", m_home->filePath("data"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("QT_LOGGING_RULES");

    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(BRINDLE_HOST_EXECUTABLE,
                  QStringList{"-settingspath", m_home->filePath("settings")} + arguments);
    // The server answers from this process' event loop, so wait by spinning it.
    QSignalSpy finished(&process, &QProcess::finished);
    if (!finished.wait(PROCESS_LIMIT_MS)) {
        process.kill();
        process.waitForFinished();
    }
    HostRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList tst_HostSync::configureBoth() const
{
    const QString base = m_server.baseUrl().toString();
    return {"--add-repository",
            "examples=" + base + "/palvexos/examples",
            "--add-repository",
            "demos=" + base + "/palvexos/demos"};
}

QString tst_HostSync::dataDir(const QString &repository) const
{
    return m_home->filePath("data/palvexos-sdk-5.0/" + repository);
}

void tst_HostSync::syncInstallsTheSamplesAndASecondRunDownloadsNothing()
{
    const HostRun first = runHost(configureBoth() + QStringList{"--sync", "--timeout", "100"});
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));

    for (const SampleProject &sample : std::as_const(m_samples)) {
        const QRegularExpression row("^" + sample.repository + "\\s{2,}"
                                         + QRegularExpression::escape(sample.title) + "\\s{2,}"
                                         + QRegularExpression::escape(sample.path) + "/\\S+",
                                     QRegularExpression::MultilineOption);
        QVERIFY2(row.match(first.out).hasMatch(),
                 qPrintable(sample.title + " is not listed:\n" + first.out));
        const QString manifest
            = dataDir(sample.repository) + '/' + sample.path + "/examples-manifest.xml";
        QCOMPARE(manifestTitle(manifest), sample.title);
    }
    QVERIFY2(first.out.contains(QString("%1 examples in 2 sets").arg(m_samples.size())),
             qPrintable(first.out));
    const QList<GitLab::RecordedRequest> firstRequests = m_server.requests();
    QCOMPARE(countRequests(firstRequests, "/repository/archive"), int(m_samples.size()));

    m_server.clearRequests();
    const HostRun second = runHost({"--sync", "--timeout", "100"});
    QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    QCOMPARE(second.out, first.out);
    const QList<GitLab::RecordedRequest> secondRequests = m_server.requests();
    // The plugin did look at both groups, and found nothing due.
    QCOMPARE(countRequests(secondRequests, "/api/v4/groups"), 4);
    QCOMPARE(countRequests(secondRequests, "/repository/archive"), 0);
}

void tst_HostSync::syncGivesUpWithTheReasonWhileADownloadHangs()
{
    GitLab::Fault hang;
    hang.kind = GitLab::Fault::NeverAnswer;
    m_server.addFault("/repository/archive", hang);

    const HostRun run = runHost(configureBoth() + QStringList{"--sync", "--timeout", "4"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("--sync gave up after 4 s"), qPrintable(run.err));
    QVERIFY2(run.err.contains("progress"), qPrintable(run.err));
    QVERIFY2(!run.out.contains("TITLE"), qPrintable(run.out));
}

void tst_HostSync::unusableRepositoryArgumentStopsBeforeAnythingRuns()
{
    const QString url = m_server.baseUrl().toString() + "/palvexos/examples";
    const HostRun run = runHost({"--add-repository", "../escape=" + url, "--sync"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("../escape"), qPrintable(run.err));
    QVERIFY(m_server.requests().isEmpty());
    QVERIFY(!QFileInfo::exists(m_home->filePath("data/palvexos-sdk-5.0/escape")));
    QVERIFY(!QFileInfo::exists(m_home->filePath("data/escape")));
}

void tst_HostSync::screenshotsShowTheWelcomePageTheOptionsAndTheDialogItOpens()
{
    const QString welcome = m_home->filePath("welcome.png");
    const HostRun sync = runHost(configureBoth() + QStringList{"--sync", "--screenshot", welcome});
    QVERIFY2(sync.exitCode == 0, qPrintable(sync.err));
    const QImage welcomeImage(welcome);
    QVERIFY(!welcomeImage.isNull());

    const QString options = m_home->filePath("options.png");
    const HostRun optionsRun = runHost({"--options", "--screenshot", options});
    QVERIFY2(optionsRun.exitCode == 0, qPrintable(optionsRun.err));
    const QImage optionsImage(options);
    QVERIFY(!optionsImage.isNull());
    QVERIFY(optionsImage.size() != welcomeImage.size());

    // Add... needs the example list, which the plugin has once --sync is through.
    const QString dialog = m_home->filePath("dialog.png");
    const HostRun dialogRun = runHost({"--sync",
                                       "--options",
                                       "--select",
                                       "repositoryComboBox=examples",
                                       "--click",
                                       "addButton",
                                       "--screenshot",
                                       dialog});
    QVERIFY2(dialogRun.exitCode == 0, qPrintable(dialogRun.err));
    const QImage dialogImage(dialog);
    QVERIFY(!dialogImage.isNull());
    QVERIFY(dialogImage.size() != optionsImage.size());

    const HostRun missing = runHost(
        {"--options", "--click", "noSuchButton", "--screenshot", m_home->filePath("none.png")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY2(missing.err.contains("noSuchButton"), qPrintable(missing.err));
    QVERIFY(!QFileInfo::exists(m_home->filePath("none.png")));
}

QTEST_GUILESS_MAIN(tst_HostSync)

#include "tst_hostsync.moc"
