// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "../apiclient/gitlabfixture.h"
#include "repository.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace Brindle::Internal;
using namespace Brindle::Test;

static QStringList namesOf(const Repository::Examples &examples)
{
    QStringList names;
    for (const QSharedPointer<Example> &example : examples)
        names.append(example->name());
    return names;
}

class tst_Repository final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsAndDownloadsExactlyItsGroup();
    void missingGroupLeavesRepositoryNotReady();
    void resetKeepsListUntilNextListing();
    void downloadOfEmptyOrUnknownNames();
    void downloadSkipsUnsafeNames();
    void shutdownSilencesRepository();

private:
    QUrl url(const QString &path) const { return QUrl(server->baseUrl().toString() + path); }

    std::unique_ptr<GitLab::Server> server;
    std::unique_ptr<LogCapture> log;
    qint64 alpha = 0, beta = 0;
};

void tst_Repository::init()
{
    log = std::make_unique<LogCapture>();
    server = std::make_unique<GitLab::Server>();
    QVERIFY(server->listen());
    server->addGroup("palvexos", "Palvex OS");
    server->addGroup("palvexos/examples", "Examples");
    alpha = server->addProject("palvexos/examples", project("alpha", {64, 64}));
    beta = server->addProject("palvexos/examples", project("beta"));
}

void tst_Repository::cleanup()
{
    server.reset();
    log.reset();
}

void tst_Repository::listsAndDownloadsExactlyItsGroup()
{
    // The bundled samples hold a look-alike subgroup whose name sorts before the group.
    const QString samples = BRINDLE_SOURCE_DIR "/samples";
    GitLab::Server sampleServer;
    QVERIFY(sampleServer.loadSamples(samples));
    QVERIFY(sampleServer.listen());
    QStringList expected
        = QDir(samples + "/palvexos/examples").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    expected.removeIf([&](const QString &dir) {
        return !QFile::exists(samples + "/palvexos/examples/" + dir + "/project.json");
    });

    Repository repository(QUrl(sampleServer.baseUrl().toString() + "/palvexos/examples"));
    QSignalSpy fetched(&repository, &Repository::fetched);
    QVERIFY(fetched.wait(20000));
    QVERIFY(repository.isReady());
    QStringList listed = namesOf(repository.examples());
    listed.sort();
    QCOMPARE(listed, expected);

    // The list type has to survive queued connections as well as direct ones.
    Repository::Examples received;
    QObject receiver;
    connect(
        &repository,
        &Repository::downloadsFinished,
        &receiver,
        [&received](const Repository::Examples &examples) { received = examples; },
        Qt::QueuedConnection);
    QSignalSpy added(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);

    repository.download(QSet<QString>(listed.cbegin(), listed.cend()) << "unknown");
    QCOMPARE(added.count(), 1);
    auto progress = added.first().first().value<Core::FutureProgress *>();
    QSignalSpy entryFinished(progress, &Core::FutureProgress::finished);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), expected.size(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(entryFinished.count(), 1, 20000);
    QCOMPARE(added.count(), 1);
    for (const QSharedPointer<Example> &example : std::as_const(received))
        QCOMPARE(example->data(), sampleServer.archiveOf(example->id()));
    QCOMPARE(countRequests(sampleServer, "/repository/archive"), expected.size());
}

void tst_Repository::missingGroupLeavesRepositoryNotReady()
{
    Repository repository(url("/palvexos/missing"));
    QTRY_VERIFY_WITH_TIMEOUT(
        LogCapture::contains("Search error: request return wrong data - no id field"), 20000);
    QVERIFY(!repository.isReady());
    QVERIFY(repository.examples().isEmpty());
}

void tst_Repository::resetKeepsListUntilNextListing()
{
    Repository repository(url("/palvexos/examples"));
    QSignalSpy fetched(&repository, &Repository::fetched);
    QVERIFY(fetched.wait(20000));
    const Repository::Examples first = repository.examples();

    server->addFault("^/api/v4/groups/\\d+$", answer(500, {}, 1));
    repository.reset();
    QVERIFY(!repository.isReady());
    QCOMPARE(repository.examples(), first);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains("Internal Server Error"), 20000);
    QVERIFY(repository.isReady());
    QCOMPARE(fetched.count(), 1);
    QCOMPARE(repository.examples(), first);

    repository.reset();
    QVERIFY(fetched.wait(20000));
    QCOMPARE(namesOf(repository.examples()), namesOf(first));
    QVERIFY(repository.examples().first() != first.first());
}

void tst_Repository::downloadOfEmptyOrUnknownNames()
{
    Repository repository(url("/palvexos/examples"));
    QVERIFY(QSignalSpy(&repository, &Repository::fetched).wait(20000));
    QSignalSpy finished(&repository, &Repository::downloadsFinished);
    QSignalSpy added(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);

    repository.download({});
    QCOMPARE(added.count(), 0);
    QCOMPARE(finished.count(), 0);

    repository.download({"unknown"});
    QCOMPARE(added.count(), 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(finished.first().first().value<Repository::Examples>().isEmpty());
}

void tst_Repository::downloadSkipsUnsafeNames()
{
    const QString projects = QString(R"({"projects": [
        {"id": %1, "name": "Dots", "web_url": "u", "path": ".."},
        {"id": %1, "name": "Slash", "web_url": "u", "path": "a/b"},
        {"id": %1, "name": "Backslash", "web_url": "u", "path": "a\\b"},
        {"id": %1, "name": "Control", "web_url": "u", "path": "a\u0007b"},
        {"id": %1, "name": "Empty", "web_url": "u", "path": ""},
        {"id": %2, "name": "Fine", "web_url": "u", "path": "fine"}]})")
                                 .arg(alpha)
                                 .arg(beta);
    server->addFault("^/api/v4/groups/\\d+$", answer(200, projects.toUtf8()));
    Repository repository(url("/palvexos/examples"));
    QVERIFY(QSignalSpy(&repository, &Repository::fetched).wait(20000));
    QCOMPARE(repository.examples().size(), 6);

    QSignalSpy finished(&repository, &Repository::downloadsFinished);
    repository.download({"..", "a/b", "a\\b", QString("a") + QChar(7) + "b", "", "fine"});
    QVERIFY(finished.wait(20000));
    QCOMPARE(namesOf(finished.first().first().value<Repository::Examples>()), QStringList{"fine"});
    QCOMPARE(countRequests(*server, "/repository/archive"), 1);
    QCOMPARE(countRequests(*server, QString("^/api/v4/projects/%1/").arg(beta)), 1);
    for (const QString &name : {"\"..\"", "\"a/b\"", "\"a\\\\b\"", "\"\""})
        QVERIFY2(LogCapture::contains("not a safe directory name - skipped: " + name),
                 qPrintable(name));
}

void tst_Repository::shutdownSilencesRepository()
{
    Repository repository(url("/palvexos/examples"));
    QSignalSpy fetched(&repository, &Repository::fetched);
    QVERIFY(fetched.wait(20000));
    server->addFault("/repository/archive", silence());
    QSignalSpy finished(&repository, &Repository::downloadsFinished);
    QSignalSpy added(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    repository.download({"alpha"});
    QCOMPARE(added.count(), 1);
    auto progress = added.first().first().value<Core::FutureProgress *>();

    repository.shutdown();
    QVERIFY(progress->future().isFinished());
    repository.download({"unknown"});
    QCOMPARE(finished.count(), 0);
    QCOMPARE(added.count(), 1);

    // A reset brings a working client back.
    repository.reset();
    QVERIFY(fetched.wait(20000));
    QVERIFY(repository.isReady());
}

QTEST_MAIN(tst_Repository)

#include "tst_repository.moc"
