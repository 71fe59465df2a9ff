// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "futureprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace Core {

FutureProgress::FutureProgress(QWidget *parent)
    : QWidget(parent)
{
    m_titleLabel = new QLabel(this);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setTextVisible(false);
    m_cancelButton = new QToolButton(this);
    m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_cancelButton->setToolTip(tr("Cancel"));
    m_cancelButton->setAutoRaise(true);

    auto barRow = new QHBoxLayout;
    barRow->setContentsMargins(0, 0, 0, 0);
    barRow->addWidget(m_progressBar, 1);
    barRow->addWidget(m_cancelButton);
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(1);
    layout->addWidget(m_titleLabel);
    layout->addLayout(barRow);

    connect(m_cancelButton, &QToolButton::clicked, this, &FutureProgress::cancel);
    connect(&m_watcher,
            &QFutureWatcherBase::progressRangeChanged,
            m_progressBar,
            &QProgressBar::setRange);
    connect(&m_watcher,
            &QFutureWatcherBase::progressValueChanged,
            m_progressBar,
            &QProgressBar::setValue);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &FutureProgress::onFinished);
    // As in Qt Creator: canceled() follows the future, whoever cancelled it (the button,
    // cancelTasks(), a QPromise dropped unfinished), and arrives through the watcher, that is
    // from the event loop, never from within cancel().
    connect(&m_watcher, &QFutureWatcherBase::canceled, this, &FutureProgress::canceled);
}

FutureProgress::~FutureProgress()
{
    // The watcher must not report into a half-destroyed widget.
    m_watcher.disconnect(this);
}

void FutureProgress::setFuture(const QFuture<void> &future)
{
    m_progressBar->setRange(future.progressMinimum(), future.progressMaximum());
    m_progressBar->setValue(future.progressValue());
    m_cancelButton->setEnabled(!future.isFinished());
    m_watcher.setFuture(future);
}

QFuture<void> FutureProgress::future() const
{
    return m_watcher.future();
}

void FutureProgress::setTitle(const QString &title)
{
    m_titleLabel->setText(title);
}

QString FutureProgress::title() const
{
    return m_titleLabel->text();
}

void FutureProgress::cancel()
{
    m_watcher.future().cancel();
}

void FutureProgress::onFinished()
{
    m_cancelButton->setEnabled(false);
    // A finished future that never reported a range still shows as complete.
    if (m_progressBar->maximum() == 0)
        m_progressBar->setRange(0, 1);
    m_progressBar->setValue(m_progressBar->maximum());
    emit finished();
}

} // namespace Core
