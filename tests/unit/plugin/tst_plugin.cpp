// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/icore.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QTest>

using namespace ExtensionSystem;

static const char PLUGIN_FILE[] = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins/libBrindle.so";

// Brindle::Internal::Plugin::downloadService(), resolved in the loaded plugin file itself: the
// test process has no copy of the plugin code.
static void *downloadService()
{
    const auto function = reinterpret_cast<void *(*)()>(
        QLibrary::resolve(PLUGIN_FILE, "_ZN7Brindle8Internal6Plugin15downloadServiceEv"));
    return function ? function() : reinterpret_cast<void *>(-1);
}

static Core::IOptionsPage *optionsPage()
{
    for (Core::IOptionsPage *page : Core::IOptionsPage::allOptionsPages()) {
        if (page->id() == Utils::Id("Oskel.Brindle.Plugin.Settings.Page"))
            return page;
    }
    return nullptr;
}

class tst_Plugin : public QObject
{
    Q_OBJECT

private slots:
    void runsInsideThePluginManager()
    {
        // Loading the file runs its static initialisation, which must not create the service.
        QVERIFY(!downloadService());
        Utils::QtcSettings *settings = Core::ICore::settings();
        // The IDE decided on German (its -language option or settings); the plugin follows.
        qApp->setProperty("qtc_locale", "de");
        settings->setValue("Brindle/Repositories", QStringList{"examples|http://127.0.0.1:1/g|"});
        settings->setValue("Help/InstalledExamples", QStringList{"examples|/old|/old"});

        PluginManager::setPluginPaths({QFileInfo(PLUGIN_FILE).path()});
        PluginManager::loadPlugins();
        PluginSpec *pluginSpec = PluginManager::specById("brindle");
        QVERIFY(pluginSpec);
        QVERIFY2(!pluginSpec->hasError(), qPrintable(pluginSpec->errorString()));
        QCOMPARE(pluginSpec->state(), PluginSpec::Running);
        QString metadata = pluginSpec->name() + ' ' + pluginSpec->version() + ' '
                           + pluginSpec->compatVersion() + ", " + pluginSpec->description();
        for (const PluginDependency &dependency : pluginSpec->dependencies()) {
            QCOMPARE(dependency.type, PluginDependency::Required);
            metadata += ", " + dependency.id + ' ' + dependency.version;
        }
        QCOMPARE(metadata,
                 "Brindle 16.0.0 16.0.0, Palvex OS brindle plugin, core 16.0.0, "
                 "help 16.0.0, palvexos 16.0.0");

        QVERIFY(downloadService());
        QVERIFY(optionsPage());
        QCOMPARE(optionsPage()->category(), Utils::Id("H.Help"));
        // The German override language found the plugin's translation.
        QCOMPARE(optionsPage()->displayName(), QString("Palvex OS Beispiele"));
        // The host's example set now points at this release's data location, which exists.
        const QString directory
            = qEnvironmentVariable("XDG_DATA_HOME") + "/palvexos-sdk-5.0/examples";
        QCOMPARE(settings->value("Help/InstalledExamples").toStringList(),
                 QStringList{"examples|" + directory + '|' + directory});
        QVERIFY(QFileInfo(directory).isDir());

        // Service, page and translation all leave with the plugin.
        PluginManager::shutdown();
        QVERIFY(!downloadService());
        QVERIFY(!optionsPage());
        QCOMPARE(QCoreApplication::translate("Brindle::Internal::BrindlePlugin", "Examples"),
                 QString("Examples"));
    }
};

QTEST_MAIN(tst_Plugin)

#include "tst_plugin.moc"
