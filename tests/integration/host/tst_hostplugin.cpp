// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The real plugin in the host's plugin manager with German as the IDE's language: its page
// in the host's options dialog, and every user-visible text of its sources translated.

#include "optionsdialog.h"

#include <extensionsystem/pluginmanager.h>
#include <utils/qtcsettings.h>

#include <QDialogButtonBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

using ExtensionSystem::PluginManager;

namespace {

// The context and source text of every message of a .ts file.
QList<QPair<QString, QString>> readMessages(const QString &fileName)
{
    QList<QPair<QString, QString>> messages;
    QFile file(fileName);
    QXmlStreamReader reader(file.open(QIODevice::ReadOnly) ? &file : nullptr);
    QString context;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == u"name")
            context = reader.readElementText();
        else if (reader.name() == u"source")
            messages.append({context, reader.readElementText()});
    }
    return messages;
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression placeholder("%(\\d+|n)");
    QSet<QString> result;
    for (const QRegularExpressionMatch &match : placeholder.globalMatch(text))
        result.insert(match.captured());
    return result;
}

} // namespace

class tst_HostPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("BRINDLE_HOST_SETTINGS_PATH"), "test environment");
        qApp->setProperty("qtc_locale", "de"); // the IDE speaks German
        PluginManager::setPluginPaths({BRINDLE_BINARY_DIR "/lib/brindle-host/plugins"});
        PluginManager::loadPlugins();
        QVERIFY2(!PluginManager::hasError(), qPrintable(PluginManager::allErrors().join('\n')));
    }
    void cleanupTestCase() { PluginManager::shutdown(); }

    void okAppliesTheGermanPageAndCancelDropsItsChange()
    {
        for (const auto &[button, days] :
             {std::pair(QDialogButtonBox::Ok, 7), std::pair(QDialogButtonBox::Cancel, 0)}) {
            Brindle::Host::OptionsDialog dialog;
            QVERIFY(dialog.showPage("Oskel.Brindle.Plugin.Settings.Page"));
            dialog.show(); // the page's widget comes with the first showing of its tab
            auto tabs = dialog.findChild<QTabWidget *>("pages_H.Help");
            QCOMPARE(tabs->tabText(tabs->currentIndex()), "Palvex OS Beispiele");
            auto interval = dialog.findChild<QSpinBox *>("timeoutSpinBox");
            QVERIFY(button == QDialogButtonBox::Ok || interval->value() == 7);
            interval->setValue(days);
            dialog.findChild<QDialogButtonBox *>()->button(button)->click();
            QCOMPARE(PluginManager::settings()->value("Brindle/UpdatesCheckTimeoutDays"), 7);
        }
    }

    void everyTextOfThePluginIsTranslated_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("German") << "de";
        QTest::newRow("Russian") << "ru";
    }
    void everyTextOfThePluginIsTranslated()
    {
        QFETCH(QString, language);
        // What the sources hold today, extracted the way translators get it.
        QTemporaryDir dir;
        QStringList arguments{"-silent", "-locations", "none", BRINDLE_SOURCE_DIR "/src", "-ts"};
        QCOMPARE(QProcess::execute(LUPDATE_EXECUTABLE, arguments << dir.filePath("x.ts")), 0);
        const QList<QPair<QString, QString>> wanted = readMessages(dir.filePath("x.ts"));
        QVERIFY2(wanted.size() > 40, "the plugin's texts were found");

        // The released file is what the plugin loads; lrelease also takes unfinished texts.
        const QString ts = BRINDLE_SOURCE_DIR "/translations/Brindle_" + language + ".ts";
        QFile tsFile(ts);
        QVERIFY(tsFile.open(QIODevice::ReadOnly));
        QVERIFY2(!tsFile.readAll().contains("type=\"unfinished\""),
                 qPrintable("unfinished texts in " + ts));
        QTranslator released;
        QVERIFY(released.load(BRINDLE_BINARY_DIR "/share/brindle-host/translations/Brindle_"
                              + language + ".qm"));
        for (const auto &[context, source] : wanted) {
            const QString translation = released.translate(context.toUtf8(), source.toUtf8());
            const QString where = context + ": " + source;
            QVERIFY2(!translation.isEmpty(), qPrintable("not translated: " + where));
            QVERIFY2(translation != source || source == "Repository:",
                     qPrintable("English: " + where));
            QCOMPARE(placeholders(translation), placeholders(source));
        }
    }
};

QTEST_MAIN(tst_HostPlugin)

#include "tst_hostplugin.moc"
