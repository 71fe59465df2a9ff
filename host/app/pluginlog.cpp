// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "pluginlog.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QThread>

#include <cstdio>

namespace Brindle::Host {

namespace {

struct State
{
    QMutex mutex;
    QByteArray prefix;
    QHash<QByteArray, bool> requestedByUser;
    std::function<void()> onMessage;
    QLoggingCategory::CategoryFilter previousFilter = nullptr;
    QtMessageHandler previousHandler = nullptr;
};

State &state()
{
    static State instance;
    return instance;
}

bool watched(const char *category)
{
    return category && QByteArray(category).startsWith(state().prefix);
}

void categoryFilter(QLoggingCategory *category)
{
    State &s = state();
    if (s.previousFilter)
        s.previousFilter(category);
    if (!watched(category->categoryName()))
        return;
    {
        QMutexLocker locker(&s.mutex);
        s.requestedByUser.insert(category->categoryName(), category->isDebugEnabled());
    }
    category->setEnabled(QtDebugMsg, true);
}

void forward(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    State &s = state();
    if (s.previousHandler) {
        s.previousHandler(type, context, message);
        return;
    }
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    State &s = state();
    if (!watched(context.category) || type != QtDebugMsg) {
        forward(type, context, message);
        return;
    }
    if (s.onMessage && QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        s.onMessage();
    }
    bool print = false;
    {
        QMutexLocker locker(&s.mutex);
        print = s.requestedByUser.value(context.category);
    }
    if (print)
        forward(type, context, message);
}

} // namespace

void PluginLog::watch(const QByteArray &categoryPrefix, const std::function<void()> &onMessage)
{
    State &s = state();
    s.prefix = categoryPrefix;
    s.onMessage = onMessage;
    s.previousHandler = qInstallMessageHandler(messageHandler);
    s.previousFilter = QLoggingCategory::installFilter(categoryFilter);
}

} // namespace Brindle::Host
