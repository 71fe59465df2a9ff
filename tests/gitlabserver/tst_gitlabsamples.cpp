// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httptestclient.h"

#include <gitlabserver.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace TestClient;

namespace {

const QString SamplesDir = QStringLiteral(BRINDLE_SOURCE_DIR "/samples");

bool writeFile(const QString &fileName, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QMap<QString, QByteArray> untar(const QByteArray &archive, QString *topDirectory)
{
    QMap<QString, QByteArray> files;
    QTemporaryDir dir;
    QProcess tar;
    tar.start("tar", {"-xzf", "-", "-C", dir.path()});
    if (!tar.waitForStarted(Timeout))
        return files;
    tar.write(archive);
    tar.closeWriteChannel();
    if (!tar.waitForFinished(Timeout) || tar.exitCode() != 0)
        return files;
    const QStringList top
        = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (top.size() != 1)
        return files;
    *topDirectory = top.first();
    const QString root = dir.path() + '/' + top.first();
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(root).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

const char ValidProject[] = R"({"name": "Fine", "description": null,
                                "last_activity_at": "2025-01-01T00:00:00.000Z"})";

} // namespace

class tst_GitLabSamples final : public QObject
{
    Q_OBJECT

private slots:
    void bundledSamplesHaveWhatTheDemoNeeds();
    void bundledSampleArchivesHoldBuildableProjects();
    void sampleTreeFormatIsHonoured();
    void brokenSampleTreesAreRefusedWhole_data();
    void brokenSampleTreesAreRefusedWhole();

    void executablePrintsUrlServesAndStopsOnSignals_data();
    void executablePrintsUrlServesAndStopsOnSignals();
    void executableFailsCleanlyOnBadSetup();

private:
    QJsonObject groupDetail(GitLab::Server &server, const QString &path);

    QNetworkAccessManager m_manager;
};

QJsonObject tst_GitLabSamples::groupDetail(GitLab::Server &server, const QString &path)
{
    return get(m_manager,
               QUrl(server.baseUrl().toString() + "/api/v4/groups/"
                    + QString::fromLatin1(QUrl::toPercentEncoding(path))))
        .json()
        .object();
}

void tst_GitLabSamples::bundledSamplesHaveWhatTheDemoNeeds()
{
    GitLab::Server server;
    QString error;
    QVERIFY2(server.loadSamples(SamplesDir, &error), qPrintable(error));
    QVERIFY(server.listen());

    const Reply search = get(
        m_manager,
        QUrl(server.baseUrl().toString() + "/api/v4/groups?search=%22palvexos%2Fexamples%22"));
    const QJsonArray found = search.json().array();
    QVERIFY(found.size() > 1);
    QVERIFY(found.at(0)["full_path"].toString() != "palvexos/examples");
    bool wantedSeen = false;
    for (const QJsonValue &group : found)
        wantedSeen = wantedSeen || group["full_path"].toString() == "palvexos/examples";
    QVERIFY(wantedSeen);

    const QJsonObject examples = groupDetail(server, "palvexos/examples");
    QCOMPARE(examples["name"].toString(), "Examples");
    QCOMPARE(examples["full_name"].toString(), "Palvex OS / Examples");
    const QJsonObject demos = groupDetail(server, "palvexos/demos");
    QCOMPARE(demos["full_name"].toString(), "Palvex OS / Demos");

    QJsonArray projects = examples["projects"].toArray();
    for (const QJsonValue &project : demos["projects"].toArray())
        projects.append(project);
    QVERIFY(projects.size() >= 5);
    int withAvatar = 0;
    QSet<QString> descriptionKinds;
    for (const QJsonValue &project : projects) {
        const QJsonValue description = project["description"];
        descriptionKinds.insert(description.isNull()               ? "null"
                                : description.toString().isEmpty() ? "empty"
                                                                   : "text");
        if (project["avatar_url"].isNull())
            continue;
        ++withAvatar;
        const Reply avatar = get(m_manager, QUrl(project["avatar_url"].toString()));
        QCOMPARE(avatar.status, 200);
        QCOMPARE(avatar.header("Content-Type"), "image/png");
        QVERIFY(avatar.body.startsWith("\x89PNG\r\n\x1a\n"));
    }
    QVERIFY(withAvatar >= 1);
    QCOMPARE(descriptionKinds, (QSet<QString>{"null", "empty", "text"}));
}

void tst_GitLabSamples::bundledSampleArchivesHoldBuildableProjects()
{
    GitLab::Server server;
    QVERIFY(server.loadSamples(SamplesDir));
    QVERIFY(server.listen());

    QJsonArray projects;
    for (const QString &group :
         {"palvexos/examples", "palvexos/demos", "palvexos/examples/legacy"}) {
        for (const QJsonValue &project : groupDetail(server, group)["projects"].toArray())
            projects.append(project);
    }
    QVERIFY(projects.size() >= 6);

    bool qmlWindow = false;
    bool console = false;
    bool qmake = false;
    bool iconsWithoutAvatar = false;
    for (const QJsonValue &project : projects) {
        const qint64 id = project["id"].toInteger();
        const QByteArray archive = server.archiveOf(id);
        QVERIFY(!archive.isEmpty());
        QVERIFY2(archive.size() < 64 * 1024, qPrintable(project["path"].toString()));
        QString top;
        const QMap<QString, QByteArray> files = untar(archive, &top);
        QVERIFY2(!files.isEmpty(), qPrintable(project["path"].toString()));
        QVERIFY(QRegularExpression("^" + project["path"].toString() + "-main-[0-9a-f]{40}$")
                    .match(top)
                    .hasMatch());

        const bool cmake = files.contains("CMakeLists.txt");
        QVERIFY(cmake || std::any_of(files.keyBegin(), files.keyEnd(), [](const QString &f) {
                    return f.endsWith(".pro");
                }));
        if (cmake && files.value("qml/main.qml").contains("ApplicationWindow"))
            qmlWindow = true;
        if (cmake && !files.contains("qml/main.qml") && files.value("main.cpp").contains("main("))
            console = true;
        if (!cmake)
            qmake = true;
        const bool icons = std::any_of(files.keyBegin(), files.keyEnd(), [](const QString &f) {
            return f.startsWith("icons/128x128/") && f.endsWith(".png");
        });
        if (icons && project["avatar_url"].isNull())
            iconsWithoutAvatar = true;
    }
    QVERIFY(qmlWindow);
    QVERIFY(console);
    QVERIFY(qmake);
    QVERIFY(iconsWithoutAvatar);
}

void tst_GitLabSamples::sampleTreeFormatIsHonoured()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(writeFile(root + "/team/group.json", R"({"name": "The Team", "description": "We"})"));
    QVERIFY(writeFile(root + "/team/tools/hammer/project.json",
                      R"({"name": "Hammer", "description": "Hits things",
                          "topics": ["b", "a"], "ref": "develop",
                          "last_activity_at": "2025-03-04T05:06:07+02:00",
                          "avatar": "icon.png"})"));
    QVERIFY(writeFile(root + "/team/tools/hammer/icon.png", "\x89PNG fake"));
    QVERIFY(writeFile(root + "/team/tools/hammer/files/.gitignore", "build/\n"));
    QVERIFY(writeFile(root + "/team/tools/hammer/files/src/hammer.cpp", "// hammer\n"));
    QVERIFY(writeFile(root + "/team/tools/empty/project.json", ValidProject));
    QVERIFY(writeFile(root + "/team/tools/private/project.json",
                      R"({"name": "Private", "public": false,
                          "last_activity_at": "2025-01-01T00:00:00Z"})"));
    QVERIFY(writeFile(root + "/team/tools/private/files/a.txt", "a"));
    QVERIFY(writeFile(root + "/team/closed/group.json", R"({"name": "Closed", "public": false})"));
    QVERIFY(writeFile(root + "/team/closed/inside/project.json", ValidProject));

    GitLab::Server server;
    QString error;
    QVERIFY2(server.loadSamples(root, &error), qPrintable(error));
    QVERIFY(server.listen());

    const QJsonObject team = groupDetail(server, "team");
    QCOMPARE(team["name"].toString(), "The Team");
    QCOMPARE(team["description"].toString(), "We");
    const QJsonObject tools = groupDetail(server, "team/tools");
    QCOMPARE(tools["name"].toString(), "tools");
    QCOMPARE(tools["full_name"].toString(), "The Team / tools");
    QCOMPARE(groupDetail(server, "team/closed")["message"].toString(), "404 Group Not Found");

    const QJsonArray projects = tools["projects"].toArray();
    QCOMPARE(projects.size(), 2);
    // Newest id first; ids follow folder names.
    const QJsonObject hammer = projects.at(0).toObject();
    QCOMPARE(hammer["name"].toString(), "Hammer");
    QCOMPARE(hammer["default_branch"].toString(), "develop");
    QCOMPARE(hammer["last_activity_at"].toString(), "2025-03-04T03:06:07.000Z");
    QCOMPARE(hammer["tag_list"].toArray(), (QJsonArray{"a", "b"}));
    QVERIFY(hammer["avatar_url"].toString().endsWith("/icon.png"));
    QString top;
    const QMap<QString, QByteArray> files = untar(server.archiveOf(hammer["id"].toInteger()), &top);
    QCOMPARE(files.keys(), (QStringList{".gitignore", "src/hammer.cpp"}));
    QVERIFY(top.startsWith("hammer-develop-"));

    const QJsonObject empty = projects.at(1).toObject();
    QVERIFY(empty["description"].isNull());
    QVERIFY(empty["default_branch"].isNull());
    const Reply archive = get(
        m_manager,
        QUrl(server.baseUrl().toString()
             + QString("/api/v4/projects/%1/repository/archive").arg(empty["id"].toInteger())));
    QCOMPARE(archive.status, 404);
    QCOMPARE(archive.body, R"({"message":"404 File Not Found"})");
}

void tst_GitLabSamples::brokenSampleTreesAreRefusedWhole_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("broken JSON") << "g/p/project.json" << QByteArray("{\"name\": ");
    QTest::newRow("not an object") << "g/p/project.json" << QByteArray("[1, 2]");
    QTest::newRow("missing name") << "g/p/project.json"
                                  << QByteArray(R"({"last_activity_at": "2025-01-01T00:00:00Z"})");
    QTest::newRow("description is a number")
        << "g/p/project.json"
        << QByteArray(
               R"({"name": "P", "description": 3, "last_activity_at": "2025-01-01T00:00:00Z"})");
    QTest::newRow("topics not strings")
        << "g/p/project.json"
        << QByteArray(
               R"({"name": "P", "topics": [1], "last_activity_at": "2025-01-01T00:00:00Z"})");
    QTest::newRow("bad time") << "g/p/project.json"
                              << QByteArray(R"({"name": "P", "last_activity_at": "yesterday"})");
    QTest::newRow("missing avatar")
        << "g/p/project.json"
        << QByteArray(
               R"({"name": "P", "avatar": "gone.png", "last_activity_at": "2025-01-01T00:00:00Z"})");
    QTest::newRow("avatar outside the project")
        << "g/p/project.json"
        << QByteArray(
               R"({"name": "P", "avatar": "../../a/ok/project.json", "last_activity_at": "2025-01-01T00:00:00Z"})");
    QTest::newRow("broken group.json") << "g/group.json" << QByteArray("{");
    QTest::newRow("project outside any group") << "loose/project.json" << QByteArray(ValidProject);
    QTest::newRow("invalid group folder name")
        << "bad name/p/project.json" << QByteArray(ValidProject);
    QTest::newRow("invalid project folder name") << "g/-p/project.json" << QByteArray(ValidProject);
}

void tst_GitLabSamples::brokenSampleTreesAreRefusedWhole()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.path() + "/a/ok/project.json", ValidProject));
    QVERIFY(writeFile(dir.path() + "/a/ok/files/main.cpp", "int main() {}\n"));
    QVERIFY(writeFile(dir.path() + '/' + file, contents));

    GitLab::Server server;
    QString error;
    QVERIFY(!server.loadSamples(dir.path(), &error));
    QVERIFY2(error.contains(QFileInfo(dir.path() + '/' + file).absolutePath().section('/', -1)),
             qPrintable(error));
    QVERIFY(server.listen());
    const Reply groups = get(m_manager, QUrl(server.baseUrl().toString() + "/api/v4/groups"));
    QCOMPARE(groups.body, "[]");

    QString missing;
    QVERIFY(!server.loadSamples(dir.path() + "/does-not-exist", &missing));
    QVERIFY(!missing.isEmpty());
    QTemporaryDir empty;
    QVERIFY(!server.loadSamples(empty.path(), &missing));
    QVERIFY(missing.contains("no projects"));
}

void tst_GitLabSamples::executablePrintsUrlServesAndStopsOnSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_GitLabSamples::executablePrintsUrlServesAndStopsOnSignals()
{
    QFETCH(int, signal);

    QProcess process;
    process.start(GITLAB_SERVER_EXECUTABLE, {"--verbose"});
    QVERIFY(process.waitForStarted(Timeout));
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine() || process.state() == QProcess::NotRunning,
                             Timeout);
    const QString firstLine = QString::fromUtf8(process.readLine()).chopped(1);
    QVERIFY2(QRegularExpression("^http://127\\.0\\.0\\.1:[1-9][0-9]*$").match(firstLine).hasMatch(),
             qPrintable(firstLine));

    const Reply groups = get(m_manager, QUrl(firstLine + "/api/v4/groups?search=palvexos"));
    QCOMPARE(groups.status, 200);
    QVERIFY(groups.json().array().size() >= 3);
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += process.readAllStandardError()).contains("GET /api/v4/groups"),
                             Timeout);

    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void tst_GitLabSamples::executableFailsCleanlyOnBadSetup()
{
    QTemporaryDir dir;
    QProcess process;
    process.start(GITLAB_SERVER_EXECUTABLE, {"--samples", dir.path() + "/nothing"});
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().contains("cannot load samples"));

    GitLab::Server occupant;
    QVERIFY(occupant.listen());
    process.start(GITLAB_SERVER_EXECUTABLE, {"--port", QString::number(occupant.port())});
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("cannot listen"));

    process.start(GITLAB_SERVER_EXECUTABLE, {"--port", "70000"});
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitCode(), 2);
}

QTEST_GUILESS_MAIN(tst_GitLabSamples)

#include "tst_gitlabsamples.moc"
