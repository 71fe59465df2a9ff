// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"
#include "gitlabserver.h"
#include "settings.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <filesystem>
#include <memory>

using namespace Brindle::Internal;

namespace {

const int TIMEOUT = 20000;

struct Repo
{
    QString name;
    QString group;
    QStringList removed;
};

QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

GitLab::Project project(const QString &path,
                        const QString &name,
                        const QMap<QString, QByteArray> &files = {},
                        const QDateTime &lastActivity = {})
{
    GitLab::Project p;
    p.path = path;
    p.name = name;
    p.description = QStringLiteral("The %1 example").arg(name);
    p.lastActivity
        = lastActivity.isValid() ? lastActivity : QDateTime::currentDateTimeUtc().addDays(-30);
    p.files
        = files.isEmpty()
              ? QMap<QString, QByteArray>{{"CMakeLists.txt", "project(" + path.toUtf8() + ")\n"},
                                          {"main.cpp", "int main(int, char **) { return 0; }\n"}}
              : files;
    return p;
}

QString repositoryDir(const QString &name)
{
    return Settings::location().chopped(2) + name;
}

QString manifestOf(const QString &repository, const QString &example)
{
    return repositoryDir(repository) + u'/' + example + "/examples-manifest.xml";
}

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every path below dir, links not followed, for before/after comparisons.
QStringList treeOf(const QString &dir)
{
    QStringList result;
    QDirIterator it(dir,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        result.append(it.next());
    result.sort();
    return result;
}

QStringList archivesInTemp()
{
    return QDir(QDir::tempPath()).entryList({"*.tar.gz"}, QDir::Files);
}

QDomElement readManifest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDomDocument document;
    if (!document.setContent(&file))
        return {};
    return document.documentElement();
}

QDomElement exampleElement(const QDomElement &root)
{
    return root.firstChildElement("examples").firstChildElement("example");
}

QString childText(const QDomElement &root, const QString &child)
{
    return exampleElement(root).firstChildElement(child).text();
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setModified(const QString &path, const QDateTime &time)
{
    namespace fs = std::filesystem;
    const auto delta = std::chrono::milliseconds(QDateTime::currentDateTime().msecsTo(time));
    fs::last_write_time(fs::path(path.toStdString()), fs::file_time_type::clock::now() + delta);
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
    void initTestCase();
    void init();
    void cleanup();

    void freshInstallRegistersEveryExample();
    void updateDecision_data();
    void updateDecision();
    void invalidLastActivityIsAlwaysDownloaded();
    void removedExampleIsSkippedUntilSaved();
    void decisionKeepsWhatWasStoredMeanwhile();
    void restartResetsOnlyUnreadyRepositories();
    void restartIntervalIsClamped_data();
    void restartIntervalIsClamped();
    void zeroRestartIntervalStillLetsListingsFinish();
    void notificationWaitsForModalWidget_data();
    void notificationWaitsForModalWidget();
    void reinstallReplacesOlderCopyNextToPrefixSibling();
    void failedInstallKeepsInstalledCopy();
    void exampleThatCannotStartStillEndsBatch_data();
    void exampleThatCannotStartStillEndsBatch();
    void manifestStaysWellFormed();
    void hostileArchiveStaysInside_data();
    void hostileArchiveStaysInside();

private:
    QUrl groupUrl(const QString &group) const;
    qint64 addProject(const QString &group, const GitLab::Project &p);
    void configure(const QList<Repo> &repos, const QVariantMap &keys = {});
    void startService();
    QStringList archiveRequests() const;
    QStringList statuses() const;
    bool hasStatus(const QString &text) const;

    std::unique_ptr<GitLab::Server> server;
    std::unique_ptr<DownloadService> service;
    std::unique_ptr<QSignalSpy> documentationSpy;
    std::unique_ptr<QSignalSpy> statusSpy;
    std::unique_ptr<QSignalSpy> updatedSpy;
    QHash<qint64, QString> projectNames;
    QByteArray savedPath;
    QByteArray savedTmpDir;
};

void tst_DownloadService::initTestCase()
{
    // Every test wipes the data location and the settings: refuse to run anywhere but in the
    // private environment that CTest sets up.
    const QString sandbox = QDir::cleanPath(qEnvironmentVariable("BRINDLE_BINARY_DIR")
                                            + "/testenv/tst_downloadservice")
                            + u'/';
    for (const QString &path :
         {Settings::location(), Core::ICore::settings()->fileName(), QDir::tempPath() + u'/'}) {
        if (qEnvironmentVariableIsEmpty("BRINDLE_BINARY_DIR") || !path.startsWith(sandbox))
            QFAIL(qPrintable("Run this test through ctest; it would touch " + path));
    }
}

void tst_DownloadService::init()
{
    savedPath = qgetenv("PATH");
    savedTmpDir = qgetenv("TMPDIR");
    QDir(Settings::location().chopped(3)).removeRecursively();
    Utils::QtcSettings *store = Core::ICore::settings();
    store->clear();
    store->sync();

    server = std::make_unique<GitLab::Server>();
    QVERIFY(server->listen());
    projectNames.clear();
    documentationSpy = std::make_unique<QSignalSpy>(
        Core::HelpManager::Signals::instance(), &Core::HelpManager::Signals::documentationChanged);
}

void tst_DownloadService::cleanup()
{
    updatedSpy.reset();
    statusSpy.reset();
    service.reset();
    server.reset();
    documentationSpy.reset();
    qputenv("PATH", savedPath);
    qputenv("TMPDIR", savedTmpDir);
}

QUrl tst_DownloadService::groupUrl(const QString &group) const
{
    return QUrl(server->baseUrl().toString() + u'/' + group);
}

qint64 tst_DownloadService::addProject(const QString &group, const GitLab::Project &p)
{
    const qint64 id = server->addProject(group, p);
    projectNames.insert(id, p.path);
    return id;
}

void tst_DownloadService::configure(const QList<Repo> &repos, const QVariantMap &keys)
{
    Utils::QtcSettings *store = Core::ICore::settings();
    store->beginGroup("Brindle");
    QStringList items;
    for (const Repo &repo : repos) {
        items.append(QStringList{repo.name, groupUrl(repo.group).toString()}.join(u'|') + u'|'
                     + repo.removed.join(u'|'));
    }
    store->setValue("Repositories", items);
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        store->setValue(Utils::keyFromString(it.key()), it.value());
    store->endGroup();
    store->sync();
}

void tst_DownloadService::startService()
{
    service = std::make_unique<DownloadService>();
    statusSpy = std::make_unique<QSignalSpy>(service.get(), &DownloadService::statusChanged);
    updatedSpy = std::make_unique<QSignalSpy>(service.get(), &DownloadService::updated);
}

QStringList tst_DownloadService::archiveRequests() const
{
    static const QRegularExpression archive("/projects/(\\d+)/repository/archive");
    QStringList names;
    for (const GitLab::RecordedRequest &request : server->requests()) {
        const QRegularExpressionMatch match = archive.match(request.path);
        if (match.hasMatch())
            names.append(projectNames.value(match.captured(1).toLongLong()));
    }
    names.sort();
    return names;
}

QStringList tst_DownloadService::statuses() const
{
    QStringList result;
    for (const QList<QVariant> &arguments : *statusSpy)
        result.append(arguments.at(0).toString());
    return result;
}

bool tst_DownloadService::hasStatus(const QString &text) const
{
    return statuses().contains(text);
}

void tst_DownloadService::freshInstallRegistersEveryExample()
{
    GitLab::Project qml
        = project("hello-qml",
                  "Hello QML",
                  {{"CMakeLists.txt", "project(hello)\n"},
                   {"qml/Other.qml", "import QtQuick\nItem {}\n"},
                   {"qml/main.qml", "import QtQuick.Controls\nApplicationWindow {}\n"}});
    qml.topics = QStringList{"qml", "Palvex"};
    qml.avatar = pngBytes(300, 150);
    qml.avatarFileName = "logo.png";
    addProject("palvexos/examples", qml);
    addProject("palvexos/examples",
               project("console",
                       "Console",
                       {{"CMakeLists.txt", "project(console)\n"},
                        {"README.md", "Build it.\n"},
                        {"src/main.cpp", "int main(int argc, char **argv) { return 0; }\n"},
                        {"res/icons/128x128/a.png", pngBytes(8, 8)},
                        {"res/icons/128x128/b.png", pngBytes(128, 128)},
                        {"res/icons/86x86/c.png", pngBytes(86, 86)}}));
    GitLab::Project qmake = project(
        "qmake-app", "QMake App", {{"app.pro", "TEMPLATE = app\n"}, {"icons/86x86/a.png", "x"}});
    qmake.description = QStringLiteral("Shows <tags> & \"quotes\"");
    addProject("palvexos/examples", qmake);
    configure({{"examples", "palvexos/examples", {}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(updatedSpy->count(), 2); // the listing, then the batch

    const QString repo = repositoryDir("examples");
    QCOMPARE(entriesOf(repo), (QStringList{"console", "hello-qml", "qmake-app"}));

    const QDomElement qmlManifest = readManifest(manifestOf("examples", "hello-qml"));
    QVERIFY(!qmlManifest.isNull());
    QCOMPARE(qmlManifest.attribute("module"), QString("examples"));
    QCOMPARE(exampleElement(qmlManifest).attribute("name"), QString("Hello QML"));
    QCOMPARE(exampleElement(qmlManifest).attribute("projectPath"), QString("CMakeLists.txt"));
    QCOMPARE(exampleElement(qmlManifest).attribute("imageUrl"),
             repo + "/hello-qml/example-icon.png");
    QCOMPARE(QImage(repo + "/hello-qml/example-icon.png").size(), QSize(128, 64));
    QCOMPARE(childText(qmlManifest, "description"), QString("The Hello QML example"));
    QCOMPARE(childText(qmlManifest, "tags"), QString("Palvex,qml"));
    QCOMPARE(childText(qmlManifest, "fileToOpen"), QString("qml/main.qml"));
    QCOMPARE(childText(qmlManifest, "platforms"), QString("Oskel"));

    const QDomElement consoleManifest = readManifest(manifestOf("examples", "console"));
    QCOMPARE(exampleElement(consoleManifest).attribute("imageUrl"),
             QFileInfo(repo + "/console/res/icons/128x128/b.png").canonicalFilePath());
    QCOMPARE(childText(consoleManifest, "tags"), QString("Qt,example"));
    QCOMPARE(childText(consoleManifest, "fileToOpen"), QString("src/main.cpp"));

    // Byte for byte the template with the values filled in
    QFile resource(":/examples-manifest.xml");
    QVERIFY(resource.open(QIODevice::ReadOnly));
    QByteArray expected = resource.readAll();
    expected.replace("module=\"\"", "module=\"examples\"")
        .replace("name=\"\"", "name=\"QMake App\"")
        .replace("projectPath=\"\"", "projectPath=\"app.pro\"")
        .replace("imageUrl=\"\"", "imageUrl=\"dummy.png\"")
        .replace("<description></description>",
                 "<description><![CDATA[Shows <tags> & \"quotes\"]]></description>")
        .replace("<tags></tags>", "<tags>Qt,example</tags>")
        .replace("<fileToOpen></fileToOpen>", "<fileToOpen>app.pro</fileToOpen>");
    QFile manifest(manifestOf("examples", "qmake-app"));
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    QCOMPARE(manifest.readAll(), expected);

    // Nothing left behind: no temporary archive, no unpacking directory
    QCOMPARE(archivesInTemp(), QStringList());
    // The archives are on disk now and no longer held in memory
    for (const QSharedPointer<Example> &example : service->examples("examples"))
        QVERIFY(example->data().isEmpty());
    QCOMPARE(lastCheckedDateFromStringList(
                 Core::ICore::settings()->value("Brindle/UpdatesCheckedDate").toStringList())
                 .value("examples"),
             QDate::currentDate());
}

void tst_DownloadService::updateDecision_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("checkedDaysAgo"); // -1: never checked
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QList<int>>("activitySecsAfterCheckDay"); // alpha, beta, gamma
    QTest::addColumn<QStringList>("downloaded");
    QTest::addColumn<bool>("stamped");

    const int old = -10 * 86400;
    const QStringList all{"alpha", "beta", "gamma"};
    QTest::newRow("updates off") << 0 << -1 << QStringList() << QList<int>{old, old, old}
                                 << QStringList() << false;
    QTest::newRow("never checked, all installed")
        << 1 << -1 << all << QList<int>{old, old, old} << all << true;
    QTest::newRow("within interval, all installed")
        << 7 << 3 << all << QList<int>{old, 2 * 86400, old} << QStringList() << false;
    QTest::newRow("within interval, one missing")
        << 7 << 3 << QStringList{"alpha", "beta"} << QList<int>{old, 2 * 86400, old}
        << QStringList{"beta", "gamma"} << true;
    QTest::newRow("activity on the check day")
        << 7 << 3 << QStringList{"alpha", "beta"} << QList<int>{60, -60, old}
        << QStringList{"alpha", "gamma"} << true;
    QTest::newRow("interval passed")
        << 7 << 8 << all << QList<int>{old, 86400, old} << QStringList{"beta"} << true;
}

void tst_DownloadService::updateDecision()
{
    QFETCH(int, interval);
    QFETCH(int, checkedDaysAgo);
    QFETCH(QStringList, installed);
    QFETCH(QList<int>, activitySecsAfterCheckDay);
    QFETCH(QStringList, downloaded);
    QFETCH(bool, stamped);

    const QDate checkDay = QDate::currentDate().addDays(checkedDaysAgo < 0 ? -5 : -checkedDaysAgo);
    const QStringList names{"alpha", "beta", "gamma"};
    for (int i = 0; i < names.size(); ++i) {
        addProject("palvexos/examples",
                   project(names.at(i),
                           names.at(i).toUpper(),
                           {},
                           checkDay.startOfDay().addSecs(activitySecsAfterCheckDay.at(i))));
    }
    for (const QString &name : installed)
        writeFile(repositoryDir("examples") + u'/' + name + "/old.txt", "old");

    QVariantMap keys{{"UpdatesCheckTimeoutDays", interval}};
    if (checkedDaysAgo >= 0)
        keys.insert("UpdatesCheckedDate", lastUpdateTimeToStringList({{"examples", checkDay}}));
    configure({{"examples", "palvexos/examples", {}}}, keys);

    QSignalSpy taskSpy(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    startService();
    QTRY_VERIFY_WITH_TIMEOUT(!updatedSpy->isEmpty(), TIMEOUT);
    if (downloaded.isEmpty()) {
        // The decision runs right after the listing: a download would have shown its
        // progress entry by now.
        QCOMPARE(taskSpy.count(), 0);
        QCOMPARE(documentationSpy->count(), 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    }
    QCOMPARE(archiveRequests(), downloaded);

    const QDate stored
        = lastCheckedDateFromStringList(
              Core::ICore::settings()->value("Brindle/UpdatesCheckedDate").toStringList())
              .value("examples");
    if (stamped)
        QCOMPARE(stored, QDate::currentDate());
    else
        QCOMPARE(stored, checkedDaysAgo < 0 ? QDate() : checkDay);
}

void tst_DownloadService::invalidLastActivityIsAlwaysDownloaded()
{
    const qint64 id = addProject("palvexos/examples", project("alpha", "Alpha"));
    configure({{"examples", "palvexos/examples", {}}},
              {{"UpdatesCheckTimeoutDays", 7},
               {"UpdatesCheckedDate",
                lastUpdateTimeToStringList({{"examples", QDate::currentDate().addDays(-1)}})}});
    startService();
    QTRY_VERIFY_WITH_TIMEOUT(!updatedSpy->isEmpty(), TIMEOUT);
    // Installed and unchanged: nothing due
    const QSharedPointer<Repository> repository = service->findRepository("examples");
    QVERIFY(repository);
    QCOMPARE(documentationSpy->count(), 0);

    writeFile(repositoryDir("examples") + "/alpha/old.txt", "old");
    writeFile(repositoryDir("examples") + "/other/old.txt", "old"); // count is not the trigger
    const QJsonObject object{{"id", id},
                             {"name", "Alpha"},
                             {"path", "alpha"},
                             {"web_url", groupUrl("palvexos/examples/alpha").toString()},
                             {"last_activity_at", "yesterday"}};
    repository->onFetched({QSharedPointer<Example>::create(object)});
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(archiveRequests(), QStringList{"alpha"});
    QVERIFY(!QFile::exists(repositoryDir("examples") + "/alpha/old.txt"));
}

void tst_DownloadService::removedExampleIsSkippedUntilSaved()
{
    for (const QString &name : {"alpha", "beta", "gamma"})
        addProject("palvexos/examples", project(name, name.toUpper()));
    configure({{"examples", "palvexos/examples", {"beta"}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(archiveRequests(), (QStringList{"alpha", "gamma"}));
    QVERIFY(!QFile::exists(repositoryDir("examples") + "/beta"));

    service->save("examples", {"beta"});
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 2, TIMEOUT);
    QVERIFY(!readManifest(manifestOf("examples", "beta")).isNull());

    service->save("unknown", {"beta"});
    QVERIFY(hasStatus("Skip downloading examples - unable to find repository for name: unknown"));
}

void tst_DownloadService::decisionKeepsWhatWasStoredMeanwhile()
{
    for (const QString &name : {"alpha", "beta", "gamma"})
        addProject("palvexos/examples", project(name, name.toUpper()));
    configure({{"examples", "palvexos/examples", {}}}, {{"UpdatesCheckTimeoutDays", 1}});
    startService();

    // The options page applies a removal and a new interval after the service has loaded
    // its copy, before the listing arrives.
    Settings page;
    page.load(Core::ICore::settings());
    page.repositories["examples"].removedExamples = {"beta"};
    page.updatesCheckTimeoutDays = 5;
    page.saveUserChoices(Core::ICore::settings());

    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(archiveRequests(), (QStringList{"alpha", "gamma"}));

    Utils::QtcSettings *store = Core::ICore::settings();
    store->beginGroup("Brindle");
    QStringList keys = store->allKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"Repositories", "UpdatesCheckTimeoutDays", "UpdatesCheckedDate"}));
    QCOMPARE(store->value("UpdatesCheckTimeoutDays").toUInt(), 5u);
    QCOMPARE(fromStringList(store->value("Repositories").toStringList())
                 .value("examples")
                 .removedExamples,
             QSet<QString>{"beta"});
    store->endGroup();
}

void tst_DownloadService::restartResetsOnlyUnreadyRepositories()
{
    server->addGroup("palvexos/one");
    server->addGroup("palvexos/two");
    configure(
        {{"one", "palvexos/one", {}}, {"two", "palvexos/two", {}}, {"three", "palvexos/later", {}}},
        {{"ServiceRestartTimeoutSeconds", 1}});
    startService();

    const QString restarting = "API client is not ready - restarting (%1)";
    const QString three = restarting.arg(groupUrl("palvexos/later").toString());
    QTRY_VERIFY_WITH_TIMEOUT(statuses().count(three) >= 2, TIMEOUT);
    for (const QString &group : {"palvexos/one", "palvexos/two"})
        QVERIFY(!statuses().contains(restarting.arg(groupUrl(group).toString())));
    QVERIFY(service->isRestartCheckActive());

    server->addGroup("palvexos/later");
    QTRY_VERIFY_WITH_TIMEOUT(!service->isRestartCheckActive(), TIMEOUT);
    QVERIFY(service->findRepository("three")->isReady());
}

void tst_DownloadService::restartIntervalIsClamped_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<qint64>("expectedMs");

    QTest::newRow("zero") << QVariant(0) << qint64(1000);
    QTest::newRow("default") << QVariant() << qint64(60000);
    QTest::newRow("largest") << QVariant(2147483u) << qint64(2147483000);
    QTest::newRow("overflowing") << QVariant(2147484u) << qint64(2147483000);
    QTest::newRow("unsigned maximum") << QVariant(4294967295u) << qint64(2147483000);
}

void tst_DownloadService::restartIntervalIsClamped()
{
    QFETCH(QVariant, stored);
    QFETCH(qint64, expectedMs);

    QVariantMap keys;
    if (stored.isValid())
        keys.insert("ServiceRestartTimeoutSeconds", stored);
    configure({}, keys);
    startService();
    QVERIFY(service->isRestartCheckActive());
    QCOMPARE(qint64(service->restartInterval().count()), expectedMs);
}

void tst_DownloadService::zeroRestartIntervalStillLetsListingsFinish()
{
    addProject("palvexos/examples", project("alpha", "Alpha"));
    configure({{"examples", "palvexos/examples", {}}}, {{"ServiceRestartTimeoutSeconds", 0}});
    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QVERIFY(!readManifest(manifestOf("examples", "alpha")).isNull());
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
    addProject("palvexos/examples", project("alpha", "Alpha"));
    configure({{"examples", "palvexos/examples", {}}});

    QWidget *widget = dialog ? new QDialog : new QWidget;
    if (dialog) {
        static_cast<QDialog *>(widget)->open();
    } else {
        widget->setWindowModality(Qt::ApplicationModal);
        widget->show();
    }
    QCOMPARE(QApplication::activeModalWidget(), widget);

    startService();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(manifestOf("examples", "alpha")), TIMEOUT);
    // A second batch ends while the same widget is still open
    service->save("examples", {"alpha"});
    QTRY_COMPARE_WITH_TIMEOUT(statuses().count("Unpacking example: Alpha"), 2, TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(repositoryDir("examples")), QStringList{"alpha"}, TIMEOUT);
    QCOMPARE(documentationSpy->count(), 0);
    const int updatedBefore = updatedSpy->count();

    if (dialog) {
        static_cast<QDialog *>(widget)->accept();
        QCOMPARE(documentationSpy->count(), 0); // not from within the dialog's own signal
    } else {
        widget->hide(); // a plain widget is waited for until it is gone
        QCoreApplication::processEvents();
        QCOMPARE(documentationSpy->count(), 0);
    }
    delete widget;
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(updatedSpy->count(), updatedBefore + 1);
    QCoreApplication::processEvents();
    QCOMPARE(documentationSpy->count(), 1);
}

void tst_DownloadService::reinstallReplacesOlderCopyNextToPrefixSibling()
{
    addProject("palvexos/examples",
               project("demo", "Demo", {{"CMakeLists.txt", "project(demo)\n"}}));
    addProject("palvexos/examples",
               project("demo-extra", "Demo Extra", {{"CMakeLists.txt", "project(demo_extra)\n"}}));
    // Older installations, touched after the archives' time stamps
    const QString repo = repositoryDir("examples");
    for (const QString &name : {"demo", "demo-extra"}) {
        writeFile(repo + u'/' + name + "/CMakeLists.txt", "project(old)\n");
        writeFile(repo + u'/' + name + "/stale.txt", "stale");
        setModified(repo + u'/' + name, QDateTime::currentDateTime().addDays(1));
    }
    configure({{"examples", "palvexos/examples", {}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(entriesOf(repo), (QStringList{"demo", "demo-extra"}));
    QCOMPARE(entriesOf(repo + "/demo"), (QStringList{"CMakeLists.txt", "examples-manifest.xml"}));
    QCOMPARE(contentOf(repo + "/demo/CMakeLists.txt"), QByteArray("project(demo)\n"));
    QCOMPARE(contentOf(repo + "/demo-extra/CMakeLists.txt"), QByteArray("project(demo_extra)\n"));
    QCOMPARE(exampleElement(readManifest(manifestOf("examples", "demo-extra"))).attribute("name"),
             QString("Demo Extra"));

    // Reinstalling demo leaves demo-extra alone
    writeFile(repo + "/demo-extra/notes.txt", "mine");
    service->save("examples", {"demo"});
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 2, TIMEOUT);
    QCOMPARE(entriesOf(repo), (QStringList{"demo", "demo-extra"}));
    QCOMPARE(contentOf(repo + "/demo-extra/notes.txt"), QByteArray("mine"));
    QCOMPARE(contentOf(repo + "/demo/CMakeLists.txt"), QByteArray("project(demo)\n"));
}

void tst_DownloadService::failedInstallKeepsInstalledCopy()
{
    addProject("palvexos/examples", project("good", "Good"));
    addProject("palvexos/examples", project("broken", "Broken", {{"README.md", "no project\n"}}));
    addProject("palvexos/examples", project("legacy", "Legacy", {{"README.md", "gone\n"}}));
    GitLab::Project torn = project("torn", "Torn");
    // Valid gzip, but the tar stream breaks off in the middle of a member
    const QByteArray tar = GitLab::makeTar(
        {{"torn-main-1/", {}, '5'}, {"torn-main-1/CMakeLists.txt", QByteArray(4096, 'x')}});
    torn.archiveOverride = GitLab::gzipCompress(tar.left(1024));
    addProject("palvexos/examples", torn);
    const QString repo = repositoryDir("examples");
    for (const QString &name : {"legacy", "torn"}) {
        writeFile(repo + u'/' + name + "/CMakeLists.txt", "project(old)\n");
        writeFile(repo + u'/' + name + "/examples-manifest.xml", "<instructionals/>\n");
    }
    configure({{"examples", "palvexos/examples", {}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    QCOMPARE(statuses().count("There was an error while creating example mainfest"), 2);
    QVERIFY(hasStatus("There was an error while unarchiving"));
    // No directory for the failed new example, the older copies stay as they were
    QCOMPARE(entriesOf(repo), (QStringList{"good", "legacy", "torn"}));
    QVERIFY(!readManifest(manifestOf("examples", "good")).isNull());
    for (const QString &name : {"legacy", "torn"}) {
        QCOMPARE(entriesOf(repo + u'/' + name),
                 (QStringList{"CMakeLists.txt", "examples-manifest.xml"}));
        QCOMPARE(contentOf(repo + u'/' + name + "/CMakeLists.txt"), QByteArray("project(old)\n"));
    }
    QCOMPARE(archivesInTemp(), QStringList());
}

void tst_DownloadService::exampleThatCannotStartStillEndsBatch_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("goodInstalled");

    QTest::newRow("no data") << "no data"
                             << "The data is not downloaded for example: Evil" << true;
    QTest::newRow("unsafe name") << "unsafe name"
                                 << "Skip saving example Evil - unsafe name: .." << true;
    QTest::newRow("no extraction tool") << "no tool"
                                        << "Downloaded file is not an archive" << false;
    QTest::newRow("temporary file not writable")
        << "no temp"
        << "Unable to save the archive of example Alpha: " << false;
}

void tst_DownloadService::exampleThatCannotStartStillEndsBatch()
{
    QFETCH(QString, kind);
    QFETCH(QString, status);
    QFETCH(bool, goodInstalled);

    const qint64 id = addProject("palvexos/examples", project("alpha", "Alpha"));
    configure({{"examples", "palvexos/examples", {}}}, {{"UpdatesCheckTimeoutDays", 0}});
    startService();
    QTRY_VERIFY_WITH_TIMEOUT(!service->examples("examples").isEmpty(), TIMEOUT);
    const QSharedPointer<Repository> repository = service->findRepository("examples");
    QSharedPointer<Example> good = service->examples("examples").first();
    good->setData(server->archiveOf(id));

    auto bad = QSharedPointer<Example>::create(
        QJsonObject{{"id", 999},
                    {"name", "Evil"},
                    {"web_url", "http://127.0.0.1/evil"},
                    {"path", kind == "unsafe name" ? ".." : "evil"}});
    if (kind != "no data")
        bad->setData(server->archiveOf(id));
    if (kind == "no tool")
        qputenv("PATH", "");
    if (kind == "no temp") {
        const QString notADirectory = QDir::tempPath() + "/file";
        writeFile(notADirectory, "x");
        qputenv("TMPDIR", QFile::encodeName(notADirectory));
    }

    emit repository->downloadsFinished({bad, good});
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);
    const QStringList texts = statuses();
    QVERIFY2(std::any_of(texts.cbegin(),
                         texts.cend(),
                         [&](const QString &s) { return s.startsWith(status); }),
             qPrintable(texts.join('\n')));
    QCOMPARE(entriesOf(repositoryDir("examples")),
             goodInstalled ? QStringList{"alpha"} : QStringList());
    QVERIFY(entriesOf(Settings::location().chopped(3)).size() <= 1);
    QCoreApplication::processEvents();
    QCOMPARE(documentationSpy->count(), 1);
}

void tst_DownloadService::manifestStaysWellFormed()
{
    GitLab::Project p
        = project("fancy", QString::fromUtf8("Fancy \x01<&\"> Demo \xf0\x9f\x98\x80"));
    p.description = QStringLiteral("Use <b> & ]]> here\x02, and ]]>]]> twice ]");
    p.topics = QStringList{"a&b",
                           QStringLiteral("c\x03"
                                          "d")};
    addProject("palvexos/examples", p);
    configure({{"examples", "palvexos/examples", {}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);

    QFile file(manifestOf("examples", "fancy"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    QString description;
    QString name;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"example")
            name = reader.attributes().value("name").toString();
        if (reader.isStartElement() && reader.name() == u"description")
            description = reader.readElementText();
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(name, QString::fromUtf8("Fancy <&\"> Demo \xf0\x9f\x98\x80"));
    QCOMPARE(description, QString("Use <b> & ]]> here, and ]]>]]> twice ]"));
    QCOMPARE(childText(readManifest(file.fileName()), "tags"), QString("a&b,cd"));
}

void tst_DownloadService::hostileArchiveStaysInside_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("installed");

    QTest::newRow("absolute member") << "absolute" << true;
    QTest::newRow("dot-dot member") << "dotdot" << false;
    QTest::newRow("link out of the example") << "link" << true;
    QTest::newRow("relative link upwards") << "uplink" << true;
    QTest::newRow("write through a link") << "through" << false;
    QTest::newRow("manifest is a link") << "manifest" << true;
    QTest::newRow("icon is a link") << "icon" << true;
    QTest::newRow("icons folder is a link") << "icons" << true;
    QTest::newRow("top directory is a link") << "top" << false;
    QTest::newRow("named pipe") << "fifo" << true;
}

void tst_DownloadService::hostileArchiveStaysInside()
{
    QFETCH(QString, kind);
    QFETCH(bool, installed);

    QTemporaryDir outsideDir(QDir::tempPath() + "/outside-XXXXXX");
    QVERIFY(outsideDir.isValid());
    const QByteArray outside = QFile::encodeName(outsideDir.path());
    writeFile(outsideDir.filePath("victim.txt"), "keep");
    writeFile(outsideDir.filePath("CMakeLists.txt"), "project(victim)\n");
    writeFile(outsideDir.filePath("icons/128x128/big.png"), pngBytes(128, 128));
    const QStringList before = treeOf(outsideDir.path());

    const QByteArray top = "demo-main-0123456789";
    QList<GitLab::TarEntry> entries{{top + '/', {}, '5'},
                                    {top + "/CMakeLists.txt", "project(demo)\n"}};
    if (kind == "absolute")
        entries.append({outside + "/absolute.txt", "written"});
    if (kind == "dotdot")
        entries.append({top + "/../../../escape.txt", "written"});
    if (kind == "link")
        entries.append({top + "/out", {}, '2', outside});
    if (kind == "uplink")
        entries.append({top + "/up", {}, '2', "../../.."});
    if (kind == "through") {
        entries.append({top + "/out", {}, '2', outside});
        entries.append({top + "/out/through.txt", "written"});
    }
    if (kind == "manifest")
        entries.append({top + "/examples-manifest.xml", {}, '2', outside + "/victim.txt"});
    if (kind == "icon")
        entries.append({top + "/example-icon.png", {}, '2', outside + "/victim.txt"});
    if (kind == "icons")
        entries.append({top + "/icons", {}, '2', outside + "/icons"});
    if (kind == "fifo")
        entries.append({top + "/pipe", {}, '6'});
    if (kind == "top")
        entries = {{top, {}, '2', outside}};

    GitLab::Project p = project("demo", "Demo");
    p.archiveOverride = GitLab::makeTarGz(entries);
    if (kind == "icon") {
        p.avatar = pngBytes(16, 16);
        p.avatarFileName = "logo.png";
    }
    addProject("palvexos/examples", p);
    configure({{"examples", "palvexos/examples", {}}});

    startService();
    QTRY_COMPARE_WITH_TIMEOUT(documentationSpy->count(), 1, TIMEOUT);

    QCOMPARE(treeOf(outsideDir.path()), before);
    QFile victim(outsideDir.filePath("victim.txt"));
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray("keep"));

    const QString repo = repositoryDir("examples");
    QCOMPARE(entriesOf(Settings::location().chopped(3)), QStringList{"examples"});
    QCOMPARE(entriesOf(repo), installed ? QStringList{"demo"} : QStringList());
    if (!installed)
        return;

    // Whatever is left of the example resolves inside it
    const QString example = QFileInfo(repo + "/demo").canonicalFilePath();
    QDirIterator it(example,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QVERIFY2(info.isDir() || info.isFile(), qPrintable(info.filePath()));
        QVERIFY2(info.canonicalFilePath().startsWith(example + u'/'), qPrintable(info.filePath()));
    }
    const QDomElement manifest = readManifest(manifestOf("examples", "demo"));
    QVERIFY(!manifest.isNull());
    QVERIFY(!QFileInfo(manifestOf("examples", "demo")).isSymLink());
    const QString imageUrl = exampleElement(manifest).attribute("imageUrl");
    QVERIFY2(imageUrl == "dummy.png" || imageUrl.startsWith(repo + "/demo/"), qPrintable(imageUrl));
}

QTEST_MAIN(tst_DownloadService)

#include "tst_downloadservice.moc"
