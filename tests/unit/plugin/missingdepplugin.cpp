// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <extensionsystem/iplugin.h>

namespace BrindleTests {

class MissingDependencyPlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "missingdep.json")
};

} // namespace BrindleTests

#include "missingdepplugin.moc"
