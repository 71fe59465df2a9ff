// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QLoggingCategory>

namespace Brindle::Log {

// All categories are created with warnings as the lowest enabled level, so the plugin's
// debug output appears only when QT_LOGGING_RULES enables "oskel.brindle.plugin*".
const QLoggingCategory &api();
const QLoggingCategory &arch();
const QLoggingCategory &main();
const QLoggingCategory &repository();
const QLoggingCategory &service();

} // namespace Brindle::Log
