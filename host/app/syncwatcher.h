// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace Brindle::Host {

// Decides when the plugins' background work has settled: no progress entry running, no
// child process (an unarchiver's tar) alive, and no activity for a quiet period. Activity
// is any new progress entry, help-system notification, child process or noteActivity()
// call. Gives up after the time limit.
class SyncWatcher final : public QObject
{
    Q_OBJECT

public:
    SyncWatcher(int quietPeriodMs, int timeLimitMs, QObject *parent = nullptr);

    void start();
    void noteActivity();

    // Child processes of this process that are still running (zombies excluded).
    static int runningChildProcesses();

signals:
    void settled();
    void timedOut(const QString &reason);

private:
    void poll();
    QString busyReason() const;

    QTimer m_pollTimer;
    QTimer m_limitTimer;
    QElapsedTimer m_sinceActivity;
    int m_quietPeriodMs;
    int m_lastChildren = 0;
    bool m_done = false;
};

} // namespace Brindle::Host
