// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "core_global.h"

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Message boxes that return at once: shown on ICore::dialogParent(), deleted when closed.
namespace Core::AsynchronousMessageBox {

CORE_EXPORT QWidget *warning(const QString &title, const QString &desciption);
CORE_EXPORT QWidget *information(const QString &title, const QString &desciption);
CORE_EXPORT QWidget *critical(const QString &title, const QString &desciption);

} // namespace Core::AsynchronousMessageBox
