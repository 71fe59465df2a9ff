// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>

#include <QCoreApplication>
#include <QVariant>

// Built once per test plugin from <PLUGIN_NAME>.json. Plugins and test share nothing but the
// application's "pluginEvents" property, to which each appends "<plugin>:<event>", and the
// object each publishes in the plugin manager's pool as "<plugin>.published".
class TestPlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PLUGIN_IID FILE PLUGIN_JSON)

public:
    TestPlugin() { record("construct"); }
    ~TestPlugin() final
    {
        if (!m_published.objectName().isEmpty()) // published in initialize()
            ExtensionSystem::PluginManager::removeObject(&m_published);
        record("delete");
    }

    bool initialize(const QStringList &arguments, QString *errorString) final
    {
        record(("initialize " + arguments.join(' ')).trimmed());
        *errorString = "no hardware"; // only read when initialize fails
        // Published as the IDE's plugins do: by name, until the plugin goes.
        m_published.setObjectName(PLUGIN_NAME ".published");
        ExtensionSystem::PluginManager::addObject(&m_published);
        return QLatin1String(PLUGIN_NAME) != QLatin1String("failinginit");
    }
    void extensionsInitialized() final { record("extensionsInitialized"); }
    bool delayedInitialize() final { return record("delayedInitialize"); }
    ShutdownFlag aboutToShutdown() final
    {
        record("aboutToShutdown");
        return SynchronousShutdown;
    }

private:
    QObject m_published;

    static bool record(const QString &event)
    {
        const QStringList events = qApp->property("pluginEvents").toStringList();
        qApp->setProperty("pluginEvents", events + QStringList(PLUGIN_NAME ":" + event));
        return true;
    }
};

#include "testplugin.moc"
