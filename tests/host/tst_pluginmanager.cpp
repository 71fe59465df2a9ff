// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <utils/qtcsettings.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace ExtensionSystem;

namespace {

QStringList events()
{
    return qApp->property("pluginEvents").toStringList();
}

QStringList eventsOf(const QStringList &plugins, const QStringList &all = events())
{
    QStringList result;
    for (const QString &event : all) {
        if (plugins.contains(event.section(':', 0, 0)))
            result.append(event);
    }
    return result;
}

PluginSpec *specByFile(const QString &baseName)
{
    for (PluginSpec *pluginSpec : PluginManager::plugins()) {
        if (QFileInfo(pluginSpec->filePath()).completeBaseName() == "lib" + baseName)
            return pluginSpec;
    }
    return nullptr;
}

} // namespace

class tst_PluginManager final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runsPluginsInDependencyOrder();
    void refusesPluginsWithReason_data();
    void refusesPluginsWithReason();
    void recordsStartupProfile();
    void dependencyVersionRange_data();
    void dependencyVersionRange();
    void settingsLiveInConfiguredDirectory();
    // Must stay last: it ends the plugins' life.
    void shutdownRunsInReverseLoadOrder();
};

void tst_PluginManager::initTestCase()
{
    qApp->setProperty("pluginEvents", QStringList());
    PluginManager::setProfilingEnabled(true);
    PluginManager::setPluginPaths({TEST_PLUGIN_DIR});
    PluginManager::setPluginArguments("good", {"-fast"});

    // Refusals and timings must reach the log, not just the pluginSpecs.
    const QList<QPair<QString, QString>> refusals = {
        {"missingdep", "nosuchplugin"},
        {"libwrongiid", "org.example.NotAnIdePlugin"},
        {"novendor", "VendorId"},
        {"failinginit", "no hardware"},
        {"afterfailing", "failinginit"},
    };
    for (const auto &[plugin, reason] : refusals) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QString("^Plugin \"%1.*\".*%2")
                                                    .arg(QRegularExpression::escape(plugin),
                                                         QRegularExpression::escape(reason))));
    }
    for (const char *phase : {"load", "initialize", "extensionsInitialized"}) {
        QTest::ignoreMessage(
            QtInfoMsg,
            QRegularExpression(QString("^Profiling: good +%1 +\\d+\\.\\d{3} ms$").arg(phase)));
    }

    QSignalSpy initializationDone(PluginManager::instance(), &PluginManager::initializationDone);
    PluginManager::loadPlugins();
    QVERIFY(initializationDone.wait(20000));
    QCOMPARE(PluginManager::plugins().size(), 7);
}

void tst_PluginManager::runsPluginsInDependencyOrder()
{
    // "dependent" sorts before "good" on disk but needs it, so "good" goes first.
    const QStringList expected = {
        "good:construct",
        "dependent:construct",
        "good:initialize -fast",
        "dependent:initialize",
        "dependent:extensionsInitialized",
        "good:extensionsInitialized",
        "dependent:delayedInitialize",
        "good:delayedInitialize",
    };
    QCOMPARE(eventsOf({"good", "dependent"}), expected);

    PluginSpec *good = PluginManager::specById("good");
    PluginSpec *dependent = PluginManager::specById("dependent");
    QVERIFY(good);
    QVERIFY(dependent);
    for (PluginSpec *pluginSpec : {good, dependent}) {
        QVERIFY2(!pluginSpec->hasError(), qPrintable(pluginSpec->errorString()));
        QCOMPARE(pluginSpec->state(), PluginSpec::Running);
        QVERIFY(pluginSpec->plugin());
        QCOMPARE(pluginSpec->vendorId(), QString("brindletests"));
    }
    QCOMPARE(good->name(), QString("good"));
    QCOMPARE(good->version(), QString("1.2.0"));
    QCOMPARE(good->compatVersion(), QString("1.0.0"));
    QCOMPARE(dependent->name(), QString("Dependent"));
    QCOMPARE(dependent->compatVersion(), QString("1.0.0"));
    QCOMPARE(dependent->description(), QString("Needs good,\nshuts down asynchronously."));
    const QList<PluginDependency> dependencies = dependent->dependencies();
    QCOMPARE(dependencies.size(), 3);
    QCOMPARE(dependencies.at(0).id, QString("good"));
    QCOMPARE(dependencies.at(0).type, PluginDependency::Required);
    QCOMPARE(dependencies.at(2).type, PluginDependency::Optional);
}

void tst_PluginManager::refusesPluginsWithReason_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("constructed");

    QTest::newRow("missing dependency") << "missingdep"
                                        << "nosuchplugin" << false;
    QTest::newRow("wrong interface") << "wrongiid"
                                     << "org.example.NotAnIdePlugin" << false;
    QTest::newRow("no vendor") << "novendor"
                               << "VendorId" << false;
    QTest::newRow("initialize fails") << "failinginit"
                                      << "no hardware" << true;
    // Loaded with the others, but never initialised because its dependency failed.
    QTest::newRow("dependency failed") << "afterfailing"
                                       << "failinginit" << true;
}

void tst_PluginManager::refusesPluginsWithReason()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QFETCH(bool, constructed);

    PluginSpec *pluginSpec = specByFile(file);
    QVERIFY(pluginSpec);
    QVERIFY(pluginSpec->hasError());
    QVERIFY2(pluginSpec->errorString().contains(file), qPrintable(pluginSpec->errorString()));
    QVERIFY2(pluginSpec->errorString().contains(reason), qPrintable(pluginSpec->errorString()));
    QVERIFY(pluginSpec->state() != PluginSpec::Running);
    QVERIFY(PluginManager::allErrors().contains(pluginSpec->errorString()));

    const QStringList own = eventsOf({file});
    QCOMPARE(own.contains(file + ":construct"), constructed);
    QVERIFY(!own.contains(file + ":extensionsInitialized"));
    QVERIFY(!own.contains(file + ":delayedInitialize"));
}

void tst_PluginManager::recordsStartupProfile()
{
    QVERIFY(PluginManager::isProfilingEnabled());
    const PluginProfile profile = PluginManager::specById("good")->profile();
    QVERIFY(profile.loadMs > 0);
    QVERIFY(profile.initializeMs > 0);
    QVERIFY(profile.extensionsInitializedMs > 0);
    QVERIFY(profile.delayedInitializeMs > 0);
}

void tst_PluginManager::dependencyVersionRange_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("provided");

    // "good" is version 1.2.0, compatible back to 1.0.0.
    QTest::newRow("compat version") << "good"
                                    << "1.0.0" << true;
    QTest::newRow("between") << "good"
                             << "1.1" << true;
    QTest::newRow("own version") << "good"
                                 << "1.2.0" << true;
    QTest::newRow("older than compat") << "good"
                                       << "0.9.9" << false;
    QTest::newRow("newer") << "good"
                           << "1.2.1" << false;
    QTest::newRow("numeric, not textual") << "good"
                                          << "1.10.0" << false;
    QTest::newRow("other id") << "core"
                              << "1.1.0" << false;
}

void tst_PluginManager::dependencyVersionRange()
{
    QFETCH(QString, id);
    QFETCH(QString, version);
    QFETCH(bool, provided);

    QCOMPARE(PluginManager::specById("good")->provides(id, version), provided);
}

void tst_PluginManager::settingsLiveInConfiguredDirectory()
{
    const QString settingsPath = qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH");
    QVERIFY(!settingsPath.isEmpty());
    const QString fileName = settingsPath + "/QtProject/QtCreator.ini";

    Utils::QtcSettings *settings = PluginManager::settings();
    QVERIFY(settings);
    QVERIFY(PluginManager::settings() == settings);
    QCOMPARE(settings->fileName(), fileName);
    settings->setValue("Brindle/Probe", 42);
    settings->sync();

    const QSettings reader(fileName, QSettings::IniFormat);
    QCOMPARE(reader.value("Brindle/Probe").toInt(), 42);
}

void tst_PluginManager::shutdownRunsInReverseLoadOrder()
{
    const qsizetype before = events().size();
    PluginManager::shutdown();
    const QStringList after = events().mid(before);

    // Load order: failinginit, afterfailing, good, dependent. Only running plugins are asked
    // to shut down; "dependent" finishes asynchronously before anything is deleted.
    const QStringList expected = {
        "dependent:aboutToShutdown",
        "good:aboutToShutdown",
        "dependent:asynchronousShutdownFinished",
        "dependent:delete",
        "good:delete",
        "afterfailing:delete",
        "failinginit:delete",
    };
    QCOMPARE(after, expected);
    for (const PluginSpec *pluginSpec : PluginManager::plugins())
        QVERIFY(!pluginSpec->plugin());
    QCOMPARE(PluginManager::specById("good")->state(), PluginSpec::Deleted);
}

QTEST_GUILESS_MAIN(tst_PluginManager)

#include "tst_pluginmanager.moc"
