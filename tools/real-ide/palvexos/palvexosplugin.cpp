// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The Palvex OS SDK's plugin as far as Brindle needs it: being there, version 16.0.0, so the
// IDE resolves Brindle's dependency on it, and bringing the SDK library (Hovri::Sdk) along.

#include <extensionsystem/iplugin.h>

#include <hovri/sdk.h>

#include <QLoggingCategory>

namespace Palvexos::Internal {

Q_LOGGING_CATEGORY(palvexosLog, "palvexos.sdk", QtWarningMsg)

class PalvexosPlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "palvexos.json")

public:
    bool initialize(const QStringList &, QString *) final
    {
        qCDebug(palvexosLog) << "SDK release" << std::get<2>(Hovri::Sdk::releaseInfo())
                             << Hovri::Sdk::osVariant(0);
        return true;
    }
};

} // namespace Palvexos::Internal

#include "palvexosplugin.moc"
