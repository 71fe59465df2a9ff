// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"
#include "gitlabserver.h"

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

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
            if (!example->data().isEmpty() && finished.isEmpty())
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

class tst_ApiClient final : public QObject
{
    Q_OBJECT

    std::unique_ptr<GitLab::Server> server;
    QHash<QString, qint64> ids;

    QUrl url(const QString &path) const { return QUrl(server->baseUrl().toString() + path); }
    static bool logged(const QString &text) { return !logLines.filter(text).isEmpty(); }
    static QString archivePath(qint64 id) { return QString("/projects/%1/repository/").arg(id); }

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
        server->addGroup("palvexos/examples/legacy", "Archived Examples");
        server->addGroup("palvexos/demos", "Demos");
        for (const QString &name : {"alpha", "beta", "gamma"})
            ids[name] = server->addProject("palvexos/examples", project(name, name != "gamma"));
    }
    void cleanup()
    {
        ApiClient::setTransferTimeout(60000);
        server.reset();
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
        QTest::newRow("demos") << "%1/palvexos/demos" << "palvexos/demos" << "Load demos" << "";
        QTest::newRow("other group") << "%1/acme/samples" << "acme/samples" << unknown << "";
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
    }

    void choosesGroupFromLookupAnswer_data()
    {
        QTest::addColumn<int>("httpStatus"); // 0: the server's own answer
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("statuses"); // after "Searching examples"; "~x": contains x
        QTest::addColumn<qint64>("listedGroup");   // 0: not ready, -1: palvexos/examples
        QTest::addColumn<bool>("several");         // logs that it took one of several

        const QStringList ready{"", "API client is ready"};
        // clang-format off
        QTest::newRow("look-alike sorted first") << 0 << QByteArray() << ready << qint64(-1) << true;
        QTest::newRow("single object") << 200 << QByteArray(R"({"id": 42, "full_path": "x"})") << ready << qint64(42) << false;
        QTest::newRow("full path differs in case") << 200 << QByteArray(R"([{"id": 41, "full_path": "palvexos/examples/legacy"}, {"id": 42, "full_path": "PalvexOS/Examples"}])") << ready << qint64(42) << true;
        QTest::newRow("no full path matches") << 200 << QByteArray(R"([{"id": 41, "full_path": "a"}, {"id": 43, "full_path": "b"}])") << ready << qint64(41) << true;
        QTest::newRow("empty array") << 200 << QByteArray("[]") << QStringList{"", "Search error: request return wrong data - no id field"} << qint64(0) << false;
        QTest::newRow("string id") << 200 << QByteArray(R"([{"id": "42", "full_path": "palvexos/examples"}])") << QStringList{""} << qint64(0) << false;
        QTest::newRow("zero id") << 200 << QByteArray(R"({"id": 0})") << QStringList{""} << qint64(0) << false;
        QTest::newRow("204 without body") << 204 << QByteArray() << QStringList{"", "Search error: request return null object"} << qint64(0) << false;
        QTest::newRow("404") << 404 << QByteArray(R"({"message":"404 Group Not Found"})") << QStringList{"~Not Found"} << qint64(0) << false;
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
        QTEST(logged("Search request return more than 1 object - taking first"), "several");
    }

    void listsValidProjectsInServerOrder_data()
    {
        QTest::addColumn<QByteArray>("body"); // empty: the server's own answer
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("failure"); // the status instead of a list

        // clang-format off
        QTest::newRow("server's group, newest first") << QByteArray() << QStringList{"gamma", "beta", "alpha"} << "";
        QTest::newRow("no projects") << QByteArray(R"({"projects": []})") << QStringList{} << "";
        QTest::newRow("invalid projects dropped") << QByteArray(R"({"projects": [{"id": 7, "name": "B", "web_url": "u", "path": "b"}, {"id": 8, "name": "No web URL", "path": "x"}, {"id": 0, "name": "No id", "web_url": "u", "path": "z"}, {"id": 9, "name": "A", "web_url": "u", "path": "a"}]})") << QStringList{"b", "a"} << "";
        QTest::newRow("array takes first") << QByteArray(R"([{"projects": [{"id": 7, "name": "B", "web_url": "u", "path": "b"}]}, {"projects": []}])") << QStringList{"b"} << "";
        QTest::newRow("no projects field") << QByteArray(R"({"id": 5})") << QStringList{} << "Fetch error: request return wrong data - no projects field";
        QTest::newRow("broken JSON") << QByteArray(R"({"projects": [)") << QStringList{} << "Fetch error: request return null object";
        // clang-format on
    }
    void listsValidProjectsInServerOrder()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, failure);

        if (!body.isEmpty())
            server->addFault("^/api/v4/groups/\\d+$", GitLab::Fault{.status = 200, .body = body});
        ApiClient client(url("/palvexos/examples"));
        connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
        QSignalSpy status(&client, &ApiClient::statusChanged);
        QSignalSpy fetched(&client, &ApiClient::fetched);
        if (failure.isEmpty()) {
            QVERIFY(fetched.wait(20000));
            QTEST(namesOf(fetched.first().first().value<Repository::Examples>()), "names");
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().first() == failure, 20000);
            QCOMPARE(fetched.count(), 0);
        }
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
        QTest::newRow("avatar 404") << "alpha" << "avatar" << QStringList{"beta", "gamma"} << "Unable to download image: http";
        QTest::newRow("stalled archive") << "alpha" << "stall" << QStringList{"beta", "gamma"} << "Operation canceled";
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
            const bool failed = example->name() == failing;
            // A failed avatar still leaves the archive in the record.
            if (!failed || fault == "avatar")
                QCOMPARE(example->data(), server->archiveOf(example->id()));
            QCOMPARE(example->image().isNull(), example->name() == "gamma" || failed);
        }
        // gamma has no avatar and sends no image request; a failed archive skips the avatar.
        const bool archiveFailed = fault == "archive" || fault == "stall";
        QCOMPARE(countRequests(*server, "^/uploads/"), archiveFailed ? 1 : 2);
        QCOMPARE(countRequests(*server, "/repository/archive\\.tar\\.gz$"), 3);
    }

    void largeBatchKeepsSixArchivesRunning()
    {
        // Requests beyond the manager's six connections would wait in its queue with their
        // inactivity timeout already running, and fail without ever having been sent.
        for (int i = 0; i < 7; ++i)
            server->addProject("palvexos/examples", project(QString("more%1").arg(i), false));
        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        QCOMPARE(examples.size(), 10);
        server->addFault("/repository/archive", silence);
        ApiClient::setTransferTimeout(1500);

        Batch batch(client, examples);
        QCOMPARE(client.runningRequestCount(), 6);
        QVERIFY(batch.finished.wait(30000));
        QCOMPARE(countRequests(*server, "/repository/archive"), 10);
    }

    void cancelReportsCompletedExamplesAtOnce()
    {
        ApiClient client(url("/palvexos/examples"));
        const Repository::Examples examples = listed(client);
        server->addFault(archivePath(ids["beta"]), silence);
        server->addFault(archivePath(ids["gamma"]), silence);
        QSignalSpy status(&client, &ApiClient::statusChanged);

        Batch batch(client, examples);
        QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 1, 20000);
        batch.progress->cancel();
        QCOMPARE(batch.finished.count(), 1);
        QCOMPARE(batch.names(), QStringList{"alpha"});
        QVERIFY(batch.future.isFinished());

        // The two held replies end only now, after the cancel; they must change nothing.
        const qsizetype before = status.count();
        server.reset();
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), before + 2, 20000);
        QCOMPARE(batch.finished.count(), 1);
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
        const QString projects
            = QString(R"({"projects": [
            {"id": %1, "name": "Up", "web_url": "u", "path": ".."},
            {"id": %1, "name": "Nested", "web_url": "u", "path": "a/b"},
            {"id": %2, "name": "Fine", "web_url": "u", "path": "fine"}]})")
                  .arg(QString::number(ids["alpha"]), QString::number(ids["beta"]));
        server->addFault("^/api/v4/groups/\\d+$",
                         GitLab::Fault{.status = 200, .body = projects.toUtf8()});
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
