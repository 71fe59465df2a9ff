// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "../core_global.h"

#include <utils/id.h>

#include <QFuture>
#include <QFutureWatcher>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QLabel;
class QProgressBar;
class QToolButton;
QT_END_NAMESPACE

namespace Core {

// One progress entry: title, a bar following the future's range and value, a cancel button.
class CORE_EXPORT FutureProgress final : public QWidget
{
    Q_OBJECT

public:
    explicit FutureProgress(QWidget *parent = nullptr);
    ~FutureProgress() override;

    void setFuture(const QFuture<void> &future);
    QFuture<void> future() const;

    void setTitle(const QString &title);
    QString title() const;

    void setType(Utils::Id type) { m_type = type; }
    Utils::Id type() const { return m_type; }

    void setKeepOnFinish(bool keep) { m_keepOnFinish = keep; }
    bool keepOnFinish() const { return m_keepOnFinish; }

    // What the cancel button does: cancels the future. canceled() comes later, from the
    // event loop.
    void cancel();

signals:
    // The future was cancelled: by the user, by cancelTasks(), or because its QPromise was
    // destroyed or replaced unfinished.
    void canceled();
    // The future finished, cancelled or not.
    void finished();

private:
    void onFinished();

    QFutureWatcher<void> m_watcher;
    QLabel *m_titleLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QToolButton *m_cancelButton = nullptr;
    Utils::Id m_type;
    bool m_keepOnFinish = false;
};

} // namespace Core
