// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"
#include "downloadservice.h"
#include "gitlabserver.h"
#include "settings.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QBuffer>
#include <QDialog>
#include <QDirIterator>
#include <QDomDocument>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Brindle::Internal;
using Entries = QList<GitLab::TarEntry>;
Q_DECLARE_METATYPE(GitLab::TarEntry)

namespace {

const int TIMEOUT = 20000;
const QString GROUP = "palvexos/examples";

QByteArray pngBytes(int width, int height)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImage(width, height, QImage::Format_RGB32).save(&buffer, "PNG");
    return bytes;
}

QString repositoryDir()
{
    return Settings::location().chopped(2) + "examples";
}

QString manifestOf(const QString &example)
{
    return repositoryDir() + u'/' + example + "/examples-manifest.xml";
}

// Name, project path, image, description, tags and file to open; empty unless it parses.
QStringList manifestValues(const QString &example)
{
    QFile file(manifestOf(example));
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        return {};
    const QDomElement element
        = document.documentElement().firstChildElement("examples").firstChildElement("example");
    QStringList values{
        element.attribute("name"), element.attribute("projectPath"), element.attribute("imageUrl")};
    for (const QString &child : {"description", "tags", "fileToOpen"})
        values.append(element.firstChildElement(child).text());
    return values;
}

// What is in dir, or with Subdirectories below it, relative to it; links are not followed.
QStringList entriesOf(const QString &dir, QDirIterator::IteratorFlags flags = {})
{
    QStringList result;
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, flags);
    while (it.hasNext())
        result.append(QDir(dir).relativeFilePath(it.next()));
    result.sort();
    return result;
}

// The examples that the service installed, known by their manifest.
QStringList registered()
{
    QStringList names = entriesOf(repositoryDir());
    names.removeIf([](const QString &name) { return !QFile::exists(manifestOf(name)); });
    return names;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
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
    void updateDecision_data();
    void updateDecision();
    void invalidLastActivityIsDownloaded();
    void decisionUsesStoredSettingsAndWritesOnlyCheckDate();
    void restartCheck_data();
    void restartCheck();
    void notificationWaitsForModalWidget_data();
    void notificationWaitsForModalWidget();
    void reinstallReplacesOldCopiesAndKeepsThemOnFailure();
    void exampleThatCannotStartStillEndsBatch_data();
    void exampleThatCannotStartStillEndsBatch();
    void hostileArchiveStaysInside_data();
    void hostileArchiveStaysInside();

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
    const QString sandbox
        = qEnvironmentVariable("BRINDLE_BINARY_DIR") + "/testenv/tst_downloadservice/";
    for (const QString &path :
         {Settings::location(), Core::ICore::settings()->fileName(), QDir::tempPath()})
        QVERIFY2(path.startsWith(sandbox),
                 qPrintable("Run this test through ctest, not on " + path));
    QDir(Settings::location().chopped(3)).removeRecursively();
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
    // Whatever the server sends, the manifest stays well-formed and reads back unchanged
    const QString fancy = QString::fromUtf8("Fancy \x01<&\"> \xf0\x9f\x98\x80");
    // clang-format off
    addProject({.path = "hello-qml", .name = "Hello QML", .description = "The Hello QML example", .topics = {"qml", "Palvex"},
                .files = {{"CMakeLists.txt", "x"}, {"qml/Other.qml", "Item {}"}, {"qml/main.qml", "ApplicationWindow {}"}},
                .avatar = pngBytes(300, 150), .avatarFileName = "logo.png"});
    addProject({.path = "console", .files = {{"CMakeLists.txt", "x"}, {"src/main.cpp", "int main(int argc, char **argv) {}"},
                {"res/icons/128x128/a.png", pngBytes(8, 8)}, {"res/icons/128x128/b.png", pngBytes(128, 128)}, {"res/icons/86x86/c.png", pngBytes(86, 86)}}});
    addProject({.path = "qmake-app", .name = "QMake App", .description = "Shows <tags> & \"quotes\"", .files = {{"app.pro", "TEMPLATE = app"}}});
    addProject({.path = "fancy", .name = fancy, .description = "Use <b> & ]]> here\x02, and ]]>]]> twice ]", .topics = {"a&b", QString("c\x03") + "d"}});
    // clang-format on

    startService();
    const QString repo = repositoryDir();
    QTRY_COMPARE_WITH_TIMEOUT(
        entriesOf(repo), (QStringList{"console", "fancy", "hello-qml", "qmake-app"}), TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    // fileToOpen is relative to the example: the host keeps a leading "/" as absolute
    const QString icon = QFileInfo(repo + "/console/res/icons/128x128/b.png").canonicalFilePath();
    // clang-format off
    QCOMPARE(manifestValues("hello-qml"), (QStringList{"Hello QML", "CMakeLists.txt", repo + "/hello-qml/example-icon.png", "The Hello QML example", "Palvex,qml", "qml/main.qml"}));
    QCOMPARE(manifestValues("console"), (QStringList{"console", "CMakeLists.txt", icon, "", "Qt,example", "src/main.cpp"}));
    QCOMPARE(manifestValues("fancy"), (QStringList{QString(fancy).remove(u'\x01'), "CMakeLists.txt", "dummy.png", "Use <b> & ]]> here, and ]]>]]> twice ]", "a&b,cd", "CMakeLists.txt"}));
    // clang-format on
    QCOMPARE(QImage(repo + "/hello-qml/example-icon.png").size(), QSize(128, 64));

    // Byte for byte the template with the values filled in
    QByteArray expected = contentOf(":/examples-manifest.xml");
    expected.replace("module=\"\"", "module=\"examples\"")
        .replace("name=\"\"", "name=\"QMake App\"")
        .replace("projectPath=\"\"", "projectPath=\"app.pro\"")
        .replace("imageUrl=\"\"", "imageUrl=\"dummy.png\"")
        .replace("<description></description>",
                 "<description><![CDATA[Shows <tags> & \"quotes\"]]></description>")
        .replace("<tags></tags>", "<tags>Qt,example</tags>")
        .replace("<fileToOpen></fileToOpen>", "<fileToOpen>app.pro</fileToOpen>");
    QCOMPARE(contentOf(manifestOf("qmake-app")), expected);
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

void tst_DownloadService::updateDecision_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("checkedDaysAgo"); // -1: never checked
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QList<int>>("activitySecsAfterCheckDay"); // alpha, beta, gamma
    QTest::addColumn<QStringList>("downloaded");
    QTest::addColumn<int>("storedDaysAgo"); // -1: none

    const int old = -10 * 86400;
    const QStringList all{"alpha", "beta", "gamma"};
    const QStringList ab{"alpha", "beta"};
    // clang-format off
    QTest::newRow("updates off") << 0 << -1 << QStringList() << QList<int>{old, old, old} << QStringList() << -1;
    QTest::newRow("never checked") << 1 << -1 << all << QList<int>{old, old, old} << all << 0;
    QTest::newRow("within interval, all installed") << 7 << 3 << all << QList<int>{old, 2 * 86400, old} << QStringList() << 3;
    QTest::newRow("within interval, one missing") << 7 << 3 << ab << QList<int>{old, 2 * 86400, old} << QStringList{"beta", "gamma"} << 0;
    QTest::newRow("activity on the check day") << 7 << 3 << ab << QList<int>{60, -60, old} << QStringList{"alpha", "gamma"} << 0;
    QTest::newRow("interval passed") << 7 << 8 << all << QList<int>{old, 86400, old} << QStringList{"beta"} << 0;
    // clang-format on
}

void tst_DownloadService::updateDecision()
{
    QFETCH(int, interval);
    QFETCH(int, checkedDaysAgo);
    QFETCH(QStringList, installed);
    QFETCH(QList<int>, activitySecsAfterCheckDay);
    QFETCH(QStringList, downloaded);
    QFETCH(int, storedDaysAgo);

    const QDate checkDay = QDate::currentDate().addDays(checkedDaysAgo < 0 ? -5 : -checkedDaysAgo);
    const QStringList names{"alpha", "beta", "gamma"};
    for (int i = 0; i < names.size(); ++i) {
        const QDateTime activity = checkDay.startOfDay().addSecs(activitySecsAfterCheckDay.at(i));
        addProject({.path = names.at(i), .lastActivity = activity});
    }
    for (const QString &name : installed)
        writeFile(repositoryDir() + u'/' + name + "/old.txt", "old");
    QVariantMap keys{{"UpdatesCheckTimeoutDays", interval}};
    if (checkedDaysAgo >= 0)
        keys.insert("UpdatesCheckedDate", lastUpdateTimeToStringList({{"examples", checkDay}}));
    QSignalSpy tasks(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    startService(keys);
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);
    if (downloaded.isEmpty()) // a download would have shown its progress entry by now
        QCOMPARE(tasks.count(), 0);
    else
        QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(registered(), downloaded);
    const QStringList stored
        = Core::ICore::settings()->value("Brindle/UpdatesCheckedDate").toStringList();
    QCOMPARE(lastCheckedDateFromStringList(stored).value("examples"),
             storedDaysAgo < 0 ? QDate() : QDate::currentDate().addDays(-storedDaysAgo));
}

void tst_DownloadService::invalidLastActivityIsDownloaded()
{
    addProject({.path = "alpha"});
    startService({{"UpdatesCheckTimeoutDays", 0}});
    QTRY_VERIFY_WITH_TIMEOUT(updates > 0, TIMEOUT);

    // Installed and past the interval: only the unknown activity time makes it due
    writeFile(repositoryDir() + "/alpha/old.txt", "old");
    const QDate checked = QDate::currentDate().addDays(-8);
    Core::ICore::settings()->setValue("Brindle/UpdatesCheckTimeoutDays", 7);
    Core::ICore::settings()->setValue("Brindle/UpdatesCheckedDate",
                                      lastUpdateTimeToStringList({{"examples", checked}}));
    QJsonObject alpha = *service->examples("examples").first();
    alpha.insert("last_activity_at", "yesterday");
    service->findRepository("examples")->onFetched({QSharedPointer<Example>::create(alpha)});
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QVERIFY(!QFile::exists(repositoryDir() + "/alpha/old.txt"));
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
    QVERIFY(!manifestValues("beta").isEmpty());
}

void tst_DownloadService::restartCheck_data()
{
    QTest::addColumn<uint>("stored");
    QTest::addColumn<qint64>("expectedMs");
    QTest::newRow("zero") << 0u << qint64(1000);
    QTest::newRow("largest") << 2147483u << qint64(2147483000);
    QTest::newRow("overflowing") << 2147484u << qint64(2147483000);
    QTest::newRow("unsigned maximum") << 4294967295u << qint64(2147483000);
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

void tst_DownloadService::reinstallReplacesOldCopiesAndKeepsThemOnFailure()
{
    for (const QString &name : {"demo", "demo-extra"})
        addProject({.path = name});
    for (const QString &name : {"broken", "legacy"}) // no project file: no manifest
        addProject({.path = name, .files = {{"README.md", "read me\n"}}});
    // Valid gzip, but the tar stream breaks off in the middle of a member
    const QByteArray tar = GitLab::makeTar(
        {{"torn-main-1/", {}, '5'}, {"torn-main-1/CMakeLists.txt", QByteArray(4096, 'x')}});
    addProject({.path = "torn", .archiveOverride = GitLab::gzipCompress(tar.left(1024))});
    const QString repo = repositoryDir();
    const QStringList installed{"demo", "demo-extra", "legacy", "torn"};
    for (const QString &name : installed) {
        writeFile(repo + u'/' + name + "/CMakeLists.txt", "project(old)\n");
        writeFile(repo + u'/' + name + "/stale.txt", "from the old copy");
    }

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);
    QCOMPARE(statuses.count("There was an error while creating example mainfest"), 2);
    QVERIFY(statuses.contains("There was an error while unarchiving"));
    // No directory for the failed new example, failed reinstalls keep the old copy
    QCOMPARE(entriesOf(repo), installed);
    for (const QString &name : installed) {
        const QByteArray project
            = name.startsWith("demo") ? "project(" + name.toUtf8() + ")\n" : "project(old)\n";
        QCOMPARE(contentOf(repo + u'/' + name + "/CMakeLists.txt"), project);
    }
    QCOMPARE(entriesOf(repo + "/demo"), (QStringList{"CMakeLists.txt", "examples-manifest.xml"}));
    QCOMPARE(QDir::temp().entryList({"*.tar.gz"}), QStringList());

    // Reinstalling demo leaves demo-extra alone
    writeFile(repo + "/demo-extra/notes.txt", "mine");
    service->save("examples", {"demo"});
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 2, TIMEOUT);
    QCOMPARE(entriesOf(repo), installed);
    QCOMPARE(contentOf(repo + "/demo-extra/notes.txt"), QByteArray("mine"));
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

void tst_DownloadService::hostileArchiveStaysInside_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<bool>("installed");

    const QByteArray out = QFile::encodeName(QDir::tempPath()) + "/outside";
    const QByteArray top = "demo-main-0123456789/";
    const auto demo = [&](const Entries &more) {
        return Entries{{top, {}, '5'}, {top + "CMakeLists.txt", "project(demo)\n"}} + more;
    };
    // clang-format off
    QTest::newRow("absolute member") << demo({{out + "/absolute.txt", "written"}}) << true;
    QTest::newRow("dot-dot member") << demo({{top + "../../../escape.txt", "written"}}) << false;
    QTest::newRow("link out of the example") << demo({{top + "out", {}, '2', out}}) << true;
    QTest::newRow("relative link upwards") << demo({{top + "up", {}, '2', "../../.."}}) << true;
    QTest::newRow("write through a link") << demo({{top + "out", {}, '2', out}, {top + "out/through.txt", "written"}}) << false;
    QTest::newRow("manifest is a link") << demo({{top + "examples-manifest.xml", {}, '2', out + "/victim.txt"}}) << true;
    QTest::newRow("icon is a link") << demo({{top + "example-icon.png", {}, '2', out + "/victim.txt"}}) << true;
    QTest::newRow("icons folder is a link") << demo({{top + "icons", {}, '2', out + "/icons"}}) << true;
    QTest::newRow("top directory is a link") << Entries{{top.chopped(1), {}, '2', out}} << false;
    QTest::newRow("named pipe") << demo({{top + "pipe", {}, '6'}}) << true;
    // clang-format on
}

void tst_DownloadService::hostileArchiveStaysInside()
{
    QFETCH(Entries, entries);
    QFETCH(bool, installed);

    const QString outside = QDir::tempPath() + "/outside";
    QDir(outside).removeRecursively();
    writeFile(outside + "/victim.txt", "keep");
    writeFile(outside + "/CMakeLists.txt", "project(victim)\n");
    writeFile(outside + "/icons/128x128/big.png", pngBytes(128, 128));
    const QStringList before = entriesOf(outside, QDirIterator::Subdirectories);

    // The avatar is written as example-icon.png: never through a link
    addProject({.path = "demo",
                .avatar = pngBytes(16, 16),
                .avatarFileName = "logo.png",
                .archiveOverride = GitLab::makeTarGz(entries)});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentation.count(), 1, TIMEOUT);

    QCOMPARE(entriesOf(outside, QDirIterator::Subdirectories), before);
    QCOMPARE(contentOf(outside + "/victim.txt"), QByteArray("keep"));
    QCOMPARE(entriesOf(Settings::location().chopped(3)), QStringList{"examples"});
    QCOMPARE(entriesOf(repositoryDir()), installed ? QStringList{"demo"} : QStringList());
    if (!installed)
        return;
    // Whatever is left of the example is a plain file or directory inside it
    const QString example = QFileInfo(repositoryDir() + "/demo").canonicalFilePath();
    for (const QString &path : entriesOf(example, QDirIterator::Subdirectories)) {
        const QFileInfo info(example + u'/' + path);
        QVERIFY2(info.isDir() || info.isFile(), qPrintable(path));
        QVERIFY2(info.canonicalFilePath().startsWith(example + u'/'), qPrintable(path));
    }
    QVERIFY(!manifestValues("demo").isEmpty());
}

QTEST_MAIN(tst_DownloadService)

#include "tst_downloadservice.moc"
