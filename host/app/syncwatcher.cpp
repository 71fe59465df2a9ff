// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "syncwatcher.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

namespace Brindle::Host {

namespace {

const int POLL_INTERVAL_MS = 50;

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The state letter of /proc/<pid>/stat, which follows the parenthesised command name.
char processState(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return 0;
    return stat.at(close + 2);
}

qint64 parentPid(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : -1;
}

QSet<qint64> childPids()
{
    QSet<qint64> pids;
    const qint64 self = QCoreApplication::applicationPid();
    // Each thread lists the children it forked; this file needs CONFIG_PROC_CHILDREN.
    const QDir tasks(QString::fromLatin1("/proc/%1/task").arg(self));
    bool haveChildrenFiles = false;
    const QStringList tids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        const QString path = tasks.absoluteFilePath(tid + QLatin1String("/children"));
        if (!QFile::exists(path))
            continue;
        haveChildrenFiles = true;
        const QList<QByteArray> list = readProcFile(path).simplified().split(' ');
        for (const QByteArray &pid : list) {
            if (!pid.isEmpty())
                pids.insert(pid.toLongLong());
        }
    }
    if (haveChildrenFiles)
        return pids;

    const QStringList all = QDir(QLatin1String("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : all) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (ok
            && parentPid(readProcFile(QLatin1String("/proc/") + entry + QLatin1String("/stat")))
                   == self) {
            pids.insert(pid);
        }
    }
    return pids;
}

} // namespace

SyncWatcher::SyncWatcher(int quietPeriodMs, int timeLimitMs, QObject *parent)
    : QObject(parent)
    , m_quietPeriodMs(quietPeriodMs)
{
    m_pollTimer.setInterval(POLL_INTERVAL_MS);
    connect(&m_pollTimer, &QTimer::timeout, this, &SyncWatcher::poll);
    m_limitTimer.setSingleShot(true);
    m_limitTimer.setInterval(timeLimitMs);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] {
        if (m_done)
            return;
        m_done = true;
        m_pollTimer.stop();
        const QString busy = busyReason();
        emit timedOut(busy.isEmpty() ? tr("the plugins kept starting new work") : busy);
    });

    auto progressManager = Core::ProgressManager::instance();
    connect(progressManager, &Core::ProgressManager::taskAdded, this, &SyncWatcher::noteActivity);
    auto helpSignals = Core::HelpManager::Signals::instance();
    connect(
        helpSignals, &Core::HelpManager::Signals::setupFinished, this, &SyncWatcher::noteActivity);
    connect(helpSignals,
            &Core::HelpManager::Signals::documentationChanged,
            this,
            &SyncWatcher::noteActivity);
}

void SyncWatcher::start()
{
    m_done = false;
    m_sinceActivity.start();
    m_pollTimer.start();
    m_limitTimer.start();
}

void SyncWatcher::noteActivity()
{
    m_sinceActivity.restart();
}

int SyncWatcher::runningChildProcesses()
{
    int running = 0;
    const QSet<qint64> pids = childPids();
    for (const qint64 pid : pids) {
        const char state
            = processState(readProcFile(QString::fromLatin1("/proc/%1/stat").arg(pid)));
        if (state != 0 && state != 'Z' && state != 'X')
            ++running;
    }
    return running;
}

QString SyncWatcher::busyReason() const
{
    QStringList reasons;
    const QList<Core::FutureProgress *> tasks = Core::ProgressManager::instance()->tasks();
    if (!tasks.isEmpty()) {
        QStringList titles;
        for (const Core::FutureProgress *task : tasks)
            titles.append(task->title());
        reasons.append(tr("%n progress entries still running (%1)", nullptr, int(tasks.size()))
                           .arg(titles.join(QLatin1String(", "))));
    }
    const int children = runningChildProcesses();
    if (children > 0)
        reasons.append(tr("%n extraction processes still running", nullptr, children));
    return reasons.join(QLatin1String("; "));
}

void SyncWatcher::poll()
{
    if (m_done)
        return;
    const bool progressRunning = !Core::ProgressManager::instance()->tasks().isEmpty();
    const int children = runningChildProcesses();
    if (progressRunning || children > 0 || children != m_lastChildren) {
        m_lastChildren = children;
        noteActivity();
        return;
    }
    if (m_sinceActivity.elapsed() < m_quietPeriodMs)
        return;
    m_done = true;
    m_pollTimer.stop();
    m_limitTimer.stop();
    emit settled();
}

} // namespace Brindle::Host
