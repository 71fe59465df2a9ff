// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"
#include "archivefolder.h"
#include "downloadservice.h"
#include "gitlabserver.h"
#include "settings.h"
#include "testfiles.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Brindle::Internal;
using namespace TestFiles;

namespace {

const int TIMEOUT = 20000;
const QString GROUP = "palvexos/examples";

QString repositoryDir()
{
    return Settings::location().chopped(2) + "examples";
}

QString manifestOf(const QString &example)
{
    return repositoryDir() + u'/' + example + "/examples-manifest.xml";
}

// The examples that the service installed, known by their manifest.
QStringList registered()
{
    QStringList names = entriesOf(repositoryDir());
    names.removeIf([](const QString &name) { return !QFile::exists(manifestOf(name)); });
    return names;
}

} // namespace

class tst_DownloadService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshInstallWritesOneManifestPerExample();
    void examplesInstallWhileTheBatchStillDownloads();
    void decisionUsesStoredSettingsAndWritesOnlyCheckDate();
    void decisionSeesRemovalByAnotherProcess();
    void restartCheck_data();
    void restartCheck();
    void notificationWaitsForModalWidget_data();
    void notificationWaitsForModalWidget();
    void exampleThatCannotStartStillEndsBatch_data();
    void exampleThatCannotStartStillEndsBatch();
    void everyListedExampleInstallsOnce_data();
    void everyListedExampleInstallsOnce();
    void removalWinsOverInstallInFlight();
    void failedListingIsRetried();
    void restartLeavesBusyServerToItsRetry();
    void emptyArchiveIsNotUnpacked_data();
    void emptyArchiveIsNotUnpacked();
    void serverTextsReachNoStatusWithControlCharacters();
    void dueExampleFollowsItsListedActivity_data();
    void dueExampleFollowsItsListedActivity();
    void tokenChangeEndsTheRunningBatch();
    void removalThatFailsIsReportedAndNotStoredAsRemoved();
    void lookAlikeGroupIsNeverUsed();
    void updateKeepsWhatTheUserChangedAndTellsWhere();

private:
    qint64 addProject(GitLab::Project p);
    void startService(const QVariantMap &keys = {},
                      const QMap<QString, QString> &groups = {{"examples", GROUP}});

    std::unique_ptr<GitLab::Server> server;
    std::unique_ptr<DownloadService> service;
    QString baseUrl; // of the server, with a trailing "/"
    QSignalSpy documentation{Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged};
    QStringList statuses;
    int updates = 0;
    const QByteArray savedPath = qgetenv("PATH");
    const QByteArray savedTmpDir = qgetenv("TMPDIR");
};

void tst_DownloadService::init()
{
    // Every test wipes the data location and the settings: only ever the private ones.
    const QString sandbox = testRoot();
    for (const QString &path :
         {Settings::location(), Core::ICore::settings()->fileName(), QDir::tempPath()})
        QVERIFY2(path.startsWith(sandbox),
                 qPrintable("Run this test through ctest, not on " + path));
    QDir(Settings::location().chopped(3)).removeRecursively();
    QDir(Settings::ownDataPath()).removeRecursively();
    Core::ICore::settings()->clear();
    server = std::make_unique<GitLab::Server>();
    QVERIFY(server->listen());
    baseUrl = server->baseUrl().toString() + u'/';
    documentation.clear();
    statuses.clear();
    updates = 0;
}

void tst_DownloadService::cleanup()
{
    service.reset();
    server.reset();
    qputenv("PATH", savedPath);
    qputenv("TMPDIR", savedTmpDir);
}

// Named after its path and holding a project file unless given otherwise.
qint64 tst_DownloadService::addProject(GitLab::Project p)
{
    if (p.name.isEmpty())
        p.name = p.path;
    if (p.files.isEmpty())
        p.files = {{"CMakeLists.txt", "project(" + p.path.toUtf8() + ")\n"}};
    return server->addProject(GROUP, p);
}

void tst_DownloadService::startService(const QVariantMap &keys,
                                       const QMap<QString, QString> &groups)
{
    Utils::QtcSettings *store = Core::ICore::settings();
    QStringList items;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        items.append(it.key() + u'|' + baseUrl + it.value() + u'|');
    store->setValue("Brindle/Repositories", items);
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        store->setValue(Utils::keyFromString("Brindle/" + it.key()), it.value());
    store->sync();
    service = std::make_unique<DownloadService>();
    connect(service.get(), &DownloadService::statusChanged, this, [this](const QString &text) {
        statuses.append(text);
    });
    connect(service.get(), &DownloadService::updated, this, [this] { ++updates; });
}

void tst_DownloadService::freshInstallWritesOneManifestPerExample()
{
    // clang-format off
    addProject({.path = "hello-qml", .name = "Hello QML", .description = "The Hello QML example", .topics = {"qml", "Palvex"},
                .files = {{"CMakeLists.txt", "x"}, {"qml/main.qml", "ApplicationWindow {}"}},
                .avatar = pngBytes(300, 150), .avatarFileName = "logo.png"});
    addProject({.path = "qmake-app", .name = "QMake App", .files = {{"app.pro", "TEMPLATE = app"}}});
    // clang-format on

    startService();
    const QString repo = repositoryDir();
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(repo), (QStringList{"hello-qml", "qmake-app"}), TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    // The listing's title, description, topics and avatar reach the manifest
    // clang-format off
    QCOMPARE(manifestValues(repositoryDir() + "/hello-qml"), (QStringList{"Hello QML", "CMakeLists.txt", repo + "/hello-qml/example-icon.png", "The Hello QML example", "Palvex,qml", "qml/main.qml"}));
    QCOMPARE(manifestValues(repositoryDir() + "/qmake-app"), (QStringList{"QMake App", "app.pro", "dummy.png", "", "Qt,example", "app.pro"}));
    // clang-format on
    QCOMPARE(QDir(ArchiveFolder::path()).entryList({"*.tar.gz"}), QStringList());
}

void tst_DownloadService::examplesInstallWhileTheBatchStillDownloads()
{
    addProject({.path = "alpha"});
    const qint64 stalled = addProject({.path = "beta"});
    server->addFault(QString("^/api/v4/projects/%1/repository/").arg(stalled),
                     GitLab::Fault{.kind = GitLab::Fault::NeverAnswer});
    const int savedTimeout = ApiClient::transferTimeout();
    ApiClient::setTransferTimeout(4000);
    const auto restoreTimeout = qScopeGuard([&] { ApiClient::setTransferTimeout(savedTimeout); });

    startService();
    // alpha is in place, its archive bytes let go, while beta still holds the batch open
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(manifestOf("alpha")), TIMEOUT);
    QCOMPARE(documentation.count(), 0);
    const QList<QSharedPointer<Example>> examples = service->examples("examples");
    QVERIFY(std::ranges::all_of(examples,
                                [](const auto &example) { return example->data().isEmpty(); }));

    // The host reloads once, when the stalled download has failed
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), QStringList{"alpha"});
}

void tst_DownloadService::decisionUsesStoredSettingsAndWritesOnlyCheckDate()
{
    for (const QString &name : {"alpha", "beta", "gamma"})
        addProject({.path = name});
    startService({{"UpdatesCheckTimeoutDays", 1}});

    // The options page removes an example after the service has loaded its copy, before the
    // listing arrives.
    Settings page;
    page.load(Core::ICore::settings());
    page.repositories["examples"].removedExamples = {"beta"};
    page.saveUserChoices(Core::ICore::settings());

    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), (QStringList{"alpha", "gamma"})); // removed, even though missing
    page.load(Core::ICore::settings());
    QCOMPARE(page.repositories.value("examples").removedExamples, QSet<QString>{"beta"});
    QStringList keys = Core::ICore::settings()->allKeys();
    keys.sort();
    QCOMPARE(keys.join(' '),
             "Brindle/Repositories Brindle/UpdatesCheckTimeoutDays Brindle/UpdatesCheckedDate");

    service->save("examples", {"beta"});
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 2, TIMEOUT);
    QVERIFY(!manifestValues(repositoryDir() + "/beta").isEmpty());
}

void tst_DownloadService::decisionSeesRemovalByAnotherProcess()
{
    for (const QString &name : {"alpha", "beta"})
        addProject({.path = name});
    startService({{"UpdatesCheckTimeoutDays", 1}});
    // The store's delayed write-back of what startService() set, which in the IDE happened
    // long ago, and which would read the file again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);

    // Another IDE removes beta on its options page while this one looks the group up. Its
    // write reaches this process only through the file, as QSettings writes it: a new file
    // renamed over the old one.
    const QString file = Core::ICore::settings()->fileName();
    const QString other = file + ".other";
    QVERIFY(QFile::copy(file, other));
    {
        QSettings otherStore(other, QSettings::IniFormat);
        otherStore.setValue("Brindle/Repositories",
                            QStringList{"examples|" + baseUrl + GROUP + "|beta"});
    }
    QVERIFY(QFile::remove(file));
    QVERIFY(QFile::rename(other, file));

    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), QStringList{"alpha"});
    const QList<GitLab::RecordedRequest> requests = server->requests();
    QCOMPARE(std::ranges::count_if(requests,
                                   [](const auto &r) { return r.path.contains("/repository/"); }),
             1);
}

void tst_DownloadService::restartCheck_data()
{
    QTest::addColumn<uint>("stored");
    QTest::addColumn<qint64>("expectedMs");
    // Below 10 s the settings read as 10 s: no value makes the plugin hammer a server.
    QTest::newRow("zero") << 0u << qint64(10000);
    QTest::newRow("one") << 1u << qint64(10000);
    QTest::newRow("largest") << 2147483u << qint64(2147483000);
    QTest::newRow("overflowing") << 2147484u << qint64(2147483000);
}

void tst_DownloadService::restartCheck()
{
    QFETCH(uint, stored);
    QFETCH(qint64, expectedMs);

    addProject({.path = "alpha"});
    startService({{"ServiceRestartTimeoutSeconds", stored}},
                 {{"examples", GROUP}, {"later", "palvexos/later"}});
    QCOMPARE(qint64(service->restartInterval().count()), expectedMs);
    if (expectedMs > 1000)
        return;
    // Ticking every second resets only the repository that is not ready; with 0 it would
    // reset every client on every pass of the event loop, so that no listing could finish.
    const QString restarting = "API client is not ready - restarting (%1)";
    QTRY_VERIFY_WITH_TIMEOUT(statuses.count(restarting.arg(baseUrl + "palvexos/later")) >= 2,
                             TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QVERIFY(!statuses.contains(restarting.arg(baseUrl + GROUP)));
    server->addGroup("palvexos/later");
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRestartCheckActive(), TIMEOUT);
}

void tst_DownloadService::notificationWaitsForModalWidget_data()
{
    QTest::addColumn<bool>("dialog");
    QTest::newRow("dialog") << true;
    QTest::newRow("plain modal widget") << false;
}

void tst_DownloadService::notificationWaitsForModalWidget()
{
    QFETCH(bool, dialog);
    addProject({.path = "alpha"});
    QWidget *widget = dialog ? new QDialog : new QWidget;
    widget->setWindowModality(Qt::ApplicationModal);
    widget->show();
    startService();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(manifestOf("alpha")) && service->pendingCount() == 0,
                             TIMEOUT);
    const int updatesBefore = updates;
    if (dialog)
        static_cast<QDialog *>(widget)->accept(); // notified after its finished(), not from it
    else
        widget->hide(); // a plain widget is waited for until it is gone
    QCOMPARE(documentation.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(documentation.count(), dialog ? 1 : 0);
    delete widget;
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(updates, updatesBefore + 1);
}

void tst_DownloadService::exampleThatCannotStartStillEndsBatch_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("goodInstalled");
    // clang-format off
    QTest::newRow("no data") << "no data" << "The data is not downloaded for example: Evil" << true;
    QTest::newRow("unsafe name") << "unsafe name" << "Skip saving example Evil - unsafe name: .." << true;
    QTest::newRow("no extraction tool") << "no tool" << "Downloaded file is not an archive" << false;
    QTest::newRow("temporary file not writable") << "no temp" << "Unable to save the archive of example alpha: " << false;
    // clang-format on
}

void tst_DownloadService::exampleThatCannotStartStillEndsBatch()
{
    QFETCH(QString, kind);
    QFETCH(QString, status);
    QFETCH(bool, goodInstalled);

    const QByteArray archive = server->archiveOf(addProject({.path = "alpha"}));
    startService({{"UpdatesCheckTimeoutDays", 0}});
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);
    const QSharedPointer<Example> good = service->examples("examples").first();
    good->setData(archive);
    auto bad = QSharedPointer<Example>::create(QJsonObject{
        {"id", 999}, {"name", "Evil"}, {"path", kind == "unsafe name" ? ".." : "evil"}});
    if (kind != "no data")
        bad->setData(archive);
    if (kind == "no tool")
        qputenv("PATH", "");
    if (kind == "no temp") {
        writeFile(QDir::tempPath() + "/file", "x");
        qputenv("TMPDIR", QFile::encodeName(QDir::tempPath() + "/file"));
    }

    emit service->findRepository("examples")->downloadsFinished({bad, good});
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QVERIFY2(!statuses.filter(status).isEmpty(), qPrintable(statuses.join('\n')));
    QCOMPARE(entriesOf(repositoryDir()), goodInstalled ? QStringList{"alpha"} : QStringList());
    QVERIFY(entriesOf(Settings::location().chopped(3)).size() <= 1);
    QCoreApplication::processEvents();
    QCOMPARE(documentation.count(), 1);
}

void tst_DownloadService::everyListedExampleInstallsOnce_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("installed");
    // clang-format off
    QTest::newRow("names that prefix others") << QStringList{"demo", "demo-main", "demo-m"} << QStringList{"demo", "demo-m", "demo-main"};
    QTest::newRow("hidden name") << QStringList{"alpha", ".hidden"} << QStringList{"alpha"};
    // clang-format on
}

void tst_DownloadService::everyListedExampleInstallsOnce()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, installed);
    for (const QString &name : listed)
        addProject({.path = name});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), installed);

    // Checked today and complete: the next start downloads nothing
    service.reset();
    server->clearRequests();
    QSignalSpy tasks(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    updates = 0;
    startService();
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);
    QCoreApplication::processEvents();
    QCOMPARE(tasks.count(), 0);
    for (const GitLab::RecordedRequest &request : server->requests())
        QVERIFY2(!request.path.contains("/repository/archive"), qPrintable(request.path));
    QCOMPARE(registered(), installed);
}

void tst_DownloadService::removalWinsOverInstallInFlight()
{
    addProject({.path = "alpha"});
    startService({{"UpdatesCheckTimeoutDays", 0}});
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);

    // Removed on the options page while its archive is still on its way
    // Its download stops: nothing arrives, and nothing changed for the host to read again.
    documentation.clear();
    service->save("examples", {"alpha"});
    service->remove("examples", {"alpha"});
    QTRY_VERIFY_WITH_TIMEOUT(!service->isBusy(), TIMEOUT);
    QCOMPARE(service->repositoryState("examples").installing, QSet<QString>());
    QCOMPARE(documentation.count(), 0);
    QCOMPARE(service->pendingCount(), 0);
    QCOMPARE(entriesOf(repositoryDir()), QStringList());

    // Added back: installed again
    service->save("examples", {"alpha"});
    QTRY_COMPARE_WITH_TIMEOUT(registered(), QStringList{"alpha"}, TIMEOUT);
}

void tst_DownloadService::failedListingIsRetried()
{
    // The group is known, but its listing fails twice: the restart check starts the lookup
    // and the listing again, as for a lookup that failed.
    addProject({.path = "alpha"});
    GitLab::Fault broken = GitLab::Fault::status500();
    broken.times = 2;
    server->addFault("^/api/v4/groups/\\d+$", broken);
    qputenv("BRINDLE_RESTART_INTERVAL_MS", "1000");
    const auto unset = qScopeGuard([] { qunsetenv("BRINDLE_RESTART_INTERVAL_MS"); });
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(registered(), QStringList{"alpha"}, TIMEOUT);
    int listings = 0;
    for (const GitLab::RecordedRequest &request : server->requests())
        listings += QRegularExpression("^/api/v4/groups/\\d+$").match(request.path).hasMatch();
    QCOMPARE(listings, 3);
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRestartCheckActive(), TIMEOUT);
}

void tst_DownloadService::restartLeavesBusyServerToItsRetry()
{
    // The lookup waits 2 s for a busy server, twice; the restart check ticks every second and
    // must not replace the client that waits.
    addProject({.path = "alpha"});
    GitLab::Fault busy = GitLab::Fault::busy(429, 2);
    busy.times = 2;
    server->addFault("^/api/v4/groups$", busy);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> lookups;
    connect(server.get(), &GitLab::Server::requestReceived, this, [&](const auto &request) {
        if (request.path == "/api/v4/groups")
            lookups.append(clock.elapsed());
    });
    qputenv("BRINDLE_RESTART_INTERVAL_MS", "1000");
    const auto unset = qScopeGuard([] { qunsetenv("BRINDLE_RESTART_INTERVAL_MS"); });
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(registered(), QStringList{"alpha"}, TIMEOUT);
    QCOMPARE(lookups.size(), 3);
    for (qsizetype i = 1; i < lookups.size(); ++i)
        QVERIFY2(lookups.at(i) - lookups.at(i - 1) >= 1800,
                 qPrintable(QString::number(lookups.at(i) - lookups.at(i - 1))));
    QCOMPARE(statuses.filter("restarting"), QStringList());
}

void tst_DownloadService::emptyArchiveIsNotUnpacked_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("200, 0 bytes") << 200;
    QTest::newRow("204") << 204;
}

void tst_DownloadService::emptyArchiveIsNotUnpacked()
{
    QFETCH(int, status);
    addProject({.path = "alpha", .name = "Alpha"});
    const qint64 beta = addProject({.path = "beta", .name = "Beta"});
    server->addFault(
        QString("^/api/v4/projects/%1/repository/").arg(beta),
        GitLab::Fault{.status = status, .headers = {{"Content-Type", "application/octet-stream"}}});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), QStringList{"alpha"});
    QVERIFY2(statuses.contains("The data is not downloaded for example: Beta"),
             qPrintable(statuses.join('\n')));
    QCOMPARE(statuses.filter("Beta").size(), 2); // and "Downloading example: Beta" before it
    QCOMPARE(QDir(ArchiveFolder::path()).entryList({"*.tar.gz"}), QStringList());
}

void tst_DownloadService::serverTextsReachNoStatusWithControlCharacters()
{
    // A project name with escape sequences that would retitle and clear a terminal.
    addProject({.path = "alpha", .name = "Alpha\x1b]0;owned\x07\x1b[2J\r\nAlpha\u009b31m"});
    startService({}, {{"examples", GROUP}});
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QVERIFY(!statuses.filter("Alpha").isEmpty());
    static const QRegularExpression control("[\\x00-\\x1f\\x7f-\\x9f]");
    for (const QString &status : std::as_const(statuses))
        QVERIFY2(!control.match(status).hasMatch(),
                 qPrintable(status.toUtf8().toPercentEncoding()));
    // The title as the Welcome screen shows it: its manifest must stay well-formed XML.
    QCOMPARE(manifestValues(repositoryDir() + "/alpha").value(0), "Alpha]0;owned[2JAlpha31m");
}

namespace {
QStringList serviceLog;
}

void tst_DownloadService::dueExampleFollowsItsListedActivity_data()
{
    QTest::addColumn<QString>("activity");
    QTest::addColumn<bool>("downloaded");
    QTest::newRow("unknown activity: downloaded") << "yesterday" << true;
    QTest::newRow("no activity since: skipped, logged by title") << "2020-01-01T00:00:00Z" << false;
}

void tst_DownloadService::dueExampleFollowsItsListedActivity()
{
    QFETCH(QString, activity);
    QFETCH(bool, downloaded);
    addProject({.path = "alpha", .name = "The Alpha Title"});
    startService({{"UpdatesCheckTimeoutDays", 0}});
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);
    writeFile(repositoryDir() + "/alpha/old.txt", "old");

    // Installed, checked 8 days ago with an interval of 7: due, and only the activity decides.
    Core::ICore::settings()->setValue("Brindle/UpdatesCheckTimeoutDays", 7);
    Core::ICore::settings()->setValue(
        "Brindle/UpdatesCheckedDate",
        lastUpdateTimeToStringList({{"examples", QDate::currentDate().addDays(-8)}}));
    QJsonObject alpha = *service->examples("examples").first();
    alpha.insert("last_activity_at", activity);
    serviceLog.clear();
    QLoggingCategory::setFilterRules("oskel.brindle.plugin.service.debug=true");
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
              serviceLog.append(message);
          });
    const auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules({});
    });
    service->findRepository("examples")->onFetched({QSharedPointer<Example>::create(alpha)});
    if (downloaded) {
        QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    } else {
        QCOMPARE(serviceLog.filter("Skip example:"),
                 QStringList{"Skip example: \"The Alpha Title\""});
    }
    QCOMPARE(QFile::exists(repositoryDir() + "/alpha/old.txt"), !downloaded);
}

// A token set while a batch downloads replaces the client: the batch ends, every example of
// it is reported, the Welcome screen hears of what was installed, and what did not arrive is
// downloaded again with the new token.
void tst_DownloadService::tokenChangeEndsTheRunningBatch()
{
    addProject({.path = "alpha"});
    const qint64 beta = addProject({.path = "beta"});
    server->addToken("glpat-new");
    GitLab::Fault silent;
    silent.kind = GitLab::Fault::NeverAnswer;
    silent.times = 1;
    const QString betaArchive = QString("^/api/v4/projects/%1/repository/archive").arg(beta);
    server->addFault(betaArchive, silent);
    QSignalSpy betaAsked(server.get(), &GitLab::Server::requestReceived);
    QHash<QString, QList<ExampleResult>> results;
    startService();
    connect(service.get(),
            &DownloadService::exampleFinished,
            this,
            [&](const QString &, const QString &example, const ExampleResult &result) {
                results[example].append(result);
            });
    QTRY_COMPARE_WITH_TIMEOUT(registered(), QStringList{"alpha"}, TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::any_of(betaAsked.cbegin(),
                    betaAsked.cend(),
                    [&](const QList<QVariant> &arguments) {
                        return arguments.first().value<GitLab::RecordedRequest>().path.contains(
                            "/repository/archive");
                    })
            && service->repositoryState("examples").installing == QSet<QString>{"beta"},
        TIMEOUT);
    QVERIFY(service->isBusy());

    service->setAccessToken("examples", "glpat-new");
    QCOMPARE(results.value("beta").size(), 1);
    QCOMPARE(results.value("beta").first().outcome, ExampleResult::Outcome::Skipped);
    QTRY_COMPARE_WITH_TIMEOUT(registered(), (QStringList{"alpha", "beta"}), TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!service->isBusy(), TIMEOUT);
    QCOMPARE(results.value("beta").last(), ExampleResult::installed(false));
    QVERIFY(documentation.count() >= 1);
    const RepositoryState state = service->repositoryState("examples");
    QCOMPARE(state.phase, RepositoryState::Phase::Idle);
    QVERIFY(state.isUpToDate());
    QCOMPARE(service->failures(), QStringList());
    // The second request for beta's archive carried the new token.
    const QList<GitLab::RecordedRequest> requests = server->requests();
    const auto last = std::find_if(requests.crbegin(), requests.crend(), [&](const auto &request) {
        return QRegularExpression(betaArchive).match(request.path).hasMatch();
    });
    QVERIFY(last != requests.crend());
    QCOMPARE(last->header("PRIVATE-TOKEN"), QByteArray("glpat-new"));
}

// A folder that cannot be removed says so, and stays an installed example: it is not stored
// as removed, or it would never be updated or shown again.
void tst_DownloadService::removalThatFailsIsReportedAndNotStoredAsRemoved()
{
    QVERIFY(dropPermissionOverride());
    addProject({.path = "alpha"});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(registered(), QStringList{"alpha"}, TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!service->isBusy(), TIMEOUT);
    // As the page's Apply stores it before it asks for the removal
    Settings stored;
    stored.load(Core::ICore::settings());
    stored.repositories["examples"].removedExamples.insert("alpha");
    stored.saveUserChoices(Core::ICore::settings(), false);

    QFile::setPermissions(repositoryDir(), QFile::ReadOwner | QFile::ExeOwner);
    const auto writable = qScopeGuard([] {
        QFile::setPermissions(repositoryDir(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    QSignalSpy removed(service.get(), &DownloadService::exampleRemoved);
    service->remove("examples", {"alpha"});
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, TIMEOUT);
    const ExampleResult result = removed.first().at(2).value<ExampleResult>();
    QCOMPARE(result.outcome, ExampleResult::Outcome::RemovalFailed);
    QCOMPARE(result.reason, QString("Permission denied"));
    QVERIFY(QFileInfo::exists(repositoryDir() + "/alpha"));

    const RepositoryState state = service->repositoryState("examples");
    QCOMPARE(state.failedExamples(), QStringList{"alpha"});
    QVERIFY(state.summary().contains("alpha could not be removed: Permission denied."));
    QCOMPARE(service->failures(), QStringList{"examples: alpha: Permission denied"});
    stored.load(Core::ICore::settings());
    QVERIFY(!stored.repositories.value("examples").removedExamples.contains("alpha"));
}

// Without a token a private group is not found at all; a public group whose path merely looks
// alike is never taken for it, whatever order the search answers in.
void tst_DownloadService::lookAlikeGroupIsNeverUsed()
{
    server->addGroup("acme/private", "Private", false);
    server->addProject("acme/private", {.path = "secret", .name = "Secret"});
    server->addGroup("acme/private-tools", "Look-alike", true);
    server->addProject(
        "acme/private-tools",
        {.path = "trojan", .name = "Trojan", .files = {{"CMakeLists.txt", "project(trojan)\n"}}});
    startService({}, {{"private", "acme/private"}});
    QTRY_COMPARE_WITH_TIMEOUT(service->repositoryState("private").problem,
                              RepositoryState::Problem::TokenNeeded,
                              TIMEOUT);
    QCOMPARE(service->repositoryState("private").summary(),
             QString("This repository is a private group: it needs an access token."));
    QVERIFY(
        service->failures().first().startsWith("private: the group acme/private was not found"));
    QCOMPARE(entriesOf(Settings::location().chopped(2) + "private"), QStringList());
    for (const GitLab::RecordedRequest &request : server->requests())
        QVERIFY2(!request.path.contains("/projects/"), qPrintable(request.path));
}

void tst_DownloadService::updateKeepsWhatTheUserChangedAndTellsWhere()
{
    addProject({.path = "alpha",
                .files = {{"CMakeLists.txt", "project(alpha)\n"}, {"main.cpp", "int main() {}\n"}}});
    addProject({.path = "beta"});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), (QStringList{"alpha", "beta"}));
    QTRY_VERIFY_WITH_TIMEOUT(!service->isBusy(), TIMEOUT);
    QCOMPARE(service->repositoryState("examples").changedLocally, QSet<QString>());

    // Opened in place, edited and built.
    const QString alpha = repositoryDir() + "/alpha";
    QVERIFY(writeFile(alpha + "/main.cpp", "int main() { return 1; }\n"));
    QVERIFY(writeFile(alpha + "/build/alpha", "binary"));
    QSignalSpy stateChanged(service.get(), &DownloadService::repositoryStateChanged);
    service->checkLocalChanges("examples");
    QTRY_COMPARE_WITH_TIMEOUT(service->repositoryState("examples").changedLocally,
                              QSet<QString>{"alpha"},
                              TIMEOUT);
    QVERIFY(stateChanged.contains({"examples"}));
    QCOMPARE(service->localChanges("examples", "alpha"), (QStringList{"build/", "main.cpp"}));
    QCOMPARE(service->localChanges("examples", "beta"), QStringList());
    QCOMPARE(service->localChanges("examples", "../examples"), QStringList());

    // Installed again: the new version is in place, and the user's goes aside.
    QSignalSpy finished(service.get(), &DownloadService::exampleFinished);
    statuses.clear();
    service->save("examples", {"alpha", "beta"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, TIMEOUT);
    QCOMPARE(contentOf(alpha + "/main.cpp"), QByteArray("int main() {}\n"));
    QVERIFY(!QFile::exists(alpha + "/build"));
    const QStringList kept = entriesOf(Settings::keptChangesPath("examples"));
    QCOMPARE(kept.size(), 1);
    const QString copy = Settings::keptChangesPath("examples") + u'/' + kept.first();
    QCOMPARE(contentOf(copy + "/main.cpp"), QByteArray("int main() { return 1; }\n"));
    QCOMPARE(contentOf(copy + "/build/alpha"), QByteArray("binary"));
    QCOMPARE(statuses.filter("Your changes to").join('\n'),
             "Your changes to alpha were kept in " + copy);
    for (const QList<QVariant> &signal : std::as_const(finished))
        QCOMPARE(signal.at(2).value<ExampleResult>().outcome, ExampleResult::Outcome::Updated);
    QTRY_COMPARE_WITH_TIMEOUT(service->repositoryState("examples").changedLocally,
                              QSet<QString>(),
                              TIMEOUT);
    // Neither the host nor the update decision sees the kept copy.
    QCOMPARE(entriesOf(repositoryDir()), (QStringList{"alpha", "beta"}));
}

QTEST_MAIN(tst_DownloadService)

#include "tst_downloadservice.moc"
