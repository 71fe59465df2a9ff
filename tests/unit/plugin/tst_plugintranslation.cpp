// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "pluginhost.h"

#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTest>

using namespace ExtensionSystem;
using namespace PluginHost;

class tst_PluginTranslation : public QObject
{
    Q_OBJECT

private slots:
    void overrideLanguageSelectsTranslation()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler(collect);
        PluginManager::settings()->setValue("General/OverrideLanguage", "de");

        PluginManager::setPluginPaths({PLUGIN_DIR});
        PluginManager::loadPlugins();
        PluginSpec *pluginSpec = PluginManager::specById("brindle");
        QVERIFY(pluginSpec);
        QVERIFY2(!pluginSpec->hasError(), qPrintable(pluginSpec->errorString()));

        QVERIFY(messages.filter("Failed to load translator:").isEmpty());
        QVERIFY(optionsPage());
        QCOMPARE(optionsPage()->displayName(), QString("Palvex OS Beispiele"));

        // The translator belongs to the plugin and leaves with it.
        PluginManager::shutdown();
        QCOMPARE(QCoreApplication::translate("Brindle::Internal::BrindlePlugin", "Examples"),
                 QString("Examples"));
    }
};

QTEST_MAIN(tst_PluginTranslation)

#include "tst_plugintranslation.moc"
