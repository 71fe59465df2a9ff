// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "extensionsystem_global.h"

#include <QObject>
#include <QStringList>

namespace ExtensionSystem {

class EXTENSIONSYSTEM_EXPORT IPlugin : public QObject
{
    Q_OBJECT

public:
    enum ShutdownFlag { SynchronousShutdown, AsynchronousShutdown };

    IPlugin();
    ~IPlugin() override;

    // Called once all dependencies are initialised. The default calls initialize().
    virtual bool initialize(const QStringList &arguments, QString *errorString);
    virtual void extensionsInitialized() {}
    virtual bool delayedInitialize() { return false; }
    virtual ShutdownFlag aboutToShutdown() { return SynchronousShutdown; }
    virtual QObject *remoteCommand(const QStringList & /* options */,
                                   const QString & /* workingDirectory */,
                                   const QStringList & /* arguments */)
    {
        return nullptr;
    }

signals:
    void asynchronousShutdownFinished();

protected:
    virtual void initialize() {}
};

} // namespace ExtensionSystem

#define QtCreatorPlugin_iid "org.qt-project.Qt.QtCreatorPlugin"
