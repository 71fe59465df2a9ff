// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// brindle-host --check-repository as a maintainer's CI runs it: a separate process with the
// real plugin, against a group of this process' GitLab server that holds one project for each
// thing the check must find.

#include "gitlabserver.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

struct CheckRun
{
    int exitCode = -1;
    QString out;
    QString err;
    QJsonObject report;
};

class tst_HostCheck : public QObject
{
    Q_OBJECT

    GitLab::Server m_server;
    QTemporaryDir m_home;

    QString path(const QString &relative) const { return m_home.filePath(relative); }

    CheckRun runCheck(const QString &group, const QStringList &extraArguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", path("home"));
        environment.insert("XDG_DATA_HOME", path("data"));
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("TMPDIR", path("tmp"));
        QFile::remove(path("report.json"));
        QProcess process;
        process.setProcessEnvironment(environment);
        // A settings path as the user's own: the check must leave it alone.
        const QStringList arguments{"-settingspath",
                                    path("settings"),
                                    "--check-repository",
                                    m_server.baseUrl().toString() + '/' + group,
                                    "--json",
                                    path("report.json")};
        process.start(HOST_EXECUTABLE, arguments + extraArguments);
        // The server answers from this process' event loop, so wait by spinning it.
        QSignalSpy finished(&process, &QProcess::finished);
        if (!finished.wait(240000)) {
            process.kill();
            process.waitForFinished();
        }
        CheckRun run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                     process.readAllStandardOutput(),
                     process.readAllStandardError(),
                     {}};
        QFile report(path("report.json"));
        if (report.open(QIODevice::ReadOnly))
            run.report = QJsonDocument::fromJson(report.readAll()).object();
        return run;
    }

    // Every file below the user's folders with its content's hash.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (const char *folder : {"home", "data", "config", "settings"}) {
            QDirIterator it(path(folder),
                            QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                QFile content(file);
                QByteArray hash = "dir";
                if (it.fileInfo().isFile() && content.open(QIODevice::ReadOnly))
                    hash = QCryptographicHash::hash(content.readAll(), QCryptographicHash::Sha1);
                files.insert(file, hash);
            }
        }
        return files;
    }

    // An answer of the server, asked for while this process' event loop serves it.
    QByteArray get(const QString &path)
    {
        QNetworkAccessManager manager;
        QNetworkReply *reply
            = manager.get(QNetworkRequest(QUrl(m_server.baseUrl().toString() + path)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!finished.wait(30000))
            return {};
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return body;
    }

    static QStringList kindsOf(const QJsonObject &project)
    {
        QStringList kinds;
        for (const QJsonValue &finding : project.value("findings").toArray())
            kinds.append(finding.toObject().value("kind").toString());
        kinds.sort();
        return kinds;
    }

    static QJsonObject projectNamed(const QJsonObject &report, const QString &name)
    {
        for (const QJsonValue &project : report.value("projects").toArray()) {
            if (project.toObject().value("name").toString() == name)
                return project.toObject();
        }
        return {};
    }

    qint64 addProject(const QString &path,
                      const QMap<QString, QByteArray> &files,
                      const std::optional<QString> &description = QString("An example"),
                      const QByteArray &avatar = {})
    {
        GitLab::Project project;
        project.path = path;
        project.name = "Title of " + path;
        project.description = description;
        project.topics = {"qml", "check"};
        project.lastActivity = QDateTime::currentDateTimeUtc();
        project.files = files;
        project.avatar = avatar;
        if (!avatar.isEmpty())
            project.avatarFileName = "avatar.png";
        return m_server.addProject("maint/examples", project);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.loadSamples(BRINDLE_SOURCE_DIR "/samples", &error), qPrintable(error));
        for (const char *folder : {"home",
                                   "data/palvexos-sdk-5.0/examples/kept",
                                   "config",
                                   "tmp",
                                   "settings/QtProject"}) {
            QVERIFY(QDir().mkpath(path(folder)));
        }
        QFile ini(path("settings/QtProject/QtCreator.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Brindle]\nRepositories=examples|http://127.0.0.1:1/palvexos/examples|\n");
        ini.close();
        QFile kept(path("data/palvexos-sdk-5.0/examples/kept/CMakeLists.txt"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("project(kept)\n");
        kept.close();

        // The group, a subgroup that the search returns first, and a look-alike that does too.
        const qint64 groupId = m_server.addGroup("maint/examples", "Examples");
        m_server.addGroup("maint/examples/legacy", "Aardvark legacy");
        m_server.addGroup("maint/examples-old", "Archive of examples");

        const QByteArray cmake = "project(example)\n";
        const QMap<QString, QByteArray> good{{"CMakeLists.txt", cmake},
                                             {"main.cpp", "int main() {}\n"},
                                             {"icons/128x128/icon.png", "png"}};
        QVERIFY(addProject("good", good) > 0);
        QVERIFY(addProject("no-description", good, std::nullopt) > 0);
        QVERIFY(addProject("no-image", {{"CMakeLists.txt", cmake}}) > 0);
        QVERIFY(addProject("Case-Twin", good) > 0);
        // GitLab keeps project paths unique regardless of case within a group; a server that
        // does not is made up below from a twin in another group.
        GitLab::Project twin;
        twin.path = "case-twin";
        twin.name = "Title of case-twin";
        twin.description = QString("An example");
        twin.files = good;
        QVERIFY(m_server.addProject("maint/twins", twin) > 0);
        QVERIFY(addProject("huge-avatar", good, QString("An example"), QByteArray(1536 * 1024, 'x'))
                > 0);
        QVERIFY(addProject(".hidden", good) > 0);
        QVERIFY(addProject("no-project", {{"README.md", "# no project\n"}}) > 0);
        QVERIFY(addProject("empty", {}) > 0);
        const qint64 damaged = addProject("damaged", good);
        QVERIFY(damaged > 0);
        QString deep;
        for (int i = 0; i < 6; ++i)
            deep += QString(200, QChar('d')) + '/';
        QVERIFY(addProject("deep-path", {{"CMakeLists.txt", cmake}, {deep + "file.txt", "x"}}) > 0);
        // A member that would land outside the example's folder.
        GitLab::Project escape;
        escape.path = "escape";
        escape.name = "Title of escape";
        escape.description = QString("An example");
        escape.files = good;
        escape.archiveOverride = GitLab::makeTarGz({{"escape-main-1/", {}, '5', {}, 0755},
                                                    {"escape-main-1/CMakeLists.txt", cmake},
                                                    {"escape-main-1/../../outside.txt", "x"}});
        QVERIFY(m_server.addProject("maint/examples", escape) > 0);
        const qint64 largeUnpacked = addProject("large-unpacked", good);
        const qint64 overLimit = addProject("over-limit", good);
        QVERIFY(largeUnpacked > 0 && overLimit > 0);
        QByteArray noise(17 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(27);
        generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QVERIFY(addProject("large-archive", {{"CMakeLists.txt", cmake}, {"noise.bin", noise}}) > 0);

        const auto archiveOf = [](qint64 id) {
            return QString("^/api/v4/projects/%1/repository/archive").arg(id);
        };
        m_server.addFault(archiveOf(damaged),
                          GitLab::Fault::damagedArchive(GitLab::ArchiveDamage::Truncated));
        // 5 x 16 MiB installs; 65 x 16 MiB is beyond the 1 GiB the plugin unpacks at most.
        m_server.addFault(archiveOf(largeUnpacked), GitLab::Fault::rewrittenZeros(5));
        m_server.addFault(archiveOf(overLimit), GitLab::Fault::rewrittenZeros(65));
        QVERIFY(m_server.listen());

        QJsonObject detail
            = QJsonDocument::fromJson(get(QString("/api/v4/groups/%1").arg(groupId))).object();
        QJsonArray projects = detail.value("projects").toArray();
        const QJsonObject twinObject
            = QJsonDocument::fromJson(get("/api/v4/projects/maint%2Ftwins%2Fcase-twin")).object();
        QVERIFY(!projects.isEmpty() && twinObject.contains("id"));
        projects.append(twinObject);
        detail.insert("projects", projects);
        GitLab::Fault listing;
        listing.status = 200;
        listing.body = QJsonDocument(detail).toJson(QJsonDocument::Compact);
        listing.headers = {{"Content-Type", "application/json"}};
        m_server.addFault(QString("^/api/v4/groups/%1$").arg(groupId), listing);
    }

    // Each error and warning on the project it concerns, and on no other; what the IDE will
    // show of those that install; the user's files untouched and nothing left behind.
    void reportsEachFindingOnItsOwnProject()
    {
        const QMap<QString, QByteArray> before = snapshot();
        const CheckRun run = runCheck("maint/examples");
        QVERIFY2(run.exitCode == 2, qPrintable(run.err + run.out));

        const QMap<QString, QStringList> expected{
            {"good", {}},
            {"no-description", {"no-description"}},
            {"no-image", {"no-image"}},
            {"Case-Twin", {"names-differ-in-case"}},
            {"case-twin", {"names-differ-in-case"}},
            {"huge-avatar", {"huge-avatar"}},
            {".hidden", {"unsafe-name"}},
            {"no-project", {"no-project-file"}},
            {"empty", {"download-failed"}},
            {"damaged", {"damaged-archive"}},
            {"deep-path", {"path-too-long"}},
            {"escape", {"unsafe-archive"}},
            {"large-unpacked", {"large-unpacked", "no-project-file"}},
            {"over-limit", {"size-limit"}},
            {"large-archive", {"large-archive", "no-image"}},
        };
        QCOMPARE(run.report.value("projects").toArray().size(), expected.size());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QJsonObject project = projectNamed(run.report, it.key());
            QVERIFY2(!project.isEmpty(), qPrintable(it.key() + " not reported:\n" + run.out));
            QVERIFY2(kindsOf(project) == it.value(),
                     qPrintable(it.key() + ": " + kindsOf(project).join(", ") + "\n" + run.out));
            const QRegularExpression line('^' + QRegularExpression::escape(it.key()) + ": \""
                                              + QRegularExpression::escape("Title of " + it.key())
                                              + "\" \\| ",
                                          QRegularExpression::MultilineOption);
            QVERIFY2(line.match(run.out).hasMatch(), qPrintable(it.key() + '\n' + run.out));
        }

        // The look-alike is named, the group's own subgroup is not.
        const QJsonArray groupFindings = run.report.value("findings").toArray();
        QCOMPARE(groupFindings.size(), 1);
        const QJsonObject lookAlike = groupFindings.first().toObject();
        QCOMPARE(lookAlike.value("kind").toString(), QString("look-alike-groups"));
        QVERIFY(lookAlike.value("message").toString().contains("maint/examples-old"));
        QVERIFY(!lookAlike.value("message").toString().contains("legacy"));

        // What the Welcome screen will show of the clean one.
        const QJsonObject good = projectNamed(run.report, "good");
        QCOMPARE(good.value("imageSource").toString(), QString("icons"));
        QCOMPARE(good.value("image").toString(), QString("icons/128x128/icon.png"));
        QCOMPARE(good.value("projectFile").toString(), QString("CMakeLists.txt"));
        QCOMPARE(good.value("fileToOpen").toString(), QString("main.cpp"));
        QVERIFY(good.value("archiveBytes").toDouble() > 0);
        QVERIFY(good.value("unpackedBytes").toDouble() > 0);
        QCOMPARE(projectNamed(run.report, "no-image").value("imageSource").toString(),
                 QString("default"));
        QVERIFY2(run.out.contains("\n15 projects: 1 clean, 6 with warnings, 8 with errors; "),
                 qPrintable(run.out));

        QCOMPARE(snapshot(), before);
        QCOMPARE(
            QDir(path("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    // A check that runs out of time reports what is unfinished as errors, and still leaves
    // nothing behind, though a download hangs.
    void timeLimitEndsTheCheckWithErrors()
    {
        GitLab::Fault hang;
        hang.kind = GitLab::Fault::NeverAnswer;
        hang.times = 1; // the one archive of the group
        m_server.addFault("/repository/archive", hang);
        const CheckRun run = runCheck("palvexos/demos", {"--timeout", "3"});
        QVERIFY2(run.exitCode == 2, qPrintable(run.err + run.out));
        QVERIFY2(run.err.contains("The check did not finish within 3 s"), qPrintable(run.err));
        QCOMPARE(kindsOf(projectNamed(run.report, "compass")), QStringList{"not-finished"});
        QCOMPARE(
            QDir(path("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    // A command line the check cannot run with is refused before anything is done.
    void wrongCommandLinesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString group = m_server.baseUrl().toString() + "/palvexos/demos";
        QTest::newRow("not http") << QStringList{"--check-repository", "file:///etc/passwd"}
                                  << "needs the http or https address of a GitLab group";
        QTest::newRow("no group") << QStringList{"--check-repository",
                                                 m_server.baseUrl().toString()}
                                  << "needs the http or https address of a GitLab group";
        QTest::newRow("with --sync")
            << QStringList{"--check-repository", group, "--sync"} << "goes with neither --sync";
        QTest::newRow("with --add-repository")
            << QStringList{"--check-repository", group, "--add-repository", "demos=" + group}
            << "goes with neither --sync, --add-repository";
        QTest::newRow("--json alone")
            << QStringList{"--json", path("report.json")} << "--json needs --check-repository";
    }
    void wrongCommandLinesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QMap<QString, QByteArray> before = snapshot();
        m_server.clearRequests();
        QProcess process;
        process.start(HOST_EXECUTABLE, QStringList{"-settingspath", path("settings")} + arguments);
        QVERIFY(process.waitForFinished(60000));
        const QString err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 2);
        QVERIFY2(err.contains(message), qPrintable(err));
        QCOMPARE(m_server.requests().size(), 0);
        QCOMPARE(snapshot(), before);
    }

    void exitCodeTellsTheWorstFinding_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("clean") << "palvexos/demos" << 0;
        QTest::newRow("warnings only") << "palvexos/examples" << 1;
        QTest::newRow("no such group") << "palvexos/nothing" << 3;
    }
    void exitCodeTellsTheWorstFinding()
    {
        QFETCH(QString, group);
        QFETCH(int, exitCode);
        const QMap<QString, QByteArray> before = snapshot();
        const CheckRun run = runCheck(group);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err + run.out));
        QCOMPARE(run.report.value("reachable").toBool(), exitCode != 3);
        QCOMPARE(snapshot(), before);
        QCOMPARE(
            QDir(path("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
};

QTEST_GUILESS_MAIN(tst_HostCheck)
#include "tst_hostcheck.moc"
