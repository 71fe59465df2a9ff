// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QMetaType>

namespace Tasking {

enum class DoneResult { Success, Error };

} // namespace Tasking

Q_DECLARE_METATYPE(Tasking::DoneResult)
