// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace Core {
class FutureProgress;
} // namespace Core

namespace Brindle::Host {

// Decides when the plugins' background work is done. A plugin that does work in the
// background publishes an object in the plugin manager's pool under serviceName, with a
// property "busy" (and its notify signal) that is true while work is under way, and
// optionally a signal statusChanged(QString). The host knows that object only by its name
// and its meta-object. Done means: that object is there and not busy, no progress entry
// runs, no child process (an unarchiver's tar) is alive, and nothing happened for a quiet
// period. Activity is any new progress entry, help-system notification, child process,
// status text, change of "busy" or noteActivity() call. Gives up after the time limit.
class SyncWatcher final : public QObject
{
    Q_OBJECT

public:
    SyncWatcher(const QString &serviceName,
                int quietPeriodMs,
                int timeLimitMs,
                QObject *parent = nullptr);

    void start();
    void noteActivity();

    // The published object being watched, if any.
    QObject *service() const { return m_service; }

    // Child processes of this process that are still running (zombies excluded).
    static int runningChildProcesses();

signals:
    void settled();
    // A full sentence: why the work cannot be waited for any longer.
    void failed(const QString &message);
    // One line for a person watching: a progress entry started or ended, a status text.
    void progress(const QString &line);

private slots:
    // Connected through the service's meta-object.
    void onServiceBusyChanged();
    void onServiceStatusChanged(const QString &status);

private:
    void attach(QObject *object);
    void onAboutToRemoveObject(QObject *object);
    void onTaskAdded(Core::FutureProgress *progress);
    bool isServiceBusy() const;
    void poll();
    void finish();
    QString busyReason() const;

    QString m_serviceName;
    QPointer<QObject> m_service;
    QString m_lastStatus;
    QTimer m_pollTimer;
    QTimer m_limitTimer;
    QElapsedTimer m_sinceActivity;
    int m_quietPeriodMs;
    int m_lastChildren = 0;
    bool m_started = false;
    bool m_done = false;
};

} // namespace Brindle::Host
