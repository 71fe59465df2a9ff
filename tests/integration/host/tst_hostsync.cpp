// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// brindle-host as scripts and CI run it: a separate process with the real plugin, configured
// with --add-repository and run with --sync against the sample GitLab server in this process.

#include "gitlabserver.h"

#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

struct HostRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

class tst_HostSync : public QObject
{
    Q_OBJECT

    GitLab::Server m_server;
    std::optional<QTemporaryDir> m_home;

    HostRun runHost(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_home->filePath("data"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(HOST_EXECUTABLE,
                      QStringList{"-settingspath", m_home->filePath("settings")} + arguments);
        // The server answers from this process' event loop, so wait by spinning it.
        QSignalSpy finished(&process, &QProcess::finished);
        if (!finished.wait(150000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QStringList addBoth() const
    {
        return QString("--add-repository examples=%1/palvexos/examples --add-repository "
                       "demos=%1/palvexos/demos")
            .arg(m_server.baseUrl().toString())
            .split(' ');
    }

    int requestCount(const QString &pathPart) const
    {
        const QList<GitLab::RecordedRequest> requests = m_server.requests();
        return int(std::count_if(requests.cbegin(), requests.cend(), [&](const auto &request) {
            return request.path.contains(pathPart);
        }));
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.loadSamples(BRINDLE_SOURCE_DIR "/samples", &error), qPrintable(error));
        QVERIFY(m_server.listen());
    }
    void init()
    {
        m_home.emplace();
        m_server.clearRequests();
        m_server.clearFaults();
    }

    void syncInstallsTheSamplesAndASecondRunDownloadsNothing()
    {
        const HostRun first = runHost(addBoth() << "--sync");
        QVERIFY2(first.exitCode == 0, qPrintable(first.err));
        int samples = 0;
        for (const QString &repository : {"examples", "demos"}) {
            const QDir group(BRINDLE_SOURCE_DIR "/samples/palvexos/" + repository);
            for (const QString &folder : group.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile project(group.filePath(folder + "/project.json"));
                if (!project.open(QIODevice::ReadOnly))
                    continue; // a subgroup
                ++samples;
                const QString title = QJsonDocument::fromJson(project.readAll())["name"].toString();
                const QRegularExpression row('^' + repository + "\\s{2,}"
                                                 + QRegularExpression::escape(title) + "\\s{2,}"
                                                 + folder + "/\\S+",
                                             QRegularExpression::MultilineOption);
                QVERIFY2(row.match(first.out).hasMatch(),
                         qPrintable(title + " not listed:\n" + first.out));
                QVERIFY(
                    QFileInfo::exists(m_home->filePath("data/palvexos-sdk-5.0/" + repository + '/'
                                                       + folder + "/examples-manifest.xml")));
            }
        }
        QVERIFY2(samples >= 5
                     && first.out.contains(QString("\n%1 examples in 2 sets\n").arg(samples)),
                 qPrintable(first.out));
        QCOMPARE(requestCount("/repository/archive"), samples);

        // Within the interval both groups are looked at and nothing is downloaded.
        m_server.clearRequests();
        const HostRun second = runHost({"--sync"});
        QVERIFY2(second.exitCode == 0, qPrintable(second.err));
        QCOMPARE(second.out, first.out);
        QCOMPARE(requestCount("/api/v4/groups"), 4);
        QCOMPARE(requestCount("/repository/archive"), 0);
    }

    void syncGivesUpWithTheReasonWhileADownloadHangs()
    {
        GitLab::Fault hang;
        hang.kind = GitLab::Fault::NeverAnswer;
        m_server.addFault("/repository/archive", hang);
        const HostRun run = runHost(addBoth() + QStringList{"--sync", "--timeout", "4"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("--sync gave up after 4 s") && run.err.contains("progress"),
                 qPrintable(run.err));
        QVERIFY2(!run.out.contains("TITLE"), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(tst_HostSync)

#include "tst_hostsync.moc"
