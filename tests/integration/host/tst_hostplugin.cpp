// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The real plugin loaded through the host's plugin manager, with German as the IDE's
// language: its options page in the host's options dialog, and every user-visible text of the
// plugin's sources translated in both languages.

#include "optionsdialog.h"

#include <coreplugin/dialogs/ioptionspage.h>
#include <extensionsystem/pluginmanager.h>
#include <utils/qtcsettings.h>

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHash>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {

const char PAGE_ID[] = "Oskel.Brindle.Plugin.Settings.Page";

struct Message
{
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QList<Message> readTs(const QString &fileName)
{
    QList<Message> messages;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader reader(&file);
    QString context;
    Message message;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == QLatin1String("name")) {
                context = reader.readElementText();
            } else if (reader.name() == QLatin1String("message")) {
                message = Message{context};
            } else if (reader.name() == QLatin1String("source")) {
                message.source = reader.readElementText();
            } else if (reader.name() == QLatin1String("translation")) {
                const QString type = reader.attributes().value("type").toString();
                message.finished = type.isEmpty();
                message.translation = reader.readElementText();
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("message")) {
            messages.append(message);
        }
    }
    return messages;
}

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> result;
    static const QRegularExpression placeholder("%(\\d+|n)");
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        result.insert(it.next().captured());
    return result;
}

Core::IOptionsPage *brindlePage()
{
    const QList<Core::IOptionsPage *> pages = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : pages) {
        if (page->id() == Utils::Id(PAGE_ID))
            return page;
    }
    return nullptr;
}

} // namespace

class tst_HostPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void optionsPageSpeaksTheIdeLanguage();
    void okAppliesThePageAndCancelDropsItsChanges();
    void everyTextOfThePluginIsTranslated_data();
    void everyTextOfThePluginIsTranslated();
};

void tst_HostPlugin::initTestCase()
{
    Utils::QtcSettings *settings = ExtensionSystem::PluginManager::settings();
    QVERIFY2(settings->fileName().startsWith(qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH")),
             "runs in the test environment");
    settings->setValue("General/OverrideLanguage", "de");
    settings->sync();

    ExtensionSystem::PluginManager::setPluginPaths(
        {QString(BRINDLE_BINARY_DIR) + "/lib/brindle-host/plugins"});
    ExtensionSystem::PluginManager::loadPlugins();
    QVERIFY2(!ExtensionSystem::PluginManager::hasError(),
             qPrintable(ExtensionSystem::PluginManager::allErrors().join('\n')));
}

void tst_HostPlugin::cleanupTestCase()
{
    ExtensionSystem::PluginManager::shutdown();
}

void tst_HostPlugin::optionsPageSpeaksTheIdeLanguage()
{
    Core::IOptionsPage *page = brindlePage();
    QVERIFY(page);
    QCOMPARE(page->displayName(), QString("Palvex OS Beispiele"));

    Brindle::Host::OptionsDialog dialog;
    QVERIFY(dialog.showPage(PAGE_ID));
    auto tabs = dialog.findChild<QTabWidget *>("pages_H.Help");
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("Palvex OS Beispiele"));
    auto installed = dialog.findChild<QGroupBox *>("groupBox");
    auto add = dialog.findChild<QPushButton *>("addButton");
    QVERIFY(installed && add);
    QCOMPARE(installed->title(), QString("Installierte Beispiele"));
    QCOMPARE(add->text(), QString("Hinzufügen..."));
    dialog.reject();
}

void tst_HostPlugin::okAppliesThePageAndCancelDropsItsChanges()
{
    Utils::QtcSettings *settings = ExtensionSystem::PluginManager::settings();
    {
        Brindle::Host::OptionsDialog dialog;
        QVERIFY(dialog.showPage(PAGE_ID));
        auto interval = dialog.findChild<QSpinBox *>("timeoutSpinBox");
        QVERIFY(interval);
        interval->setValue(7);
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    }
    QCOMPARE(settings->value("Brindle/UpdatesCheckTimeoutDays").toInt(), 7);

    {
        Brindle::Host::OptionsDialog dialog;
        QVERIFY(dialog.showPage(PAGE_ID));
        auto interval = dialog.findChild<QSpinBox *>("timeoutSpinBox");
        QVERIFY(interval);
        QCOMPARE(interval->value(), 7);
        interval->setValue(0);
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    }
    QCOMPARE(settings->value("Brindle/UpdatesCheckTimeoutDays").toInt(), 7);
}

void tst_HostPlugin::everyTextOfThePluginIsTranslated_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("German") << "de";
    QTest::newRow("Russian") << "ru";
}

void tst_HostPlugin::everyTextOfThePluginIsTranslated()
{
    QFETCH(QString, language);

    // What the plugin's sources hold today, extracted the way translators get it.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString extracted = dir.filePath("extracted.ts");
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(
        LUPDATE_EXECUTABLE,
        {"-silent", "-locations", "none", QString(BRINDLE_SOURCE_DIR) + "/src", "-ts", extracted});
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());
    const QList<Message> wanted = readTs(extracted);
    QVERIFY2(wanted.size() > 40, "the plugin's texts were found");

    const QString tsFile
        = QString(BRINDLE_SOURCE_DIR) + "/translations/Brindle_" + language + ".ts";
    QHash<QPair<QString, QString>, Message> translated;
    for (const Message &message : readTs(tsFile))
        translated.insert({message.context, message.source}, message);

    QTranslator translator;
    QVERIFY(translator.load(QString(BRINDLE_BINARY_DIR)
                            + "/share/brindle-host/translations/Brindle_" + language + ".qm"));

    for (const Message &message : wanted) {
        const QString where = message.context + ": " + message.source;
        const auto it = translated.constFind({message.context, message.source});
        QVERIFY2(it != translated.constEnd(), qPrintable("not in " + tsFile + ": " + where));
        QVERIFY2(it->finished && !it->translation.isEmpty(), qPrintable("unfinished: " + where));
        QVERIFY2(it->translation != message.source || message.source == "Repository:",
                 qPrintable("left in English: " + where));
        QCOMPARE(placeholders(it->translation), placeholders(message.source));
        // The released file is what the plugin loads.
        QCOMPARE(translator.translate(message.context.toUtf8(), message.source.toUtf8()),
                 it->translation);
    }
}

QTEST_MAIN(tst_HostPlugin)

#include "tst_hostplugin.moc"
