// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "syncwatcher.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QProcess>
#include <QPromise>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Brindle::Host;

class tst_SyncWatcher : public QObject
{
    Q_OBJECT

private slots:
    void settlesWhenNothingRuns();
    void runningProgressEntryKeepsItBusyAndIsNamedOnTimeout();
    void childProcessesAreCountedWhileTheyRun();
    void helpNotificationCountsAsActivity();
};

void tst_SyncWatcher::settlesWhenNothingRuns()
{
    SyncWatcher watcher(100, 60000);
    QSignalSpy settled(&watcher, &SyncWatcher::settled);
    QSignalSpy timedOut(&watcher, &SyncWatcher::timedOut);
    watcher.start();
    QVERIFY(settled.wait(20000));
    QCOMPARE(timedOut.count(), 0);
}

void tst_SyncWatcher::runningProgressEntryKeepsItBusyAndIsNamedOnTimeout()
{
    QPromise<void> promise;
    promise.start();
    Core::ProgressManager::addTask(promise.future(), "Load examples", "LoadExamplesTask");

    SyncWatcher watcher(50, 1500);
    QSignalSpy settled(&watcher, &SyncWatcher::settled);
    QSignalSpy timedOut(&watcher, &SyncWatcher::timedOut);
    watcher.start();
    QVERIFY(timedOut.wait(20000));
    QCOMPARE(settled.count(), 0);
    const QString reason = timedOut.first().first().toString();
    QVERIFY2(reason.contains("Load examples"), qPrintable(reason));

    promise.finish();
    QTRY_VERIFY_WITH_TIMEOUT(Core::ProgressManager::instance()->tasks().isEmpty(), 20000);
    SyncWatcher next(50, 60000);
    QSignalSpy nextSettled(&next, &SyncWatcher::settled);
    next.start();
    QVERIFY(nextSettled.wait(20000));
}

void tst_SyncWatcher::childProcessesAreCountedWhileTheyRun()
{
    QCOMPARE(SyncWatcher::runningChildProcesses(), 0);
    // cat waits for its input, so it runs exactly as long as the test wants.
    QProcess child;
    child.start("cat", {});
    QVERIFY(child.waitForStarted(20000));
    QCOMPARE(SyncWatcher::runningChildProcesses(), 1);

    SyncWatcher watcher(50, 1500);
    QSignalSpy settled(&watcher, &SyncWatcher::settled);
    QSignalSpy timedOut(&watcher, &SyncWatcher::timedOut);
    watcher.start();
    QVERIFY(timedOut.wait(20000));
    QCOMPARE(settled.count(), 0);
    QVERIFY2(timedOut.first().first().toString().contains("extraction"),
             qPrintable(timedOut.first().first().toString()));

    child.closeWriteChannel();
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(SyncWatcher::runningChildProcesses(), 0);
    SyncWatcher next(50, 60000);
    QSignalSpy nextSettled(&next, &SyncWatcher::settled);
    next.start();
    QVERIFY(nextSettled.wait(20000));
}

void tst_SyncWatcher::helpNotificationCountsAsActivity()
{
    // Notifications far more often than the quiet period never let it settle.
    QTimer notifier;
    notifier.setInterval(50);
    connect(&notifier, &QTimer::timeout, Core::HelpManager::Signals::instance(), [] {
        emit Core::HelpManager::Signals::instance()->documentationChanged();
    });
    notifier.start();

    SyncWatcher watcher(1000, 3000);
    QSignalSpy settled(&watcher, &SyncWatcher::settled);
    QSignalSpy timedOut(&watcher, &SyncWatcher::timedOut);
    watcher.start();
    QVERIFY(timedOut.wait(20000));
    QCOMPARE(settled.count(), 0);
    QVERIFY2(timedOut.first().first().toString().contains("new work"),
             qPrintable(timedOut.first().first().toString()));
}

QTEST_MAIN(tst_SyncWatcher)

#include "tst_syncwatcher.moc"
