// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>

#include <functional>

namespace Brindle::Host {

// Lets the host see every debug message of the logging categories below a prefix, as a
// sign that a plugin is still at work, while printing only those that the user's logging
// rules (QT_LOGGING_RULES and the like) asked for. Everything printed goes to stderr.
class PluginLog final
{
public:
    static void watch(const QByteArray &categoryPrefix, const std::function<void()> &onMessage);
};

} // namespace Brindle::Host
