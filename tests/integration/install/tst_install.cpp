// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "gitlabserver.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <hovri/sdk.h>
#include <utils/qtcsettings.h>

#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <functional>
#include <memory>

using namespace ExtensionSystem;

namespace {

const int TIMEOUT = 60000;
const char PLUGIN_DIR[] = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins";
const char PLUGIN_FILE[] = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins/libBrindle.so";
const char SAMPLES[] = BRINDLE_SOURCE_DIR "/samples";

// The plugin's own service holder, Brindle::Internal::Plugin::downloadService(), taken from
// the loaded plugin file: the test process has no copy of the plugin code.
QObject *downloadService()
{
    using Function = QObject *(*)();
    const auto function = reinterpret_cast<Function>(
        QLibrary::resolve(PLUGIN_FILE, "_ZN7Brindle8Internal6Plugin15downloadServiceEv"));
    return function ? function() : nullptr;
}

struct SampleProject
{
    QString repository;
    QString path;
    QJsonObject metadata;
    QString filesDir;
};

QList<SampleProject> sampleProjects(const QString &repository, const QString &group)
{
    QList<SampleProject> projects;
    const QDir groupDir(QString::fromLatin1(SAMPLES) + u'/' + group);
    for (const QString &path : groupDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(groupDir.filePath(path + "/project.json"));
        if (!file.open(QIODevice::ReadOnly))
            continue; // a subgroup
        projects.append({repository,
                         path,
                         QJsonDocument::fromJson(file.readAll()).object(),
                         groupDir.filePath(path + "/files")});
    }
    return projects;
}

QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(dir).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsEverySampleAndStaysQuietWithinInterval();

private:
    QString repositoryDir(const QString &name) const;
    void startPlugins(const std::function<void()> &configure = {});
    void stopPlugins();
    void checkInstalled(const SampleProject &project);

    GitLab::Server server;
    std::unique_ptr<PluginManager> manager;
};

void tst_Install::initTestCase()
{
    // The plugin writes into the data location and the settings: only ever the private ones
    // that CTest sets up.
    const QString sandbox
        = QDir::cleanPath(qEnvironmentVariable("BRINDLE_BINARY_DIR") + "/testenv/tst_install")
          + u'/';
    for (const QString &path :
         {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/',
          qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH") + u'/'}) {
        if (qEnvironmentVariableIsEmpty("BRINDLE_BINARY_DIR") || !path.startsWith(sandbox))
            QFAIL(qPrintable("Run this test through ctest; it would touch " + path));
    }

    QString error;
    QVERIFY2(server.loadSamples(QString::fromLatin1(SAMPLES), &error), qPrintable(error));
    QVERIFY(server.listen());
}

QString tst_Install::repositoryDir(const QString &name) const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/'
           + std::get<2>(Hovri::Sdk::releaseInfo()) + u'/' + name;
}

void tst_Install::startPlugins(const std::function<void()> &configure)
{
    manager = std::make_unique<PluginManager>();
    if (configure)
        configure();
    PluginManager::setPluginPaths({QString::fromLatin1(PLUGIN_DIR)});
    PluginManager::loadPlugins();
    PluginSpec *pluginSpec = PluginManager::specById("brindle");
    QVERIFY(pluginSpec);
    QVERIFY2(!pluginSpec->hasError(), qPrintable(pluginSpec->errorString()));
    QVERIFY(downloadService());
}

void tst_Install::stopPlugins()
{
    PluginManager::shutdown();
    manager.reset();
    QVERIFY(!downloadService());
}

void tst_Install::checkInstalled(const SampleProject &project)
{
    const QString dir = repositoryDir(project.repository) + u'/' + project.path;
    const QString context = project.repository + u'/' + project.path;

    // The project as the server has it, plus the manifest and a downloaded image
    QStringList expectedFiles = filesBelow(project.filesDir);
    expectedFiles.append("examples-manifest.xml");
    const bool hasAvatar = project.metadata.contains("avatar");
    if (hasAvatar)
        expectedFiles.append("example-icon.png");
    expectedFiles.sort();
    QCOMPARE(filesBelow(dir), expectedFiles);
    for (const QString &file : filesBelow(project.filesDir))
        QVERIFY2(contentOf(dir + u'/' + file) == contentOf(project.filesDir + u'/' + file),
                 qPrintable(context + u'/' + file));

    QFile file(dir + "/examples-manifest.xml");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QDomDocument manifest;
    QVERIFY2(manifest.setContent(&file), qPrintable(context));
    const QDomElement root = manifest.documentElement();
    QCOMPARE(root.tagName(), QString("instructionals"));
    QCOMPARE(root.attribute("module"), project.repository);
    const QDomElement example = root.firstChildElement("examples").firstChildElement("example");
    QCOMPARE(example.attribute("name"), project.metadata.value("name").toString());

    const QString projectPath = example.attribute("projectPath");
    QVERIFY2(projectPath == "CMakeLists.txt" || projectPath.endsWith(".pro"), qPrintable(context));
    QVERIFY2(QFileInfo(dir + u'/' + projectPath).isFile(), qPrintable(context));

    const QString imageUrl = example.attribute("imageUrl");
    if (hasAvatar) {
        QCOMPARE(imageUrl, dir + "/example-icon.png");
    } else if (imageUrl != "dummy.png") {
        QVERIFY2(imageUrl.startsWith(QFileInfo(dir).canonicalFilePath() + u'/')
                     && imageUrl.contains("/icons/128x128/") && QFileInfo(imageUrl).isFile(),
                 qPrintable(context + ": " + imageUrl));
    } else {
        QVERIFY2(!expectedFiles.join('\n').contains("icons/128x128/"), qPrintable(context));
    }

    QCOMPARE(example.firstChildElement("description").text(),
             project.metadata.value("description").toString());

    QStringList topics;
    for (const QJsonValue &topic : project.metadata.value("topics").toArray())
        topics.append(topic.toString());
    topics.sort();
    if (topics.isEmpty())
        topics = QStringList{"Qt", "example"};
    QCOMPARE(example.firstChildElement("tags").text(), topics.join(u','));

    const QString fileToOpen = example.firstChildElement("fileToOpen").text();
    QVERIFY2(!fileToOpen.startsWith(u'/') && QFileInfo(dir + u'/' + fileToOpen).isFile(),
             qPrintable(context + ": " + fileToOpen));
    if (contentOf(project.filesDir + "/qml/main.qml").contains("ApplicationWindow"))
        QCOMPARE(fileToOpen, QString("qml/main.qml"));
}

void tst_Install::installsEverySampleAndStaysQuietWithinInterval()
{
    const QList<SampleProject> projects = sampleProjects("examples", "palvexos/examples")
                                          + sampleProjects("demos", "palvexos/demos");
    QVERIFY(projects.size() >= 5);

    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);
    startPlugins([this] {
        const QString base = server.baseUrl().toString();
        Utils::QtcSettings *settings = Core::ICore::settings();
        settings->setValue("Brindle/Repositories",
                           QStringList{"examples|" + base + "/palvexos/examples|",
                                       "demos|" + base + "/palvexos/demos|"});
        settings->sync();
    });
    const auto allInstalled = [&] {
        for (const SampleProject &project : projects) {
            if (!QFile::exists(repositoryDir(project.repository) + u'/' + project.path
                               + "/examples-manifest.xml")) {
                return false;
            }
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allInstalled(), TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!documentation.isEmpty(), TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(Core::ProgressManager::instance()->tasks().isEmpty(), TIMEOUT);

    for (const SampleProject &project : projects)
        checkInstalled(project);
    // Only the examples: no subgroup projects, no leftovers of the unpacking
    QStringList expected;
    for (const SampleProject &project : projects) {
        if (project.repository == "examples")
            expected.append(project.path);
    }
    QCOMPARE(QDir(repositoryDir("examples"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             expected);
    stopPlugins();

    // A second start on the same day: both listings run, nothing is downloaded
    server.clearRequests();
    QSignalSpy tasks(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    startPlugins();
    QSignalSpy updated(downloadService(), SIGNAL(updated()));
    QTRY_COMPARE_WITH_TIMEOUT(updated.count(), 2, TIMEOUT);
    QCoreApplication::processEvents();
    QCOMPARE(tasks.count(), 0);
    static const QRegularExpression archive("/repository/archive");
    for (const GitLab::RecordedRequest &request : server.requests())
        QVERIFY2(!archive.match(request.path).hasMatch(), qPrintable(request.path));
    stopPlugins();
}

QTEST_MAIN(tst_Install)

#include "tst_install.moc"
