// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "pluginhost.h"

#include <coreplugin/icore.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <utils/qtcsettings.h>

#include <QFileInfo>
#include <QLoggingCategory>
#include <QTest>

using namespace ExtensionSystem;
using namespace PluginHost;

class tst_Plugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler(collect);
    }

    void runsInsideThePluginManager()
    {
        // Loading the file runs its static initialisation, which must not create the service.
        QVERIFY(!downloadService());

        Utils::QtcSettings *settings = Core::ICore::settings();
        settings->setValue("Brindle/Repositories", QStringList{"examples|http://127.0.0.1:1/g|"});
        settings->setValue("Help/InstalledExamples", QStringList{"examples|/old|/old"});

        PluginManager::setPluginPaths({PLUGIN_DIR, TEST_PLUGIN_DIR});
        PluginManager::loadPlugins();

        PluginSpec *pluginSpec = PluginManager::specById("brindle");
        QVERIFY(pluginSpec);
        QVERIFY2(!pluginSpec->hasError(), qPrintable(pluginSpec->errorString()));
        QCOMPARE(pluginSpec->name(), QString("Brindle"));
        QCOMPARE(pluginSpec->version(), QString("16.0.0"));
        QCOMPARE(pluginSpec->compatVersion(), QString("16.0.0"));
        QCOMPARE(pluginSpec->description(), QString("Palvex OS brindle plugin"));
        QStringList dependencies;
        for (const PluginDependency &dependency : pluginSpec->dependencies()) {
            QCOMPARE(dependency.type, PluginDependency::Required);
            dependencies.append(dependency.id + ' ' + dependency.version);
        }
        QCOMPARE(dependencies, (QStringList{"core 16.0.0", "help 16.0.0", "palvexos 16.0.0"}));
        QCOMPARE(pluginSpec->state(), PluginSpec::Running);

        PluginSpec *refused = PluginManager::specById("missingdep");
        QVERIFY(refused);
        QVERIFY(refused->hasError());
        QVERIFY2(refused->errorString().contains("nosuchplugin"),
                 qPrintable(refused->errorString()));
        QVERIFY(!refused->plugin());

        void *service = downloadService();
        QVERIFY(service);

        Core::IOptionsPage *page = optionsPage();
        QVERIFY(page);
        QCOMPARE(page->category(), Utils::Id("H.Help"));
        QCOMPARE(page->displayName(), QString("Palvex OS Examples"));

        // The host's example set now points at this release's data location, which exists.
        const QString directory = qEnvironmentVariable("XDG_DATA_HOME")
                                  + "/palvexos-sdk-5.0/examples";
        QCOMPARE(settings->value("Help/InstalledExamples").toStringList(),
                 QStringList{"examples|" + directory + '|' + directory});
        QVERIFY(QFileInfo(directory).isDir());

        // No translation exists in this test's resource tree.
        const QStringList failed = messages.filter("Failed to load translator:");
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed.first().contains("/no-resources/translations\" Brindle"),
                 qPrintable(failed.first()));
        QCOMPARE(downloadService(), service);

        PluginManager::shutdown();
        QVERIFY(!downloadService());
        QVERIFY(!optionsPage());
    }
};

QTEST_MAIN(tst_Plugin)

#include "tst_plugin.moc"
