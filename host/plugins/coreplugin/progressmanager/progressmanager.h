// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "../core_global.h"

#include <utils/id.h>

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace Core {

class FutureProgress;

class CORE_EXPORT ProgressManager final : public QObject
{
    Q_OBJECT

public:
    enum ProgressFlag { KeepOnFinish = 0x01, ShowInApplicationIcon = 0x02 };
    Q_DECLARE_FLAGS(ProgressFlags, ProgressFlag)

    static ProgressManager *instance();

    // The entry follows the future and deletes itself later once it finished, unless
    // KeepOnFinish is given; then whoever shows it decides when it goes.
    static FutureProgress *addTask(const QFuture<void> &future,
                                   const QString &title,
                                   Utils::Id type,
                                   ProgressFlags flags = {});

    // Running entries, in start order.
    QList<FutureProgress *> tasks() const;

signals:
    void taskStarted(Utils::Id type);
    void allTasksFinished(Utils::Id type);
    // For the host application to place the entry's widget, e.g. in its status bar.
    void taskAdded(Core::FutureProgress *progress);

private:
    ProgressManager() = default;
    ~ProgressManager() override;

    void taskFinished(FutureProgress *progress);
    void emitIfTypeFinished(Utils::Id type);

    static void destroyInstance();

    QList<QPointer<FutureProgress>> m_tasks;
};

} // namespace Core

Q_DECLARE_OPERATORS_FOR_FLAGS(Core::ProgressManager::ProgressFlags)
