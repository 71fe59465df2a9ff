// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "logging.h"

namespace Brindle::Log {

// Function-local statics: the data location is computed (and logged) while the library is
// still being loaded, so a category must be usable before any other static is constructed.

const QLoggingCategory &api()
{
    static const QLoggingCategory category("oskel.brindle.plugin.api", QtWarningMsg);
    return category;
}

const QLoggingCategory &arch()
{
    static const QLoggingCategory category("oskel.brindle.plugin.archive", QtWarningMsg);
    return category;
}

const QLoggingCategory &main()
{
    static const QLoggingCategory category("oskel.brindle.plugin", QtWarningMsg);
    return category;
}

const QLoggingCategory &repository()
{
    static const QLoggingCategory category("oskel.brindle.plugin.repository", QtWarningMsg);
    return category;
}

const QLoggingCategory &service()
{
    static const QLoggingCategory category("oskel.brindle.plugin.service", QtWarningMsg);
    return category;
}

} // namespace Brindle::Log
