// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archivefolder.h"
#include "settings.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace Brindle::Internal;

static QStringList messages;

// The release directory the run expects: a second run uses a release name that is no
// directory name.
static QString releaseDirectory()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + '/'
           + qEnvironmentVariable("EXPECTED_RELEASE_DIR", "palvexos-sdk-5.0");
}

static QStringList sorted(QStringList items)
{
    items.sort();
    return items;
}

// What the ini file itself holds.
static QStringList fileValue(const QString &file, const char *key)
{
    return QSettings(file, QSettings::IniFormat).value(key).toStringList();
}

class tst_Settings : public QObject
{
    Q_OBJECT

    Utils::QtcSettings *store = nullptr;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            messages.append(message);
        });
        store = Core::ICore::settings();
    }
    void init()
    {
        messages.clear();
        store->clear();
        store->sync();
    }

    // Runs first: the location is computed on its first use in the process.
    void locationIsComputedOnceBelowTheDataHome()
    {
        QCOMPARE(Settings::location(), releaseDirectory() + "/%1");
        QCOMPARE(Settings::location(), releaseDirectory() + "/%1");
        QCOMPARE(messages.filter("Data location").size(), 1);
        QCOMPARE(messages.filter("SDK release is not usable as a directory name:").size(),
                 releaseDirectory().endsWith("/sdk-release") ? 1 : 0);
    }

    void decodesRepositories_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("logged");

        const QString a = "https://git.example.org/a";
        const QString b = "https://git.example.org/b";
        const QString wrong = "Skipping wrong setting in item: ";
        const QString name = "Skipping duplicated repository name in item: ";
        const QString url = "Skipping duplicated repository url in item: ";
        // clang-format off
        QTest::newRow("first name and first url win") << QStringList{"", "examples|" + a + "|x", "examples|" + b + '|', "demos|" + a + '|', "broken"} << QStringList{"examples|" + a + "|x"} << QStringList{name + "\"examples|" + b + "|\"", url + "\"demos|" + a + "|\"", wrong + "\"broken\""};
        QTest::newRow("empty name or url") << QStringList{"name||", '|' + a + '|'} << QStringList{} << QStringList{wrong + "\"name||\"", wrong + "\"|" + a + "|\""};
        QTest::newRow("no removed field, names collapse") << QStringList{"one|" + a, "two|" + b + "|x|x"} << QStringList{"one|" + a + '|', "two|" + b + "|x"} << QStringList{};
        QTest::newRow("urls compare normalised") << QStringList{"one|HTTPS://Git.Example.org/a", "two|" + a + '|'} << QStringList{"one|" + a + '|'} << QStringList{url + "\"two|" + a + "|\""};
        QTest::newRow("placeholders are plain text") << QStringList{"x%2y|" + a + "|%1"} << QStringList{"x%2y|" + a + "|%1"} << QStringList{};
        // clang-format on
        // A name is a directory name: nothing may lead outside the data location.
        for (const QString &unsafe :
             QStringList{".", "..", "a/b", "..\\up", "tab\t", QString("nul") + QChar(0)}) {
            QTest::addRow("unsafe name %s", unsafe.toLatin1().toPercentEncoding().constData())
                << QStringList{unsafe + '|' + a + '|', "ok|" + b} << QStringList{"ok|" + b + '|'}
                << QStringList{wrong};
        }
    }
    void decodesRepositories()
    {
        QFETCH(QStringList, items);
        QFETCH(QStringList, logged);

        // Written back, sorted: one comparable text per repository.
        QTEST(sorted(toStringList(fromStringList(items))), "rows");
        QCOMPARE(messages.size(), logged.size());
        for (qsizetype i = 0; i < logged.size(); ++i)
            QVERIFY2(messages.at(i).startsWith(logged.at(i)), qPrintable(messages.at(i)));
    }

    void decodesCheckedDates()
    {
        const QStringList items{
            "a|05.12.2026", "b|31.02.2026", "", "c|05.12.2026|x", "a|01.01.2026"};
        QCOMPARE(lastCheckedDateFromStringList(items),
                 (QHash<QString, QDate>{{"a", QDate(2026, 12, 5)}, {"b", QDate()}}));
        QCOMPARE(messages,
                 (QStringList{"Skipping wrong setting in item: \"c|05.12.2026|x\"",
                              "Skipping duplicated repository name in item: \"a|01.01.2026\""}));
    }

    void loadingIsSilentUnderDefaultLoggingRules()
    {
        QLoggingCategory::setFilterRules(QString());
        Settings loaded;
        loaded.load(store);
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        QCOMPARE(messages, QStringList());
        loaded.load(store);
        QVERIFY(messages.contains(QString("Settings: \"%1\"").arg(store->fileName())));
    }

    void savesAndLoadsThroughIniFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("store.ini");
        Utils::QtcSettings ini(file, QSettings::IniFormat);

        Settings loaded;
        loaded.load(&ini);
        QCOMPARE(loaded.updatesCheckTimeoutDays, 1u);
        QCOMPARE(loaded.serviceRestartTimeoutSeconds, 60u);
        QVERIFY(loaded.repositories.isEmpty());
        QVERIFY(messages.contains("Settings does not contain variable: Repositories"));

        Settings saved;
        saved.updatesCheckTimeoutDays = 0;
        saved.serviceRestartTimeoutSeconds = 45;
        saved.lastCheckedDates["x%2y"] = QDate(2026, 12, 5);
        saved.repositories["x%2y"].url = QUrl("https://git.example.org/x");
        saved.repositories["x%2y"].removedExamples = {"gone"};
        saved.repositories["plain"].url = QUrl("https://git.example.org/plain");
        saved.save(&ini);
        const QStringList written{"plain|https://git.example.org/plain|",
                                  "x%2y|https://git.example.org/x|gone"};
        QCOMPARE(sorted(fileValue(file, "Brindle/Repositories")), written);
        QCOMPARE(fileValue(file, "Brindle/UpdatesCheckedDate"), QStringList{"x%2y|05.12.2026"});

        loaded.load(&ini);
        QCOMPARE(loaded.updatesCheckTimeoutDays, 0u);
        QCOMPARE(loaded.serviceRestartTimeoutSeconds, 45u);
        QCOMPARE(loaded.lastCheckedDates, saved.lastCheckedDates);
        QCOMPARE(loaded.findName(QUrl("https://git.example.org/x")), QString("x%2y"));
        // Saving what was loaded writes the same text, however often it happens.
        loaded.save(&ini);
        QCOMPARE(sorted(fileValue(file, "Brindle/Repositories")), written);

        ini.setValue("Brindle/Repositories", QStringList{"../up|https://git.example.org/x|"});
        loaded.load(&ini);
        QVERIFY(loaded.repositories.isEmpty());
        QVERIFY(messages.contains("Empty or invalid settings. Check variable: Repositories"));
    }

    // A value the plugin does not use as it stands is logged once, however often it is read.
    void numbersAreReadAsLogged_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: not stored
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("readAs"); // empty: nothing logged

        const QString days = "UpdatesCheckTimeoutDays";
        const QString seconds = "ServiceRestartTimeoutSeconds";
        const QString off = "0 (automatic updates off)";
        // clang-format off
        QTest::newRow("interval not stored") << days << QVariant() << 1u << "";
        QTest::newRow("interval 0, off") << days << QVariant("0") << 0u << "";
        QTest::newRow("interval 7") << days << QVariant("7") << 7u << "";
        QTest::newRow("interval -1") << days << QVariant("-1") << 0u << off;
        QTest::newRow("interval abc") << days << QVariant("abc") << 0u << off;
        QTest::newRow("interval 2.5") << days << QVariant("2.5") << 0u << off;
        QTest::newRow("interval as a list") << days << QVariant(QStringList{"1", "2"}) << 0u << off;
        QTest::newRow("restart not stored") << seconds << QVariant() << 60u << "";
        QTest::newRow("restart 10") << seconds << QVariant("10") << 10u << "";
        // Every tick replaced the clients of the repositories that were not ready.
        QTest::newRow("restart abc") << seconds << QVariant("abc") << 10u << "10 seconds";
        QTest::newRow("restart 0") << seconds << QVariant("0") << 10u << "10 seconds";
        QTest::newRow("restart 9") << seconds << QVariant("9") << 10u << "10 seconds";
        QTest::newRow("restart -60") << seconds << QVariant("-60") << 10u << "10 seconds";
        // clang-format on
    }
    void numbersAreReadAsLogged()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(uint, value);
        QFETCH(QString, readAs);

        if (stored.isValid())
            store->setValue(Utils::keyFromString("Brindle/" + key), stored);
        Settings loaded;
        for (int i = 0; i < 2; ++i) {
            loaded.load(store);
            QCOMPARE(key == "UpdatesCheckTimeoutDays" ? loaded.updatesCheckTimeoutDays
                                                      : loaded.serviceRestartTimeoutSeconds,
                     value);
        }
        if (key == "UpdatesCheckTimeoutDays")
            QCOMPARE(Settings::storedUpdatesInterval(store), value);
        const QString text = stored.typeId() == QMetaType::QStringList
                                 ? stored.toStringList().join(',')
                                 : stored.toString();
        QCOMPARE(messages.filter(QRegularExpression("^Setting \\S+ holds")),
                 readAs.isEmpty()
                     ? QStringList()
                     : QStringList{
                         QString("Setting %1 holds \"%2\" read as %3").arg(key, text, readAs)});
    }

    // GitLab allows project paths of 255 characters, a file name holds 255 bytes: archives are
    // named by the project's id.
    void temporaryArchiveFitsInAFileName_data()
    {
        QTest::addColumn<QString>("fileTemplate");

        QTest::newRow("id") << temporaryArchiveTemplate(qint64(4711));
        QTest::newRow("largest id") << temporaryArchiveTemplate(std::numeric_limits<qint64>::max());
    }
    void temporaryArchiveFitsInAFileName()
    {
        QFETCH(QString, fileTemplate);
        QTemporaryFile file(fileTemplate);
        QVERIFY2(file.open(), qPrintable(file.errorString()));
        const QString name = QFileInfo(file.fileName()).fileName();
        QVERIFY2(isTemporaryArchiveName(name), qPrintable(name));
        QVERIFY(name.toUtf8().size() <= 255);
        // In the IDE's own folder, never loose in the temporary folder
        const QFileInfo folder(QFileInfo(file.fileName()).absolutePath());
        QCOMPARE(folder.absolutePath(), QDir::tempPath());
        QVERIFY2(ArchiveFolder::isFolderName(folder.fileName()), qPrintable(folder.fileName()));
        QCOMPARE(folder.absoluteFilePath(), ArchiveFolder::path());
        QCOMPARE(folder.permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    }

    // The options page writes its choices into the stored table row by row.
    void userChoicesLandInTheRowsThatAreReadBack_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("intervalChanged");
        QTest::addColumn<QStringList>("written");

        const QString a = "https://git.example.org/a";
        const QString b = "https://git.example.org/b";
        // clang-format off
        QTest::newRow("dropped row first") << QStringList{"examples||", "examples|" + a + '|'} << false << QStringList{"examples||", "examples|" + a + "|gone"};
        QTest::newRow("duplicate url first") << QStringList{"demos|" + a + '|', "examples|" + a + "|x", "examples|" + b + '|'} << true << QStringList{"demos|" + a + '|', "examples|" + a + "|x", "examples|" + b + "|gone"};
        QTest::newRow("rows not read stay") << QStringList{"broken", "examples|" + a + "|old", "examples|" + b + "|x", "other|" + b} << false << QStringList{"broken", "examples|" + a + "|gone", "examples|" + b + "|x", "other|" + b + '|'};
        // clang-format on
    }
    void userChoicesLandInTheRowsThatAreReadBack()
    {
        QFETCH(QStringList, stored);
        QFETCH(bool, intervalChanged);

        store->setValue("Brindle/Repositories", stored);
        store->setValue("Brindle/UpdatesCheckTimeoutDays", 180);
        Settings page;
        page.load(store);
        page.repositories["examples"].removedExamples = {"gone"};
        page.updatesCheckTimeoutDays = 5;
        page.saveUserChoices(store, intervalChanged);

        QTEST(fileValue(store->fileName(), "Brindle/Repositories"), "written");
        Settings loaded;
        loaded.load(store);
        QCOMPARE(loaded.repositories.value("examples").removedExamples, QSet<QString>{"gone"});
        // Only an interval the user set is written; one the page cannot show stays.
        QCOMPARE(loaded.updatesCheckTimeoutDays, intervalChanged ? 5u : 180u);
    }

    void refreshRewritesOnlyEntriesOfConfiguredRepositories()
    {
        store->setValue("Brindle/Repositories",
                        QStringList{"examples|https://git.example.org/examples|",
                                    "x%2y|https://git.example.org/x|",
                                    "unlisted|https://git.example.org/u|"});
        store->setValue("Help/InstalledExamples",
                        QStringList{"examples-old|/old|/old",
                                    "examples|/old/path|/old/path",
                                    "Other|/x|/y",
                                    "x%2y|/q|/q"});
        QSignalSpy setupFinished(Core::HelpManager::Signals::instance(),
                                 &Core::HelpManager::Signals::setupFinished);

        Settings::updateInstalledExamplesValue(store);
        const QString examples = releaseDirectory() + "/examples";
        const QString odd = releaseDirectory() + "/x%2y";
        QCOMPARE(fileValue(store->fileName(), "Help/InstalledExamples"),
                 (QStringList{"examples-old|/old|/old",
                              "examples|" + examples + '|' + examples,
                              "Other|/x|/y",
                              "x%2y|" + odd + '|' + odd}));
        QVERIFY(QFileInfo(examples).isDir());
        QVERIFY(QFileInfo(odd).isDir());
        QVERIFY(!QFileInfo::exists(releaseDirectory() + "/unlisted"));
        QCOMPARE(setupFinished.size(), 1);

        // Without a matching entry nothing is written and nobody is told.
        store->setValue("Help/InstalledExamples", QStringList{"unlisted-old|/a|/a"});
        Settings::updateInstalledExamplesValue(store);
        QCOMPARE(store->value("Help/InstalledExamples").toStringList(),
                 QStringList{"unlisted-old|/a|/a"});
        QVERIFY(!QFileInfo::exists(releaseDirectory() + "/unlisted"));
        QCOMPARE(setupFinished.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)

#include "tst_settings.moc"
