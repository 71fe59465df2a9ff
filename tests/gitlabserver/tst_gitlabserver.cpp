// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <contentstore.h>
#include <gitlabserver.h>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <malloc.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(GitLab::Fault)

namespace {

constexpr int Timeout = 20000;
const QByteArray Png = "\x89PNG\r\n\x1a\nimage bytes"_ba;
const QByteArray ValidProject = R"({"name": "Fine", "last_activity_at": "2025-01-01T00:00:00Z"})";

struct Reply
{
    int status = 0;
    QByteArray body;
    QMap<QByteArray, QByteArray> headers; // names in lower case

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    QString answer() const { return QString::number(status) + ' ' + header("Content-Type"); }
    QJsonDocument json() const { return QJsonDocument::fromJson(body); }
};

QByteArray getRequest(const QByteArray &target, const QByteArray &extraHeaders = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

// For what QNetworkAccessManager will not send: pipelined, malformed or stalled requests.
class Wire
{
public:
    explicit Wire(quint16 port, const QByteArray &bytes = {})
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(Timeout);
        m_socket.write(bytes);
    }
    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QByteArray received()
    {
        QCoreApplication::processEvents();
        return m_received += m_socket.readAll();
    }
    bool waitForClose()
    {
        return QTest::qWaitFor([this] { return received(), !isOpen(); }, Timeout);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// Returns the single top-level entry.
QString untar(const QByteArray &archive, const QString &directory)
{
    QProcess tar;
    tar.start("tar", {"-xzf", "-", "-C", directory});
    tar.write(archive);
    tar.closeWriteChannel();
    if (!tar.waitForFinished(Timeout) || tar.exitCode() != 0)
        return {};
    const QStringList top = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    return top.size() == 1 ? top.first() : QString();
}

QMap<QString, QByteArray> filesBelow(const QString &root)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(root).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

} // namespace

class tst_GitLabServer final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void groupSearchFollowsGitLab_data();
    void groupSearchFollowsGitLab();
    void paginationHeadersAndLinks_data();
    void paginationHeadersAndLinks();
    void answersHaveGitLabShapes_data();
    void answersHaveGitLabShapes();
    void groupDetailListsNewestDirectPublicProjects();
    void archiveIsAStreamedTarballOthersCannotTamperWith();
    void archiveCacheDoesNotGrowWithRefSpellings();

    void pipelinedAndMalformedRequests_data();
    void pipelinedAndMalformedRequests();
    void concurrentClientsDoNotWaitForEachOther();
    void faultsReplaceTheAnswerForTheirUses_data();
    void faultsReplaceTheAnswerForTheirUses();

    void brokenSampleTreesAreRefusedWhole_data();
    void brokenSampleTreesAreRefusedWhole();
    void executableServesSamplesUntilSigterm();

private:
    QNetworkReply *start(const QString &target, const QByteArray &accept = {});
    Reply finish(QNetworkReply *reply);
    Reply get(const QString &target, const QByteArray &accept = {})
    {
        return finish(start(target, accept));
    }

    GitLab::Server m_server;
    QNetworkAccessManager m_manager;
    GitLab::Project m_hello;
    QString m_archive;
    QMap<QString, qint64> m_ids; // by group full path or project path
};

QNetworkReply *tst_GitLabServer::start(const QString &target, const QByteArray &accept)
{
    QNetworkRequest request(target.startsWith('/') ? m_server.baseUrl().toString() + target
                                                   : target);
    request.setRawHeader("Accept", accept);
    return m_manager.get(request);
}

Reply tst_GitLabServer::finish(QNetworkReply *reply)
{
    const std::unique_ptr<QNetworkReply> owner(reply);
    if (!reply->isFinished())
        QSignalSpy(reply, &QNetworkReply::finished).wait(Timeout);
    Reply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                 reply->readAll()};
    for (const auto &[name, value] : reply->rawHeaderPairs())
        result.headers.insert(name.toLower(), value);
    return result;
}

void tst_GitLabServer::initTestCase()
{
    QVERIFY(m_server.listen());
    const auto add = [this](const QString &group, const GitLab::Project &project) {
        return m_ids[project.path] = m_server.addProject(group, project);
    };
    QByteArray noise(600 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    // clang-format off
    for (const auto &[path, name] : QList<QPair<QString, QString>>{
             {"palvexos", "Palvex OS"}, {"palvexos/examples", "Examples"},
             {"palvexos/examples/legacy", "Archived Examples"}, {"palvexos/examples/legacy/deep", "Deep Cuts"},
             {"palvexos/examples-old", "Examples Old"}, {"xpalvexos", "X Palvex"}, {"xpalvexos/examplesz", "Examples Z"},
             {"fans", "Palvex Examples Fans"}, {"ab", "ab"}, {"other", "Other Things"}, {"other/examples", "Examples"}})
        m_ids[path] = m_server.addGroup(path, name);
    m_server.addGroup("palvexos/secret", "Secret", false);
    m_server.addGroup("palvexos/secret/inner", "Inner");
    for (int i = 1; i <= 45; ++i)
        m_server.addGroup(QString("group-%1").arg(i, 2, 10, QChar('0')));

    // Incompressible content spans many chunks and socket writes; long names need tar extensions.
    m_hello = {.path = "hello", .name = "Hello World", .description = "Line one & <two>\nline \"three\" — ünïcode",
               .lastActivity = QDateTime::fromString("2024-02-29T23:59:58.123Z", Qt::ISODateWithMs),
               .topics = {"zeta", "alpha", "Mid"},
               .files = {{"CMakeLists.txt", "project(hello)\n"}, {"data/noise.bin", noise},
                         {"src/" + QString(90, 'd') + '/' + QString(40, 'f'), "prefixed\n"},
                         {"src/" + QString(200, 'e') + '/' + QString(120, 'g'), "gnu long\n"}},
               .avatar = Png, .avatarFileName = "logo.png"};
    add("palvexos/examples", m_hello);
    m_archive = QString("/api/v4/projects/%1/repository/archive").arg(m_ids["hello"]);
    const QMap<QString, QByteArray> readme{{"README.md", "# readme\n"}};
    add("palvexos/examples", {.path = "no-description", .files = readme});
    add("palvexos/examples", {.path = "empty-description", .description = "", .files = readme});
    add("palvexos/examples", {.path = "empty-repo"});
    add("palvexos/examples", {.path = "secret", .files = readme, .isPublic = false});
    add("palvexos/examples/legacy", {.path = "nested", .files = readme});
    add("palvexos/secret", {.path = "inside", .files = readme});
    add("odd", {.path = "override", .archiveOverride = "this is not a tarball"});
    for (int i = 0; i < 105; ++i)
        add("big", {.path = QString("p%1").arg(i), .files = readme});
    // clang-format on
}

void tst_GitLabServer::groupSearchFollowsGitLab_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    const QString examples = "search=%22palvexos/examples%22";
    // clang-format off
    QTest::newRow("quoted full path: descendants and look-alikes by name") << examples << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep", "palvexos/examples", "palvexos/examples-old", "xpalvexos/examplesz"};
    QTest::newRow("case does not matter") << "search=PALVEXOS/Examples/LEGACY" << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep"};
    QTest::newRow("full name matches; equal names by id") << "search=Examples" << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep", "palvexos/examples", "other/examples", "palvexos/examples-old", "xpalvexos/examplesz", "fans"};
    QTest::newRow("all terms in one column") << "search=palvex%20fans" << QStringList{"fans"};
    QTest::newRow("terms split over path and name") << "search=legacy%20archived" << QStringList{};
    QTest::newRow("quoted phrase is one term") << "search=%22palvex%20fans%22" << QStringList{};
    QTest::newRow("short terms are ignored") << "search=on%20deep" << QStringList{"palvexos/examples/legacy/deep"};
    QTest::newRow("only short terms: whole query") << "search=ab" << QStringList{"ab"};
    QTest::newRow("only short terms: quotes kept") << "search=%22ab%22" << QStringList{};
    QTest::newRow("private group hidden") << "search=secret" << QStringList{};
    QTest::newRow("below a private group hidden") << "search=inner" << QStringList{};
    QTest::newRow("top level only") << "search=palvex&top_level_only=true" << QStringList{"fans", "palvexos", "xpalvexos"};
    QTest::newRow("name descending") << examples + "&sort=desc" << QStringList{"xpalvexos/examplesz", "palvexos/examples-old", "palvexos/examples", "palvexos/examples/legacy/deep", "palvexos/examples/legacy"};
    QTest::newRow("by id") << examples + "&order_by=id" << QStringList{"palvexos/examples", "palvexos/examples/legacy", "palvexos/examples/legacy/deep", "palvexos/examples-old", "xpalvexos/examplesz"};
    QTest::newRow("by similarity, ties by id") << "search=examples&order_by=similarity" << QStringList{"palvexos/examples", "other/examples", "xpalvexos/examplesz", "palvexos/examples-old", "palvexos/examples/legacy", "fans", "palvexos/examples/legacy/deep"};
    // clang-format on
}

void tst_GitLabServer::groupSearchFollowsGitLab()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);

    const Reply reply = get("/api/v4/groups?" + query);
    QCOMPARE(reply.status, 200);
    QStringList paths;
    for (const QJsonValue &group : reply.json().array())
        paths.append(group["full_path"].toString());
    QCOMPARE(paths, expected);
}

void tst_GitLabServer::paginationHeadersAndLinks_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("pages"); // first path, the X- headers, links

    const QString groups = "/api/v4/groups?search=group-";
    // clang-format off
    QTest::newRow("defaults") << groups << "group-01 [1] [20] [2] [] [45] [3] next=2 first=1 last=3";
    QTest::newRow("last") << groups + "&page=3" << "group-41 [3] [20] [] [2] [45] [3] prev=2 first=1 last=3";
    QTest::newRow("past the end") << groups + "&page=9" << "[9] [20] [] [] [45] [3] first=1 last=3";
    QTest::newRow("per_page capped at 100") << groups + "&per_page=1000" << "group-01 [1] [100] [] [] [45] [1] first=1 last=1";
    QTest::newRow("order kept in links") << groups + "&order_by=path&sort=desc&per_page=10&page=2" << "group-35 [2] [10] [3] [1] [45] [5] prev=1 next=3 first=1 last=5";
    QTest::newRow("nothing found") << "/api/v4/groups?search=nothing-like-this" << "[1] [20] [] [] [0] [1] first=1 last=1";
    QTest::newRow("group projects, newest first") << "/api/v4/groups/big/projects?per_page=100&page=2" << "p4 [2] [100] [] [1] [105] [2] prev=1 first=1 last=2";
    // clang-format on
}

void tst_GitLabServer::paginationHeadersAndLinks()
{
    QFETCH(QString, target);
    QFETCH(QString, pages);

    const Reply reply = get(target);
    QStringList summary{reply.json()[0]["path"].toString()};
    for (const char *name : {"Page", "Per-Page", "Next-Page", "Prev-Page", "Total", "Total-Pages"})
        summary.append('[' + reply.header("X-"_ba + name) + ']');
    // Links are absolute and keep every other parameter, so clients follow them as they are.
    const QUrl url(m_server.baseUrl().toString() + target);
    static const QRegularExpression link(R"re(<([^>]*)>; rel="(\w+)")re");
    for (const QRegularExpressionMatch &m : link.globalMatch(reply.header("Link"))) {
        const QUrl linked(m.captured(1));
        QCOMPARE(linked.adjusted(QUrl::RemoveQuery), url.adjusted(QUrl::RemoveQuery));
        for (const auto &[key, value] : QUrlQuery(url).queryItems()) {
            if (key != "page" && key != "per_page")
                QCOMPARE(QUrlQuery(linked).queryItemValue(key), value);
        }
        summary.append(m.captured(2) + '=' + QUrlQuery(linked).queryItemValue("page"));
    }
    QCOMPARE(summary.join(' ').trimmed(), pages);
}

void tst_GitLabServer::answersHaveGitLabShapes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<QString>("answer");  // status and content type
    QTest::addColumn<QByteArray>("body"); // empty: not compared

    const auto message = [](const char *text) {
        return R"({"message":")"_ba + text + "\"}";
    };
    const QString archive = "/api/v4/projects/%1/repository/archive";
    const QString avatar = "/uploads/-/system/project/avatar/%1/logo.png";
    // clang-format off
    QTest::newRow("group by id") << "/api/v4/groups/" + QString::number(m_ids["palvexos"]) << ""_ba << "200 application/json" << ""_ba;
    QTest::newRow("project by path in any case") << "/api/v4/projects/PALVEXOS%2Fexamples%2FHello" << ""_ba << "200 application/json" << ""_ba;
    QTest::newRow("avatar") << avatar.arg(m_ids["hello"]) << ""_ba << "200 image/png" << Png;
    QTest::newRow("archive, octet-stream first") << m_archive << "application/octet-stream, image/png"_ba << "200 application/octet-stream" << ""_ba;
    QTest::newRow("archive served as given") << archive.arg(m_ids["override"]) << ""_ba << "200 application/octet-stream" << "this is not a tarball"_ba;
    QTest::newRow("archive, image first") << m_archive << "image/webp,*/*;q=0.8"_ba << "406 application/json" << message("406 Not Acceptable");
    QTest::newRow("archive, css") << m_archive << "text/css,*/*;q=0.1"_ba << "406 application/json" << message("406 Not Acceptable");
    QTest::newRow("unknown group") << "/api/v4/groups/nope" << ""_ba << "404 application/json" << message("404 Group Not Found");
    QTest::newRow("private group") << "/api/v4/groups/palvexos%2Fsecret" << ""_ba << "404 application/json" << message("404 Group Not Found");
    QTest::newRow("unknown project") << "/api/v4/projects/987654" << ""_ba << "404 application/json" << message("404 Project Not Found");
    QTest::newRow("project in private group") << "/api/v4/projects/palvexos%2Fsecret%2Finside" << ""_ba << "404 application/json" << message("404 Project Not Found");
    QTest::newRow("archive of empty repository") << archive.arg(m_ids["empty-repo"]) << ""_ba << "404 application/json" << message("404 File Not Found");
    QTest::newRow("archive of unknown ref") << m_archive + "?sha=nope" << ""_ba << "404 application/json" << message("404 File Not Found");
    QTest::newRow("unknown archive format") << m_archive + ".rar" << ""_ba << "404 application/json" << R"({"error":"404 Not Found"})"_ba;
    QTest::newRow("unencoded project path") << "/api/v4/projects/palvexos/examples/hello" << ""_ba << "404 application/json" << R"({"error":"404 Not Found"})"_ba;
    QTest::newRow("no avatar") << avatar.arg(m_ids["no-description"]) << ""_ba << "404 text/html; charset=utf-8" << ""_ba;
    QTest::newRow("bad parameters") << "/api/v4/groups?sort=up&page=x" << ""_ba << "400 application/json" << R"({"error":"sort does not have a valid value, page is invalid"})"_ba;
    QTest::newRow("bad boolean") << "/api/v4/groups/palvexos?with_projects=perhaps" << ""_ba << "400 application/json" << R"({"error":"with_projects is invalid"})"_ba;
    // clang-format on
}

void tst_GitLabServer::answersHaveGitLabShapes()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, accept);
    QFETCH(QString, answer);
    QFETCH(QByteArray, body);

    const Reply reply = get(target, accept);
    QCOMPARE(reply.answer(), answer);
    if (!body.isEmpty())
        QCOMPARE(reply.body, body);
}

void tst_GitLabServer::groupDetailListsNewestDirectPublicProjects()
{
    const Reply reply = get("/api/v4/groups/palvexos%2Fexamples");
    const QJsonObject group = reply.json().object();
    QCOMPARE(group["full_name"].toString(), "Palvex OS / Examples");
    QCOMPARE(group["parent_id"].toInteger(), m_ids["palvexos"]);
    QCOMPARE(group["shared_projects"].toArray(), QJsonArray());
    QCOMPARE(get("/api/v4/groups/PALVEXOS%2FExamples").json(), reply.json());
    const QJsonArray projects = group["projects"].toArray();
    QStringList paths;
    for (const QJsonValue &project : projects)
        paths.append(project["path"].toString());
    QCOMPARE(paths, (QStringList{"empty-repo", "empty-description", "no-description", "hello"}));

    const QJsonObject hello = projects[3].toObject();
    QCOMPARE(hello["description"].toString(), *m_hello.description);
    QCOMPARE(get(hello["avatar_url"].toString()).body, Png); // absolute
    QCOMPARE(hello["last_activity_at"].toString(), "2024-02-29T23:59:58.123Z");
    QCOMPARE(hello["tag_list"].toArray(), (QJsonArray{"Mid", "alpha", "zeta"}));
    QCOMPARE(hello["topics"].toArray(), (QJsonArray{"zeta", "alpha", "Mid"}));
    QVERIFY(projects[2]["description"].isNull() && projects[2]["avatar_url"].isNull());
    QCOMPARE(projects[1]["description"], QJsonValue(""));
    QVERIFY(projects[0]["default_branch"].isNull());
    // Rails escapes HTML-significant characters even inside JSON strings.
    QVERIFY(reply.body.contains(R"(Line one \u0026 \u003ctwo\u003e\n)"));

    const QJsonDocument bare = get("/api/v4/groups/palvexos%2Fexamples?with_projects=false").json();
    QCOMPARE(bare["full_path"].toString(), "palvexos/examples");
    QVERIFY(!bare.object().contains("projects") && !bare.object().contains("shared_projects"));

    const QJsonArray big = get("/api/v4/groups/big").json()["projects"].toArray();
    QCOMPARE(big.size(), 100);
    QCOMPARE(big.first()["path"].toString(), "p104");
    QCOMPARE(big.last()["path"].toString(), "p5");
}

void tst_GitLabServer::archiveIsAStreamedTarballOthersCannotTamperWith()
{
    const Reply reply = get(m_archive);
    QCOMPARE(reply.header("Transfer-Encoding"), "chunked");
    QVERIFY(!reply.headers.contains("content-length"));
    QCOMPARE(reply.body, m_server.archiveOf(m_ids["hello"]));
    QCOMPARE(get(m_archive + ".tar.gz").body, reply.body);

    QTemporaryDir dir;
    const QString top = untar(reply.body, dir.path());
    QVERIFY2(top.contains(QRegularExpression("^hello-main-[0-9a-f]{40}$")), qPrintable(top));
    QCOMPARE(reply.header("Content-Disposition"), "attachment; filename=\"" + top + ".tar.gz\"");
    QCOMPARE(filesBelow(dir.path() + '/' + top), m_hello.files);

    GitLab::Project evil = m_hello;
    evil.path = "evil\r\nX-Forged: yes\r\n\r\nHTTP 1.1 200 OK";
    const qint64 id = m_server.addProject("odd", evil);
    const Reply forged = get(QString("/api/v4/projects/%1/repository/archive").arg(id));
    QVERIFY(!forged.headers.contains("x-forged"));
    QCOMPARE(forged.body, m_server.archiveOf(id));

    // Tests of the installer build their hostile archives with the same writer.
    const QByteArray target(150, 'x');
    const QByteArray links = GitLab::makeTarGz({{"top/", {}, '5', {}, 0755},
                                                {"top/link", {}, '2', target, 0777},
                                                {"top/run.sh", "#!/bin/sh\n", '0', {}, 0755}});
    QTemporaryDir linksDir;
    QCOMPARE(untar(links, linksDir.path()), "top");
    QCOMPARE(QFile::symLinkTarget(linksDir.path() + "/top/link"),
             linksDir.path() + "/top/" + target);
    QVERIFY(QFileInfo(linksDir.path() + "/top/run.sh").isExecutable());
}

void tst_GitLabServer::archiveCacheDoesNotGrowWithRefSpellings()
{
    // Each spelling of a commit id names another top directory: caching them all is unbounded.
    using namespace GitLab::Internal;
    ContentStore store;
    const ProjectRecord &project = *store.project(store.addProject("g", m_hello));
    const QString sha = store.commitSha(project);
    const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    for (int length = 7; length <= 40; ++length) {
        const Archive archive = store.archive(project, sha.left(length), ArchiveFormat::TarGz);
        QCOMPARE(archive.topDirectory, "hello-" + sha.left(length) + '-' + sha);
    }
    QVERIFY(mallinfo2().uordblks + mallinfo2().hblkhd < before + 4 * 1024 * 1024);
}

void tst_GitLabServer::pipelinedAndMalformedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<int>>("statuses");

    const QByteArray host = "Host: 127.0.0.1\r\n", groups = getRequest("/api/v4/groups");
    const QByteArray last = getRequest("/api/v4/groups", "Connection: close\r\n");
    const QList<int> bad{400};
    // clang-format off
    QTest::newRow("pipelined") << groups + "\r\n" + getRequest(m_archive.toLatin1()) + getRequest("/api/v4/unknown") + last << QList<int>{200, 200, 404, 200};
    QTest::newRow("request body skipped") << "POST /api/v4/groups HTTP/1.1\r\n" + host + "Content-Length: 11\r\n\r\nGET / HTTP/" + last << QList<int>{405, 200};
    QTest::newRow("answered before malformed") << groups + "BROKEN\r\n\r\n" + groups << QList<int>{200, 400};
    QTest::newRow("not http") << "HELLO THERE\r\n\r\n"_ba << bad;
    QTest::newRow("control byte in target") << "GET /api/\x01v4 HTTP/1.1\r\n" + host + "\r\n" << bad;
    QTest::newRow("missing host") << "GET / HTTP/1.1\r\n\r\n"_ba << bad;
    QTest::newRow("folded header") << "GET / HTTP/1.1\r\n" + host + "X-A: b\r\n  c\r\n\r\n" << bad;
    QTest::newRow("NUL in header") << "GET / HTTP/1.1\r\n" + host + "X-A: b\0c\r\n\r\n"_ba << bad;
    QTest::newRow("chunked request body") << "POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n" << bad;
    QTest::newRow("conflicting lengths") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab" << bad;
    QTest::newRow("body too large") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 5000000\r\n\r\n" << bad;
    QTest::newRow("request line too long") << "GET /" + QByteArray(9000, 'a') + " HTTP/1.1\r\n" + host + "\r\n" << bad;
    QTest::newRow("request line never ends") << "GET /" + QByteArray(20000, 'a') << bad;
    QTest::newRow("header section too large") << "GET / HTTP/1.1\r\n" + host + "X-Big: " + QByteArray(17 * 1024, 'b') + "\r\n\r\n" << bad;
    QTest::newRow("too many headers") << "GET / HTTP/1.1\r\n" + host + "X-H: v\r\n"_ba.repeated(101) + "\r\n" << bad;
    QTest::newRow("headers never end") << "GET / HTTP/1.1\r\n" + QByteArray(40000, 'h') << bad;
    QTest::newRow("binary junk") << m_hello.files["data/noise.bin"].left(4096) + "\r\n\r\n" << bad;
    // clang-format on
}

void tst_GitLabServer::pipelinedAndMalformedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QList<int>, statuses);

    m_server.clearRequests();
    Wire wire(m_server.port(), request);
    QVERIFY(wire.waitForClose());
    QList<int> answered;
    static const QRegularExpression statusLine("HTTP/1\\.1 (\\d{3}) ");
    for (const QRegularExpressionMatch &m :
         statusLine.globalMatch(QString::fromLatin1(wire.received())))
        answered.append(m.captured(1).toInt());
    QCOMPARE(answered, statuses);
    // A malformed request is never taken for one.
    QCOMPARE(m_server.requests().size(), statuses.size() - statuses.count(400));
}

void tst_GitLabServer::concurrentClientsDoNotWaitForEachOther()
{
    const QStringList targets{
        "/api/v4/groups", "/api/v4/projects/palvexos%2Fexamples%2Fhello", m_archive};
    const int before = m_server.connectionsAccepted();
    QList<QNetworkReply *> replies;
    for (int i = 0; i < 24; ++i)
        replies.append(start(targets.at(i % targets.size())));
    for (int i = 0; i < replies.size(); ++i) {
        const Reply reply = finish(replies.at(i));
        QCOMPARE(reply.status, 200);
        QVERIFY(i % 3 == 2 ? reply.body == m_server.archiveOf(m_ids["hello"])
                           : !reply.json().isNull());
    }
    // QNetworkAccessManager opens six connections per host at most, and now and then drops one.
    QVERIFY(m_server.connectionsAccepted() - before <= 12);

    const GitLab::Fault delay{.kind = GitLab::Fault::Delay, .delayMs = 4000, .times = 1};
    m_server.addFault("/groups/palvexos%2Fexamples$", delay);
    m_server.addFault("^/api/v4/groups/never$", {GitLab::Fault::NeverAnswer});
    const quint16 port = m_server.port();
    Wire halfRequest(port, "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 9\r\n\r\nab");
    Wire unreading(port, getRequest(m_archive.toLatin1()).repeated(8));
    Wire held(port, getRequest("/api/v4/groups/never?q=%22a%20b%22", "X-A: 1\r\nx-a: 2\r\n"));
    QCOMPARE(get(m_archive).body, m_server.archiveOf(m_ids["hello"]));
    QNetworkReply *delayed = start("/api/v4/groups/palvexos%2Fexamples");
    QCOMPARE(get("/api/v4/groups?per_page=1").status, 200);
    QVERIFY(!delayed->isFinished());
    QCOMPARE(finish(delayed).json()["full_path"].toString(), "palvexos/examples");
    // The delay gave the held request every chance to be answered.
    QCOMPARE(held.received(), QByteArray());
    QVERIFY(held.isOpen() && halfRequest.isOpen());
    // It is on record as sent.
    const QList<GitLab::RecordedRequest> requests = m_server.requests();
    QVERIFY(std::any_of(requests.cbegin(), requests.cend(), [](const auto &request) {
        return request.path == "/api/v4/groups/never" && request.header("X-a") == "1, 2"
               && request.query.queryItemValue("q", QUrl::FullyDecoded) == "\"a b\"";
    }));
}

void tst_GitLabServer::faultsReplaceTheAnswerForTheirUses_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<GitLab::Fault>("fault");
    QTest::addColumn<QString>("answer");  // status, content type, Retry-After
    QTest::addColumn<QByteArray>("body"); // empty: not compared

    using GitLab::Fault;
    const QString group = "/api/v4/groups/palvexos%2Fexamples";
    // clang-format off
    const Fault unavailable{Fault::Status, 503, R"({"message":"503 Service Unavailable"})", {{"Retry-After", "5"}}};
    const Fault ownType{.kind = Fault::WrongContentType, .contentType = "application/json; charset=utf-8"};
    QTest::newRow("status, type guessed") << group << unavailable << "503 application/json 5" << unavailable.body;
    QTest::newRow("archive rate limited") << m_archive << Fault::archiveRateLimited() << "429 application/json" << R"({"message":{"error":"This archive has been requested too many times. Try again later."}})"_ba;
    QTest::newRow("endpoint rate limited") << "/api/v4/groups" << Fault::endpointRateLimited() << "429 application/json 60" << R"({"message":{"error":"This endpoint has been requested too many times. Try again later."}})"_ba;
    QTest::newRow("instance throttled") << "/api/v4/projects/palvexos%2Fexamples%2Fhello" << Fault::instanceThrottled() << "429 text/plain 30" << "Retry later\n"_ba;
    QTest::newRow("wrong content type") << group << Fault{Fault::WrongContentType} << "200 text/html; charset=utf-8" << ""_ba;
    QTest::newRow("given content type") << group << ownType << "200 application/json; charset=utf-8" << ""_ba;
    QTest::newRow("invalid json") << group << Fault{Fault::InvalidJson} << "200 application/json" << ""_ba;
    QTest::newRow("cut json") << group << Fault{Fault::CloseMidBody} << "200 application/json" << ""_ba;
    QTest::newRow("cut archive") << m_archive << Fault{Fault::CloseMidBody} << "200 application/octet-stream" << ""_ba;
    // clang-format on
}

void tst_GitLabServer::faultsReplaceTheAnswerForTheirUses()
{
    QFETCH(QString, target);
    QFETCH(GitLab::Fault, fault);
    QFETCH(QString, answer);
    QFETCH(QByteArray, body);

    const QByteArray normal = get(target).body;
    fault.times = 1;
    m_server.addFault(QRegularExpression::escape(target) + '$', fault);
    const Reply reply = get(target);
    QCOMPARE((reply.answer() + ' ' + reply.header("Retry-After")).trimmed(), answer);
    if (!body.isEmpty())
        QCOMPARE(reply.body, body);
    QVERIFY(fault.kind != GitLab::Fault::InvalidJson
            || (!reply.body.isEmpty() && reply.json().isNull()));
    QVERIFY(fault.kind != GitLab::Fault::CloseMidBody || reply.body.size() < normal.size());
    QCOMPARE(get(target).body, normal); // its one use is spent
}

void tst_GitLabServer::brokenSampleTreesAreRefusedWhole_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents");

    // clang-format off
    QTest::newRow("broken JSON") << "g/p/project.json" << "{\"name\": "_ba;
    QTest::newRow("avatar outside the project") << "g/p/project.json" << R"({"name": "P", "avatar": "../../a/ok/project.json", "last_activity_at": "2025-01-01T00:00:00Z"})"_ba;
    QTest::newRow("broken group.json") << "g/group.json" << "{"_ba;
    QTest::newRow("project outside any group") << "loose/project.json" << ValidProject;
    QTest::newRow("invalid folder name") << "g/-p/project.json" << ValidProject;
    // clang-format on
}

void tst_GitLabServer::brokenSampleTreesAreRefusedWhole()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);

    // The good project comes first, so a loader that adds as it reads would leave it behind.
    QTemporaryDir dir;
    for (const auto &[name, bytes] :
         {std::pair{QString("a/ok/project.json"), ValidProject}, {file, contents}}) {
        QVERIFY(QDir(dir.path()).mkpath(QFileInfo(name).path()));
        QFile out(dir.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }
    GitLab::Server server;
    QString error;
    QVERIFY(!server.loadSamples(dir.path(), &error));
    QVERIFY2(error.contains(file.section('/', -2, -2)), qPrintable(error));
    QVERIFY(server.listen());
    QCOMPARE(get(server.baseUrl().toString() + "/api/v4/groups").body, "[]");
}

void tst_GitLabServer::executableServesSamplesUntilSigterm()
{
    QProcess process;
    process.start(GITLAB_SERVER_EXECUTABLE);
    QVERIFY(process.waitForStarted(Timeout) && process.waitForReadyRead(Timeout));
    const QString base = QString::fromUtf8(process.readLine()).trimmed();
    QVERIFY2(base.contains(QRegularExpression("^http://127\\.0\\.0\\.1:[1-9][0-9]*$")),
             qPrintable(base));

    // As on a real instance, look-alikes of the samples' group come before it.
    const QByteArray found = get(base + "/api/v4/groups?search=%22palvexos/examples%22").body;
    QVERIFY(found.indexOf(R"("full_path":"palvexos/examples")") > found.indexOf("full_path"));
    const Reply archive
        = get(base + "/api/v4/projects/palvexos%2Fexamples%2Fhello-qml/repository/archive");
    QCOMPARE(archive.answer(), "200 application/octet-stream");

    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_GitLabServer)

#include "tst_gitlabserver.moc"
