// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <gitlabserver.h>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
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

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(GitLab::Fault)

using Headers = QList<QPair<QByteArray, QByteArray>>;

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
    // 1: take almost nothing off the network, like a stalled client; 0: read freely.
    void setReadBufferSize(qint64 size) { m_socket.setReadBufferSize(size); }
    // Waits until at least this much has arrived or the connection is closed.
    bool waitFor(qsizetype bytes)
    {
        return QTest::qWaitFor([&] { return received().size() >= bytes || !isOpen(); }, Timeout);
    }
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

// The body of a chunked answer so far; a chunk cut short counts with what arrived of it.
QByteArray dechunked(const QByteArray &raw)
{
    QByteArray body;
    qsizetype pos = raw.indexOf("\r\n\r\n") + 4;
    while (pos > 3 && pos < raw.size()) {
        const qsizetype lineEnd = raw.indexOf("\r\n", pos);
        bool ok = false;
        const qsizetype size = lineEnd < 0 ? 0 : raw.mid(pos, lineEnd - pos).toLongLong(&ok, 16);
        if (!ok || size == 0)
            break;
        body += raw.mid(lineEnd + 2, size);
        pos = lineEnd + 2 + size + 2;
    }
    return body;
}

// What tar makes of the start of an archive (it fails at the cut, after listing what it read).
QStringList tarListing(const QByteArray &archiveStart)
{
    QProcess tar;
    tar.start("tar", {"-tzf", "-"});
    tar.write(archiveStart);
    tar.closeWriteChannel();
    tar.waitForFinished(Timeout);
    return QString::fromUtf8(tar.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun run(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(Timeout) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool writeTree(const QString &root, const QList<std::pair<QString, QByteArray>> &files)
{
    for (const auto &[name, bytes] : files) {
        QFile out(root + '/' + name);
        if (!QDir(root).mkpath(QFileInfo(name).path()) || !out.open(QIODevice::WriteOnly)
            || out.write(bytes) != bytes.size())
            return false;
    }
    return true;
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

    void listingsFollowGitLab_data();
    void listingsFollowGitLab();
    void paginationHeadersAndLinks_data();
    void paginationHeadersAndLinks();
    void answersHaveGitLabShapes_data();
    void answersHaveGitLabShapes();
    void groupDetailListsNewestDirectPublicProjects();
    void archiveIsAStreamedTarballOthersCannotTamperWith();

    void pipelinedAndMalformedRequests_data();
    void pipelinedAndMalformedRequests();
    void concurrentClientsDoNotWaitForEachOther();
    void faultsReplaceTheAnswerForTheirUses_data();
    void faultsReplaceTheAnswerForTheirUses();

    void faultSharesFollowTheSeed();
    void endlessAnswersStopWhenTheClientLeaves_data();
    void endlessAnswersStopWhenTheClientLeaves();
    void hostileAnswers();
    void damagedArchivesComeWhole_data();
    void damagedArchivesComeWhole();
    void redirectsPointToAnotherOrigin_data();
    void redirectsPointToAnotherOrigin();

    void brokenSampleTreesAreRefusedWhole_data();
    void brokenSampleTreesAreRefusedWhole();
    void privateSamplesNeedAToken();
    void executableOptions_data();
    void executableOptions();

private:
    QNetworkReply *
    start(const QString &target, const QByteArray &accept = {}, const Headers &headers = {});
    Reply finish(QNetworkReply *reply);
    Reply get(const QString &target, const QByteArray &accept = {}, const Headers &headers = {})
    {
        return finish(start(target, accept, headers));
    }

    GitLab::Server m_server;
    QNetworkAccessManager m_manager;
    GitLab::Project m_hello;
    QString m_archive;
    QMap<QString, qint64> m_ids; // by group full path or project path
    QTemporaryDir m_dir;
};

QNetworkReply *
tst_GitLabServer::start(const QString &target, const QByteArray &accept, const Headers &headers)
{
    QNetworkRequest request(target.startsWith('/') ? m_server.baseUrl().toString() + target
                                                   : target);
    request.setRawHeader("Accept", accept);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
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
             {"ab", "ab"}})
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

    // Past GitLab's counting limit, and a group whose look-alikes fill the first search page.
    QCOMPARE(m_server.addGeneratedProjects("huge", 10001).size(), 10001);
    m_server.addGroup("lookalike/samples", "Samples");
    QCOMPARE(m_server.addGeneratedSubgroups("lookalike/samples", 25).size(), 25);

    // Own, shared (from elsewhere, and a private one) and subgroup projects.
    add("team", {.path = "own-old", .lastActivity = QDateTime::fromString("2020-01-01T00:00:00Z", Qt::ISODate), .files = readme});
    add("team", {.path = "own-new", .files = readme});
    add("team/sub", {.path = "in-sub", .files = readme});
    QVERIFY(m_server.shareProject(m_ids["hello"], "team"));
    QVERIFY(m_server.shareProject(m_ids["secret"], "team"));
    QVERIFY(!m_server.shareProject(m_ids["hello"], "no/such/group"));

    m_ids["vault"] = m_server.addGroup("vault", "Vault", false);
    add("vault", {.path = "gold", .files = readme, .avatar = Png, .avatarFileName = "logo.png"});
    m_server.addToken("glpat-valid");
    // clang-format on
}

void tst_GitLabServer::listingsFollowGitLab_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QStringList>("expected"); // details: projects, then "shared:" and shared ones

    const QString groups = "/api/v4/groups?", examples = "search=%22palvexos/examples%22";
    const QString team = "/api/v4/groups/team";
    // clang-format off
    QTest::newRow("quoted full path: descendants and look-alikes by name") << groups + examples << ""_ba << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep", "palvexos/examples", "palvexos/examples-old", "xpalvexos/examplesz"};
    QTest::newRow("case does not matter") << groups + "search=PALVEXOS/Examples/LEGACY" << ""_ba << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep"};
    QTest::newRow("private group hidden") << groups + "search=secret" << ""_ba << QStringList{};
    QTest::newRow("below a private group hidden") << groups + "search=inner" << ""_ba << QStringList{};
    QTest::newRow("shared included, newest first") << team + "/projects" << ""_ba << QStringList{"team/own-new", "palvexos/examples/hello", "team/own-old"};
    QTest::newRow("without shared") << team + "/projects?with_shared=false" << ""_ba << QStringList{"team/own-new", "team/own-old"};
    QTest::newRow("with subgroups") << team + "/projects?include_subgroups=true" << ""_ba << QStringList{"team/sub/in-sub", "team/own-new", "palvexos/examples/hello", "team/own-old"};
    QTest::newRow("private shared one with a token") << team + "/projects" << "glpat-valid"_ba << QStringList{"team/own-new", "palvexos/examples/secret", "palvexos/examples/hello", "team/own-old"};
    QTest::newRow("detail") << team << ""_ba << QStringList{"team/own-new", "team/own-old", "shared:", "palvexos/examples/hello"};
    QTest::newRow("detail with a token") << team << "glpat-valid"_ba << QStringList{"team/own-new", "team/own-old", "shared:", "palvexos/examples/secret", "palvexos/examples/hello"};
    // clang-format on
}

void tst_GitLabServer::listingsFollowGitLab()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, token);
    QFETCH(QStringList, expected);

    const Reply reply
        = get(target, {}, token.isEmpty() ? Headers{} : Headers{{"PRIVATE-TOKEN", token}});
    QCOMPARE(reply.status, 200);
    const auto pathsOf = [](const QJsonValue &listed) {
        QStringList paths;
        for (const QJsonValue &entry : listed.toArray())
            paths.append(entry[entry["full_path"].isString() ? "full_path" : "path_with_namespace"]
                             .toString());
        return paths;
    };
    const QJsonDocument json = reply.json();
    QStringList paths = pathsOf(json.isArray() ? QJsonValue(json.array()) : json["projects"]);
    if (json.isObject())
        paths << "shared:" << pathsOf(json["shared_projects"]);
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
    QTest::newRow("over 10,000: no totals, no last") << "/api/v4/groups/huge/projects?per_page=100" << "example-10001 [1] [100] [2] [] [] [] next=2 first=1";
    QTest::newRow("over 10,000: last page") << "/api/v4/groups/huge/projects?per_page=100&page=101" << "example-00001 [101] [100] [] [100] [] [] prev=100 first=1";
    QTest::newRow("look-alikes fill the first page") << "/api/v4/groups?search=%22lookalike/samples%22" << "samples-01 [1] [20] [2] [] [26] [2] next=2 first=1 last=2";
    QTest::newRow("the group itself on page two") << "/api/v4/groups?search=%22lookalike/samples%22&page=2" << "samples-21 [2] [20] [] [1] [26] [2] prev=1 first=1 last=2";
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
                QCOMPARE(QUrlQuery(linked).queryItemValue(key, QUrl::FullyDecoded),
                         QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded));
        }
        summary.append(m.captured(2) + '=' + QUrlQuery(linked).queryItemValue("page"));
    }
    QCOMPARE(summary.join(' ').trimmed(), pages);
}

void tst_GitLabServer::groupDetailListsNewestDirectPublicProjects()
{
    const Reply reply = get("/api/v4/groups/palvexos%2Fexamples");
    const QJsonObject group = reply.json().object();
    QCOMPARE(group["full_name"].toString(), "Palvex OS / Examples");
    QCOMPARE(group["parent_id"].toInteger(), m_ids["palvexos"]);
    QCOMPARE(group["shared_projects"].toArray(), QJsonArray());
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
    QTest::addColumn<QString>("answer");  // status, content type, Retry-After ("date": 30 s ahead)
    QTest::addColumn<QByteArray>("body"); // empty: not compared

    using GitLab::Fault;
    const QString group = "/api/v4/groups/palvexos%2Fexamples", projects = group + "/projects";
    // clang-format off
    const Fault unavailable{Fault::Status, 503, R"({"message":"503 Service Unavailable"})", {{"Retry-After", "5"}}};
    const Fault ownType{.kind = Fault::WrongContentType, .contentType = "application/json; charset=utf-8"};
    QTest::newRow("status, type guessed") << group << unavailable << "503 application/json 5" << unavailable.body;
    QTest::newRow("archive rate limited") << m_archive << Fault::archiveRateLimited() << "429 application/json" << R"({"message":{"error":"This archive has been requested too many times. Try again later."}})"_ba;
    QTest::newRow("endpoint rate limited") << "/api/v4/groups" << Fault::endpointRateLimited() << "429 application/json 60" << R"({"message":{"error":"This endpoint has been requested too many times. Try again later."}})"_ba;
    QTest::newRow("instance throttled") << "/api/v4/projects/palvexos%2Fexamples%2Fhello" << Fault::instanceThrottled() << "429 text/plain 30" << "Retry later\n"_ba;
    QTest::newRow("busy: instance throttle") << projects << Fault::busy() << "429 text/plain 2" << "Retry later\n"_ba;
    QTest::newRow("busy: no Retry-After") << projects << Fault::busy(429, -1) << "429 text/plain" << "Retry later\n"_ba;
    QTest::newRow("busy: bad gateway") << projects << Fault::busy(502, 5) << "502 text/html 5" << ""_ba;
    QTest::newRow("busy: unavailable, HTTP date") << projects << Fault::busy(503, 30, true) << "503 text/html date" << ""_ba;
    QTest::newRow("busy: gateway timeout") << projects << Fault::busy(504, 0) << "504 text/html 0" << ""_ba;
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

    // Status answers apply to the next two requests of the route, the others to the next one;
    // the request after that gets the normal answer.
    m_server.clearFaults();
    const QByteArray normal = get(target).body;
    fault.times = fault.kind == GitLab::Fault::Status ? 2 : 1;
    m_server.addFault(QRegularExpression::escape(target) + '$', fault);
    for (int use = 0; use < fault.times; ++use) {
        const Reply reply = get(target);
        QByteArray retryAfter = reply.header("Retry-After");
        if (answer.endsWith(" date")) {
            QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(retryAfter),
                                                     "ddd, dd MMM yyyy hh:mm:ss 'GMT'");
            when.setTimeSpec(Qt::UTC);
            const qint64 ahead = QDateTime::currentDateTimeUtc().secsTo(when);
            QVERIFY2(ahead > 20 && ahead <= 30, retryAfter.constData());
            retryAfter = "date";
        }
        QCOMPARE((reply.answer() + ' ' + retryAfter).trimmed(), answer);
        if (!body.isEmpty())
            QCOMPARE(reply.body, body);
        QVERIFY(fault.kind != GitLab::Fault::InvalidJson
                || (!reply.body.isEmpty() && reply.json().isNull()));
        QVERIFY(fault.kind != GitLab::Fault::CloseMidBody || reply.body.size() < normal.size());
    }
    QCOMPARE(get(target).body, normal); // its uses are spent
}

void tst_GitLabServer::faultSharesFollowTheSeed()
{
    const QString target = "/api/v4/groups?search=ab";
    GitLab::Fault fault = GitLab::Fault::busy(503);
    fault.percent = 30;
    const auto run = [&](quint32 seed) {
        m_server.clearFaults();
        m_server.setFaultSeed(seed);
        m_server.addFault("^/api/v4/groups$", fault);
        QString statuses;
        for (int i = 0; i < 60; ++i)
            statuses += get(target).status == 503 ? 'x' : '.';
        m_server.clearFaults();
        return statuses;
    };
    const QString first = run(5);
    QVERIFY2(first.count('x') >= 6 && first.count('x') <= 30, qPrintable(first));
    QCOMPARE(run(5), first);
    QVERIFY(run(6) != first);
}

void tst_GitLabServer::endlessAnswersStopWhenTheClientLeaves_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<GitLab::Fault>("fault");

    const GitLab::Fault endless = GitLab::Fault::endless();
    QTest::newRow("JSON listing") << "/api/v4/groups/palvexos%2Fexamples/projects" << endless;
    QTest::newRow("archive") << m_archive << endless;
    QTest::newRow("avatar")
        << QString("/uploads/-/system/project/avatar/%1/logo.png").arg(m_ids["hello"]) << endless;
    QTest::newRow("archive of 5 GiB") << m_archive << GitLab::Fault::hugeContentLength();
}

void tst_GitLabServer::endlessAnswersStopWhenTheClientLeaves()
{
    QFETCH(QString, target);
    QFETCH(GitLab::Fault, fault);

    m_server.addFault(QRegularExpression::escape(target) + '$', fault);
    const int open = m_server.openConnections();
    {
        Wire wire(m_server.port(), getRequest(target.toLatin1()));
        QVERIFY(wire.waitFor(3 * 1024 * 1024));
        const QByteArray raw = wire.received();
        QVERIFY(wire.isOpen());
        const QByteArray head = raw.left(raw.indexOf("\r\n\r\n"));
        QVERIFY2(head.startsWith("HTTP/1.1 200 OK\r\n"), head.constData());
        if (fault.kind == GitLab::Fault::HugeContentLength) {
            // Declared up front; the real archive, then more of the same as long as one reads.
            QVERIFY(head.contains("\r\nContent-Length: 5368709120\r\n"));
            QVERIFY(!head.contains("\r\nTransfer-Encoding:"));
            QVERIFY(raw.mid(head.size() + 4).startsWith(m_server.archiveOf(m_ids["hello"])));
        } else {
            QVERIFY(head.contains("\r\nTransfer-Encoding: chunked\r\n"));
            const QByteArray body = dechunked(raw);
            QVERIFY(body.size() > 2 * 1024 * 1024);
            if (target.endsWith("/projects")) {
                QVERIFY(body.startsWith(R"([{"id":)"));
                QVERIFY(body.count("\"path_with_namespace\":") > 500);
            } else if (target == m_archive) {
                const QString top = m_server.archiveTopDirectory(m_ids["hello"]);
                QCOMPARE(tarListing(body), (QStringList{top + '/', top + "/endless.bin"}));
            } else {
                QVERIFY(body.startsWith(Png + Png + Png));
            }
        }
    }
    // The client hung up: the server lets go of the connection and sends no more.
    QTRY_VERIFY_WITH_TIMEOUT(m_server.openConnections() <= open, Timeout);
    m_server.clearFaults();
}

void tst_GitLabServer::hostileAnswers()
{
    const QString projects = "/api/v4/groups/palvexos%2Fexamples/projects";
    const QString lookup = "/api/v4/groups?search=%22palvexos%2Fexamples%22";
    const Reply normal = get(lookup);

    // Floods: as many projects as the fault says, whatever per_page asked, ids unique across
    // pages, and a next page until the last one.
    m_server.addFault(projects + '$', GitLab::Fault::projectFlood(150, 4));
    m_server.addFault("^/api/v4/groups/palvexos%2Fexamples$", GitLab::Fault::projectFlood(120));
    const Reply third = get(projects + "?page=3&per_page=100");
    QCOMPARE(third.json().array().size(), 150);
    QCOMPARE(third.json().array().first()["id"].toInteger(), 1000000300);
    QCOMPARE(third.header("X-Next-Page"), "4");
    QCOMPARE(get(projects + "?page=4").header("X-Next-Page"), "");
    QCOMPARE(get("/api/v4/groups/palvexos%2Fexamples").json()["projects"].toArray().size(), 120);

    // A trickle delivers the whole answer, a few bytes a chunk, and then closes.
    m_server.addFault("^/api/v4/groups$", GitLab::Fault::trickle(5, 64));
    Wire trickled(m_server.port(), getRequest(lookup.toLatin1()));
    QVERIFY(trickled.waitForClose());
    const QByteArray raw = trickled.received();
    QVERIFY(raw.contains("\r\nTransfer-Encoding: chunked\r\n"));
    QVERIFY(raw.contains("\r\n40\r\n"));
    QCOMPARE(dechunked(raw), normal.body);

    // A gzip bomb: a little on the wire, zeros without end once unpacked.
    m_server.addFault(QRegularExpression::escape(m_archive) + '$', GitLab::Fault::gzipBomb());
    Wire bomb(m_server.port(), getRequest(m_archive.toLatin1()));
    QVERIFY(bomb.waitFor(256 * 1024));
    QVERIFY(bomb.received().contains("\r\nContent-Encoding: gzip\r\n"));
    const QByteArray compressed = dechunked(bomb.received()).left(200 * 1024);
    QProcess gzip;
    gzip.start("gzip", {"-dc"});
    gzip.write(compressed);
    gzip.closeWriteChannel();
    QVERIFY(gzip.waitForFinished(Timeout));
    const QByteArray unpacked = gzip.readAllStandardOutput();
    QVERIFY(unpacked.size() > 500 * compressed.size());
    QCOMPARE(unpacked.count('\0'), unpacked.size());
    m_server.clearFaults();

    // One file of zeros, the same name again and again: small on the wire, and whole, so that
    // an extraction runs to its end unless it is stopped (gzip checks the CRC and length).
    m_server.addFault(QRegularExpression::escape(m_archive) + '$',
                      GitLab::Fault::rewrittenZeros(3));
    const Reply zeros = get(m_archive);
    QCOMPARE(zeros.status, 200);
    QVERIFY2(zeros.body.size() < 64 * 1024, QByteArray::number(zeros.body.size()));
    QProcess test;
    test.start("gzip", {"-t"});
    test.write(zeros.body);
    test.closeWriteChannel();
    QVERIFY(test.waitForFinished(Timeout));
    QVERIFY2(test.exitCode() == 0, test.readAllStandardError());
    const QStringList members = tarListing(zeros.body);
    QCOMPARE(members.size(), 4);
    QVERIFY(members.first().startsWith("hello-") && members.first().endsWith('/'));
    QCOMPARE(members.mid(1), QStringList(3, members.first() + "zeros.bin"));
    m_server.clearFaults();
}

void tst_GitLabServer::damagedArchivesComeWhole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("gzipPasses");  // gzip -t
    QTest::addColumn<bool>("tarPasses");   // tar -t of the whole answer
    QTest::addColumn<QString>("complaint"); // in gzip's or tar's error output

    // clang-format off
    QTest::newRow("truncated") << "truncated" << "" << false << false << "unexpected end of file";
    QTest::newRow("flipped") << "flipped" << "" << false << false << "crc error";
    QTest::newRow("garbage") << "garbage" << "" << false << false << "not in gzip format";
    // GNU tar takes the missing end-of-archive blocks as the end: only a reader that demands
    // them notices the missing files.
    QTest::newRow("tar-cut-at-member") << "tar-cut-at-member" << "" << true << true << "";
    QTest::newRow("tar-cut-in-member") << "tar-cut-in-member" << "" << true << false << "Unexpected EOF";
    QTest::newRow("plain tar, truncated") << "truncated" << ".tar" << true << false << "Unexpected EOF";
    // clang-format on
}

// What gzip and tar make of each damage, fetched over HTTP like any archive.
void tst_GitLabServer::damagedArchivesComeWhole()
{
    QFETCH(QString, kind);
    QFETCH(QString, suffix);
    QFETCH(bool, gzipPasses);
    QFETCH(bool, tarPasses);
    QFETCH(QString, complaint);
    const std::optional<GitLab::ArchiveDamage> damage = GitLab::archiveDamageNamed(kind);
    QVERIFY(damage);
    const QString target = m_archive + suffix;
    const QByteArray original = get(target).body;
    m_server.addFault(QRegularExpression::escape(target) + '$',
                      GitLab::Fault::damagedArchive(*damage));
    const Reply reply = get(target);
    m_server.clearFaults();
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("Content-Type"), "application/octet-stream");
    QCOMPARE(reply.header("Content-Length"), QByteArray::number(reply.body.size()));
    QVERIFY(!reply.headers.contains("transfer-encoding"));
    QVERIFY(reply.body != original);

    const bool plain = suffix == ".tar";
    const ToolRun test = plain ? ToolRun{0} : run("gzip", {"-t"}, reply.body);
    const ToolRun listing = run("tar", {plain ? "-tf" : "-tzf", "-"}, reply.body);
    QCOMPARE(test.exitCode == 0, gzipPasses);
    QCOMPARE(listing.exitCode == 0, tarPasses);
    QVERIFY2((test.err + listing.err).contains(complaint.toUtf8()), test.err + listing.err);
    if (plain)
        return;
    // What tar lists before the damage is the original's start.
    const QStringList members = tarListing(original);
    const QStringList listed = QString::fromUtf8(listing.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(listed, members.first(listed.size()));
    const QByteArray tar = run("gzip", {"-dc"}, original).out;
    const QByteArray unpacked = run("gzip", {"-dc"}, reply.body).out;
    switch (*damage) {
    case GitLab::ArchiveDamage::Truncated:
    case GitLab::ArchiveDamage::TarCutAtMember:
        QVERIFY(!listed.isEmpty() && listed.size() < members.size());
        break;
    case GitLab::ArchiveDamage::FlippedByte: {
        // The deflate data inflates whole, to the original but one byte of a file; only the
        // CRC-32 tells.
        QCOMPARE(listed, members);
        QCOMPARE(unpacked.size(), tar.size());
        qsizetype differing = 0;
        for (qsizetype i = 0; i < tar.size(); ++i)
            differing += unpacked.at(i) != tar.at(i) ? 1 : 0;
        QCOMPARE(differing, 1);
        break;
    }
    case GitLab::ArchiveDamage::Garbage:
        QCOMPARE(reply.body.size(), original.size());
        break;
    case GitLab::ArchiveDamage::TarCutInMember:
        QVERIFY(unpacked.size() < tar.size() && tar.startsWith(unpacked));
        break;
    }
    if (*damage == GitLab::ArchiveDamage::TarCutAtMember) {
        QVERIFY(unpacked.size() < tar.size() && tar.startsWith(unpacked));
        QCOMPARE(unpacked.size() % 512, 0);
        QCOMPARE_NE(unpacked.right(512).count('\0'), 512);
    }
}

void tst_GitLabServer::answersHaveGitLabShapes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<Headers>("headers");
    QTest::addColumn<QString>("answer"); // status and content type
    QTest::addColumn<QString>("body");   // empty: not compared; "~": contains, "!": does not

    const auto message = [](const char *text) {
        return R"({"message":")" + QString::fromLatin1(text) + "\"}";
    };
    const QString archive = "/api/v4/projects/%1/repository/archive";
    const QString avatar = "/uploads/-/system/project/avatar/%1/logo.png";
    const Headers anonymous;
    const Headers token{{"PRIVATE-TOKEN", "glpat-valid"}};
    const Headers bearer{{"Authorization", "bearer glpat-valid"}};
    const QString gold = QString::number(m_ids["gold"]);
    const QString goldArchive = archive.arg(gold), goldAvatar = avatar.arg(gold);
    const QString vaultId = "/api/v4/groups/" + QString::number(m_ids["vault"]);
    const QString groupMissing = message("404 Group Not Found");
    const QString projectMissing = message("404 Project Not Found");
    const QString unauthorized = '~' + message("401 Unauthorized");
    const QString json = "200 application/json";
    // clang-format off
    QTest::newRow("group by id") << "/api/v4/groups/" + QString::number(m_ids["palvexos"]) << Headers{} << "200 application/json" << "";
    QTest::newRow("project by path in any case") << "/api/v4/projects/PALVEXOS%2Fexamples%2FHello" << Headers{} << "200 application/json" << "";
    QTest::newRow("avatar") << avatar.arg(m_ids["hello"]) << Headers{} << "200 image/png" << QString::fromLatin1(Png);
    QTest::newRow("archive, octet-stream first") << m_archive << Headers{{"Accept", "application/octet-stream, image/png"}} << "200 application/octet-stream" << "";
    QTest::newRow("archive served as given") << archive.arg(m_ids["override"]) << Headers{} << "200 application/octet-stream" << "this is not a tarball";
    QTest::newRow("archive, image first") << m_archive << Headers{{"Accept", "image/webp,*/*;q=0.8"}} << "406 application/json" << message("406 Not Acceptable");
    QTest::newRow("unknown group") << "/api/v4/groups/nope" << Headers{} << "404 application/json" << message("404 Group Not Found");
    QTest::newRow("unknown project") << "/api/v4/projects/987654" << Headers{} << "404 application/json" << message("404 Project Not Found");
    QTest::newRow("project in private group") << "/api/v4/projects/palvexos%2Fsecret%2Finside" << Headers{} << "404 application/json" << message("404 Project Not Found");
    QTest::newRow("archive of empty repository") << archive.arg(m_ids["empty-repo"]) << Headers{} << "404 application/json" << message("404 File Not Found");
    QTest::newRow("archive of unknown ref") << m_archive + "?sha=nope" << Headers{} << "404 application/json" << message("404 File Not Found");
    QTest::newRow("unknown archive format") << m_archive + ".rar" << Headers{} << "404 application/json" << R"({"error":"404 Not Found"})";
    QTest::newRow("unencoded project path") << "/api/v4/projects/palvexos/examples/hello" << Headers{} << "404 application/json" << R"({"error":"404 Not Found"})";
    QTest::newRow("no avatar") << avatar.arg(m_ids["no-description"]) << Headers{} << "404 text/html; charset=utf-8" << "";
    QTest::newRow("bad parameters") << "/api/v4/groups?sort=up&page=x" << Headers{} << "400 application/json" << R"({"error":"sort does not have a valid value, page is invalid"})";
    // Private content: as missing without a valid token
    QTest::newRow("private group by path") << "/api/v4/groups/vault" << anonymous << "404 application/json" << groupMissing;
    QTest::newRow("private group by id") << vaultId << anonymous << "404 application/json" << groupMissing;
    QTest::newRow("private group projects") << "/api/v4/groups/vault/projects" << anonymous << "404 application/json" << groupMissing;
    QTest::newRow("private project") << "/api/v4/projects/vault%2Fgold" << anonymous << "404 application/json" << projectMissing;
    QTest::newRow("private archive") << goldArchive << anonymous << "404 application/json" << projectMissing;
    QTest::newRow("private avatar") << goldAvatar << anonymous << "404 text/html; charset=utf-8" << "";
    QTest::newRow("private project, public group") << "/api/v4/projects/palvexos%2Fexamples%2Fsecret" << anonymous << "404 application/json" << projectMissing;
    QTest::newRow("left out of the detail") << "/api/v4/groups/palvexos%2Fexamples" << anonymous << json << R"(!"path":"secret")";
    QTest::newRow("left out of the search") << "/api/v4/groups?search=vault" << anonymous << json << "!vault";
    QTest::newRow("token: group") << "/api/v4/groups/vault" << token << json << R"(~"visibility":"private")";
    QTest::newRow("token: group by id") << vaultId << token << json << R"(~"full_path":"vault")";
    QTest::newRow("bearer: group projects") << "/api/v4/groups/vault/projects" << bearer << json << R"(~"path":"gold")";
    QTest::newRow("token: project") << "/api/v4/projects/vault%2Fgold" << token << json << R"(~"visibility":"private")";
    QTest::newRow("token: archive") << goldArchive << token << "200 application/octet-stream" << "";
    QTest::newRow("bearer: avatar") << goldAvatar << bearer << "200 image/png" << "";
    QTest::newRow("token: in the detail") << "/api/v4/groups/palvexos%2Fexamples" << token << json << R"(~"path":"secret")";
    QTest::newRow("token: in the search") << "/api/v4/groups?search=vault" << token << json << R"(~"full_path":"vault")";
    QTest::newRow("token: search for public ones") << "/api/v4/groups?search=vault&visibility=public" << token << json << "!vault";
    QTest::newRow("public stays public") << "/api/v4/groups/palvexos" << token << json << R"(~"visibility":"public")";
    QTest::newRow("unknown token") << "/api/v4/groups/palvexos" << Headers{{"PRIVATE-TOKEN", "glpat-nope"}} << "401 application/json" << unauthorized;
    QTest::newRow("unknown bearer, any route") << "/api/v4/no/such/route" << Headers{{"Authorization", "Bearer glpat-nope"}} << "401 application/json" << unauthorized;
    QTest::newRow("other schemes are no token") << "/api/v4/groups/vault" << Headers{{"Authorization", "Basic Z2xwYXQtdmFsaWQ="}} << "404 application/json" << groupMissing;
    // clang-format on
}

void tst_GitLabServer::answersHaveGitLabShapes()
{
    QFETCH(QString, target);
    QFETCH(Headers, headers);
    QFETCH(QString, answer);
    QFETCH(QString, body);

    const Reply reply = get(target, {}, headers);
    QCOMPARE(reply.answer(), answer);
    const QByteArray part = body.mid(1).toLatin1();
    if (body.startsWith('~'))
        QVERIFY2(reply.body.contains(part), reply.body.left(300).constData());
    else if (body.startsWith('!'))
        QVERIFY2(!reply.body.contains(part), reply.body.left(300).constData());
    else if (!body.isEmpty())
        QCOMPARE(reply.body, body.toLatin1());
    // Tests can tell which credentials reached the server.
    const GitLab::RecordedRequest recorded = m_server.requests().constLast();
    QCOMPARE(recorded.path.toUtf8(),
             QUrl(m_server.baseUrl().toString() + target).path(QUrl::FullyEncoded).toUtf8());
    for (const auto &[name, value] : headers)
        QCOMPARE(recorded.header(name), value);
    QVERIFY(!headers.isEmpty() || recorded.header("PRIVATE-TOKEN").isNull());
}

void tst_GitLabServer::redirectsPointToAnotherOrigin_data()
{
    QTest::addColumn<int>("status");

    for (int status : {301, 302, 307, 308})
        QTest::addRow("%d", status) << status;
}

void tst_GitLabServer::redirectsPointToAnotherOrigin()
{
    QFETCH(int, status);

    GitLab::Server other;
    QVERIFY(other.listen());
    other.addGroup("palvexos/examples", "Examples Elsewhere");
    const QByteArray target = "/api/v4/groups/palvexos%2Fexamples?with_projects=false";
    GitLab::Fault fault = GitLab::Fault::redirect(other.baseUrl(), status);
    fault.times = 2;
    m_server.addFault("^/api/v4/groups/palvexos%2Fexamples$", fault);

    Wire wire(m_server.port(), getRequest(target, "Connection: close\r\n"));
    QVERIFY(wire.waitForClose());
    const QByteArray raw = wire.received();
    QVERIFY2(raw.startsWith("HTTP/1.1 " + QByteArray::number(status) + ' '), raw.constData());
    QVERIFY(raw.contains("\r\nLocation: " + other.baseUrl().toEncoded() + target + "\r\n"));

    // A client that follows it lands on the other server, which keeps its own log.
    const Reply followed = get(QString::fromLatin1(target));
    QCOMPARE(followed.status, 200);
    QCOMPARE(followed.json()["name"].toString(), "Examples Elsewhere");
    QCOMPARE(other.requests().size(), 1);
    QCOMPARE(other.requests().constFirst().query.queryItemValue("with_projects"), "false");
    QVERIFY(other.requests().constFirst().header("PRIVATE-TOKEN").isNull());
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
    QTest::newRow("unknown visibility") << "g/p/project.json" << R"({"name": "P", "visibility": "internal", "last_activity_at": "2025-01-01T00:00:00Z"})"_ba;
    // clang-format on
}

void tst_GitLabServer::brokenSampleTreesAreRefusedWhole()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);

    // The good project comes first, so a loader that adds as it reads would leave it behind.
    QTemporaryDir dir;
    QVERIFY(writeTree(dir.path(), {{"a/ok/project.json", ValidProject}, {file, contents}}));
    GitLab::Server server;
    QString error;
    QVERIFY(!server.loadSamples(dir.path(), &error));
    QVERIFY2(error.contains(file.section('/', -2, -2)), qPrintable(error));
    QVERIFY(server.listen());
    QCOMPARE(get(server.baseUrl().toString() + "/api/v4/groups").body, "[]");
}

void tst_GitLabServer::privateSamplesNeedAToken()
{
    QTemporaryDir dir;
    QVERIFY(writeTree(
        dir.path(),
        {{"g/group.json", R"({"visibility": "private"})"},
         {"g/p/project.json", ValidProject},
         {"pub/q/project.json",
          R"({"name": "Q", "visibility": "private", "last_activity_at": "2025-01-01T00:00:00Z"})"},
         {"pub/r/project.json", ValidProject}}));
    GitLab::Server server;
    QString error;
    QVERIFY2(server.loadSamples(dir.path(), &error), qPrintable(error));
    server.addToken("sample-token");
    QVERIFY(server.listen());
    const QString base = server.baseUrl().toString();
    const Headers token{{"PRIVATE-TOKEN", "sample-token"}};
    QStringList answers;
    for (const QString &target : {"/api/v4/groups/g",
                                  "/api/v4/projects/g%2Fp",
                                  "/api/v4/projects/pub%2Fq",
                                  "/api/v4/projects/pub%2Fr"}) {
        answers.append(QString::number(get(base + target).status) + '/'
                       + QString::number(get(base + target, {}, token).status));
    }
    QCOMPARE(answers, (QStringList{"404/200", "404/200", "404/200", "200/200"}));
}

void tst_GitLabServer::executableOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment"); // GITLAB_SERVER_TOKENS
    QTest::addColumn<QByteArray>("request");     // target and extra header lines
    QTest::addColumn<QString>("answer");         // status and the value of the header shown

    QVERIFY(m_dir.isValid());
    const QString tokens = m_dir.filePath("tokens");
    QFile file(tokens);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("# test tokens\nfile-token\n") > 0);
    file.close();
    const QByteArray hello = "/api/v4/projects/palvexos%2Fexamples%2Fhello-qml";
    const auto with = [](const QByteArray &token) {
        return "\nPRIVATE-TOKEN: " + token;
    };
    // clang-format off
    QTest::newRow("samples: an archive") << QStringList{} << ""_ba << hello + "/repository/archive Content-Type" << "200 application/octet-stream";
    QTest::newRow("samples: a look-alike first") << QStringList{} << ""_ba << "/api/v4/groups?search=%22palvexos/examples%22 X-Total"_ba << "200 2";
    QTest::newRow("generated projects") << QStringList{"--generate", "many/more=150"} << ""_ba << "/api/v4/groups/many%2Fmore/projects X-Total"_ba << "200 150";
    QTest::newRow("generated subgroups") << QStringList{"--generate-subgroups", "palvexos/examples=25"} << ""_ba << "/api/v4/groups?search=%22palvexos/examples%22 X-Total"_ba << "200 27";
    QTest::newRow("token") << QStringList{"--token", "t1", "--token", "t2"} << ""_ba << hello + " X" + with("t2") << "200";
    QTest::newRow("unknown token") << QStringList{"--token", "t1"} << ""_ba << hello + " X" + with("t3") << "401";
    QTest::newRow("tokens file") << QStringList{"--tokens-file", tokens} << ""_ba << hello + " X" + with("file-token") << "200";
    QTest::newRow("tokens file, comment") << QStringList{"--tokens-file", tokens} << ""_ba << hello + " X" + with("#") << "401";
    QTest::newRow("tokens from the environment") << QStringList{} << "env-a env-b"_ba << hello + " X" + with("env-b") << "200";
    QTest::newRow("busy") << QStringList{"--busy", "100", "--busy-status", "503", "--retry-after", "7"} << ""_ba << hello + " Retry-After" << "503 7";
    QTest::newRow("redirect") << QStringList{"--redirect", "^/api/v4/groups$=http://127.0.0.1:9"} << ""_ba << "/api/v4/groups?search=x Location"_ba << "302 http://127.0.0.1:9/api/v4/groups?search=x";
    QTest::newRow("endless") << QStringList{"--endless", "^/api/v4/groups$"} << ""_ba << "/api/v4/groups Transfer-Encoding"_ba << "200 chunked";
    QTest::newRow("huge length") << QStringList{"--huge-length", "/archive$"} << ""_ba << hello + "/repository/archive Content-Length" << "200 5368709120";
    QTest::newRow("gzip bomb") << QStringList{"--gzip-bomb", "/archive$"} << ""_ba << hello + "/repository/archive Content-Encoding" << "200 gzip";
    QTest::newRow("damaged archives") << QStringList{"--damage-archives", "/archive$=tar-cut-in-member"} << ""_ba << hello + "/repository/archive Transfer-Encoding" << "200";
    QTest::newRow("flood") << QStringList{"--flood", "/projects$=3"} << ""_ba << "/api/v4/groups/1/projects X-Per-Page"_ba << "200 3";
    QTest::newRow("flood without count") << QStringList{"--flood", "/projects$"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("redirect elsewhere") << QStringList{"--redirect", "^/=http://example.com"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("unknown damage") << QStringList{"--damage-archives", "/archive$=shredded"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("damage missing") << QStringList{"--damage-archives", "/archive$"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("count missing") << QStringList{"--generate", "many"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("not a busy status") << QStringList{"--busy", "5", "--busy-status", "500"} << ""_ba << ""_ba << "exit 2";
    QTest::newRow("no tokens file") << QStringList{"--tokens-file", m_dir.filePath("missing")} << ""_ba << ""_ba << "exit 1";
    // clang-format on
}

void tst_GitLabServer::executableOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(QByteArray, request);
    QFETCH(QString, answer);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("GITLAB_SERVER_TOKENS");
    if (!environment.isEmpty())
        env.insert("GITLAB_SERVER_TOKENS", QString::fromLatin1(environment));
    process.setProcessEnvironment(env);
    process.start(GITLAB_SERVER_EXECUTABLE, arguments);
    QVERIFY(process.waitForStarted(Timeout));
    if (answer.startsWith("exit")) {
        QVERIFY(process.waitForFinished(Timeout));
        QCOMPARE("exit " + QString::number(process.exitCode()), answer);
        return;
    }
    QVERIFY(process.waitForReadyRead(Timeout));
    const QString base = QString::fromUtf8(process.readLine()).trimmed();
    QVERIFY2(base.contains(QRegularExpression("^http://127\\.0\\.0\\.1:[1-9][0-9]*$")),
             qPrintable(base));
    const quint16 port = QUrl(base).port();

    const QList<QByteArray> lines = request.split('\n');
    const QList<QByteArray> targetAndHeader = lines.first().split(' ');
    QByteArray extra;
    for (const QByteArray &line : lines.mid(1))
        extra += line + "\r\n";
    Wire wire(port, getRequest(targetAndHeader.first(), extra + "Connection: close\r\n"));
    QVERIFY(wire.waitFor(256 * 1024));
    const QByteArray head = wire.received().left(wire.received().indexOf("\r\n\r\n") + 2);
    const QRegularExpression header("\r\n" + QRegularExpression::escape(targetAndHeader.last())
                                    + ": ([^\r]*)\r\n");
    const QString shown = header.match(QString::fromLatin1(head)).captured(1);
    QCOMPARE((head.mid(9, 3) + ' ' + shown).trimmed(), answer);
    // As on a real instance, look-alikes of the samples' group come before it.
    const QByteArray body = wire.received().mid(head.size() + 2);
    QVERIFY(!arguments.isEmpty() || !request.contains("%22palvexos/examples%22")
            || body.indexOf(R"("full_path":"palvexos/examples")") > body.indexOf("full_path"));

    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_GitLabServer)

#include "tst_gitlabserver.moc"
