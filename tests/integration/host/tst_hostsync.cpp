// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// brindle-host as scripts and CI run it: a separate process with the real plugin, configured
// with --add-repository and run with --sync against the sample GitLab server in this process.

#include "gitlabserver.h"
#include "testcertificates.h"

#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(GitLab::Fault)

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
    QProcessEnvironment m_environment;

    HostRun runHost(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(m_environment);
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

    // "NAME=URL" with "$SERVER" standing for the sample server's address.
    QStringList addRepositories(const QStringList &repositories) const
    {
        QStringList arguments;
        for (QString repository : repositories)
            arguments << "--add-repository"
                      << repository.replace("$SERVER", m_server.baseUrl().toString());
        return arguments;
    }

    // The repositories with a check date, and those with at least one installed example.
    QStringList checkedRepositories()
    {
        QSettings settings(m_home->filePath("settings/QtProject/QtCreator.ini"),
                           QSettings::IniFormat);
        QStringList names;
        for (const QString &item : settings.value("Brindle/UpdatesCheckedDate").toStringList())
            names.append(item.section('|', 0, 0));
        names.sort();
        return names;
    }
    QStringList installedRepositories() const
    {
        QStringList names;
        QDir data(m_home->filePath("data/palvexos-sdk-5.0"));
        for (const QString &name : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            QDir repository(data.filePath(name));
            const QStringList examples = repository.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            if (std::any_of(examples.cbegin(), examples.cend(), [&](const QString &example) {
                    return QFileInfo::exists(
                        repository.filePath(example + "/examples-manifest.xml"));
                })) {
                names.append(name);
            }
        }
        return names;
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
        m_environment.clear();
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

    // The plugins speak the language the host chose, as they do in Qt Creator: -language
    // first, then "General/OverrideLanguage", then the system's.
    void pluginSpeaksTheLanguageOfTheCommandLine()
    {
        const QStringList add{"--add-repository",
                              "examples=" + m_server.baseUrl().toString() + "/palvexos/examples"};
        const HostRun german = runHost(QStringList{"-language", "de", "--sync"} + add);
        QVERIFY2(german.exitCode == 0, qPrintable(german.err));
        QVERIFY2(german.err.contains("Beispiele werden gesucht"), qPrintable(german.err));

        QSettings(m_home->filePath("settings/QtProject/QtCreator.ini"), QSettings::IniFormat)
            .setValue("General/OverrideLanguage", "ru");
        const HostRun english = runHost({"-language", "en", "--sync"});
        QVERIFY2(english.exitCode == 0, qPrintable(english.err));
        QVERIFY2(english.err.contains("Searching examples"), qPrintable(english.err));
    }

    // Ends once every repository is installed or has given up for this round, well before
    // the time limit, and tells on stderr what went on.
    void syncEndsWhenEveryRepositoryIsDone_data()
    {
        QTest::addColumn<QStringList>("repositories");
        QTest::addColumn<QString>("faultPath");
        QTest::addColumn<GitLab::Fault>("fault");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("stderrHas");
        QTest::addColumn<int>("intervalDays");
        QTest::addColumn<int>("exitCode"); // 4: a repository or an example failed

        const QStringList both{"examples=$SERVER/palvexos/examples", "demos=$SERVER/palvexos/demos"};
        GitLab::Fault slow;
        slow.kind = GitLab::Fault::Delay;
        slow.delayMs = 3000;
        // clang-format off
        QTest::newRow("group search answers after 3 s")
            << both << "^/api/v4/groups$" << slow << QStringList{"demos", "examples"}
            << QStringList{"brindle-host: Searching examples ($SERVER/palvexos/demos)",
                           "brindle-host: Load examples: started",
                           "brindle-host: Load examples: finished, 4 of 4",
                           "brindle-host: Unpacking example: Compass"} << 1 << 0;
        QTest::newRow("group not on the server")
            << QStringList{both.first(), "gone=$SERVER/palvexos/gone"} << QString() << GitLab::Fault()
            << QStringList{"examples"}
            << QStringList{"The group palvexos/gone was not found on 127.0.0.1. A private group "
                           "needs an access token: set one with \"Access token...\" on the "
                           "options page. ($SERVER/palvexos/gone)",
                           "\nbrindle-host: gone: the group palvexos/gone was not found; a private "
                           "group needs an access token\n"} << 1 << 4;
        QTest::newRow("listing fails")
            << both << "^/api/v4/groups/\\d+$" << GitLab::Fault::status500() << QStringList()
            << QStringList{"Internal Server Error ($SERVER/palvexos/demos)",
                           "Internal Server Error ($SERVER/palvexos/examples)",
                           "\nbrindle-host: demos: HTTP 500 Internal Server Error\n"
                           "brindle-host: examples: HTTP 500 Internal Server Error\n"} << 1 << 4;
        QTest::newRow("server refuses connections")
            << QStringList{"down=http://127.0.0.1:1/palvexos/demos", both.last()} << QString()
            << GitLab::Fault() << QStringList{"demos"}
            << QStringList{"Connection refused (http://127.0.0.1:1/palvexos/demos)",
                           "\nbrindle-host: down: Connection refused\n"} << 1 << 4;
        QTest::newRow("automatic updates off") << both << QString() << GitLab::Fault()
            << QStringList() << QStringList{"Fetch examples ($SERVER/palvexos/demos)"} << 0 << 0;
        QTest::newRow("no repository") << QStringList() << QString() << GitLab::Fault()
            << QStringList() << QStringList() << 1 << 0;
        // clang-format on
    }
    void syncEndsWhenEveryRepositoryIsDone()
    {
        QFETCH(QStringList, repositories);
        QFETCH(QString, faultPath);
        QFETCH(GitLab::Fault, fault);
        QFETCH(QStringList, installed);
        QFETCH(QStringList, stderrHas);
        QFETCH(int, intervalDays);
        if (!faultPath.isEmpty())
            m_server.addFault(faultPath, fault);
        if (intervalDays != 1) {
            QSettings(m_home->filePath("settings/QtProject/QtCreator.ini"), QSettings::IniFormat)
                .setValue("Brindle/UpdatesCheckTimeoutDays", intervalDays);
        }

        const HostRun run = runHost(addRepositories(repositories)
                                    + QStringList{"--sync", "--timeout", "100"});
        QTEST(run.exitCode, "exitCode");
        QCOMPARE(installedRepositories(), installed);
        QCOMPARE(checkedRepositories(), installed);
        QVERIFY2(run.out.contains(QRegularExpression(
                     "(\\n\\d+ examples? in \\d+ sets?|^No example sets are configured\\.)\\n")),
                 qPrintable(run.out));
        for (QString line : stderrHas) {
            line.replace("$SERVER", m_server.baseUrl().toString());
            QVERIFY2(run.err.contains(line), qPrintable(line + " not in:\n" + run.err));
        }
    }

    // A script tells success from failure by the exit code alone: 0 only when everything
    // tried was installed, 4 when something failed, with one line per failure at the end.
    void syncExitCodeTellsWhetherEverythingWasInstalled_data()
    {
        QTest::addColumn<QString>("faultPath");
        QTest::addColumn<GitLab::Fault>("fault");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("lastLine");

        GitLab::Fault silent;
        silent.kind = GitLab::Fault::NeverAnswer;
        // clang-format off
        QTest::newRow("all good") << QString() << GitLab::Fault() << 0 << QString();
        QTest::newRow("server never answers") << "^/api/v4/groups$" << silent << 4
            << "brindle-host: examples: the server did not answer within 2 s";
        QTest::newRow("one damaged archive") << "/repository/archive"
            << GitLab::Fault::damagedArchive(GitLab::ArchiveDamage::FlippedByte) << 4
            << "the archive is damaged: its CRC-32 does not match";
        // clang-format on
    }
    void syncExitCodeTellsWhetherEverythingWasInstalled()
    {
        QFETCH(QString, faultPath);
        QFETCH(GitLab::Fault, fault);
        QFETCH(int, exitCode);
        QFETCH(QString, lastLine);
        if (!faultPath.isEmpty()) {
            fault.times = 1; // one example only, or the lookup
            m_server.addFault(faultPath, fault);
        }
        m_environment.insert("BRINDLE_TRANSFER_TIMEOUT_MS", "2000");

        const HostRun run = runHost(addRepositories({"examples=$SERVER/palvexos/examples"})
                                    + QStringList{"--sync"});
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.err.trimmed().endsWith(lastLine) || lastLine.isEmpty(),
                 qPrintable(run.err.right(1000)));
        if (!lastLine.isEmpty())
            QVERIFY2(run.err.contains("brindle-host: Failed:\n"), qPrintable(run.err));
        // The others are installed all the same.
        if (faultPath.contains("archive"))
            QCOMPARE(installedRepositories(), QStringList{"examples"});
    }

    void syncGivesUpWithTheReason_data()
    {
        QTest::addColumn<QString>("faultPath");
        QTest::addColumn<QString>("reason");
        // clang-format off
        QTest::newRow("download hangs") << "/repository/archive"
            << "progress entries still running (";
        QTest::newRow("group search hangs") << "^/api/v4/groups$"
            << "Brindle.DownloadService is still busy, last status: Searching examples";
        // clang-format on
    }
    void syncGivesUpWithTheReason()
    {
        QFETCH(QString, faultPath);
        QFETCH(QString, reason);
        GitLab::Fault hang;
        hang.kind = GitLab::Fault::NeverAnswer;
        m_server.addFault(faultPath, hang);
        const HostRun run = runHost(addBoth() + QStringList{"--sync", "--timeout", "4"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.contains("brindle-host: --sync gave up at its time limit of 4 s (--timeout): ")
                && run.err.contains(reason),
            qPrintable(run.err.right(500)));
        QVERIFY2(!run.out.contains("TITLE"), qPrintable(run.out));
    }

    void syncSaysWhatIsWrongWithTheCertificate_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("failure");
        QTest::newRow("trusted") << "good" << 0 << "";
        QTest::newRow("expired") << "expired" << 4 << "the server's certificate has expired";
        QTest::newRow("wrong host name")
            << "wronghost" << 4 << "the server's certificate is made out to another host name";
    }
    void syncSaysWhatIsWrongWithTheCertificate()
    {
        QFETCH(QString, certificate);
        QFETCH(int, exitCode);
        QFETCH(QString, failure);

        // The samples over HTTPS, with a certificate of an authority given in SSL_CERT_FILE
        const QString folder = m_home->filePath("certificates");
        TestCertificates::Authority authority(folder, "Test CA");
        QVERIFY(authority.isValid());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const bool expired = certificate == "expired";
        const TestCertificates::ServerCertificate files = authority.issue(
            certificate,
            certificate == "wronghost" ? "DNS:gitlab.example.com" : "IP:127.0.0.1",
            TestCertificates::certificateDate(now.addDays(expired ? -60 : -1)),
            TestCertificates::certificateDate(now.addDays(expired ? -30 : 30)));
        QVERIFY(!files.certificate.isEmpty());
        GitLab::Server server;
        QString error;
        QVERIFY2(server.setTls(files.certificate, files.key, &error), qPrintable(error));
        QVERIFY2(server.loadSamples(BRINDLE_SOURCE_DIR "/samples", &error), qPrintable(error));
        QVERIFY(server.listen());
        m_environment.insert("SSL_CERT_FILE", authority.certificatePath());

        const HostRun run = runHost({"--add-repository",
                                     "examples=" + server.baseUrl().toString()
                                         + "/palvexos/examples",
                                     "--sync"});
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err.right(1000)));
        if (failure.isEmpty()) {
            QCOMPARE(installedRepositories(), QStringList{"examples"});
            return;
        }
        const QString line = "brindle-host: Failed:\nbrindle-host: examples: " + failure + '\n';
        QVERIFY2(run.err.contains(line), qPrintable(run.err.right(1000)));
        QCOMPARE(server.requests().size(), 0);
        QCOMPARE(installedRepositories(), QStringList());
    }
};

QTEST_GUILESS_MAIN(tst_HostSync)

#include "tst_hostsync.moc"
