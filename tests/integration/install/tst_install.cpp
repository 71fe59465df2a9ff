// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "gitlabserver.h"
#include "testfiles.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <hovri/sdk.h>
#include <utils/qtcsettings.h>

#include <QDirIterator>
#include <QDomDocument>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace ExtensionSystem;
using TestFiles::contentOf;
using TestFiles::entriesOf;

namespace {

const int TIMEOUT = 60000;
const QString PLUGIN_DIR = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins";
const QString SAMPLES = BRINDLE_SOURCE_DIR "/samples";

// Plugin::downloadService() of the loaded plugin file: the test has no copy of the plugin code.
QObject *downloadService()
{
    const auto function = reinterpret_cast<QObject *(*)()>(QLibrary::resolve(
        PLUGIN_DIR + "/libBrindle.so", "_ZN7Brindle8Internal6Plugin15downloadServiceEv"));
    return function ? function() : nullptr;
}

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/'
           + std::get<2>(Hovri::Sdk::releaseInfo()) + u'/';
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

void startPlugins()
{
    PluginManager::setPluginPaths({PLUGIN_DIR});
    PluginManager::loadPlugins();
    PluginSpec *pluginSpec = PluginManager::specById("brindle");
    QVERIFY2(pluginSpec && !pluginSpec->hasError(),
             pluginSpec ? qPrintable(pluginSpec->errorString()) : "");
    QVERIFY(downloadService());
}

// The sample "<repository>/<name>" is installed as the server has it, with a manifest built
// from its metadata.
void checkInstalled(const QString &example)
{
    const QString sample = SAMPLES + "/palvexos/" + example;
    const QString dir = dataDir() + example;
    const QJsonObject metadata
        = QJsonDocument::fromJson(contentOf(sample + "/project.json")).object();
    const bool avatar = metadata.contains("avatar");
    const QStringList files = filesBelow(sample + "/files");
    QStringList installed = files + QStringList{"examples-manifest.xml"};
    if (avatar)
        installed.append("example-icon.png");
    installed.sort();
    QCOMPARE(filesBelow(dir), installed);
    for (const QString &file : files)
        QVERIFY2(contentOf(dir + u'/' + file) == contentOf(sample + "/files/" + file),
                 qPrintable(file));

    QFile file(dir + "/examples-manifest.xml");
    QDomDocument manifest;
    QVERIFY2(file.open(QIODevice::ReadOnly) && manifest.setContent(&file), qPrintable(dir));
    const QDomElement root = manifest.documentElement();
    const QDomElement element = root.firstChildElement("examples").firstChildElement("example");
    const QStringList icons = files.filter("icons/128x128/");
    QStringList topics = metadata.value("topics").toVariant().toStringList();
    topics.sort();
    // clang-format off
    const QString image = avatar ? dir + "/example-icon.png" : icons.isEmpty() ? "dummy.png" : QFileInfo(dir).canonicalFilePath() + u'/' + icons.first();
    QCOMPARE((QStringList{root.attribute("module"), element.attribute("name"), element.attribute("imageUrl"), element.firstChildElement("description").text(), element.firstChildElement("tags").text()}),
             (QStringList{example.section(u'/', 0, 0), metadata.value("name").toString(), image, metadata.value("description").toString(), topics.join(u',')}));
    // clang-format on
    for (const QString &path :
         {element.attribute("projectPath"), element.firstChildElement("fileToOpen").text()})
        QVERIFY2(!path.startsWith('/') && QFileInfo(dir + u'/' + path).isFile(), qPrintable(path));
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void installsEverySampleAndStaysQuietWithinInterval();
};

void tst_Install::installsEverySampleAndStaysQuietWithinInterval()
{
    // The plugin writes into the data location and the settings: only ever the private ones.
    const QString sandbox = TestFiles::testRoot();
    QVERIFY2(dataDir().startsWith(sandbox)
                 && qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH").startsWith(sandbox),
             "Run this test through ctest");
    GitLab::Server server;
    QString error;
    QVERIFY2(server.loadSamples(SAMPLES, &error), qPrintable(error));
    QVERIFY(server.listen());

    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);
    auto manager = std::make_unique<PluginManager>();
    // A fresh start also when ctest repeats the test without preparing its environment again
    QDir(dataDir()).removeRecursively();
    Core::ICore::settings()->clear();
    const QString base = server.baseUrl().toString();
    Core::ICore::settings()->setValue("Brindle/Repositories",
                                      QStringList{"examples|" + base + "/palvexos/examples|",
                                                  "demos|" + base + "/palvexos/demos|"});
    startPlugins();
    // One directory per example of a group, none for projects of its subgroups ("legacy"),
    // nothing left half unpacked
    const QStringList examples{"device-info", "hello-qml", "launcher-icon", "notes-qmake"};
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(dataDir() + "examples"), examples, TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(dataDir() + "demos"), QStringList{"compass"}, TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!documentation.isEmpty(), TIMEOUT);
    checkInstalled("demos/compass");
    for (const QString &name : examples)
        checkInstalled("examples/" + name);
    PluginManager::shutdown();
    manager.reset();
    QVERIFY(!downloadService());

    // A second start on the same day: both listings run, nothing is downloaded
    QSignalSpy tasks(Core::ProgressManager::instance(), &Core::ProgressManager::taskAdded);
    manager = std::make_unique<PluginManager>();
    startPlugins();
    QSignalSpy updated(downloadService(), SIGNAL(updated()));
    QTRY_COMPARE_WITH_TIMEOUT(updated.count(), 2, TIMEOUT);
    QCOMPARE(tasks.count(), 0);
    PluginManager::shutdown();
}

QTEST_MAIN(tst_Install)

#include "tst_install.moc"
