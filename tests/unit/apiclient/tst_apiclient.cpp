// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"
#include "gitlabfixture.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace Brindle::Internal;
using namespace Brindle::Test;

// The batch that a client under test has started: its progress entry and its end signal.
struct Batch
{
    Batch(ApiClient &client, const Repository::Examples &examples)
        : added(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded)
        , finishedSpy(&client, &ApiClient::downloadsFinished)
    {
        client.download(examples);
        if (!added.isEmpty()) {
            progress = added.first().first().value<Core::FutureProgress *>();
            future = progress->future();
            entryFinished = std::make_unique<QSignalSpy>(progress, &Core::FutureProgress::finished);
        }
    }

    QStringList names() const
    {
        QStringList result;
        const auto list = finishedSpy.first().first().value<Repository::Examples>();
        for (const QSharedPointer<Example> &example : list)
            result.append(example->name());
        result.sort();
        return result;
    }

    QSignalSpy added;
    QSignalSpy finishedSpy;
    QPointer<Core::FutureProgress> progress;
    QFuture<void> future;
    std::unique_ptr<QSignalSpy> entryFinished;
};

class tst_ApiClient final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void derivesGroupFromUrl_data();
    void derivesGroupFromUrl();
    void startsLookupOnlyFromEventLoop();
    void choosesGroupFromLookupAnswer_data();
    void choosesGroupFromLookupAnswer();
    void listsValidProjectsInServerOrder_data();
    void listsValidProjectsInServerOrder();
    void emptyBatchEndsAtOnceUnderGroupTitle_data();
    void emptyBatchEndsAtOnceUnderGroupTitle();
    void downloadsArchivesAndAvatars();
    void failedArchiveOrAvatarFailsOnlyThatExample();
    void cancelReportsCompletedExamplesAtOnce();
    void overlappingBatchesJoin();
    void stalledTransferFailsTheExample();
    void shutdownSilencesClient();

private:
    QString url(const QString &path) const { return server->baseUrl().toString() + path; }
    Repository::Examples listed(ApiClient &client);

    std::unique_ptr<GitLab::Server> server;
    std::unique_ptr<LogCapture> log;
    qint64 examplesGroup = 0;
    qint64 alpha = 0, beta = 0, gamma = 0;
};

void tst_ApiClient::init()
{
    log = std::make_unique<LogCapture>();
    server = std::make_unique<GitLab::Server>();
    QVERIFY(server->listen());
    server->addGroup("palvexos", "Palvex OS");
    examplesGroup = server->addGroup("palvexos/examples", "Examples");
    server->addGroup("palvexos/examples/legacy", "Archived Examples");
    server->addGroup("palvexos/demos", "Demos");
    alpha = server->addProject("palvexos/examples", project("alpha", {300, 150}));
    beta = server->addProject("palvexos/examples", project("beta", {32, 32}));
    gamma = server->addProject("palvexos/examples", project("gamma"));
}

void tst_ApiClient::cleanup()
{
    ApiClient::setTransferTimeout(60000);
    server.reset();
    log.reset();
}

Repository::Examples tst_ApiClient::listed(ApiClient &client)
{
    connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
    QSignalSpy fetched(&client, &ApiClient::fetched);
    if (!fetched.wait(20000))
        return {};
    return fetched.first().first().value<Repository::Examples>();
}

void tst_ApiClient::derivesGroupFromUrl_data()
{
    QTest::addColumn<QString>("repository"); // %1 is the server's base URL
    QTest::addColumn<QString>("group");      // empty: rejected, no request ever
    QTest::addColumn<QString>("logLine");

    QTest::newRow("slashes around group") << "%1/palvexos/examples/"
                                          << "palvexos/examples"
                                          << "";
    QTest::newRow("query and fragment") << "%1/palvexos/examples?ref=main#top"
                                        << "palvexos/examples"
                                        << "";
    QTest::newRow("encoded path") << "%1/palvexos/%65xamples"
                                  << "palvexos/examples"
                                  << "";
    QTest::newRow("no path") << "%1"
                             << ""
                             << "Provided repository url has no group:";
    QTest::newRow("root path") << "%1/"
                               << ""
                               << "Provided repository url has no group:";
    QTest::newRow("two slashes") << "%1//"
                                 << ""
                                 << "Provided repository url has no group:";
    QTest::newRow("no scheme") << "palvexos/examples"
                               << ""
                               << "Provided repository url is not valid:";
    QTest::newRow("local file") << "file:///palvexos/examples"
                                << ""
                                << "Provided repository url is not valid:";
}

void tst_ApiClient::derivesGroupFromUrl()
{
    QFETCH(QString, repository);
    QFETCH(QString, group);
    QFETCH(QString, logLine);

    ApiClient client(QUrl(QString(repository).replace("%1", server->baseUrl().toString())));
    QSignalSpy status(&client, &ApiClient::statusChanged);
    client.fetch();
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first().first().toString(),
             "Repository error: group id not found - unable to fetch examples");

    if (group.isEmpty()) {
        QVERIFY(LogCapture::contains(logLine));
        // Another client's whole round trip gives a stray lookup every chance to arrive.
        ApiClient other(QUrl(url("/palvexos/demos")));
        QVERIFY(QSignalSpy(&other, &ApiClient::ready).wait(20000));
        QVERIFY(!client.isReady());
        QCOMPARE(server->requests().size(), 1);
        QCOMPARE(server->requests().first().query.queryItemValue("search", QUrl::FullyDecoded),
                 "\"palvexos/demos\"");
    } else {
        QVERIFY(QSignalSpy(&client, &ApiClient::ready).wait(20000));
        const GitLab::RecordedRequest lookup = server->requests().first();
        QCOMPARE(lookup.path, "/api/v4/groups");
        QCOMPARE(lookup.query.queryItemValue("search", QUrl::FullyDecoded), '"' + group + '"');
        QCOMPARE(lookup.header("Content-Type"), "application/json");
    }
}

void tst_ApiClient::startsLookupOnlyFromEventLoop()
{
    ApiClient client(QUrl(url("/palvexos/examples")));
    QVERIFY(!LogCapture::contains("Requesting:"));
    // Connected only now, after construction, and still sees the whole lookup.
    QSignalSpy status(&client, &ApiClient::statusChanged);
    QVERIFY(QSignalSpy(&client, &ApiClient::ready).wait(20000));
    QCOMPARE(status.count(), 3);
    QCOMPARE(status.at(0).first().toString(), "Searching examples");
    QCOMPARE(status.at(1).first().toString(), "");
    QCOMPARE(status.at(2).first().toString(), "API client is ready");
    QVERIFY(client.isReady());
}

void tst_ApiClient::choosesGroupFromLookupAnswer_data()
{
    QTest::addColumn<int>("httpStatus"); // 0: the server's own answer
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("statuses"); // after "Searching examples"; "~x": contains x
    QTest::addColumn<qint64>("listedGroup");   // 0: not ready, -1: palvexos/examples
    QTest::addColumn<QString>("logLine");

    const QString several = "Search request return more than 1 object - taking first";
    const QStringList ready{"", "API client is ready"};
    QTest::newRow("look-alike sorted first") << 0 << QByteArray() << ready << qint64(-1) << several;
    QTest::newRow("single object")
        << 200 << QByteArray(R"({"id": 42, "full_path": "x"})") << ready << qint64(42) << "";
    QTest::newRow("full path differs in case")
        << 200 << QByteArray(R"([{"id": 41, "full_path": "palvexos/examples/legacy"},
                          {"id": 42, "full_path": "PalvexOS/Examples"}])")
        << ready << qint64(42) << several;
    QTest::newRow("no full path matches")
        << 200 << QByteArray(R"([{"id": 41, "full_path": "a"}, {"id": 43, "full_path": "b"}])")
        << ready << qint64(41) << several;
    QTest::newRow("empty array")
        << 200 << QByteArray("[]")
        << QStringList{"", "Search error: request return wrong data - no id field"} << qint64(0)
        << "";
    QTest::newRow("string id") << 200
                               << QByteArray(R"([{"id": "42", "full_path": "palvexos/examples"}])")
                               << QStringList{""} << qint64(0) << "";
    QTest::newRow("zero id") << 200 << QByteArray(R"({"id": 0})") << QStringList{""} << qint64(0)
                             << "";
    QTest::newRow("204 without body")
        << 204 << QByteArray() << QStringList{"", "Search error: request return null object"}
        << qint64(0) << "Json parse error: ";
    QTest::newRow("404") << 404 << QByteArray(R"({"message":"404 Group Not Found"})")
                         << QStringList{"~Not Found"} << qint64(0) << "";
}

void tst_ApiClient::choosesGroupFromLookupAnswer()
{
    QFETCH(int, httpStatus);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, statuses);
    QFETCH(qint64, listedGroup);
    QFETCH(QString, logLine);

    if (httpStatus)
        server->addFault("^/api/v4/groups$", answer(httpStatus, body));
    if (listedGroup == -1)
        listedGroup = examplesGroup;

    ApiClient client(QUrl(url("/palvexos/examples")));
    connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
    QSignalSpy status(&client, &ApiClient::statusChanged);
    QTRY_VERIFY_WITH_TIMEOUT(status.count() >= statuses.size() + 1, 20000);
    for (int i = 0; i < statuses.size(); ++i) {
        const QString text = status.at(i + 1).first().toString();
        if (statuses.at(i).startsWith('~'))
            QVERIFY2(text.contains(statuses.at(i).mid(1)), qPrintable(text));
        else
            QCOMPARE(text, statuses.at(i));
    }
    QCOMPARE(client.isReady(), listedGroup != 0);
    if (listedGroup == 0) {
        QCOMPARE(status.count(), statuses.size() + 1);
        QCOMPARE(server->requests().size(), 1);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 2, 20000);
        QCOMPARE(server->requests().at(1).path, QString("/api/v4/groups/%1").arg(listedGroup));
    }
    if (!logLine.isEmpty())
        QVERIFY(LogCapture::contains(logLine));
}

void tst_ApiClient::listsValidProjectsInServerOrder_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: the server's own answer
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("failure"); // the status instead of a list
    QTest::addColumn<QString>("logLine");

    const QByteArray mixed = R"({"projects": [
        {"id": 7, "name": "B", "web_url": "http://x/b", "path": "b"},
        {"id": 8, "name": "No web URL", "path": "x"},
        {"id": 0, "name": "No id", "web_url": "http://x/z", "path": "z"},
        {"id": 9, "name": "A", "web_url": "http://x/a", "path": "a"}]})";
    QTest::newRow("server's group, newest first")
        << QByteArray() << QStringList{"gamma", "beta", "alpha"} << ""
        << "";
    QTest::newRow("no projects") << QByteArray(R"({"projects": []})") << QStringList{} << ""
                                 << "";
    QTest::newRow("invalid projects dropped") << mixed << QStringList{"b", "a"} << ""
                                              << "";
    QTest::newRow("array takes first")
        << QByteArray(R"([{"projects": [{"id": 7, "name": "B", "web_url": "u", "path": "b"}]},
                          {"projects": []}])")
        << QStringList{"b"} << ""
        << "Fetch request return more than 1 object - taking first";
    QTest::newRow("no projects field")
        << QByteArray(R"({"id": 5})") << QStringList{}
        << "Fetch error: request return wrong data - no projects field"
        << "";
    QTest::newRow("broken JSON") << QByteArray(R"({"projects": [)") << QStringList{}
                                 << "Fetch error: request return null object"
                                 << "Json parse error: ";
}

void tst_ApiClient::listsValidProjectsInServerOrder()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, names);
    QFETCH(QString, failure);
    QFETCH(QString, logLine);

    if (!body.isEmpty())
        server->addFault("^/api/v4/groups/\\d+$", answer(200, body));

    ApiClient client(QUrl(url("/palvexos/examples")));
    connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
    QSignalSpy status(&client, &ApiClient::statusChanged);
    QSignalSpy fetched(&client, &ApiClient::fetched);
    if (failure.isEmpty()) {
        QVERIFY(fetched.wait(20000));
        QStringList listedNames;
        for (const auto &example : fetched.first().first().value<Repository::Examples>())
            listedNames.append(example->name());
        QCOMPARE(listedNames, names);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().first().toString() == failure,
                                 20000);
        QCOMPARE(fetched.count(), 0);
    }
    if (!logLine.isEmpty())
        QVERIFY(LogCapture::contains(logLine));
}

void tst_ApiClient::emptyBatchEndsAtOnceUnderGroupTitle_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("title");

    QTest::newRow("examples") << "/palvexos/examples"
                              << "Load examples";
    QTest::newRow("demos") << "/palvexos/demos"
                           << "Load demos";
    QTest::newRow("other group") << "/acme/samples"
                                 << "Load unknow examples type";
}

void tst_ApiClient::emptyBatchEndsAtOnceUnderGroupTitle()
{
    QFETCH(QString, group);
    QFETCH(QString, title);

    ApiClient client(QUrl(url(group)));
    Batch batch(client, Repository::Examples());
    QCOMPARE(batch.added.count(), 1);
    QCOMPARE(batch.progress->title(), title);
    QCOMPARE(batch.progress->type(), Utils::Id("LoadExamplesTask"));
    QVERIFY(batch.future.isFinished());
    QCOMPARE(batch.finishedSpy.count(), 1);
    QVERIFY(batch.finishedSpy.first().first().value<Repository::Examples>().isEmpty());
}

void tst_ApiClient::downloadsArchivesAndAvatars()
{
    ApiClient client(QUrl(url("/palvexos/examples")));
    const Repository::Examples examples = listed(client);
    QCOMPARE(examples.size(), 3);

    Batch batch(client, examples);
    QCOMPARE(batch.future.progressMaximum(), 3);
    QVERIFY(batch.finishedSpy.wait(20000));
    QCOMPARE(batch.names(), QStringList({"alpha", "beta", "gamma"}));
    QCOMPARE(batch.future.progressValue(), 3);
    QVERIFY(batch.future.isFinished());
    QTRY_COMPARE_WITH_TIMEOUT(batch.entryFinished->count(), 1, 20000);
    QCOMPARE(batch.added.count(), 1);

    QHash<QString, QImage> images;
    for (const QSharedPointer<Example> &example : examples) {
        QCOMPARE(example->data(), server->archiveOf(example->id()));
        images.insert(example->name(), example->image());
    }
    QCOMPARE(images.value("alpha").size(), QSize(128, 64));
    QCOMPARE(images.value("beta").size(), QSize(128, 128));
    QVERIFY(images.value("gamma").isNull()); // no avatar: no request, still complete
    QCOMPARE(countRequests(*server, "^/uploads/"), 2);
    const GitLab::RecordedRequest archive = server->requests().at(2);
    QVERIFY(archive.path.endsWith("/repository/archive.tar.gz"));
    QCOMPARE(archive.header("Content-Type"), "application/zip");
}

void tst_ApiClient::failedArchiveOrAvatarFailsOnlyThatExample()
{
    ApiClient client(QUrl(url("/palvexos/examples")));
    const Repository::Examples examples = listed(client);
    QSignalSpy status(&client, &ApiClient::statusChanged);
    server->addFault(archivePath(beta), answer(404, R"({"message":"404 File Not Found"})"));
    server->addFault(QString("^/uploads/.*/%1/").arg(alpha), answer(404));

    Batch batch(client, examples);
    QVERIFY(batch.finishedSpy.wait(20000));
    QCOMPARE(batch.names(), QStringList{"gamma"});
    QCOMPARE(batch.future.progressValue(), 3);

    QStringList texts;
    for (const QList<QVariant> &arguments : std::as_const(status))
        texts.append(arguments.first().toString());
    const QSharedPointer<Example> alphaExample = examples.at(2);
    QCOMPARE(alphaExample->name(), "alpha");
    QVERIFY(texts.contains("Unable to download image: " + alphaExample->imageUrl()));
    QCOMPARE(texts.filter("Not Found").size(), 2);
    // A failed avatar leaves the archive in the record.
    QCOMPARE(alphaExample->data(), server->archiveOf(alpha));
}

void tst_ApiClient::cancelReportsCompletedExamplesAtOnce()
{
    ApiClient client(QUrl(url("/palvexos/examples")));
    const Repository::Examples examples = listed(client);
    server->addFault(archivePath(beta), silence());
    server->addFault(archivePath(gamma), silence());
    QSignalSpy status(&client, &ApiClient::statusChanged);

    Batch batch(client, examples);
    QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 1, 20000);
    batch.progress->cancel();
    QCOMPARE(batch.finishedSpy.count(), 1);
    QCOMPARE(batch.names(), QStringList{"alpha"});
    QVERIFY(batch.future.isFinished());

    // The two outstanding replies end only now, after the cancel; they must change nothing.
    const qsizetype before = status.count();
    server.reset();
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), before + 2, 20000);
    QCOMPARE(batch.finishedSpy.count(), 1);
    QCOMPARE(batch.future.progressValue(), 1);
}

void tst_ApiClient::overlappingBatchesJoin()
{
    ApiClient client(QUrl(url("/palvexos/examples")));
    Repository::Examples examples = listed(client);
    std::sort(examples.begin(), examples.end(), [](const auto &a, const auto &b) {
        return a->name() < b->name();
    });
    server->addFault(archivePath(beta), silence());

    Batch batch(client, {examples.at(0), examples.at(1)});
    QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 1, 20000);
    client.download({examples.at(1), examples.at(2)});
    QCOMPARE(batch.future.progressMaximum(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(batch.future.progressValue(), 2, 20000);
    QCOMPARE(batch.finishedSpy.count(), 0);
    QCOMPARE(countRequests(*server, archivePath(beta)), 1);

    server.reset(); // ends the stalled archive of beta
    QVERIFY(batch.finishedSpy.wait(20000));
    QCOMPARE(batch.names(), QStringList({"alpha", "gamma"}));
    QCOMPARE(batch.future.progressValue(), 3);
    QCOMPARE(batch.added.count(), 1);
}

void tst_ApiClient::stalledTransferFailsTheExample()
{
    ApiClient::setTransferTimeout(300);
    ApiClient client(QUrl(url("/palvexos/examples")));
    const Repository::Examples examples = listed(client);
    server->addFault(archivePath(alpha), silence());
    QSignalSpy status(&client, &ApiClient::statusChanged);

    Batch batch(client, {examples.at(2)});
    QVERIFY(batch.finishedSpy.wait(20000));
    QCOMPARE(batch.names(), QStringList());
    QVERIFY(batch.future.isFinished());
    QCOMPARE(status.count(), 2);
    QVERIFY(!status.last().first().toString().isEmpty());
}

void tst_ApiClient::shutdownSilencesClient()
{
    ApiClient early(QUrl(url("/palvexos/demos")));
    early.shutdown(); // before its queued lookup ran

    ApiClient client(QUrl(url("/palvexos/examples")));
    const Repository::Examples examples = listed(client);
    QCOMPARE(countRequests(*server, "^/api/v4/groups$"), 1);

    server->addFault("/repository/archive", silence());
    Batch batch(client, examples);
    QTRY_COMPARE_WITH_TIMEOUT(countRequests(*server, "/repository/archive"), 3, 20000);
    QSignalSpy status(&client, &ApiClient::statusChanged);
    QSignalSpy fetched(&client, &ApiClient::fetched);

    client.shutdown();
    QVERIFY(batch.future.isFinished());
    QCOMPARE(client.runningRequestCount(), 0);
    client.fetch();
    client.download(Repository::Examples());
    client.download(examples);
    QVERIFY(batch.entryFinished->wait(20000));
    QCOMPARE(status.count(), 0);
    QCOMPARE(fetched.count(), 0);
    QCOMPARE(batch.finishedSpy.count(), 0);
    QCOMPARE(batch.added.count(), 1);
}

QTEST_MAIN(tst_ApiClient)

#include "tst_apiclient.moc"
