// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// How --sync decides that the plugins are done: a service published in the plugin manager's
// pool, known to the host only by its name, its "busy" property and its status signal.

#include "syncwatcher.h"

#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>

#include <QPromise>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using ExtensionSystem::PluginManager;

// The shape a plugin's service has; the watcher never sees this class.
class FakeService final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)

public:
    FakeService() { setObjectName("Test.Service"); }
    bool isBusy() const { return m_busy; }
    void setBusy(bool busy)
    {
        m_busy = busy;
        emit busyChanged(busy);
    }

signals:
    void busyChanged(bool busy);
    void statusChanged(const QString &status);

private:
    bool m_busy = true;
};

class tst_SyncWatcher final : public QObject
{
    Q_OBJECT

private slots:
    void waitsForThePublishedServiceOrGivesUp_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("outcome");
        // clang-format off
        QTest::newRow("goes idle") << "idle" << "settled";
        QTest::newRow("stays busy") << "none"
            << "--sync gave up at its time limit of 1 s (--timeout): Test.Service is still busy, last status: Fetch examples";
        QTest::newRow("withdrawn") << "withdraw"
            << "--sync stopped: Test.Service was withdrawn before its work was done";
        // clang-format on
    }
    void waitsForThePublishedServiceOrGivesUp()
    {
        QFETCH(QString, action);
        QFETCH(QString, outcome);
        FakeService service;
        // Created before the plugins load, as the host does: the service arrives by signal.
        Brindle::Host::SyncWatcher watcher("Test.Service", 0, 1000);
        PluginManager::addObject(&service);
        QCOMPARE(watcher.service(), &service);

        QStringList events;
        connect(&watcher, &Brindle::Host::SyncWatcher::progress, this, [&](const QString &line) {
            events.append(line);
        });
        connect(&watcher, &Brindle::Host::SyncWatcher::settled, this, [&] {
            events.append("settled");
        });
        connect(&watcher, &Brindle::Host::SyncWatcher::failed, this, [&](const QString &message) {
            events.append(message);
        });
        watcher.start();
        emit service.statusChanged("Fetch examples");
        emit service.statusChanged(QString()); // clears, no line
        QTimer::singleShot(200, &service, [&] {
            events.append("acted");
            if (action == "idle")
                service.setBusy(false);
            else if (action == "withdraw")
                PluginManager::removeObject(&service);
        });
        QTRY_VERIFY_WITH_TIMEOUT(events.size() == 3, 10000);
        QCOMPARE(events, QStringList({"Fetch examples", "acted", outcome}));
        if (watcher.service())
            PluginManager::removeObject(&service);
    }

    void printsEachProgressEntryAndKeepsWaitingWhileOneRuns()
    {
        FakeService service;
        service.setBusy(false);
        PluginManager::addObject(&service);
        Brindle::Host::SyncWatcher watcher("Test.Service", 0, 20000);
        QSignalSpy lines(&watcher, &Brindle::Host::SyncWatcher::progress);
        QSignalSpy settled(&watcher, &Brindle::Host::SyncWatcher::settled);

        QPromise<void> promise;
        promise.start();
        promise.setProgressRange(0, 2);
        Core::ProgressManager::addTask(promise.future(), "Load examples", "LoadExamplesTask");
        watcher.start();
        QTimer::singleShot(200, &service, [&] {
            QCOMPARE(settled.size(), 0);
            promise.setProgressValue(2);
            promise.finish();
        });
        QVERIFY(settled.wait(10000));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).at(0).toString(), "Load examples: started");
        QCOMPARE(lines.at(1).at(0).toString(), "Load examples: finished, 2 of 2");
        PluginManager::removeObject(&service);
    }
};

QTEST_MAIN(tst_SyncWatcher)

#include "tst_syncwatcher.moc"
