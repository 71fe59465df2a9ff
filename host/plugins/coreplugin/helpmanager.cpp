// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "helpmanager.h"

namespace Core::HelpManager {

Signals *Signals::instance()
{
    static Signals theSignals;
    return &theSignals;
}

} // namespace Core::HelpManager
