// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "iplugin.h"

namespace ExtensionSystem {

IPlugin::IPlugin() = default;

IPlugin::~IPlugin() = default;

bool IPlugin::initialize(const QStringList &arguments, QString *errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)
    initialize();
    return true;
}

} // namespace ExtensionSystem
