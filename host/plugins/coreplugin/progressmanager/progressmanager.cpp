// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "progressmanager.h"

#include "futureprogress.h"

#include <QCoreApplication>

namespace Core {

namespace {

ProgressManager *theInstance = nullptr;

} // namespace

ProgressManager::~ProgressManager()
{
    // Entries that no window took over are still top-level widgets of ours.
    for (const QPointer<FutureProgress> &progress : std::as_const(m_tasks)) {
        if (progress && !progress->parent())
            delete progress.data();
    }
}

ProgressManager *ProgressManager::instance()
{
    if (!theInstance) {
        theInstance = new ProgressManager;
        // Widgets must go while the application object still exists.
        qAddPostRoutine(&ProgressManager::destroyInstance);
    }
    return theInstance;
}

void ProgressManager::destroyInstance()
{
    delete theInstance;
    theInstance = nullptr;
}

FutureProgress *ProgressManager::addTask(const QFuture<void> &future,
                                         const QString &title,
                                         Utils::Id type,
                                         ProgressFlags flags)
{
    ProgressManager *manager = instance();
    auto progress = new FutureProgress;
    progress->setTitle(title);
    progress->setType(type);
    progress->setKeepOnFinish(flags.testFlag(KeepOnFinish));
    connect(progress, &FutureProgress::finished, manager, [manager, progress] {
        manager->taskFinished(progress);
    });
    // An entry may be deleted by whoever shows it before its future finished.
    connect(progress, &QObject::destroyed, manager, [manager, type] {
        if (manager->m_tasks.removeAll(nullptr) > 0)
            manager->emitIfTypeFinished(type);
    });
    progress->setFuture(future);
    manager->m_tasks.append(progress);
    emit manager->taskAdded(progress);
    emit manager->taskStarted(type);
    return progress;
}

QList<FutureProgress *> ProgressManager::tasks() const
{
    QList<FutureProgress *> result;
    for (const QPointer<FutureProgress> &progress : m_tasks) {
        if (progress)
            result.append(progress.data());
    }
    return result;
}

void ProgressManager::taskFinished(FutureProgress *progress)
{
    if (m_tasks.removeAll(progress) == 0)
        return;
    if (!progress->keepOnFinish())
        progress->deleteLater();
    emitIfTypeFinished(progress->type());
}

void ProgressManager::emitIfTypeFinished(Utils::Id type)
{
    for (const QPointer<FutureProgress> &other : std::as_const(m_tasks)) {
        if (other && other->type() == type)
            return;
    }
    emit allTasksFinished(type);
}

} // namespace Core
