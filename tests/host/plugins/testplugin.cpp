// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <extensionsystem/iplugin.h>

#include <QCoreApplication>
#include <QTimer>
#include <QVariant>

// Built once per test plugin: PLUGIN_<NAME> selects the metadata and the behaviour.

namespace Brindle::Tests {

// Appends "<plugin>:<event>" to the application's "pluginEvents" property, which the test
// reads back: plugins and test share nothing else.
class TestPlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
#if defined(PLUGIN_GOOD)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "good.json")
#elif defined(PLUGIN_DEPENDENT)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "dependent.json")
#elif defined(PLUGIN_MISSINGDEP)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "missingdep.json")
#elif defined(PLUGIN_WRONGIID)
    Q_PLUGIN_METADATA(IID "org.example.NotAnIdePlugin" FILE "wrongiid.json")
#elif defined(PLUGIN_NOVENDOR)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "novendor.json")
#elif defined(PLUGIN_FAILINGINIT)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "failinginit.json")
#elif defined(PLUGIN_AFTERFAILING)
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "afterfailing.json")
#endif

public:
    TestPlugin()
    {
        record("construct");
    }
    ~TestPlugin() final
    {
        record("delete");
    }

    bool initialize(const QStringList &arguments, QString *errorString) final
    {
        record(arguments.isEmpty() ? "initialize" : "initialize " + arguments.join(' '));
#if defined(PLUGIN_FAILINGINIT)
        *errorString = "no hardware";
        return false;
#else
        Q_UNUSED(errorString)
        return true;
#endif
    }
    void extensionsInitialized() final
    {
        record("extensionsInitialized");
    }
    bool delayedInitialize() final
    {
        record("delayedInitialize");
        return true;
    }
    ShutdownFlag aboutToShutdown() final
    {
        record("aboutToShutdown");
#if defined(PLUGIN_DEPENDENT)
        QTimer::singleShot(0, this, [this] {
            record("asynchronousShutdownFinished");
            emit asynchronousShutdownFinished();
        });
        return AsynchronousShutdown;
#else
        return SynchronousShutdown;
#endif
    }

private:
    static void record(const QString &event)
    {
        QStringList events = qApp->property("pluginEvents").toStringList();
        events.append(QString(PLUGIN_NAME) + ':' + event);
        qApp->setProperty("pluginEvents", events);
    }
};

} // namespace Brindle::Tests

#include "testplugin.moc"
