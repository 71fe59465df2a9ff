// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"
#include "apirequest.h"
#include "archivefolder.h"
#include "gitlabserver.h"
#include "testfiles.h"

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <coreplugin/icore.h>

#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <functional>

#include <sys/stat.h>
#include <zlib.h>

using namespace Brindle::Internal;

static GitLab::Project project(const QString &path, bool withAvatar)
{
    // A 1x1 PNG
    static const QByteArray avatar
        = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                                 "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
    return {.path = path,
            .name = "Example " + path,
            .files = {{"main.cpp", "int main() { return 0; }\n"}},
            .avatar = withAvatar ? avatar : QByteArray(),
            .avatarFileName = "logo.png"};
}

// Valid project objects with ids from 'first' on, each with 'extra' keys, for a listing body.
static QByteArray madeUpProjects(int first, int count, const QByteArray &extra = {})
{
    QByteArrayList projects;
    for (int id = first; id < first + count; ++id) {
        projects.append(
            QByteArray("{\"id\": %1, \"name\": \"P%1\", \"path\": \"p%1\", \"web_url\": \"u\"")
                .replace("%1", QByteArray::number(id))
            + extra + '}');
    }
    return projects.join(", ");
}

// A PNG chunk, CRC and all.
static QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    chunk += type + data;
    const uLong crc
        = crc32(0, reinterpret_cast<const Bytef *>(chunk.constData() + 4), uInt(chunk.size() - 4));
    chunk.resize(chunk.size() + 4);
    qToBigEndian<quint32>(quint32(crc), chunk.data() + chunk.size() - 4);
    return chunk;
}

// An 8 x 8 PNG of 771 KB whose text chunks unpack to 790 MB: libpng inflates at most 8 MB of
// one chunk, and a hundred chunks of just under that pass. Qt keeps them as 1.6 GB of strings.
static QByteArray pngWithTexts()
{
    const QByteArray text = qCompress(QByteArray(7900000, 'a'), 9).mid(4); // a zlib stream
    QByteArray texts = pngChunk("tEXt", QByteArray("Title\0plain", 11));
    texts += pngChunk("iTXt", QByteArray("Author\0\1\0en\0\0", 12) + text);
    for (int i = 0; i < 98; ++i)
        texts += pngChunk("zTXt", "Comment " + QByteArray::number(i) + '\0' + '\0' + text);
    // After the signature and the header chunk
    const QByteArray image = TestFiles::pngBytes(8, 8);
    return image.left(8 + 25) + texts + image.mid(8 + 25);
}

static const GitLab::Fault silence{.kind = GitLab::Fault::NeverAnswer};

static int countRequests(const GitLab::Server &server, const QString &pattern)
{
    const QRegularExpression expression(pattern);
    int count = 0;
    for (const GitLab::RecordedRequest &request : server.requests())
        count += expression.match(request.path).hasMatch() ? 1 : 0;
    return count;
}

static QStringList namesOf(const Repository::Examples &examples, bool sorted = false)
{
    QStringList names;
    for (const QSharedPointer<Example> &example : examples)
        names.append(example->name());
    if (sorted)
        names.sort();
    return names;
}

static QStringList logLines; // the plugin's debug output

static QStringList textsOf(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts.append(arguments.first().toString());
    return texts;
}

static QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A download is saved as the tar stream its check inflated: the inflated archive through
// its end-of-archive blocks, without more than the record padding after them.
static bool isSavedTarOf(const QString &path, const QByteArray &archive)
{
    QProcess gzip;
    gzip.start("gzip", {"-dc"});
    gzip.write(archive);
    gzip.closeWriteChannel();
    if (!gzip.waitForFinished(60000) || gzip.exitCode() != 0)
        return false;
    const QByteArray tar = gzip.readAllStandardOutput();
    const QByteArray saved = contentOf(path);
    const qsizetype recordPadding = 10240;
    return path.endsWith(".tar") && !saved.isEmpty() && tar.startsWith(saved)
           && saved.size() >= tar.size() - recordPadding;
}

// Archives saved to the archive folder for examples whose id starts with 'prefix'.
static QStringList savedArchives(const QString &prefix = {})
{
    return QDir(ArchiveFolder::path()).entryList({prefix.isEmpty() ? "brindle-*.tar*"
                                                    : "brindle-" + prefix + "*.tar*"},
                                  QDir::Files);
}

// A batch the client under test started: its progress entry, the examples reported as they
// arrive and its end signal.
struct Batch
{
    Batch(ApiClient &client, const Repository::Examples &examples)
        : added(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded)
        , finished(&client, &ApiClient::downloadsFinished)
    {
        QObject::connect(&client, &ApiClient::exampleDownloaded, [this](const auto &example) {
            // Reported complete: archive and avatar are in the record, and the batch is on.
            if (QFile::exists(example->archiveFile()) && finished.isEmpty())
                arrived.append(example->name());
        });
        client.download(examples);
        if (!added.isEmpty()) {
            progress = added.first().first().value<Core::FutureProgress *>();
            future = progress->future();
        }
    }
    QStringList names() const
    {
        return namesOf(finished.first().first().value<Repository::Examples>(), true);
    }

    QSignalSpy added;
    QSignalSpy finished;
    QStringList arrived;
    QPointer<Core::FutureProgress> progress;
    QFuture<void> future;
};

// A client that lists its group as soon as it is ready, and what it reports.
struct Listing
{
    explicit Listing(const QUrl &repository)
        : client(repository)
        , status(&client, &ApiClient::statusChanged)
        , fetched(&client, &ApiClient::fetched)
        , failed(&client, &ApiClient::failed)
    {
        QObject::connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return !fetched.isEmpty() || !failed.isEmpty(); }, 30000);
    }
    Repository::Examples examples() const
    {
        return fetched.first().first().value<Repository::Examples>();
    }

    ApiClient client;
    QSignalSpy status;
    QSignalSpy fetched;
    QSignalSpy failed;
};

class tst_ApiClient final : public QObject
{
    Q_OBJECT

    std::unique_ptr<GitLab::Server> server;
    QHash<QString, qint64> ids;

    QUrl url(const QString &path) const { return QUrl(server->baseUrl().toString() + path); }
    static bool logged(const QString &text) { return !logLines.filter(text).isEmpty(); }
    static QString archivePath(qint64 id) { return QString("/projects/%1/repository/").arg(id); }
    // Where a kind of request goes: lookup, listing, page (of projects), alpha's archive or avatar.
    QString route(const QString &kind) const
    {
        if (kind == "archive")
            return archivePath(ids["alpha"]);
        if (kind == "avatar")
            return QString("^/uploads/.*/%1/").arg(ids["alpha"]);
        return kind == "lookup" ? "^/api/v4/groups$"
               : kind == "page" ? "/projects$"
                                : "^/api/v4/groups/\\d+$";
    }
    void answerListing(const QByteArray &body)
    {
        server->addFault("^/api/v4/groups/\\d+$", GitLab::Fault{.status = 200, .body = body});
    }
    // Answers the group detail and each page of its project list with the project objects
    // 'projects(page)' (page 0: the detail); every page but the last announces the next.
    void answerPages(int pages, const std::function<QByteArray(int)> &projects)
    {
        answerListing("{\"projects\": [" + projects(0) + "]}");
        for (int page = 1; page <= pages; ++page) {
            GitLab::Fault answer{.status = 200,
                                 .body = '[' + projects(page) + ']',
                                 .headers = {{"Content-Type", "application/json"}}};
            if (page < pages)
                answer.headers.append({"X-Next-Page", QByteArray::number(page + 1)});
            server->addFault(
                [page](const GitLab::RecordedRequest &request) {
                    return request.path.endsWith("/projects")
                           && request.query.queryItemValue("page").toInt() == page;
                },
                answer);
        }
    }
    // Downloads alpha alone and returns what the batch reported complete.
    static QStringList downloadAlpha(ApiClient &client, Repository::Examples examples)
    {
        examples.removeIf([](const auto &example) { return example->name() != "alpha"; });
        Batch batch(client, examples);
        return batch.finished.wait(30000) ? batch.names() : QStringList{"(no end)"};
    }

    // The listed examples, sorted by name: alpha, beta, gamma.
    Repository::Examples listed(ApiClient &client)
    {
        connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
        QSignalSpy fetched(&client, &ApiClient::fetched);
        if (!fetched.wait(20000))
            return {};
        auto examples = fetched.first().first().value<Repository::Examples>();
        std::ranges::sort(examples, {}, [](const auto &example) { return example->name(); });
        return examples;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin*.debug=true");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            logLines.append(message);
        });
    }
    void init()
    {
        logLines.clear();
        server = std::make_unique<GitLab::Server>();
        QVERIFY(server->listen());
        ids["examples"] = server->addGroup("palvexos/examples", "Examples");
        // Sorts before the group in GitLab's search answer.
        ids["legacy"] = server->addGroup("palvexos/examples/legacy", "Archived Examples");
        server->addGroup("palvexos/demos", "Demos");
        for (const QString &name : {"alpha", "beta", "gamma"})
            ids[name] = server->addProject("palvexos/examples", project(name, name != "gamma"));
    }
    void cleanup()
    {
        // A status text filled with more or fewer values than it has markers makes Qt warn.
        for (const QString &line : std::as_const(logLines))
            QVERIFY2(!line.startsWith("QString::arg"), qPrintable(line));
        ApiClient::setTransferTimeout(60000);
        for (auto kind :
             {ApiRequest::Kind::Json, ApiRequest::Kind::Image, ApiRequest::Kind::Archive})
            ApiRequest::setSizeLimit(kind, 0);
        Core::ICore::settings()->remove("Brindle/MaxArchiveMegabytes");
        Core::ICore::settings()->remove("Brindle/MaxUnpackedMegabytes");
        server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(savedArchives().isEmpty(), 20000);
    }

    void derivesGroupAndTitleFromUrl_data()
    {
        QTest::addColumn<QString>("repository"); // %1 is the server's base URL
        QTest::addColumn<QString>("group");      // empty: rejected, no request ever
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("logLine");

        const QString unknown = "Load unknow examples type";
        // clang-format off
        QTest::newRow("slashes around group") << "%1/palvexos/examples/" << "palvexos/examples" << "Load examples" << "";
        QTest::newRow("query and fragment") << "%1/palvexos/examples?ref=main#top" << "palvexos/examples" << "Load examples" << "";
        QTest::newRow("encoded path") << "%1/palvexos/%65xamples" << "palvexos/examples" << "Load examples" << "";
        QTest::newRow("quote and ampersand in path") << "%1/g%22%26per_page=1%23x" << "g\"&per_page=1#x" << unknown << "";
        QTest::newRow("demos") << "%1/palvexos/demos" << "palvexos/demos" << "Load demos" << "";
        QTest::newRow("no path") << "%1" << "" << unknown << "Provided repository url has no group:";
        QTest::newRow("no scheme") << "palvexos/examples" << "" << unknown << "Provided repository url is not valid:";
        QTest::newRow("local file") << "file:///palvexos/examples" << "" << unknown << "Provided repository url is not valid:";
        // clang-format on
    }
    void derivesGroupAndTitleFromUrl()
    {
        QFETCH(QString, repository);
        QFETCH(QString, group);
        QFETCH(QString, logLine);

        ApiClient client(QUrl(repository.replace("%1", server->baseUrl().toString())));
        QCOMPARE(client.runningRequestCount(), 0); // the lookup waits for the event loop
        Batch batch(client, {});                   // an empty batch ends at once
        QCOMPARE(batch.added.count(), 1);
        QTEST(batch.progress->title(), "title");
        QCOMPARE(batch.progress->type(), Utils::Id("LoadExamplesTask"));
        QVERIFY(batch.future.isFinished());
        QCOMPARE(batch.finished.count(), 1);
        QVERIFY(batch.names().isEmpty());
        QSignalSpy status(&client, &ApiClient::statusChanged);
        client.fetch();
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.first().first().toString(),
                 "Repository error: group id not found - unable to fetch examples");

        if (group.isEmpty()) {
            QVERIFY(logged(logLine));
            // Another client's whole lookup gives a stray request every chance to arrive.
            ApiClient other(url("/palvexos/demos"));
            QVERIFY(QSignalSpy(&other, &ApiClient::ready).wait(20000));
            group = "palvexos/demos";
        }
        QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 1, 20000);
        QCOMPARE(server->requests().first().path, "/api/v4/groups");
        QCOMPARE(server->requests().first().query.queryItemValue("search", QUrl::FullyDecoded),
                 '"' + group + '"');
        // The group's path is one search term, never parameters of its own.
        QCOMPARE(server->requests().first().query.queryItems().size(), 2);
        QCOMPARE(server->requests().first().query.queryItemValue("per_page"), "100");
    }

    void choosesGroupFromLookupAnswer_data()
    {
        QTest::addColumn<int>("httpStatus"); // 0: the server's own answer
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("statuses"); // after "Searching examples"; "~x": contains x
        QTest::addColumn<qint64>("listedGroup");   // 0: not ready, -1: palvexos/examples

        const QStringList ready{"", "API client is ready"};
        // Only the group itself, never a look-alike that anyone could create.
        const QStringList notFound{"",
                                   "The group palvexos/examples was not found on 127.0.0.1. "
                                   "A private group needs an access token: set one with "
                                   "\"Access token...\" on the options page."};
        // clang-format off
        QTest::newRow("look-alike sorted first") << 0 << QByteArray() << ready << qint64(-1);
        QTest::newRow("single object") << 200 << QByteArray(R"({"id": 42, "full_path": "palvexos/examples"})") << ready << qint64(42);
        QTest::newRow("single object of another group") << 200 << QByteArray(R"({"id": 42, "full_path": "x"})") << notFound << qint64(0);
        QTest::newRow("full path differs in case") << 200 << QByteArray(R"([{"id": 41, "full_path": "palvexos/examples/legacy"}, {"id": 42, "full_path": "PalvexOS/Examples"}])") << ready << qint64(42);
        QTest::newRow("no full path matches") << 200 << QByteArray(R"([{"id": 41, "full_path": "a"}, {"id": 43, "full_path": "b"}])") << notFound << qint64(0);
        QTest::newRow("empty array") << 200 << QByteArray("[]") << notFound << qint64(0);
        QTest::newRow("string id") << 200 << QByteArray(R"([{"id": "42", "full_path": "palvexos/examples"}])") << QStringList{""} << qint64(0);
        QTest::newRow("zero id") << 200 << QByteArray(R"({"id": 0})") << QStringList{""} << qint64(0);
        QTest::newRow("204 without body") << 204 << QByteArray() << QStringList{"", "Search error: request return null object"} << qint64(0);
        QTest::newRow("404") << 404 << QByteArray(R"({"message":"404 Group Not Found"})") << QStringList{"~Not Found"} << qint64(0);
        // clang-format on
    }
    void choosesGroupFromLookupAnswer()
    {
        QFETCH(int, httpStatus);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, statuses);
        QFETCH(qint64, listedGroup);

        if (httpStatus)
            server->addFault("^/api/v4/groups$", GitLab::Fault{.status = httpStatus, .body = body});
        if (listedGroup == -1)
            listedGroup = ids["examples"];

        ApiClient client(url("/palvexos/examples"));
        connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
        // Connected after construction, and still sees the whole lookup.
        QSignalSpy status(&client, &ApiClient::statusChanged);
        statuses.prepend("Searching examples");
        QTRY_VERIFY_WITH_TIMEOUT(status.count() >= statuses.size(), 20000);
        for (int i = 0; i < statuses.size(); ++i) {
            const QString text = status.at(i).first().toString();
            if (statuses.at(i).startsWith('~'))
                QVERIFY2(text.contains(statuses.at(i).mid(1)), qPrintable(text));
            else
                QCOMPARE(text, statuses.at(i));
        }
        QCOMPARE(client.isReady(), listedGroup != 0);
        // A ready client lists the chosen group at once.
        QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), listedGroup ? 2 : 1, 20000);
        if (listedGroup)
            QCOMPARE(server->requests().at(1).path, QString("/api/v4/groups/%1").arg(listedGroup));
    }

    void findsGroupAmongLookAlikes_data()
    {
        QTest::addColumn<QString>("searched");
        QTest::addColumn<int>("lookAlikes");  // subgroups whose names sort before the group's
        QTest::addColumn<QString>("answers"); // "link": page 1 names the next only in Link;
                                              // "endless": every page announces another
        QTest::addColumn<int>("searches");
        QTest::addColumn<QString>("chosen"); // the group whose projects are listed
        QTest::addColumn<QString>("logLine");

        // clang-format off
        QTest::newRow("25 descendants sort first") << "palvexos/examples" << 25 << "" << 1 << "examples" << "";
        QTest::newRow("group on the second page") << "palvexos/examples" << 130 << "" << 2 << "examples" << "";
        QTest::newRow("next page in Link only") << "palvexos/examples" << 130 << "link" << 2 << "examples" << "";
        QTest::newRow("no page matches: nothing") << "palvexos/exam" << 130 << "" << 2 << "" << "";
        QTest::newRow("pages without end") << "palvexos/examples" << 0 << "endless" << 20 << "" << "pages without the group";
        // clang-format on
    }
    void findsGroupAmongLookAlikes()
    {
        QFETCH(QString, searched);
        QFETCH(int, lookAlikes);
        QFETCH(QString, answers);
        QFETCH(QString, chosen);
        QFETCH(QString, logLine);

        server->addGeneratedSubgroups("palvexos/examples", lookAlikes);
        auto onPage = [](int page) { // 0: the first, which names no page
            return [page](const GitLab::RecordedRequest &request) {
                return request.path == "/api/v4/groups"
                       && request.query.queryItemValue("page").toInt() == page;
            };
        };
        const auto page
            = [](const QByteArray &body, const QByteArray &name, const QByteArray &value) {
                  return GitLab::Fault{.status = 200,
                                       .body = body,
                                       .headers
                                       = {{"Content-Type", "application/json"}, {name, value}}};
              };
        if (answers == "link") {
            // Only the page number is taken from the link, never its server.
            server->addFault(
                onPage(0),
                page(R"([{"id": 8001, "full_path": "a/palvexos/examples"}])",
                     "Link",
                     "<http://127.0.0.1:1/api/v4/groups?page=2&per_page=100>; rel=\"next\""));
        } else if (answers == "endless") {
            for (int number = 1; number <= 25; ++number) {
                const QByteArray body = QString(R"([{"id": %1, "full_path": "other/%1"}])")
                                            .arg(9000 + number)
                                            .toUtf8();
                server->addFault(onPage(number == 1 ? 0 : number),
                                 page(body, "X-Next-Page", QByteArray::number(number + 1)));
            }
        }
        const qint64 chosenId = ids.value(chosen, chosen.toLongLong());

        ApiClient client(url("/" + searched));
        connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
        if (chosen.isEmpty()) {
            QSignalSpy failed(&client, &ApiClient::failed);
            QVERIFY(failed.wait(20000));
            QCOMPARE(failed.first().first().value<RepositoryState::Problem>(),
                     RepositoryState::Problem::TokenNeeded);
            QCOMPARE(countRequests(*server, "^/api/v4/groups/"), 0);
        } else {
            QVERIFY(QSignalSpy(&client, &ApiClient::ready).wait(20000));
            QTRY_COMPARE_WITH_TIMEOUT(countRequests(*server, "^/api/v4/groups/"), 1, 20000);
            QCOMPARE(server->requests().last().path, QString("/api/v4/groups/%1").arg(chosenId));
        }
        QTEST(countRequests(*server, "^/api/v4/groups$"), "searches");
        for (const GitLab::RecordedRequest &request : server->requests()) {
            if (request.path == "/api/v4/groups") {
                QCOMPARE(request.query.queryItemValue("per_page"), "100");
                QCOMPARE(request.query.queryItemValue("search", QUrl::FullyDecoded),
                         '"' + searched + '"');
            }
        }
        if (!logLine.isEmpty())
            QVERIFY(logged(logLine));
    }

    void listsEveryValidProjectInServerOrder_data()
    {
        QTest::addColumn<QByteArray>("body");   // empty: the server's own detail
        QTest::addColumn<int>("projects");      // alpha, beta, gamma and generated ones
        QTest::addColumn<QString>("pageFault"); // on the second page: "500", "broken"
        QTest::addColumn<int>("pages");         // requests of the group's project list
        QTest::addColumn<QStringList>("names"); // for larger groups, only their number counts
        QTest::addColumn<QString>("failure");   // the status when the listing fails

        const QStringList none;
        // clang-format off
        QTest::newRow("server's group, newest first") << QByteArray() << 3 << "" << 0 << QStringList{"gamma", "beta", "alpha"} << "";
        QTest::newRow("no projects") << QByteArray(R"({"projects": []})") << 3 << "" << 0 << none << "";
        QTest::newRow("invalid projects dropped") << QByteArray(R"({"projects": [{"id": 7, "name": "B", "web_url": "u", "path": "b"}, {"id": 8, "name": "No web URL", "path": "x"}, {"id": 0, "name": "No id", "web_url": "u", "path": "z"}, {"id": 9, "name": "A", "web_url": "u", "path": "a"}]})") << 3 << "" << 0 << QStringList{"b", "a"} << "";
        QTest::newRow("array takes first") << QByteArray(R"([{"projects": [{"id": 7, "name": "B", "web_url": "u", "path": "b"}]}, {"projects": []}])") << 3 << "" << 0 << QStringList{"b"} << "";
        QTest::newRow("no projects field") << QByteArray(R"({"id": 5})") << 3 << "" << 0 << none << "Fetch error: request return wrong data - no projects field";
        QTest::newRow("broken JSON") << QByteArray(R"({"projects": [)") << 3 << "" << 0 << none << "Fetch error: request return null object";
        QTest::newRow("99: the detail is complete") << QByteArray() << 99 << "" << 0 << none << "";
        QTest::newRow("100: the detail may be cut") << QByteArray() << 100 << "" << 1 << none << "";
        QTest::newRow("250 projects") << QByteArray() << 250 << "" << 3 << none << "";
        QTest::newRow("second page fails") << QByteArray() << 130 << "500" << 2 << none << "Internal Server Error";
        QTest::newRow("second page broken") << QByteArray() << 130 << "broken" << 2 << none << "Fetch error: request return null object";
        // clang-format on
    }
    void listsEveryValidProjectInServerOrder()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, projects);
        QFETCH(QString, pageFault);
        QFETCH(QStringList, names);
        QFETCH(QString, failure);

        if (!body.isEmpty())
            answerListing(body);
        server->addGeneratedProjects("palvexos/examples", projects - 3);
        // Shared into the group from elsewhere: not one of its examples.
        const qint64 shared = server->addProject("palvexos/demos", project("shared", false));
        QVERIFY(server->shareProject(shared, "palvexos/examples"));
        const auto secondPage = [](const GitLab::RecordedRequest &request) {
            return request.path.endsWith("/projects")
                   && request.query.queryItemValue("page") == "2";
        };
        if (pageFault == "500")
            server->addFault(secondPage, GitLab::Fault::status500());
        else if (pageFault == "broken")
            server->addFault(secondPage, GitLab::Fault{.kind = GitLab::Fault::InvalidJson});

        Listing listing(url("/palvexos/examples"));
        QVERIFY(listing.wait());
        QTEST(countRequests(*server, "^/api/v4/groups/\\d+/projects$"), "pages");
        for (const GitLab::RecordedRequest &request : server->requests()) {
            if (request.path.endsWith("/projects")) {
                QCOMPARE(request.query.queryItemValue("per_page"), "100");
                QCOMPARE(request.query.queryItemValue("with_shared"), "false");
                QCOMPARE(request.query.queryItemValue("include_subgroups"), "false");
            }
        }
        if (!failure.isEmpty()) {
            // Never a partial list: missing examples would count as removed online.
            QCOMPARE(listing.fetched.count(), 0);
            QCOMPARE(listing.failed.count(), 1);
            const QString last = listing.status.last().first().toString();
            QVERIFY2(last.contains(failure), qPrintable(last));
            return;
        }
        QCOMPARE(listing.failed.count(), 0);
        QCOMPARE(listing.fetched.count(), 1);
        const QStringList listed = namesOf(listing.examples());
        if (projects == 3 || !body.isEmpty()) {
            QCOMPARE(listed, names);
            return;
        }
        QCOMPARE(listed.size(), projects);
        QCOMPARE(QSet<QString>(listed.cbegin(), listed.cend()).size(), projects);
        QVERIFY(listed.contains("alpha"));
        QVERIFY(!listed.contains("shared"));
    }

    void keepsProjectValuesOfTheirTypeOnly()
    {
        // An object or nested lists would be kept whole, their text never counted against
        // the listing's limit; dropping them leaves the example valid.
        const QJsonObject project{
            {"id", 7},
            {"name", "B"},
            {"web_url", "u"},
            {"path", "b"},
            {"description", QJsonObject{{"text", "kept nowhere"}}},
            {"avatar_url", QJsonArray{"http://a/x.png"}},
            {"last_activity_at", QJsonObject{{"at", 1}}},
            {"topics", QJsonArray{QJsonArray{"nested"}, "qt", QJsonObject{{"name", "n"}}}},
            {"tag_list", QJsonArray{QJsonObject{{"name", "t"}}, "demo", 5, QJsonArray{"x"}}}};
        answerListing(QJsonDocument(QJsonObject{{"projects", QJsonArray{project}}}).toJson());
        Listing listing(url("/palvexos/examples"));
        QVERIFY(listing.wait());
        QCOMPARE(namesOf(listing.examples()), QStringList{"b"});
        const Example &record = *listing.examples().first();
        QCOMPARE(record.keys(),
                 (QStringList{"id", "name", "path", "tag_list", "topics", "web_url"}));
        QCOMPARE(record.value("topics").toArray(), QJsonArray{"qt"});
        QCOMPARE(record.value("tag_list").toArray(), QJsonArray{"demo"});
        QVERIFY(record.isValid());
    }

    void downloadsBatchOfThree_data()
    {
        QTest::addColumn<QString>("failing"); // the project whose request fails
        QTest::addColumn<QString>("fault");   // "archive" or "avatar": 404; "stall": no answer
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("status"); // part of a status shown

        // clang-format off
        QTest::newRow("all complete") << "" << "" << QStringList{"alpha", "beta", "gamma"} << "Downloading example: Example gamma";
        QTest::newRow("archive 404") << "beta" << "archive" << QStringList{"alpha", "gamma"} << "Not Found";
        QTest::newRow("avatar 404: default image") << "alpha" << "avatar" << QStringList{"alpha", "beta", "gamma"} << "Unable to download image: http";
        QTest::newRow("stalled archive") << "alpha" << "stall" << QStringList{"beta", "gamma"} << "The server did not answer within 2 s";
        // clang-format on
    }
    void downloadsBatchOfThree()
    {
        QFETCH(QString, failing);
        QFETCH(QString, fault);
        QFETCH(QString, status);

        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        QCOMPARE(examples.size(), 3);
        const qint64 id = ids.value(failing);
        if (fault == "stall") {
            server->addFault(archivePath(id), silence);
            ApiClient::setTransferTimeout(2000);
        } else if (!fault.isEmpty()) {
            const bool avatar = fault == "avatar";
            server->addFault(avatar ? QString("^/uploads/.*/%1/").arg(id) : archivePath(id),
                             GitLab::Fault{.status = 404});
        }
        Batch batch(client, examples);
        QCOMPARE(batch.future.progressMaximum(), 3);
        QVERIFY(batch.finished.wait(20000));
        QTEST(batch.names(), "names");
        batch.arrived.sort();
        QCOMPARE(batch.arrived, batch.names());
        QCOMPARE(batch.future.progressValue(), 3);
        QVERIFY(batch.future.isFinished());
        QCOMPARE(batch.added.count(), 1);
        QVERIFY(logged(status));

        for (const QSharedPointer<Example> &example : examples) {
            const bool failed = example->name() == failing && fault != "avatar";
            // An example that failed leaves no saved archive behind, not even when only its
            // avatar failed.
            if (failed)
                QVERIFY(example->archiveFile().isEmpty());
            else
                QVERIFY(isSavedTarOf(example->archiveFile(), server->archiveOf(example->id())));
            QCOMPARE(example->image().isNull(),
                     example->name() == "gamma" || example->name() == failing);
        }
        QCOMPARE(savedArchives().size(), batch.names().size());
        // gamma has no avatar and sends no image request; a failed archive skips the avatar.
        const bool archiveFailed = fault == "archive" || fault == "stall";
        QCOMPARE(countRequests(*server, "^/uploads/"), archiveFailed ? 1 : 2);
        QCOMPARE(countRequests(*server, "/repository/archive\\.tar\\.gz$"), 3);
    }

    void retriesBusyServer_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("retryAfter"); // seconds; -1: no Retry-After
        QTest::addColumn<bool>("asDate");
        QTest::addColumn<int>("busyAnswers");
        QTest::addColumn<int>("requests"); // of the target
        QTest::addColumn<bool>("succeeds");

        // clang-format off
        QTest::newRow("lookup 429, Retry-After 1") << "lookup" << 429 << 1 << false << 1 << 2 << true;
        QTest::newRow("listing 503, Retry-After as date") << "listing" << 503 << 2 << true << 1 << 2 << true;
        QTest::newRow("archive 502 without Retry-After") << "archive" << 502 << -1 << false << 2 << 3 << true;
        QTest::newRow("avatar 504, Retry-After 1") << "avatar" << 504 << 1 << false << 1 << 2 << true;
        QTest::newRow("archive busy on every try") << "archive" << 429 << 0 << false << -1 << 3 << false;
        QTest::newRow("listing busy on every try") << "listing" << 503 << 0 << false << -1 << 3 << false;
        QTest::newRow("archive 500 is no busy server") << "archive" << 500 << 1 << false << -1 << 1 << false;
        // clang-format on
    }
    void retriesBusyServer()
    {
        QFETCH(QString, target);
        QFETCH(int, status);
        QFETCH(int, retryAfter);
        QFETCH(bool, asDate);
        QFETCH(int, busyAnswers);
        QFETCH(bool, succeeds);

        const QString path = route(target);
        GitLab::Fault busy = GitLab::Fault::busy(status, retryAfter, asDate);
        busy.times = busyAnswers;
        server->addFault(path, busy);
        // When each busy answer went out and each request of the target came in.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> answered, received;
        const QRegularExpression pattern(path);
        connect(server.get(),
                &GitLab::Server::requestAnswered,
                this,
                [&](const auto &request, int code) {
                    if (pattern.match(request.path).hasMatch() && code == status)
                        answered.append(clock.elapsed());
                });
        connect(server.get(), &GitLab::Server::requestReceived, this, [&](const auto &request) {
            if (pattern.match(request.path).hasMatch())
                received.append(clock.elapsed());
        });

        Listing listing(url("/palvexos/examples"));
        QVERIFY(listing.wait());
        bool succeeded = !listing.fetched.isEmpty();
        if (target == "archive" || target == "avatar") {
            QVERIFY(succeeded);
            succeeded = downloadAlpha(listing.client, listing.examples()) == QStringList{"alpha"};
        }
        QCOMPARE(succeeded, succeeds);
        QTEST(int(received.size()), "requests");

        // Each try waited as long as the server asked, or backed off; the next try came only
        // after the busy answer.
        for (qsizetype i = 1; i < received.size(); ++i) {
            QVERIFY(answered.size() >= i);
            const qint64 asked = retryAfter < 0 ? 1000 << (i - 1)
                                 : asDate       ? (retryAfter - 1) * 1000
                                                : retryAfter * 1000;
            QVERIFY2(received.at(i) - answered.at(i - 1) >= asked * 9 / 10,
                     qPrintable(QString("waited %1 ms").arg(received.at(i) - answered.at(i - 1))));
        }
        // The busy answers show only when the last try failed.
        QCOMPARE(textsOf(listing.status).filter("server replied").size(), succeeds ? 0 : 1);
        QCOMPARE(listing.failed.count(), succeeds || target != "listing" ? 0 : 1);
        if (!succeeds || retryAfter >= 0)
            QVERIFY(logged("Server busy") == (busyAnswers != -1 || status != 500));
    }

    void largeBatchKeepsSixArchivesRunning()
    {
        // Requests beyond the manager's six connections would wait in its queue with their
        // inactivity timeout already running, and fail without ever having been sent. Waiting
        // for a busy server, an archive lets the next example use its connection.
        for (int i = 0; i < 7; ++i)
            server->addProject("palvexos/examples", project(QString("more%1").arg(i), false));
        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        QCOMPARE(examples.size(), 10);
        GitLab::Fault busy = GitLab::Fault::busy(503, 1);
        busy.times = 1;
        server->addFault(archivePath(ids["alpha"]), busy);
        server->addFault(QString("^/api/v4/projects/(?!%1/)\\d+/repository/").arg(ids["alpha"]),
                         silence);
        ApiClient::setTransferTimeout(2000);
        QStringList order;
        int mostRunning = 0;
        connect(server.get(), &GitLab::Server::requestReceived, this, [&](const auto &request) {
            if (!request.path.contains("/repository/archive"))
                return;
            order.append(request.path.section('/', 4, 4));
            mostRunning = qMax(mostRunning, client.runningRequestCount());
        });

        Batch batch(client, examples);
        QCOMPARE(client.runningRequestCount(), 6);
        QVERIFY(batch.finished.wait(30000));
        QCOMPARE(batch.names(), QStringList{"alpha"});
        QCOMPARE(order.size(), 11); // every archive asked for, alpha twice
        QVERIFY2(mostRunning <= 6, qPrintable(QString::number(mostRunning)));
        // The six slots are taken in any order the network chooses. The seventh example takes
        // alpha's slot while alpha waits for the busy server, and alpha tries again only
        // when a slot is free, after it.
        const QString alpha = QString::number(ids["alpha"]);
        const QString seventh = QString::number(examples.at(6)->id());
        QVERIFY(order.indexOf(seventh) >= 0);
        QVERIFY2(order.indexOf(seventh) < order.lastIndexOf(alpha), qPrintable(order.join(' ')));
        QCOMPARE(order.count(alpha), 2);
    }

    void boundsAnswerSize_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("answer"); // "endless", "huge" (announced larger than the
                                             // limit), "trickle" or "gzip bomb"
        QTest::addColumn<qint64>("jsonLimit");    // 0: the default
        QTest::addColumn<qint64>("archiveLimit"); // 0: MaxArchiveMegabytes of 3
        QTest::addColumn<QString>("expected");    // in a status or the log

        const qint64 kiB = 1024, miB = 1024 * 1024;
        const QString over = "The server's answer exceeds the limit of ";
        // A byte now and then keeps the inactivity timeout from ever firing; the deadline is
        // that timeout plus the size limit at the floor speed, or the longest one.
        const QString withinLimit = "The server did not complete its answer within 3 seconds "
                                    "(the limit of 64 KiB at 512 KiB per second)";
        // clang-format off
        QTest::newRow("endless lookup") << "lookup" << "endless" << miB << 2 * miB << over + "1 MiB";
        QTest::newRow("endless project list page") << "page" << "endless" << miB << 2 * miB << over + "1 MiB";
        QTest::newRow("group detail of 5 GiB") << "listing" << "huge" << miB << 2 * miB << over + "1 MiB";
        QTest::newRow("endless archive") << "archive" << "endless" << miB << 2 * miB << over + "2 MiB";
        QTest::newRow("archive of 5 GiB") << "archive" << "huge" << miB << 2 * miB << over + "2 MiB";
        QTest::newRow("endless archive, limit from settings") << "archive" << "endless" << miB << qint64(0) << over + "3 MiB";
        QTest::newRow("endless avatar") << "avatar" << "endless" << miB << 2 * miB << over + "1 MiB";
        QTest::newRow("avatar of 5 GiB") << "avatar" << "huge" << miB << 2 * miB << over + "1 MiB";
        QTest::newRow("trickling lookup") << "lookup" << "trickle" << 64 * kiB << 64 * kiB << withinLimit;
        QTest::newRow("trickling archive") << "archive" << "trickle" << 64 * kiB << 64 * kiB << withinLimit;
        // A limit that would take weeks at the floor speed is cut to the longest deadline.
        QTest::newRow("trickling archive of a huge limit") << "archive" << "trickle" << 64 * kiB << (qint64(1) << 40) << "The server did not complete its answer within 4 seconds, the longest any answer may take";
        // Unpacked, the answer has no end; the inactivity timeout (60 s) is never waited for.
        QTest::newRow("gzip bomb lookup") << "lookup" << "gzip bomb" << qint64(0) << 32 * miB << over + "32 MiB";
        QTest::newRow("gzip bomb archive") << "archive" << "gzip bomb" << qint64(0) << 32 * miB << over + "32 MiB";
        QTest::newRow("gzip bomb avatar") << "avatar" << "gzip bomb" << qint64(0) << 32 * miB << over + "1 MiB";
        // clang-format on
    }
    void boundsAnswerSize()
    {
        QFETCH(QString, target);
        QFETCH(QString, answer);
        QFETCH(qint64, jsonLimit);
        QFETCH(qint64, archiveLimit);
        QFETCH(QString, expected);

        ApiRequest::setSizeLimit(ApiRequest::Kind::Json, jsonLimit);
        ApiRequest::setSizeLimit(ApiRequest::Kind::Image, 1024 * 1024);
        // The download's own limit, not the archive check's
        Core::ICore::settings()->setValue("Brindle/MaxUnpackedMegabytes", 100000000);
        if (archiveLimit == 0)
            Core::ICore::settings()->setValue("Brindle/MaxArchiveMegabytes", 3);
        else
            ApiRequest::setSizeLimit(ApiRequest::Kind::Archive, archiveLimit);
        const auto restore = qScopeGuard([] { ApiRequest::setLongestDeadline(3600 * 1000); });
        if (answer == "trickle") {
            ApiClient::setTransferTimeout(2000);
            ApiRequest::setLongestDeadline(4000);
        }
        if (target == "page")
            server->addGeneratedProjects("palvexos/examples", 100);
        server->addFault(route(target),
                         answer == "endless"     ? GitLab::Fault::endless()
                         : answer == "huge"      ? GitLab::Fault::hugeContentLength()
                         : answer == "trickle"   ? GitLab::Fault::trickle(400)
                                                 : GitLab::Fault::gzipBomb());

        Listing listing(url("/palvexos/examples"));
        QVERIFY(listing.wait());
        if (target == "avatar") {
            // Installed with the default image; the log tells why.
            QCOMPARE(downloadAlpha(listing.client, listing.examples()), QStringList{"alpha"});
        } else if (target == "archive") {
            QCOMPARE(listing.fetched.count(), 1);
            QCOMPARE(downloadAlpha(listing.client, listing.examples()), QStringList());
            QVERIFY(savedArchives().isEmpty());
        } else {
            QCOMPARE(listing.failed.count(), 1);
            QCOMPARE(listing.fetched.count(), 0);
        }
        // The answer was given up at its bound, not read to its end.
        QCOMPARE(listing.client.runningRequestCount(), 0);
        // An archive of zeros is no gzip stream: its check may refuse it first.
        const auto told = [&] {
            return logged(expected) || !textsOf(listing.status).filter(expected).isEmpty()
                   || (answer == "gzip bomb" && target == "archive"
                       && logged("The archive of Example alpha is damaged"));
        };
        QTRY_VERIFY2_WITH_TIMEOUT(told(), qPrintable(textsOf(listing.status).join('\n')), 20000);
    }

    void hugeLimitFromSettingsStaysALimit()
    {
        // Megabytes that overflow as bytes made every archive exceed a negative limit.
        Core::ICore::settings()->setValue("Brindle/MaxArchiveMegabytes", "9000000000000000");
        QVERIFY(ApiRequest::sizeLimit(ApiRequest::Kind::Archive) > qint64(1) << 50);
        // and never allowed a trickling archive more than an hour
        QCOMPARE(ApiRequest::deadline(ApiRequest::Kind::Archive), qint64(3600 * 1000));
        Core::ICore::settings()->setValue("Brindle/MaxArchiveMegabytes", 1);
        QCOMPARE(ApiRequest::deadline(ApiRequest::Kind::Archive), 60000 + 2000);
    }

    void cancelReportsCompletedExamplesAtOnce()
    {
        // gamma's endless file must stream on, not be refused by the archive check
        Core::ICore::settings()->setValue("Brindle/MaxUnpackedMegabytes", 100000);
        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        // When the user cancels, alpha is complete, beta's archive is saved while its avatar
        // does not come, and gamma's archive is on its way to disk (to an unnamed file, on
        // Linux).
        server->addFault(QString("^/uploads/.*/%1/").arg(ids["beta"]), silence);
        server->addFault(archivePath(ids["gamma"]), GitLab::Fault::endless());
        QSignalSpy status(&client, &ApiClient::statusChanged);

        Batch batch(client, examples);
        QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(savedArchives(QString::number(ids["beta"]) + '-').size(),
                                  1,
                                  20000);
        QTRY_VERIFY_WITH_TIMEOUT(server->bytesSent() > 4 * 1024 * 1024, 20000);
        const qsizetype before = status.count();
        batch.progress->cancel();
        QVERIFY(batch.finished.wait(20000));
        QCOMPARE(batch.names(), QStringList{"alpha"});
        QVERIFY(batch.future.isFinished());

        // The rest stops at once and leaves nothing behind; what was reported stays.
        QCOMPARE(client.runningRequestCount(), 0);
        QCOMPARE(savedArchives(), savedArchives(QString::number(ids["alpha"]) + '-'));
        QCOMPARE(savedArchives().size(), 1);
        QCOMPARE(status.count(), before);
        QCOMPARE(batch.future.progressValue(), 1);
    }

    void overlappingBatchesJoin()
    {
        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        server->addFault(archivePath(ids["beta"]), silence);

        Batch batch(client, {examples.at(0), examples.at(1)});
        QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 1, 20000);
        client.download({examples.at(1), examples.at(2)});
        QCOMPARE(batch.future.progressMaximum(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 2, 20000);
        QCOMPARE(batch.finished.count(), 0);
        QCOMPARE(countRequests(*server, archivePath(ids["beta"])), 1);

        server.reset(); // ends the held archive of beta
        QVERIFY(batch.finished.wait(20000));
        QCOMPARE(batch.names(), QStringList({"alpha", "gamma"}));
        QCOMPARE(batch.future.progressValue(), 3);
        QCOMPARE(batch.added.count(), 1);
    }

    void shutdownSilencesClient()
    {
        ApiClient early(url("/palvexos/demos"));
        early.shutdown(); // before its queued lookup ran

        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        server->addFault("/repository/archive", silence);
        Batch batch(client, examples);
        QTRY_COMPARE_WITH_TIMEOUT(countRequests(*server, "/repository/archive"), 3, 20000);
        QSignalSpy entryEnded(batch.progress, &Core::FutureProgress::finished);

        client.shutdown();
        QVERIFY(batch.future.isFinished());
        QCOMPARE(client.runningRequestCount(), 0);
        QSignalSpy status(&client, &ApiClient::statusChanged);
        QSignalSpy fetched(&client, &ApiClient::fetched);
        client.fetch();
        client.download(Repository::Examples());
        client.download(examples);
        QVERIFY(entryEnded.wait(20000));
        QCOMPARE(status.count(), 0);
        QCOMPARE(fetched.count(), 0);
        QCOMPARE(batch.added.count(), 1);
        QCOMPARE(server->requests().size(), 5);
    }

    void keepsPasswordToRepositoryServer()
    {
        // The repository's server asks for the password once; alpha's avatar lies on another
        // server, which asks as well; beta's archive is missing, so its error text is shown.
        GitLab::Server other;
        QVERIFY(other.listen());
        const GitLab::Fault challenge{.status = 401,
                                      .body = R"({"message":"401 Unauthorized"})",
                                      .headers = {{"Content-Type", "application/json"},
                                                  {"WWW-Authenticate", "Basic realm=\"GitLab\""}}};
        GitLab::Fault once = challenge;
        once.times = 1;
        server->addFault("^/api/v4/groups$", once);
        other.addFault("^/uploads/", challenge);
        server->addFault(archivePath(ids["beta"]), GitLab::Fault{.status = 404});
        const QString projects = QString(R"({"projects": [
            {"id": %1, "name": "Alpha", "web_url": "u", "path": "alpha", "avatar_url": "%3/uploads/-/system/project/avatar/%1/logo.png"},
            {"id": %2, "name": "Beta", "web_url": "u", "path": "beta"}]})")
                                     .arg(QString::number(ids["alpha"]),
                                          QString::number(ids["beta"]),
                                          other.baseUrl().toString());
        answerListing(projects.toUtf8());

        QUrl repository = url("/palvexos/examples");
        repository.setUserName("reader");
        repository.setPassword("s3cret-word");
        ApiClient client(repository);
        QSignalSpy status(&client, &ApiClient::statusChanged);
        const Repository::Examples examples = listed(client);
        QCOMPARE(examples.size(), 2);
        Batch batch(client, examples);
        QVERIFY(batch.finished.wait(20000));
        QCOMPARE(batch.names(), QStringList{"alpha"}); // with the default image

        QVERIFY(logged("Requesting:"));
        QVERIFY(logged("/repository/archive.tar.gz"));
        QVERIFY(logged("Credentials withheld from another server:"));
        QCOMPARE(logLines.filter("s3cret").join('\n'), QString());
        QCOMPARE(textsOf(status).filter("s3cret"), QStringList());
        // Given to the repository's server when it asked, and to no other.
        const QByteArray credentials = "Basic " + QByteArray("reader:s3cret-word").toBase64();
        QCOMPARE(server->requests().at(1).header("Authorization"), credentials);
        QVERIFY(!other.requests().isEmpty());
        for (const GitLab::RecordedRequest &request : other.requests())
            QVERIFY(request.header("Authorization").isNull());
    }

    void privateGroupWithAccessToken_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("status"); // of the failed lookup; empty: all installed
        // clang-format off
        QTest::newRow("right token") << "glpat-right" << "";
        QTest::newRow("no token") << "" << "The group acme/partners was not found on 127.0.0.1. A private group needs an access token";
        QTest::newRow("wrong token") << "glpat-wrong" << "Access denied by 127.0.0.1: check the access token of repository partners";
        // clang-format on
    }
    void privateGroupWithAccessToken()
    {
        QFETCH(QString, token);
        QFETCH(QString, status);

        // alpha's avatar lies on another server; beta's archive is sent on to it
        GitLab::Server other;
        QVERIFY(other.listen());
        server->addToken("glpat-right");
        server->addGroup("acme/partners", "Partners", false);
        server->addProject("acme/partners", project("alpha", false));
        const qint64 beta = server->addProject("acme/partners", project("beta", false));
        server->addFault(archivePath(beta), GitLab::Fault::redirect(other.baseUrl()));
        other.addGroup("elsewhere");
        const qint64 picture = other.addProject("elsewhere", project("picture", true));
        const QString avatar = QString("%1/uploads/-/system/project/avatar/%2/logo.png")
                                   .arg(other.baseUrl().toString())
                                   .arg(picture);

        Listing listing(url("/acme/partners"));
        listing.client.setAccessToken(token);
        listing.client.setRepositoryName("partners");
        QVERIFY(listing.wait());
        if (!status.isEmpty()) {
            const QStringList texts = textsOf(listing.status);
            QVERIFY2(!texts.filter(status).isEmpty(), qPrintable(texts.join('\n')));
            return;
        }
        QCOMPARE(listing.fetched.count(), 1);
        Repository::Examples examples = listing.examples();
        std::ranges::sort(examples, {}, [](const auto &example) { return example->name(); });
        QCOMPARE(namesOf(examples), (QStringList{"alpha", "beta"}));
        QJsonObject withAvatar = *examples.first();
        withAvatar.insert("avatar_url", avatar);
        examples[0] = QSharedPointer<Example>::create(withAvatar);
        Batch batch(listing.client, examples);
        QVERIFY(batch.finished.wait(20000));
        // alpha arrives; beta's redirect to another server is refused, not followed
        QCOMPARE(batch.names(), QStringList{"alpha"});
        QVERIFY(!server->requests().isEmpty());
        for (const GitLab::RecordedRequest &request : server->requests())
            QCOMPARE(request.header("PRIVATE-TOKEN"), token.toUtf8());
        QVERIFY(!other.requests().isEmpty()); // the avatar was asked for, without the token
        for (const GitLab::RecordedRequest &request : other.requests()) {
            QVERIFY2(request.header("PRIVATE-TOKEN").isNull(), qPrintable(request.path));
            QVERIFY2(request.path.startsWith("/uploads/"), qPrintable(request.path));
        }
        QCOMPARE(logLines.filter(token).join('\n'), QString());
    }

    void boundsListing_data()
    {
        QTest::addColumn<QString>("target"); // "listing": the group detail; "page": the list
        QTest::addColumn<int>("perPage");    // projects on each flooded answer
        QTest::addColumn<int>("pages");      // requests of the project list until it fails
        QTest::addColumn<QString>("failure");

        const QString perAnswer = "Fetch error: one answer lists more than 100 projects";
        // clang-format off
        QTest::newRow("group detail of 1,000 projects") << "listing" << 1000 << 0 << perAnswer;
        QTest::newRow("list page of 1,000 projects") << "page" << 1000 << 1 << perAnswer;
        QTest::newRow("pages of 100 without end") << "both" << 100 << 101 << "Fetch error: the group lists more than 10,000 projects";
        QTest::newRow("pages of long descriptions") << "both" << 100 << 4 << "Fetch error: the group's projects exceed the limit of 64 MiB";
        QTest::newRow("pages repeating the same projects") << "repeat" << 100 << 2 << "Fetch error: the server repeats the same page of projects";
        QTest::newRow("pages of tags without text") << "tags" << 100 << 2 << "Fetch error: the group's projects exceed the limit of 64 MiB";
        // clang-format on
    }
    void boundsListing()
    {
        QFETCH(QString, target);
        QFETCH(int, perPage);
        QFETCH(QString, failure);

        // One page may hold any number of projects, and pages may never end: the listing
        // fails once an answer or the whole list holds more than is ever kept.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (target == "page")
            server->addGeneratedProjects("palvexos/examples", 100);
        if (target == "repeat") {
            // The first page brings the detail's projects again, as GitLab's does; the second
            // brings nothing new.
            answerPages(200, [perPage](int) { return madeUpProjects(1, perPage); });
        } else if (target == "tags") {
            // 20,000 empty tags a project, 2 million a page, and values of other types, which
            // are dropped.
            QByteArrayList tags(20000, "\"\"");
            const QByteArray extra = ", \"description\": {\"text\": \"" + QByteArray(1000, 'x')
                                     + "\"}, \"topics\": [ [\"nested\"] ], \"tag_list\": ["
                                     + tags.join(',') + ']';
            answerPages(3, [perPage, extra](int page) {
                return madeUpProjects(page * perPage + 1, perPage, extra);
            });
        }
        // Descriptions of 90 KiB (180 KiB as text) fill 17.6 MiB a page; the third page after
        // the group detail and its repetition on page one passes 64 MiB.
        const bool longTexts = QTest::currentDataTag() == QByteArray("pages of long descriptions");
        const int description = longTexts ? 90 * 1024 : 0;
        if (target == "listing" || target == "both")
            server->addFault(route("listing"),
                             GitLab::Fault::projectFlood(perPage, -1, description));
        if (target == "page" || target == "both") {
            server->addFault(
                route("page"),
                GitLab::Fault::projectFlood(perPage, longTexts ? 6 : 200, description));
        }

        Listing listing(url("/palvexos/examples"));
        QVERIFY(listing.wait());
        QCOMPARE(listing.fetched.count(), 0);
        QCOMPARE(listing.failed.count(), 1);
        QTEST(countRequests(*server, "^/api/v4/groups/\\d+/projects$"), "pages");
        QCOMPARE(listing.status.last().first().toString(), failure);
    }

    void installsExampleWhateverItsAvatar_data()
    {
        QTest::addColumn<QString>("avatar"); // avatar_url; %1: the server, %2: alpha's id
        QTest::addColumn<bool>("shown");     // the avatar is the example's image
        QTest::addColumn<QString>("logLine");

        const QString upload = "/uploads/-/system/project/avatar/%2/logo.png";
        const QString file = QDir::temp().filePath("avatar.png");
        // clang-format off
        QTest::newRow("404") << "%1/uploads/none.png" << false << "Not Found";
        QTest::newRow("refused connection") << "http://127.0.0.1:1/logo.png" << false << "Connection refused";
        QTest::newRow("relative to the server") << upload << true << "";
        QTest::newRow("relative path") << "logo.png" << false << "only http and https";
        QTest::newRow("local file") << "file://" + file << false << "only http and https";
        // Opening it would block the event loop until someone writes to it.
        QTest::newRow("named pipe") << "file://" + QDir::temp().filePath("avatar.fifo") << false << "only http and https";
        QTest::newRow("data") << "data:image/png;base64,iVBORw0KGgo=" << false << "only http and https";
        QTest::newRow("5000 x 5000 pixels") << "%1" + upload << false << "image of 5000 x 5000 pixels";
        QTest::newRow("cut short") << "%1" + upload << false << "not an image";
        QTest::newRow("text chunks of 790 MB unpacked") << "%1" + upload << true << "";
        QTest::newRow("token, on object storage") << "%1" + upload << true << "Following without the access token";
        // clang-format on
    }
    void installsExampleWhateverItsAvatar()
    {
        QFETCH(QString, avatar);
        QFETCH(bool, shown);
        QFETCH(QString, logLine);

        // An avatar is decoration: the example installs in any case.
        const QString tag = QTest::currentDataTag();
        QVERIFY(
            TestFiles::writeFile(QDir::temp().filePath("avatar.png"), TestFiles::pngBytes(8, 8)));
        QVERIFY(::mkfifo(QFile::encodeName(QDir::temp().filePath("avatar.fifo")).constData(), 0600)
                == 0);
        const auto removeFiles = qScopeGuard([] {
            QFile::remove(QDir::temp().filePath("avatar.png"));
            QFile::remove(QDir::temp().filePath("avatar.fifo"));
        });
        GitLab::Server storage;
        QVERIFY(storage.listen());
        QByteArray body;
        if (tag == "5000 x 5000 pixels")
            body = TestFiles::pngBytes(5000, 5000);
        else if (tag == "cut short") // the header of 2048 x 2048 pixels and a little more
            body = TestFiles::pngBytes(2048, 2048).left(69);
        else if (tag.startsWith("text chunks"))
            body = pngWithTexts();
        QVERIFY(body.size() <= 1024 * 1024);
        if (!body.isEmpty()) {
            server->addFault(route("avatar"),
                             GitLab::Fault{.status = 200,
                                           .body = body,
                                           .headers = {{"Content-Type", "image/png"}}});
        }
        ApiClient client(url("/palvexos/examples"));
        if (tag.startsWith("token")) {
            server->addToken("glpat-right");
            client.setAccessToken("glpat-right");
            server->addFault(route("avatar"), GitLab::Fault::redirect(storage.baseUrl()));
            // Busy once: the next try starts over at the repository's server, token and all.
            GitLab::Fault busy = GitLab::Fault::busy(429, 0);
            busy.times = 1;
            storage.addFault("^/uploads/", busy);
            storage.addFault("^/uploads/",
                             GitLab::Fault{.status = 200,
                                           .body = TestFiles::pngBytes(8, 8),
                                           .headers = {{"Content-Type", "image/png"}}});
        }
        const QString projects
            = QString(
                  R"({"projects": [{"id": %1, "name": "Alpha", "web_url": "u", "path": "alpha", "avatar_url": "%2"}]})")
                  .arg(ids["alpha"])
                  .arg(QString(avatar)
                           .replace("%1", server->baseUrl().toString())
                           .replace("%2", QString::number(ids["alpha"])));
        answerListing(projects.toUtf8());

        const Repository::Examples examples = listed(client);
        QCOMPARE(examples.size(), 1);
        Batch batch(client, examples);
        QVERIFY(batch.finished.wait(30000));
        QCOMPARE(batch.names(), QStringList{"alpha"});
        QVERIFY(isSavedTarOf(examples.first()->archiveFile(), server->archiveOf(ids["alpha"])));
        QCOMPARE(examples.first()->image().isNull(), !shown);
        if (shown) {
            QCOMPARE(examples.first()->image().size(), QSize(128, 128));
            QCOMPARE(examples.first()->image().textKeys(), QStringList{"Description"});
        }
        if (!logLine.isEmpty())
            QVERIFY2(logged(logLine), qPrintable(logLines.join('\n')));
        // The token stays with the repository's server.
        for (const GitLab::RecordedRequest &request : storage.requests())
            QVERIFY(request.header("PRIVATE-TOKEN").isNull());
        if (tag.startsWith("token")) {
            QCOMPARE(countRequests(storage, "^/uploads/"), 2);
            QCOMPARE(countRequests(*server, "^/uploads/"), 2);
            for (const GitLab::RecordedRequest &request : server->requests())
                QCOMPARE(request.header("PRIVATE-TOKEN"), "glpat-right");
        }
    }

    // The repository on top of the client
    void resetKeepsListUntilNextListing()
    {
        Repository repository(url("/palvexos/examples"));
        QSignalSpy fetched(&repository, &Repository::fetched);
        QVERIFY(fetched.wait(20000));
        const Repository::Examples first = repository.examples();

        server->addFault("^/api/v4/groups/\\d+$", GitLab::Fault{.status = 500, .times = 1});
        repository.reset();
        QVERIFY(!repository.isReady());
        QCOMPARE(repository.examples(), first);
        QTRY_VERIFY_WITH_TIMEOUT(logged("Internal Server Error"), 20000);
        QVERIFY(repository.isReady());
        QCOMPARE(fetched.count(), 1);
        QCOMPARE(repository.examples(), first);

        repository.reset();
        QVERIFY(fetched.wait(20000));
        QCOMPARE(namesOf(repository.examples()), namesOf(first));
        QVERIFY(repository.examples().first() != first.first());
    }

    void downloadSkipsUnsafeNames()
    {
        // Every other unsafe kind of name is refused by the same check as repository names.
        const QString projects = QString(R"({"projects": [
            {"id": %1, "name": "Up", "web_url": "u", "path": ".."},
            {"id": %3, "name": "Nested", "web_url": "u", "path": "a/b"},
            {"id": %2, "name": "Fine", "web_url": "u", "path": "fine"}]})")
                                     .arg(QString::number(ids["alpha"]),
                                          QString::number(ids["beta"]),
                                          QString::number(ids["gamma"]));
        answerListing(projects.toUtf8());
        Repository repository(url("/palvexos/examples"));
        QVERIFY(QSignalSpy(&repository, &Repository::fetched).wait(20000));
        QCOMPARE(repository.examples().size(), 3);

        QSignalSpy arrived(&repository, &Repository::exampleDownloaded);
        QSignalSpy finished(&repository, &Repository::downloadsFinished);
        repository.download({"..", "a/b", "fine"});
        QVERIFY(finished.wait(20000));
        QCOMPARE(arrived.count(), 1);
        QCOMPARE(namesOf(finished.first().first().value<Repository::Examples>()),
                 QStringList{"fine"});
        QCOMPARE(countRequests(*server, "/repository/archive"), 1);
        QCOMPARE(countRequests(*server, archivePath(ids["beta"])), 1);
        QVERIFY(logged("not a safe directory name - skipped: \"..\""));
        QVERIFY(logged("not a safe directory name - skipped: \"a/b\""));
    }
};

QTEST_MAIN(tst_ApiClient)

#include "tst_apiclient.moc"
