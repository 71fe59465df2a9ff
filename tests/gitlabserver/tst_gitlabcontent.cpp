// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httptestclient.h"

#include <gitlabserver.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestClient;

namespace {

const QByteArray PngBytes = QByteArray::fromHex(
    "89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489"
    "0000000d49444154789c6360f8cf0000000301010018dd8db00000000049454e44ae426082");

QDateTime at(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
}

GitLab::Project helloProject()
{
    GitLab::Project project;
    project.path = "hello";
    project.name = "Hello World";
    project.description = "Line one & <two>\nline \"three\" — ünïcode";
    project.lastActivity = at("2024-02-29T23:59:58.123Z");
    project.topics = {"zeta", "alpha", "Mid"};
    project.files = {{"CMakeLists.txt", "project(hello)\n"},
                     {"src/main.cpp", "int main() { return 0; }\n"},
                     {"qml/main.qml", "import QtQuick\nApplicationWindow {}\n"},
                     {"icons/128x128/hello.png", PngBytes}};
    project.avatar = PngBytes;
    project.avatarFileName = "logo.png";
    return project;
}

// Unpacks with the system tar, as a user would.
bool untar(const QByteArray &archive, const QString &directory, const QStringList &extraArgs = {})
{
    QProcess tar;
    tar.start("tar", QStringList{"-xzf", "-", "-C", directory} + extraArgs);
    if (!tar.waitForStarted(Timeout))
        return false;
    tar.write(archive);
    tar.closeWriteChannel();
    return tar.waitForFinished(Timeout) && tar.exitStatus() == QProcess::NormalExit
           && tar.exitCode() == 0;
}

QStringList filesBelow(const QString &directory)
{
    QStringList files;
    QDirIterator it(
        directory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(directory).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_GitLabContent final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void groupDetailListsDirectPublicProjectsNewestFirst();
    void groupDetailWithoutProjectsLeavesBothListsOut();
    void groupDetailCapsProjectsAt100();
    void groupProjectsArePaginatedAndCanIncludeSubgroups();
    void projectFieldsLookLikeGitLab_data();
    void projectFieldsLookLikeGitLab();
    void projectIsFoundByIdOrEncodedPath();
    void avatarIsServedWithItsImageType();
    void errorsHaveGitLabShapes_data();
    void errorsHaveGitLabShapes();

    void archiveUnpacksToOneTopDirectory();
    void archiveShaIsStableAndFollowsContent();
    void archiveIsStreamedWithoutLength();
    void archiveRefusesMediaOnlyAccept_data();
    void archiveRefusesMediaOnlyAccept();
    void archiveOverrideIsServedVerbatim();
    void hostileProjectPathCannotForgeHeaders();
    void tarWriterHandlesLongNamesAndLinks();

private:
    QUrl url(const QString &pathAndQuery) const;
    Reply getJson(const QString &pathAndQuery);

    GitLab::Server m_server;
    QNetworkAccessManager m_manager;
    qint64 m_hello = 0;
    qint64 m_noDescription = 0;
    qint64 m_emptyDescription = 0;
    qint64 m_emptyRepo = 0;
    qint64 m_private = 0;
    qint64 m_nested = 0;
    qint64 m_override = 0;
    QList<qint64> m_big;
};

void tst_GitLabContent::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.addGroup("acme", "ACME Corp");
    m_server.addGroup("acme/tools", "Tools");
    m_hello = m_server.addProject("acme/tools", helloProject());
    QVERIFY(m_hello > 0);

    GitLab::Project project;
    project.path = "no-description";
    project.name = "No Description";
    project.files = {{"README.md", "# none\n"}};
    project.lastActivity = at("2023-01-02T03:04:05.000Z");
    m_noDescription = m_server.addProject("acme/tools", project);

    project.path = "empty-description";
    project.name = "Empty Description";
    project.description = QString("");
    m_emptyDescription = m_server.addProject("acme/tools", project);

    project.path = "empty-repo";
    project.name = "Empty Repository";
    project.files.clear();
    m_emptyRepo = m_server.addProject("acme/tools", project);

    project.path = "secret";
    project.files = {{"a.txt", "a"}};
    project.isPublic = false;
    m_private = m_server.addProject("acme/tools", project);
    project.isPublic = true;

    project.path = "nested";
    m_nested = m_server.addProject("acme/tools/sub", project);

    project.path = "hostile";
    project.archiveOverride = "this is not a tarball";
    m_override = m_server.addProject("acme/odd", project);
    project.archiveOverride.clear();

    project.path = "Hello";
    QVERIFY(m_server.addProject("acme/tools", project) < 0); // taken, paths ignore case
    project.path = "a/b";
    QVERIFY(m_server.addProject("acme/tools", project) < 0);

    for (int i = 0; i < 105; ++i) {
        project.path = QString("p%1").arg(i);
        m_big.append(m_server.addProject("acme/big", project));
    }

    m_server.addGroup("hidden", "Hidden", false);
    project.path = "inside";
    m_server.addProject("hidden", project);
}

QUrl tst_GitLabContent::url(const QString &pathAndQuery) const
{
    return QUrl(m_server.baseUrl().toString() + pathAndQuery);
}

Reply tst_GitLabContent::getJson(const QString &pathAndQuery)
{
    return get(m_manager, url(pathAndQuery));
}

void tst_GitLabContent::groupDetailListsDirectPublicProjectsNewestFirst()
{
    const Reply byPath = getJson("/api/v4/groups/acme%2Ftools");
    QCOMPARE(byPath.status, 200);
    QCOMPARE(byPath.header("Content-Type"), "application/json");
    const QJsonObject group = byPath.json().object();
    QCOMPARE(group["full_path"].toString(), "acme/tools");
    QCOMPARE(group["full_name"].toString(), "ACME Corp / Tools");
    QCOMPARE(group["name"].toString(), "Tools");
    QCOMPARE(group["path"].toString(), "tools");
    QCOMPARE(group["shared_projects"].toArray(), QJsonArray());

    QList<qint64> ids;
    for (const QJsonValue &p : group["projects"].toArray())
        ids.append(p["id"].toInteger());
    QCOMPARE(ids, (QList<qint64>{m_emptyRepo, m_emptyDescription, m_noDescription, m_hello}));

    const Reply byId = getJson("/api/v4/groups/" + QString::number(group["id"].toInteger()));
    QCOMPARE(byId.status, 200);
    QCOMPARE(byId.json(), byPath.json());

    const Reply caseFolded = getJson("/api/v4/groups/ACME%2FTools");
    QCOMPARE(caseFolded.json(), byPath.json());
}

void tst_GitLabContent::groupDetailWithoutProjectsLeavesBothListsOut()
{
    const Reply reply = getJson("/api/v4/groups/acme%2Ftools?with_projects=false");
    QCOMPARE(reply.status, 200);
    const QJsonObject group = reply.json().object();
    QCOMPARE(group["full_path"].toString(), "acme/tools");
    QVERIFY(!group.contains("projects"));
    QVERIFY(!group.contains("shared_projects"));

    const Reply explicitTrue = getJson("/api/v4/groups/acme%2Ftools?with_projects=true");
    QVERIFY(explicitTrue.json().object().contains("projects"));
}

void tst_GitLabContent::groupDetailCapsProjectsAt100()
{
    const Reply reply = getJson("/api/v4/groups/acme%2Fbig");
    QCOMPARE(reply.status, 200);
    const QJsonArray projects = reply.json()["projects"].toArray();
    QCOMPARE(projects.size(), 100);
    QCOMPARE(projects.first()["id"].toInteger(), m_big.last());
    QCOMPARE(projects.last()["id"].toInteger(), m_big.at(5));
}

void tst_GitLabContent::groupProjectsArePaginatedAndCanIncludeSubgroups()
{
    const Reply page2
        = getJson("/api/v4/groups/acme%2Fbig/projects?per_page=100&page=2&order_by=id");
    QCOMPARE(page2.status, 200);
    QCOMPARE(page2.header("X-Total"), "105");
    QCOMPARE(page2.header("X-Total-Pages"), "2");
    QList<qint64> ids;
    for (const QJsonValue &p : page2.json().array())
        ids.append(p["id"].toInteger());
    QCOMPARE(ids, (QList<qint64>{m_big.at(4), m_big.at(3), m_big.at(2), m_big.at(1), m_big.at(0)}));

    const Reply direct = getJson("/api/v4/groups/acme%2Ftools/projects?order_by=path&sort=asc");
    QStringList paths;
    for (const QJsonValue &p : direct.json().array())
        paths.append(p["path"].toString());
    QCOMPARE(paths, (QStringList{"empty-description", "empty-repo", "hello", "no-description"}));

    const Reply withSubgroups
        = getJson("/api/v4/groups/acme%2Ftools/projects?include_subgroups=true");
    QCOMPARE(withSubgroups.header("X-Total"), "5");
    bool nestedSeen = false;
    for (const QJsonValue &p : withSubgroups.json().array())
        nestedSeen = nestedSeen || p["id"].toInteger() == m_nested;
    QVERIFY(nestedSeen);

    const Reply simple = getJson("/api/v4/groups/acme%2Ftools/projects?simple=true&search=hello");
    QCOMPARE(simple.json().array().size(), 1);
    QVERIFY(simple.json()[0]["avatar_url"].isString());
    QVERIFY(!simple.json()[0].toObject().contains("_links"));
}

void tst_GitLabContent::projectFieldsLookLikeGitLab_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("description");
    QTest::addColumn<bool>("hasAvatar");
    QTest::addColumn<QString>("lastActivity");
    QTest::addColumn<QJsonValue>("defaultBranch");

    QTest::newRow("text description, avatar")
        << "hello" << QJsonValue("Line one & <two>\nline \"three\" — ünïcode") << true
        << "2024-02-29T23:59:58.123Z" << QJsonValue("main");
    QTest::newRow("null description") << "no-description" << QJsonValue(QJsonValue::Null) << false
                                      << "2023-01-02T03:04:05.000Z" << QJsonValue("main");
    QTest::newRow("empty description") << "empty-description" << QJsonValue("") << false
                                       << "2023-01-02T03:04:05.000Z" << QJsonValue("main");
    QTest::newRow("empty repository") << "empty-repo" << QJsonValue("") << false
                                      << "2023-01-02T03:04:05.000Z" << QJsonValue(QJsonValue::Null);
}

void tst_GitLabContent::projectFieldsLookLikeGitLab()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, description);
    QFETCH(bool, hasAvatar);
    QFETCH(QString, lastActivity);
    QFETCH(QJsonValue, defaultBranch);

    const Reply reply = getJson("/api/v4/groups/acme%2Ftools");
    QJsonObject project;
    for (const QJsonValue &p : reply.json()["projects"].toArray()) {
        if (p["path"].toString() == path)
            project = p.toObject();
    }
    QVERIFY(!project.isEmpty());

    const QString base = m_server.baseUrl().toString();
    QVERIFY(project["id"].isDouble());
    QCOMPARE(project["description"], description);
    QCOMPARE(project["path_with_namespace"].toString(), "acme/tools/" + path);
    QCOMPARE(project["web_url"].toString(), base + "/acme/tools/" + path);
    QCOMPARE(project["http_url_to_repo"].toString(), base + "/acme/tools/" + path + ".git");
    QCOMPARE(project["visibility"].toString(), "public");
    QCOMPARE(project["last_activity_at"].toString(), lastActivity);
    QCOMPARE(project["default_branch"], defaultBranch);
    QCOMPARE(project["namespace"].toObject()["full_path"].toString(), "acme/tools");
    QCOMPARE(project["namespace"].toObject()["kind"].toString(), "group");
    QVERIFY(project["created_at"].isString());
    QVERIFY(project["tag_list"].isArray());
    QVERIFY(project["topics"].isArray());
    if (hasAvatar) {
        QCOMPARE(project["avatar_url"].toString(),
                 QString("%1/uploads/-/system/project/avatar/%2/logo.png").arg(base).arg(m_hello));
        QCOMPARE(project["name_with_namespace"].toString(), "ACME Corp / Tools / Hello World");
        QCOMPARE(project["tag_list"].toArray(), (QJsonArray{"Mid", "alpha", "zeta"}));
        QCOMPARE(project["topics"].toArray(), (QJsonArray{"zeta", "alpha", "Mid"}));
    } else {
        QVERIFY(project.contains("avatar_url"));
        QVERIFY(project["avatar_url"].isNull());
    }
    // Rails escapes HTML-significant characters even inside JSON strings.
    if (path == "hello")
        QVERIFY(reply.body.contains(R"(Line one \u0026 \u003ctwo\u003e\n)"));
}

void tst_GitLabContent::projectIsFoundByIdOrEncodedPath()
{
    const Reply byId = getJson("/api/v4/projects/" + QString::number(m_hello));
    QCOMPARE(byId.status, 200);
    QCOMPARE(byId.json()["id"].toInteger(), m_hello);
    QCOMPARE(byId.json()["empty_repo"].toBool(), false);

    const Reply byPath = getJson("/api/v4/projects/acme%2Ftools%2Fhello");
    QCOMPARE(byPath.json(), byId.json());
    QCOMPARE(getJson("/api/v4/projects/ACME%2FTOOLS%2FHello").json(), byId.json());

    const Reply unencoded = getJson("/api/v4/projects/acme/tools/hello");
    QCOMPARE(unencoded.status, 404);
    QCOMPARE(unencoded.json().object(), (QJsonObject{{"error", "404 Not Found"}}));

    QCOMPARE(getJson("/api/v4/projects/" + QString::number(m_private)).status, 404);
    QCOMPARE(getJson("/api/v4/projects/hidden%2Finside").status, 404);
    QCOMPARE(
        getJson("/api/v4/projects/" + QString::number(m_emptyRepo)).json()["empty_repo"].toBool(),
        true);
}

void tst_GitLabContent::avatarIsServedWithItsImageType()
{
    const QString avatarUrl
        = getJson("/api/v4/projects/" + QString::number(m_hello)).json()["avatar_url"].toString();
    const Reply avatar = get(m_manager, QUrl(avatarUrl));
    QCOMPARE(avatar.status, 200);
    QCOMPARE(avatar.header("Content-Type"), "image/png");
    QCOMPARE(avatar.header("Content-Length"), QByteArray::number(PngBytes.size()));
    QCOMPARE(avatar.body, PngBytes);

    const QString other = QString("/uploads/-/system/project/avatar/%1/logo.png");
    QCOMPARE(getJson(other.arg(m_noDescription)).status, 404);
    QCOMPARE(getJson(other.arg(m_hello).replace("logo", "other")).status, 404);
}

void tst_GitLabContent::errorsHaveGitLabShapes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    const QByteArray groupNotFound = R"({"message":"404 Group Not Found"})";
    const QByteArray projectNotFound = R"({"message":"404 Project Not Found"})";
    const QByteArray fileNotFound = R"({"message":"404 File Not Found"})";
    const QByteArray routeNotFound = R"({"error":"404 Not Found"})";
    const QString archive = "/api/v4/projects/%1/repository/archive";

    QTest::newRow("unknown group") << "/api/v4/groups/nope" << 404 << groupNotFound;
    QTest::newRow("unknown group id") << "/api/v4/groups/987654" << 404 << groupNotFound;
    QTest::newRow("private group") << "/api/v4/groups/hidden" << 404 << groupNotFound;
    QTest::newRow("projects of unknown group")
        << "/api/v4/groups/nope/projects" << 404 << groupNotFound;
    QTest::newRow("unknown project") << "/api/v4/projects/987654" << 404 << projectNotFound;
    QTest::newRow("archive of private project") << archive.arg(m_private) << 404 << projectNotFound;
    QTest::newRow("archive of empty repository") << archive.arg(m_emptyRepo) << 404 << fileNotFound;
    QTest::newRow("archive of unknown ref")
        << archive.arg(m_hello) + "?sha=nope" << 404 << fileNotFound;
    QTest::newRow("unknown route") << "/api/v4/nothing/here" << 404 << routeNotFound;
    QTest::newRow("unknown archive format")
        << archive.arg(m_hello) + ".rar" << 404 << routeNotFound;
    QTest::newRow("bad boolean") << "/api/v4/groups/acme?with_projects=perhaps" << 400
                                 << QByteArray(R"({"error":"with_projects is invalid"})");
}

void tst_GitLabContent::errorsHaveGitLabShapes()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    const Reply reply = getJson(path);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("Content-Type"), "application/json");
    QCOMPARE(reply.body, body);
}

void tst_GitLabContent::archiveUnpacksToOneTopDirectory()
{
    const QString archivePath = QString("/api/v4/projects/%1/repository/archive").arg(m_hello);
    const Reply reply = getJson(archivePath);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, m_server.archiveOf(m_hello));
    QCOMPARE(getJson(archivePath + ".tar.gz").body, reply.body);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(untar(reply.body, dir.path()));
    const QStringList top
        = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(top.size(), 1);
    QVERIFY2(QRegularExpression("^hello-main-[0-9a-f]{40}$").match(top.first()).hasMatch(),
             qPrintable(top.first()));
    QCOMPARE(top.first(), m_server.archiveTopDirectory(m_hello));
    QCOMPARE(reply.header("Content-Disposition"),
             "attachment; filename=\"" + top.first().toUtf8() + ".tar.gz\"");

    const QString root = dir.path() + '/' + top.first();
    const GitLab::Project expected = helloProject();
    QCOMPARE(filesBelow(root), QStringList(expected.files.keys()));
    for (auto it = expected.files.cbegin(); it != expected.files.cend(); ++it)
        QCOMPARE(readAll(root + '/' + it.key()), it.value());

    // Uncompressed tar is offered too.
    QTemporaryDir plain;
    QProcess tar;
    tar.start("tar", {"-xf", "-", "-C", plain.path()});
    QVERIFY(tar.waitForStarted(Timeout));
    tar.write(getJson(archivePath + ".tar").body);
    tar.closeWriteChannel();
    QVERIFY(tar.waitForFinished(Timeout));
    QCOMPARE(tar.exitCode(), 0);
    QVERIFY(QFileInfo::exists(plain.path() + '/' + top.first() + "/src/main.cpp"));
}

void tst_GitLabContent::archiveShaIsStableAndFollowsContent()
{
    GitLab::Server twin;
    const qint64 same = twin.addProject("elsewhere", helloProject());
    GitLab::Project changed = helloProject();
    changed.files["src/main.cpp"] = "int main() { return 1; }\n";
    const qint64 different = twin.addProject("elsewhere2", changed);

    const QString top = m_server.archiveTopDirectory(m_hello);
    QCOMPARE(twin.archiveTopDirectory(same), top);
    QVERIFY(twin.archiveTopDirectory(different) != top);
    QCOMPARE(twin.archiveTopDirectory(different).left(11), "hello-main-");

    const QString sha = top.mid(QString("hello-main-").size());
    const QString archive = QString("/api/v4/projects/%1/repository/archive").arg(m_hello);
    const Reply bySha = getJson(archive + "?sha=" + sha);
    QCOMPARE(bySha.status, 200);
    QCOMPARE(bySha.header("Content-Disposition"),
             QString("attachment; filename=\"hello-%1-%1.tar.gz\"").arg(sha).toUtf8());
    const Reply byBranch = getJson(archive + "?sha=main");
    QCOMPARE(byBranch.body, m_server.archiveOf(m_hello));
}

void tst_GitLabContent::archiveIsStreamedWithoutLength()
{
    RawConnection connection(m_server.port());
    connection.send(
        TestClient::get(QString("/api/v4/projects/%1/repository/archive").arg(m_hello).toLatin1()));
    const RawResponse archive = connection.readResponse();
    QVERIFY(archive.complete);
    QCOMPARE(archive.status, 200);
    QVERIFY(archive.chunked);
    QVERIFY(!archive.hasHeader("Content-Length"));
    QCOMPARE(archive.header("Content-Type"), "application/octet-stream");
    QCOMPARE(archive.body, m_server.archiveOf(m_hello));

    // JSON and images on the same kept-alive connection carry their length.
    connection.send(TestClient::get("/api/v4/groups/acme%2Ftools"));
    const RawResponse json = connection.readResponse();
    QVERIFY(json.complete);
    QVERIFY(!json.chunked);
    QCOMPARE(json.header("Content-Type"), "application/json");
    QCOMPARE(json.header("Content-Length").toInt(), json.body.size());
    QCOMPARE(connection.unreadBytes(), QByteArray());
}

void tst_GitLabContent::archiveRefusesMediaOnlyAccept_data()
{
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<int>("status");

    QTest::newRow("image") << QByteArray("image/png") << 406;
    QTest::newRow("image first, anything after") << QByteArray("image/webp,*/*;q=0.8") << 406;
    QTest::newRow("video") << QByteArray("video/mp4") << 406;
    QTest::newRow("audio") << QByteArray("Audio/Ogg") << 406;
    QTest::newRow("css") << QByteArray("text/css,*/*;q=0.1") << 406;
    QTest::newRow("anything") << QByteArray("*/*") << 200;
    QTest::newRow("octet-stream first") << QByteArray("application/octet-stream, image/png") << 200;
    QTest::newRow("json") << QByteArray("application/json") << 200;
}

void tst_GitLabContent::archiveRefusesMediaOnlyAccept()
{
    QFETCH(QByteArray, accept);
    QFETCH(int, status);

    const Reply reply = get(m_manager,
                            url(QString("/api/v4/projects/%1/repository/archive").arg(m_hello)),
                            {{"Accept", accept}});
    QCOMPARE(reply.status, status);
    if (status == 406) {
        QCOMPARE(reply.header("Content-Type"), "application/json");
        QCOMPARE(reply.body, R"({"message":"406 Not Acceptable"})");
    }
}

void tst_GitLabContent::archiveOverrideIsServedVerbatim()
{
    const Reply reply = getJson(QString("/api/v4/projects/%1/repository/archive").arg(m_override));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, "this is not a tarball");
    QCOMPARE(m_server.archiveOf(m_override), "this is not a tarball");
}

void tst_GitLabContent::hostileProjectPathCannotForgeHeaders()
{
    GitLab::Project project = helloProject();
    project.path = "evil\r\nX-Forged: yes\r\n\r\nHTTP 1.1 200 OK";
    const qint64 id = m_server.addProject("acme/odd", project);
    QVERIFY(id > 0);

    RawConnection connection(m_server.port());
    connection.send(
        TestClient::get(QString("/api/v4/projects/%1/repository/archive").arg(id).toLatin1()));
    const RawResponse response = connection.readResponse();
    QCOMPARE(response.status, 200);
    QVERIFY(!response.hasHeader("X-Forged"));
    QVERIFY(response.header("Content-Disposition").startsWith("attachment; filename=\"evil"));
    QCOMPARE(response.body, m_server.archiveOf(id));

    connection.send(TestClient::get("/api/v4/projects/" + QByteArray::number(id)));
    const RawResponse next = connection.readResponse();
    QCOMPARE(next.status, 200);
    QCOMPARE(QJsonDocument::fromJson(next.body)["path"].toString(), project.path);
}

void tst_GitLabContent::tarWriterHandlesLongNamesAndLinks()
{
    const QByteArray prefixed = "top/" + QByteArray(120, 'd') + "/" + QByteArray(90, 'f');
    const QByteArray gnuLong = "top/" + QByteArray(200, 'e') + "/" + QByteArray(120, 'g');
    const QByteArray longTarget = QByteArray(150, 'x');
    const QByteArray archive = GitLab::makeTarGz({
        {"top/", {}, '5', {}, 0755},
        {"top/plain.txt", "plain\n"},
        {prefixed, "prefixed\n"},
        {gnuLong, "gnu long\n"},
        {"top/link", {}, '2', "plain.txt", 0777},
        {"top/dangling", {}, '2', longTarget, 0777},
        {"top/run.sh", "#!/bin/sh\n", '0', {}, 0755},
    });
    QVERIFY(archive.startsWith("\x1f\x8b"));

    QTemporaryDir dir;
    QVERIFY(untar(archive, dir.path()));
    QCOMPARE(readAll(dir.path() + "/top/plain.txt"), "plain\n");
    QCOMPARE(readAll(dir.path() + '/' + prefixed), "prefixed\n");
    QCOMPARE(readAll(dir.path() + '/' + gnuLong), "gnu long\n");
    QCOMPARE(QFileInfo(dir.path() + "/top/link").symLinkTarget(), dir.path() + "/top/plain.txt");
    QCOMPARE(QFile::symLinkTarget(dir.path() + "/top/dangling"),
             dir.path() + "/top/" + QString::fromLatin1(longTarget));
    QVERIFY(QFileInfo(dir.path() + "/top/run.sh").isExecutable());
    QVERIFY(!QFileInfo(dir.path() + "/top/plain.txt").isExecutable());
}

QTEST_GUILESS_MAIN(tst_GitLabContent)

#include "tst_gitlabcontent.moc"
