// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <extensionsystem/iplugin.h>

#include <QString>
#include <QUrl>

#include <functional>

QT_BEGIN_NAMESPACE
class QAbstractItemView;
QT_END_NAMESPACE

namespace Brindle::Internal {

class BrindlePluginPrivate;
class DownloadService;

class Plugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "Brindle.json")

public:
    Plugin();
    ~Plugin() override;

    bool initialize(const QStringList &arguments, QString *errorString) override;
    void extensionsInitialized() override;
    bool delayedInitialize() override;
    ShutdownFlag aboutToShutdown() override;

    static DownloadService *downloadService();
    static void initMenu(QAbstractItemView *list, std::function<QUrl(const QString &)> location);

private:
    BrindlePluginPrivate *d = nullptr; // owned
};

} // namespace Brindle::Internal
