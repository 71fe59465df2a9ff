// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "constants.h"
#include "settings.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Brindle::Internal;

static QStringList messages;

static void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

// One comparable text per row: name, URL and the sorted removed names.
static QStringList describe(const QHash<QString, Settings::RepositoryInfo> &repositories)
{
    QStringList rows;
    for (auto it = repositories.cbegin(); it != repositories.cend(); ++it) {
        QStringList removed;
        for (const QString &name : it->removedExamples)
            removed.append('"' + name + '"');
        removed.sort();
        rows.append(it.key() + " -> " + it->url.toString() + " [" + removed.join(',') + ']');
    }
    rows.sort();
    return rows;
}

static Utils::QtcSettings *store()
{
    return Core::ICore::settings();
}

static void resetStore()
{
    store()->clear();
    store()->sync();
}

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler(collect);
    }
    void init()
    {
        messages.clear();
        resetStore();
    }

    // Runs first: the location is computed on its first use in the process.
    void locationIsComputedOnceBelowTheDataHome()
    {
        const QString expected = qEnvironmentVariable("XDG_DATA_HOME") + "/palvexos-sdk-5.0/%1";
        QCOMPARE(Settings::location(), expected);
        QCOMPARE(Settings::location(), expected);
        QCOMPARE(messages.filter("Data location").size(), 1);
        QVERIFY(messages.filter("Data location").first().contains(expected));
    }

    void decodeRepositories_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("logged");

        const QString a = "https://git.example.org/a";
        const QString b = "https://git.example.org/b";
        QTest::newRow("first name and first url win")
            << QStringList{"", "examples|" + a + '|', "examples|" + b + '|', "demos|" + a + '|',
                           "broken"}
            << QStringList{"examples -> " + a + " [\"\"]"}
            << QStringList{"Skipping duplicated repository name in item: \"examples|" + b + "|\"",
                           "Skipping duplicated repository url in item: \"demos|" + a + "|\"",
                           "Skipping wrong setting in item: \"broken\""};
        QTest::newRow("empty name or url")
            << QStringList{"name||", '|' + a + '|'} << QStringList{}
            << QStringList{"Skipping wrong setting in item: \"name||\"",
                           "Skipping wrong setting in item: \"|" + a + "|\""};
        QTest::newRow("no removed field") << QStringList{"name|" + a}
                                          << QStringList{"name -> " + a + " []"} << QStringList{};
        QTest::newRow("removed names collapse")
            << QStringList{"examples|" + a + "|a|b|a"}
            << QStringList{"examples -> " + a + " [\"a\",\"b\"]"} << QStringList{};
        QTest::newRow("urls compare normalised")
            << QStringList{"one|HTTPS://Git.Example.org/a", "two|https://git.example.org/a|"}
            << QStringList{"one -> " + a + " []"}
            << QStringList{"Skipping duplicated repository url in item: \"two|" + a + "|\""};
        QTest::newRow("placeholders are plain text")
            << QStringList{"x%2y|" + a + "|%1"} << QStringList{"x%2y -> " + a + " [\"%1\"]"}
            << QStringList{};

        // A name is a directory name: nothing may lead outside the data location.
        for (const QString &name : {QString("."), QString(".."), QString("a/b"), QString("..\\up"),
                                    QString("tab\there"), QString("nul") + QChar(0)}) {
            QTest::addRow("unsafe name %s", qPrintable(name.toLatin1().toPercentEncoding()))
                << QStringList{name + '|' + a + '|', "ok|" + a + '|'}
                << QStringList{"ok -> " + a + " [\"\"]"}
                << QStringList{"Skipping wrong setting in item:"};
        }
    }
    void decodeRepositories()
    {
        QFETCH(QStringList, items);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, logged);

        const auto decoded = fromStringList(items);
        QCOMPARE(describe(decoded), rows);
        QCOMPARE(messages.size(), logged.size());
        for (qsizetype i = 0; i < logged.size(); ++i)
            QVERIFY2(messages.at(i).startsWith(logged.at(i)), qPrintable(messages.at(i)));
    }

    void decodeCheckedDates_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("logged");

        QTest::newRow("valid") << QStringList{"examples|05.12.2026"} << "examples"
                               << QDate(2026, 12, 5) << 1 << "";
        QTest::newRow("impossible day") << QStringList{"examples|31.02.2026"} << "examples"
                                        << QDate() << 1 << "";
        QTest::newRow("empty date") << QStringList{"examples|"} << "examples" << QDate() << 1 << "";
        QTest::newRow("extra field")
            << QStringList{"examples|05.12.2026|x"} << "examples" << QDate() << 0
            << "Skipping wrong setting in item: \"examples|05.12.2026|x\"";
        QTest::newRow("empty name") << QStringList{"", "|05.12.2026"} << "" << QDate(2026, 12, 5)
                                    << 1 << "";
        QTest::newRow("first wins")
            << QStringList{"examples|01.01.2026", "examples|02.01.2026"} << "examples"
            << QDate(2026, 1, 1) << 1
            << "Skipping duplicated repository name in item: \"examples|02.01.2026\"";
    }
    void decodeCheckedDates()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, name);
        QFETCH(QDate, date);
        QFETCH(int, count);
        QFETCH(QString, logged);

        const QHash<QString, QDate> dates = lastCheckedDateFromStringList(items);
        QCOMPARE(dates.size(), count);
        QCOMPARE(dates.value(name), date);
        QCOMPARE(messages, logged.isEmpty() ? QStringList() : QStringList{logged});
    }

    void encodingsAreStableAcrossSaveAndLoad()
    {
        QHash<QString, Settings::RepositoryInfo> table;
        table["x%2y"].url = QUrl("https://git.example.org/%1");
        table["x%2y"].removedExamples = {"one", "%2two"};
        table["plain"].url = QUrl("https://git.example.org/plain");
        table["plain"].removedExamples = {"gone"};
        QCOMPARE(describe(fromStringList(toStringList(table))), describe(table));

        // An empty removed set is written with a trailing separator and reads back as one
        // empty name; from then on the text no longer changes.
        table["plain"].removedExamples.clear();
        const QStringList written = toStringList({{"plain", table["plain"]}});
        QCOMPARE(written, QStringList{"plain|https://git.example.org/plain|"});
        QCOMPARE(toStringList(fromStringList(written)), written);

        const QHash<QString, QDate> dates{{"x%2y", QDate(2026, 3, 4)}, {"never", QDate()}};
        QCOMPARE(lastCheckedDateFromStringList(lastUpdateTimeToStringList(dates)), dates);
        QCOMPARE(lastUpdateTimeToStringList({{"x%2y", QDate(2026, 3, 4)}}),
                 QStringList{"x%2y|04.03.2026"});
    }

    void loadWithoutGroupGivesDefaults()
    {
        Settings settings;
        settings.load(store());
        QCOMPARE(settings.updatesCheckTimeoutDays, 1u);
        QCOMPARE(settings.serviceRestartTimeoutSeconds, 60u);
        QVERIFY(settings.repositories.isEmpty());
        QVERIFY(settings.lastCheckedDates.isEmpty());
        QVERIFY(messages.contains("Settings: \"" + store()->fileName() + '"'));
        QCOMPARE(messages.filter("Settings does not contain variable:"),
                 QStringList{"Settings does not contain variable: Repositories"});
        QVERIFY(store()->fileName().startsWith(qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH")));
    }

    void saveAndLoadThroughIniFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("store.ini");
        {
            Utils::QtcSettings ini(file, QSettings::IniFormat);
            Settings().save(&ini);
        }
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value("Brindle/UpdatesCheckedDate").toStringList(), QStringList());
        QCOMPARE(raw.value("Brindle/Repositories").toStringList(), QStringList());
        QCOMPARE(raw.value("Brindle/UpdatesCheckTimeoutDays").toUInt(), 1u);
        QCOMPARE(raw.value("Brindle/ServiceRestartTimeoutSeconds").toUInt(), 60u);

        Settings saved;
        saved.updatesCheckTimeoutDays = 0;
        saved.serviceRestartTimeoutSeconds = 5;
        saved.lastCheckedDates["examples"] = QDate(2026, 12, 5);
        saved.repositories["examples"].url = QUrl("https://git.example.org/examples");
        saved.repositories["examples"].removedExamples = {"gone"};
        saved.repositories["examples"].examplesToInstall = {"pending"};
        {
            Utils::QtcSettings ini(file, QSettings::IniFormat);
            saved.save(&ini);
        }
        Utils::QtcSettings ini(file, QSettings::IniFormat);
        Settings loaded;
        loaded.load(&ini);
        QCOMPARE(loaded.updatesCheckTimeoutDays, 0u);
        QCOMPARE(loaded.serviceRestartTimeoutSeconds, 5u);
        QCOMPARE(loaded.lastCheckedDates, saved.lastCheckedDates);
        QCOMPARE(describe(loaded.repositories), describe(saved.repositories));
        QVERIFY(loaded.repositories["examples"].examplesToInstall.isEmpty());
        QCOMPARE(loaded.findName(QUrl("https://git.example.org/examples")), QString("examples"));
        QVERIFY(loaded.findName(QUrl("https://git.example.org/other")).isNull());

        ini.setValue("Brindle/UpdatesCheckTimeoutDays", "abc");
        ini.setValue("Brindle/Repositories", QStringList{"../up|https://git.example.org/x|"});
        loaded.load(&ini);
        QCOMPARE(loaded.updatesCheckTimeoutDays, 0u);
        QVERIFY(loaded.repositories.isEmpty());
        QVERIFY(messages.contains("Empty or invalid settings. Check variable: Repositories"));
    }

    void refreshRewritesOnlyEntriesOfConfiguredRepositories()
    {
        store()->setValue("Brindle/Repositories",
                          QStringList{"examples|https://git.example.org/examples|",
                                      "x%2y|https://git.example.org/x|"});
        store()->setValue("Help/InstalledExamples",
                          QStringList{"examples-old|/old|/old", "examples|/old/path|/old/path",
                                      "Other|/x|/y", "x%2y|/q|/q"});
        QSignalSpy setupFinished(Core::HelpManager::Signals::instance(),
                                 &Core::HelpManager::Signals::setupFinished);

        Settings::updateInstalledExamplesValue(store());

        const QString base = qEnvironmentVariable("XDG_DATA_HOME") + "/palvexos-sdk-5.0";
        const QString examples = base + "/examples";
        const QString odd = base + "/x%2y";
        const QStringList expected{"examples-old|/old|/old",
                                   "examples|" + examples + '|' + examples, "Other|/x|/y",
                                   "x%2y|" + odd + '|' + odd};
        QCOMPARE(QSettings(store()->fileName(), QSettings::IniFormat)
                     .value("Help/InstalledExamples").toStringList(),
                 expected);
        QVERIFY(QFileInfo(examples).isDir());
        QVERIFY(QFileInfo(odd).isDir());
        QCOMPARE(setupFinished.size(), 1);
    }

    void refreshWithoutMatchingEntryWritesNothing()
    {
        store()->setValue("Brindle/Repositories",
                          QStringList{"unlisted|https://git.example.org/unlisted|"});
        store()->setValue("Help/InstalledExamples", QStringList{"unlisted-old|/a|/a"});
        store()->sync();
        QSignalSpy setupFinished(Core::HelpManager::Signals::instance(),
                                 &Core::HelpManager::Signals::setupFinished);

        Settings::updateInstalledExamplesValue(store());

        QCOMPARE(store()->value("Help/InstalledExamples").toStringList(),
                 QStringList{"unlisted-old|/a|/a"});
        QVERIFY(!QFileInfo::exists(Settings::location().arg("unlisted")));
        QCOMPARE(setupFinished.size(), 0);
    }

    void saveCheckedDateKeepsWhatOthersStored()
    {
        store()->setValue("Brindle/UpdatesCheckedDate",
                          QStringList{"a|01.01.2026", "b|02.02.2026"});
        const QStringList otherRows{"../left|https://git.example.org/l|", "a|https://x/a|"};
        store()->setValue("Brindle/Repositories", otherRows);

        Settings::saveCheckedDate(store(), "b", QDate(2026, 3, 3));
        Settings::saveCheckedDate(store(), "c", QDate(2026, 4, 4));

        QSettings raw(store()->fileName(), QSettings::IniFormat);
        const QHash<QString, QDate> dates = lastCheckedDateFromStringList(
            raw.value("Brindle/UpdatesCheckedDate").toStringList());
        QCOMPARE(dates,
                 (QHash<QString, QDate>{{"a", QDate(2026, 1, 1)}, {"b", QDate(2026, 3, 3)},
                                         {"c", QDate(2026, 4, 4)}}));
        QCOMPARE(raw.value("Brindle/Repositories").toStringList(), otherRows);
        QVERIFY(!raw.contains("Brindle/UpdatesCheckTimeoutDays"));
    }

    void saveUserChoicesMergesIntoStoredRows()
    {
        const QStringList stored{"a|https://x/a|old", "b|https://x/b|", "../bad|https://x/c|"};
        store()->setValue("Brindle/Repositories", stored);
        Settings page;
        page.load(store());

        // Meanwhile another holder stores a new repository and a check date.
        store()->setValue("Brindle/Repositories", stored + QStringList{"c|https://x/d|"});
        store()->setValue("Brindle/UpdatesCheckedDate", QStringList{"a|01.01.2026"});

        page.repositories["a"].removedExamples = {"x", "y"};
        page.repositories["b"].removedExamples.clear();
        page.repositories["new"].url = QUrl("https://x/new");
        page.repositories[""].url = QUrl();
        page.updatesCheckTimeoutDays = 5;
        page.lastCheckedDates.clear();
        page.saveUserChoices(store());

        QSettings raw(store()->fileName(), QSettings::IniFormat);
        const QStringList items = raw.value("Brindle/Repositories").toStringList();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items.at(1), QString("b|https://x/b|"));
        QCOMPARE(items.at(2), QString("../bad|https://x/c|"));
        QCOMPARE(items.at(3), QString("c|https://x/d|"));
        QCOMPARE(describe(fromStringList({items.at(0)})),
                 QStringList{"a -> https://x/a [\"x\",\"y\"]"});
        QCOMPARE(raw.value("Brindle/UpdatesCheckedDate").toStringList(),
                 QStringList{"a|01.01.2026"});
        QCOMPARE(raw.value("Brindle/UpdatesCheckTimeoutDays").toUInt(), 5u);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)

#include "tst_settings.moc"
