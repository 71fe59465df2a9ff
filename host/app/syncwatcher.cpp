// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "syncwatcher.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>

namespace Brindle::Host {

namespace {

const int POLL_INTERVAL_MS = 50;
const char BUSY_PROPERTY[] = "busy";
const char STATUS_SIGNAL[] = "statusChanged(QString)";

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

SyncWatcher::SyncWatcher(const QString &serviceName,
                         int quietPeriodMs,
                         int timeLimitMs,
                         QObject *parent)
    : QObject(parent)
    , m_serviceName(serviceName)
    , m_quietPeriodMs(quietPeriodMs)
{
    m_pollTimer.setInterval(POLL_INTERVAL_MS);
    connect(&m_pollTimer, &QTimer::timeout, this, &SyncWatcher::poll);
    m_limitTimer.setSingleShot(true);
    m_limitTimer.setInterval(timeLimitMs);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] {
        if (m_done)
            return;
        const QString busy = busyReason();
        finish();
        emit failed(tr("--sync gave up at its time limit of %1 s (--timeout): %2")
                        .arg(m_limitTimer.interval() / 1000)
                        .arg(busy.isEmpty()
                                 ? tr("the plugins were never quiet for %1 ms").arg(m_quietPeriodMs)
                                 : busy));
    });

    auto progressManager = Core::ProgressManager::instance();
    connect(progressManager, &Core::ProgressManager::taskAdded, this, &SyncWatcher::onTaskAdded);
    auto helpSignals = Core::HelpManager::Signals::instance();
    connect(
        helpSignals, &Core::HelpManager::Signals::setupFinished, this, &SyncWatcher::noteActivity);
    connect(helpSignals,
            &Core::HelpManager::Signals::documentationChanged,
            this,
            &SyncWatcher::noteActivity);

    // The plugins publish while they initialise, which may be before or after start().
    auto pluginManager = ExtensionSystem::PluginManager::instance();
    connect(pluginManager, &ExtensionSystem::PluginManager::objectAdded, this, &SyncWatcher::attach);
    connect(pluginManager,
            &ExtensionSystem::PluginManager::aboutToRemoveObject,
            this,
            &SyncWatcher::onAboutToRemoveObject);
    attach(ExtensionSystem::PluginManager::getObjectByName(m_serviceName));
}

void SyncWatcher::start()
{
    m_started = true;
    m_done = false;
    m_sinceActivity.start();
    m_pollTimer.start();
    m_limitTimer.start();
}

void SyncWatcher::noteActivity()
{
    m_sinceActivity.restart();
}

void SyncWatcher::attach(QObject *object)
{
    if (m_service || !object || object->objectName() != m_serviceName)
        return;
    m_service = object;
    noteActivity();

    const QMetaObject *meta = object->metaObject();
    const QMetaObject *self = metaObject();
    const int busyIndex = meta->indexOfProperty(BUSY_PROPERTY);
    if (busyIndex >= 0 && meta->property(busyIndex).hasNotifySignal()) {
        connect(object,
                meta->property(busyIndex).notifySignal(),
                this,
                self->method(self->indexOfSlot("onServiceBusyChanged()")));
    }
    const int statusIndex = meta->indexOfSignal(STATUS_SIGNAL);
    if (statusIndex >= 0) {
        connect(object,
                meta->method(statusIndex),
                this,
                self->method(self->indexOfSlot("onServiceStatusChanged(QString)")));
    }
}

void SyncWatcher::onAboutToRemoveObject(QObject *object)
{
    if (!object || object != m_service)
        return;
    disconnect(object, nullptr, this, nullptr);
    m_service = nullptr;
    if (!m_started || m_done)
        return;
    // Whatever it was doing will not be finished: the plugin is going away.
    finish();
    emit failed(tr("--sync stopped: %1 was withdrawn before its work was done")
                    .arg(m_serviceName));
}

void SyncWatcher::onServiceBusyChanged()
{
    noteActivity();
}

void SyncWatcher::onServiceStatusChanged(const QString &status)
{
    noteActivity();
    if (status.isEmpty())
        return;
    m_lastStatus = status;
    emit progress(status);
}

void SyncWatcher::onTaskAdded(Core::FutureProgress *progress)
{
    noteActivity();
    const QString title = progress->title();
    emit this->progress(tr("%1: started").arg(title));
    connect(progress, &Core::FutureProgress::finished, this, [this, progress, title] {
        noteActivity();
        const QFuture<void> future = progress->future();
        const QString count = tr("%1 of %2")
                                  .arg(future.progressValue() - future.progressMinimum())
                                  .arg(future.progressMaximum() - future.progressMinimum());
        emit this->progress(future.isCanceled() ? tr("%1: cancelled, %2").arg(title, count)
                                                : tr("%1: finished, %2").arg(title, count));
    });
}

bool SyncWatcher::isServiceBusy() const
{
    return m_service && m_service->property(BUSY_PROPERTY).toBool();
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
    if (isServiceBusy()) {
        reasons.append(m_lastStatus.isEmpty()
                           ? tr("%1 is still busy").arg(m_serviceName)
                           : tr("%1 is still busy, last status: %2").arg(m_serviceName, m_lastStatus));
    }
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
    // The service's own account comes first; the rest catches work it does not cover.
    const bool progressRunning = !Core::ProgressManager::instance()->tasks().isEmpty();
    const int children = runningChildProcesses();
    if (isServiceBusy() || progressRunning || children > 0 || children != m_lastChildren) {
        m_lastChildren = children;
        noteActivity();
        return;
    }
    if (m_sinceActivity.elapsed() < m_quietPeriodMs)
        return;
    finish();
    emit settled();
}

void SyncWatcher::finish()
{
    m_done = true;
    m_pollTimer.stop();
    m_limitTimer.stop();
}

} // namespace Brindle::Host
