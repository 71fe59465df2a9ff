// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The plugin speaks the IDE's interface language, never one the IDE itself does not speak.

#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/icore.h>
#include <extensionsystem/pluginmanager.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

using namespace ExtensionSystem;

class tst_PluginLanguage : public QObject
{
    Q_OBJECT

private slots:
    void englishIdeKeepsThePluginEnglish()
    {
        // The user asked for German and the system is German, but the IDE found no German of
        // its own (Core::ICore::userInterfaceLanguage() is empty): it speaks English, and a
        // German options page in an English dialog would be wrong.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Core::ICore::settings()->setValue("General/OverrideLanguage", "de");
        qApp->setProperty("qtc_locale", QString());
        QCOMPARE(Core::ICore::userInterfaceLanguage(), QString());

        PluginManager::setPluginPaths({BRINDLE_BINARY_DIR "/lib/brindle-host/plugins"});
        PluginManager::loadPlugins();
        QVERIFY2(!PluginManager::hasError(), qPrintable(PluginManager::allErrors().join('\n')));
        QStringList titles;
        for (Core::IOptionsPage *page : Core::IOptionsPage::allOptionsPages())
            titles << page->displayName();
        QCOMPARE(titles, QStringList{"Palvex OS Examples"});
        PluginManager::shutdown();
    }
};

QTEST_MAIN(tst_PluginLanguage)

#include "tst_pluginlanguage.moc"
