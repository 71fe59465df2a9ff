// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The real-IDE tests' hands inside Qt Creator. It writes "brindle-probe: ..." lines on stderr,
// which the tests wait for, and carries out command files that the tests drop into
// $BRINDLE_PROBE_DIR:
//   quit   Core::ICore::exit(), the way File > Exit ends the IDE
// It finds the Brindle plugin's download service only through the IDE's object pool, as any
// other plugin would, and reads its "busy" property through the meta-object.

#include <coreplugin/icore.h>
#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace BrindleProbe::Internal {

static void report(const QString &line)
{
    std::fprintf(stderr, "brindle-probe: %s\n", qPrintable(line));
    std::fflush(stderr);
}

class ProbePlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "probe.json")

public:
    void extensionsInitialized() final
    {
        m_dir = qEnvironmentVariable("BRINDLE_PROBE_DIR");
        if (!m_dir.isEmpty()) {
            QDir().mkpath(m_dir);
            m_watcher.addPath(m_dir);
            connect(
                &m_watcher, &QFileSystemWatcher::directoryChanged, this, &ProbePlugin::runCommands);
        }
        auto pm = ExtensionSystem::PluginManager::instance();
        connect(pm, &ExtensionSystem::PluginManager::objectAdded, this, &ProbePlugin::watch);
        watch(ExtensionSystem::PluginManager::getObjectByName("Brindle.DownloadService"));
        report("started");
    }

    bool delayedInitialize() final
    {
        report("delayed initialization done");
        runCommands(); // files dropped before the IDE was up
        return true;
    }

    ShutdownFlag aboutToShutdown() final
    {
        report("about to shut down");
        return SynchronousShutdown;
    }

private:
    void watch(QObject *object)
    {
        if (!object || object->objectName() != "Brindle.DownloadService" || m_service == object)
            return;
        m_service = object;
        const QMetaObject *meta = object->metaObject();
        const QMetaProperty busy = meta->property(meta->indexOfProperty("busy"));
        if (!busy.isValid() || !busy.hasNotifySignal()) {
            report("the download service has no busy property");
            return;
        }
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("busyChanged()"));
        connect(object, busy.notifySignal(), this, slot);
        m_busy = object->property("busy").toBool();
        report(m_busy ? "download service found, busy" : "download service found, not busy");
    }

    // "service idle" only ends a busy time, so a test that waits for it never takes the
    // quiet before the service's first round for its end.
    Q_SLOT void busyChanged()
    {
        if (!m_service)
            return;
        const bool busy = m_service->property("busy").toBool();
        if (busy == m_busy)
            return;
        m_busy = busy;
        report(busy ? "service busy" : "service idle");
    }

    void runCommands()
    {
        if (m_dir.isEmpty())
            return;
        const QStringList names = QDir(m_dir).entryList({"*.cmd"}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            QFile file(m_dir + '/' + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString command = QString::fromUtf8(file.readAll()).trimmed();
            file.close();
            file.remove();
            report("command " + command);
            if (command == "quit")
                QTimer::singleShot(0, this, [] { Core::ICore::exit(); });
            else
                report("unknown command " + command);
        }
    }

    QString m_dir;
    QFileSystemWatcher m_watcher;
    QPointer<QObject> m_service;
    bool m_busy = false;
};

} // namespace BrindleProbe::Internal

#include "probeplugin.moc"
