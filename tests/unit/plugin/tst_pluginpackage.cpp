// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The plugin as Install Plugin... leaves it: its package's layout in a folder of its own,
// <folder>/lib/qtcreator/plugins/libBrindle.so and <folder>/share/qtcreator/translations,
// while the IDE's translations folder has none of the plugin's.

#include <coreplugin/dialogs/ioptionspage.h>
#include <extensionsystem/pluginmanager.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ExtensionSystem;

class tst_PluginPackage : public QObject
{
    Q_OBJECT

private slots:
    void translationsComeFromThePackage()
    {
        QTemporaryDir ide;
        QTemporaryDir package;
        QVERIFY(QDir().mkpath(ide.filePath("translations")));
        QVERIFY(QDir().mkpath(package.filePath("lib/qtcreator/plugins")));
        QVERIFY(QDir().mkpath(package.filePath("share/qtcreator/translations")));
        QVERIFY(QFile::copy(BRINDLE_BINARY_DIR "/lib/brindle-host/plugins/libBrindle.so",
                            package.filePath("lib/qtcreator/plugins/libBrindle.so")));
        QVERIFY(QFile::copy(BRINDLE_RESOURCE_DIR "/translations/Brindle_de.qm",
                            package.filePath("share/qtcreator/translations/Brindle_de.qm")));
        qputenv("BRINDLE_HOST_RESOURCE_PATH", QFile::encodeName(ide.path()));
        // The IDE speaks German.
        qApp->setProperty("qtc_locale", QString("de_DE"));

        PluginManager::setPluginPaths({package.filePath("lib/qtcreator/plugins")});
        PluginManager::loadPlugins();
        QVERIFY2(!PluginManager::hasError(), qPrintable(PluginManager::allErrors().join('\n')));
        QStringList titles;
        for (Core::IOptionsPage *page : Core::IOptionsPage::allOptionsPages())
            titles << page->displayName();
        QCOMPARE(titles, QStringList{"Palvex OS Beispiele"});
        PluginManager::shutdown();
    }
};

QTEST_MAIN(tst_PluginPackage)

#include "tst_pluginpackage.moc"
