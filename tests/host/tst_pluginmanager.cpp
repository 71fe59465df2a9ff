// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace ExtensionSystem;

// What the given test plugins recorded, from event number `since` on.
static QStringList events(const QStringList &plugins, qsizetype since = 0)
{
    QStringList result;
    for (const QString &event : qApp->property("pluginEvents").toStringList().mid(since)) {
        if (plugins.contains(event.section(':', 0, 0)))
            result.append(event);
    }
    return result;
}

class tst_PluginManager final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PluginManager::setPluginPaths({TEST_PLUGIN_DIR});
        PluginManager::setPluginArguments("good", {"-fast"});
        QSignalSpy done(PluginManager::instance(), &PluginManager::initializationDone);
        PluginManager::loadPlugins();
        QVERIFY(done.wait(20000));
        QCOMPARE(PluginManager::plugins().size(), 7);
    }

    void readsMetadataAndRunsPluginsInDependencyOrder()
    {
        // "dependent" sorts first on disk but needs "good"; extensionsInitialized goes backwards.
        QCOMPARE(events({"good", "dependent"}),
                 QString("good:construct, dependent:construct, good:initialize -fast, "
                         "dependent:initialize, dependent:extensionsInitialized, "
                         "good:extensionsInitialized, dependent:delayedInitialize, "
                         "good:delayedInitialize")
                     .split(", "));
        const PluginSpec *good = PluginManager::specById("good");
        QCOMPARE(QStringList({good->version(), good->compatVersion(), good->vendorId()}),
                 QStringList({"1.2.0", "1.0.0", "brindletests"}));
        // Its missing optional dependency does not keep "dependent" from running.
        QCOMPARE(PluginManager::specById("dependent")->state(), PluginSpec::Running);

        // "good" meets dependencies from its compat version up to its version, as numbers.
        QStringList provided;
        for (const char *version : {"0.9.9", "1.0.0", "1.1", "1.2.0", "1.2.1", "1.10.0"}) {
            if (good->provides("good", version))
                provided.append(version);
        }
        QCOMPARE(provided, QStringList({"1.0.0", "1.1", "1.2.0"}));
        QVERIFY(!good->provides("core", "1.1"));
    }

    void refusesPluginsWithReason_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("constructed");
        // clang-format off
        QTest::newRow("missing dependency") << "missingdep" << "nosuchplugin" << false;
        QTest::newRow("wrong interface") << "wrongiid" << "org.example.NotAnIdePlugin" << false;
        QTest::newRow("no vendor") << "novendor" << "VendorId" << false;
        QTest::newRow("initialize fails") << "failinginit" << "no hardware" << true;
        QTest::newRow("dependency failed") << "afterfailing" << "failinginit" << true;
        // clang-format on
    }
    void refusesPluginsWithReason()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QFETCH(bool, constructed);
        PluginSpec *refused = nullptr;
        for (PluginSpec *pluginSpec : PluginManager::plugins())
            refused = pluginSpec->filePath().endsWith("/lib" + file + ".so") ? pluginSpec : refused;
        QVERIFY(refused);
        QVERIFY2(refused->errorString().contains(file) && refused->errorString().contains(reason),
                 qPrintable(refused->errorString()));
        QVERIFY(PluginManager::allErrors().contains(refused->errorString()));
        QVERIFY(refused->state() != PluginSpec::Running);
        QCOMPARE(events({file}).contains(file + ":construct"), constructed);
        QVERIFY(!events({file}).contains(file + ":extensionsInitialized"));
    }

    void objectPoolHoldsEachObjectOnceUntilRemoved()
    {
        // What the plugins that were initialised published, from their own copy of the library
        // code: the pool exists once per process.
        QVERIFY(PluginManager::getObjectByName("good.published"));
        QVERIFY(PluginManager::getObjectByName("dependent.published"));
        QVERIFY(!PluginManager::getObjectByName("missingdep.published"));

        auto manager = PluginManager::instance();
        QSignalSpy added(manager, &PluginManager::objectAdded);
        QStringList seen; // what a listener finds in the pool while each signal arrives
        const auto record = [&seen](const char *signal, QObject *object) {
            seen.append(QString("%1 %2 %3").arg(signal,
                                                object->objectName(),
                                                PluginManager::allObjects().contains(object)
                                                    ? "pooled"
                                                    : "not pooled"));
        };
        QObject listener; // disconnects when the test ends
        connect(manager, &PluginManager::objectAdded, &listener, [&](QObject *object) {
            record("added", object);
        });
        connect(manager, &PluginManager::aboutToRemoveObject, &listener, [&](QObject *object) {
            record("removing", object);
        });

        QTimer timer;
        timer.setObjectName("timer");
        PluginManager::addObject(&timer);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("add duplicate object"));
        PluginManager::addObject(&timer);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("add null object"));
        PluginManager::addObject(nullptr);
        QCOMPARE(PluginManager::allObjects().count(&timer), 1);
        QCOMPARE(PluginManager::getObjectByName("timer"), &timer);
        QCOMPARE(PluginManager::getObject<QTimer>(), &timer);
        QCOMPARE(PluginManager::getObject<QTimer>([](QTimer *t) { return t->isActive(); }),
                 nullptr);

        PluginManager::removeObject(&timer);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("object not in list: timer"));
        PluginManager::removeObject(&timer);
        QVERIFY(!PluginManager::getObjectByName("timer"));
        QVERIFY(!PluginManager::getObject<QTimer>());

        // Destroyed while pooled: the fault is reported and no dangling pointer stays.
        const qsizetype pooled = PluginManager::allObjects().size();
        {
            QObject doomed;
            doomed.setObjectName("doomed");
            PluginManager::addObject(&doomed);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("destroyed while still in"));
        }
        QCOMPARE(PluginManager::allObjects().size(), pooled);
        QCOMPARE(added.size(), 2);
        QCOMPARE(seen,
                 QStringList({"added timer pooled", "removing timer pooled", "added doomed pooled"}));
    }

    // Must stay last: it ends the plugins' life.
    void shutdownRunsInReverseLoadOrder()
    {
        const qsizetype before = qApp->property("pluginEvents").toStringList().size();
        // The plugins withdraw their objects as they go; what nobody withdrew is reported.
        QObject forgotten;
        forgotten.setObjectName("forgotten");
        PluginManager::addObject(&forgotten);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("1 objects left in the plugin manager pool: "
                                                "QObject \"forgotten\"$"));
        PluginManager::shutdown();
        QVERIFY(!PluginManager::getObjectByName("good.published"));
        PluginManager::removeObject(&forgotten);
        // Load order: failinginit, afterfailing, good, dependent; only running ones are asked.
        QCOMPARE(events({"failinginit", "afterfailing", "good", "dependent"}, before),
                 QString("dependent:aboutToShutdown, good:aboutToShutdown, dependent:delete, "
                         "good:delete, afterfailing:delete, failinginit:delete")
                     .split(", "));
        QCOMPARE(PluginManager::specById("good")->state(), PluginSpec::Deleted);
    }
};

QTEST_GUILESS_MAIN(tst_PluginManager)

#include "tst_pluginmanager.moc"
