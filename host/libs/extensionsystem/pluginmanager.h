// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "extensionsystem_global.h"

#include "pluginspec.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QReadWriteLock>
#include <QStringList>

namespace Utils {
class QtcSettings;
} // namespace Utils

namespace ExtensionSystem {

// Finds plugin libraries in the plugin paths, resolves their dependencies against each other
// and the host's built-in "core", "help" and "palvexos" (16.0.0), and runs their life cycle.
// Plugins that cannot run are kept in plugins() with an error and skipped.
class EXTENSIONSYSTEM_EXPORT PluginManager final : public QObject
{
    Q_OBJECT

public:
    // The host application may own the manager; otherwise instance() creates one that lives
    // until the application object is destroyed.
    PluginManager();
    ~PluginManager() override;

    static PluginManager *instance();

    // The user settings. Without setSettings(), an ini file in
    // <BRINDLE_HOST_SETTINGS_PATH or the generic config location>/QtProject/QtCreator.ini.
    // The manager takes ownership of settings passed in.
    static Utils::QtcSettings *settings();
    static void setSettings(Utils::QtcSettings *settings);

    static void setPluginPaths(const QStringList &paths);
    static QStringList pluginPaths();

    // Arguments handed to the plugin's initialize().
    static void setPluginArguments(const QString &pluginId, const QStringList &arguments);

    static void loadPlugins();
    static void shutdown();

    static const QList<PluginSpec *> plugins();
    static PluginSpec *specById(const QString &id);
    static QStringList allErrors();
    static bool hasError();

    // Prints per plugin the time spent loading, in initialize() and in
    // extensionsInitialized(). The times are recorded in PluginSpec::profile() regardless.
    static void setProfilingEnabled(bool enabled);
    static bool isProfilingEnabled();

    static QString pluginIID();

    // The object pool through which plugins publish objects to each other and to the IDE.
    // An object added must be removed before it is destroyed; objects still in the pool
    // when the plugins have been deleted are reported.
    static void addObject(QObject *object);
    static void removeObject(QObject *object);
    static QList<QObject *> allObjects();
    static QReadWriteLock *listLock();
    static QObject *getObjectByName(const QString &name);

    template<typename T>
    static T *getObject()
    {
        QReadLocker lock(listLock());
        const QList<QObject *> all = allObjects();
        for (QObject *object : all) {
            if (T *result = qobject_cast<T *>(object))
                return result;
        }
        return nullptr;
    }
    template<typename T, typename Predicate>
    static T *getObject(Predicate predicate)
    {
        QReadLocker lock(listLock());
        const QList<QObject *> all = allObjects();
        for (QObject *object : all) {
            if (T *result = qobject_cast<T *>(object); result && predicate(result))
                return result;
        }
        return nullptr;
    }

signals:
    // After the object joined the pool.
    void objectAdded(QObject *object);
    // While the object is still in the pool.
    void aboutToRemoveObject(QObject *object);
    void pluginsChanged();
    // After every plugin ran delayedInitialize().
    void initializationDone();

private:
    void doLoadPlugins();
    void doShutdown();
    void readPluginPaths();
    void readSpec(const QString &filePath);
    void resolveDependencies();
    QList<PluginSpec *> loadQueue();
    bool appendToQueue(PluginSpec *pluginSpec,
                       QList<PluginSpec *> &queue,
                       QList<PluginSpec *> &circularityCheck);
    PluginSpec *findProvider(const PluginDependency &dependency) const;
    bool dependenciesFailed(PluginSpec *pluginSpec);
    void loadSpec(PluginSpec *pluginSpec);
    void initializeSpec(PluginSpec *pluginSpec);
    void extensionsInitializedSpec(PluginSpec *pluginSpec);
    void nextDelayedInitialize();
    void setError(PluginSpec *pluginSpec, const QString &reason);
    void printProfile(PluginSpec *pluginSpec, const char *phase, double ms) const;
    void doAddObject(QObject *object);
    void doRemoveObject(QObject *object);
    void onPooledObjectDestroyed(QObject *object);
    void reportLeftoverObjects();

    Utils::QtcSettings *m_settings = nullptr;
    QStringList m_pluginPaths;
    QHash<QString, QStringList> m_pluginArguments;
    QList<PluginSpec *> m_specs;
    QList<PluginSpec *> m_builtIns;
    QList<PluginSpec *> m_loadOrder;
    QList<PluginSpec *> m_delayedQueue;
    QList<QObject *> m_allObjects;
    mutable QReadWriteLock m_lock;
    bool m_profiling = false;
    bool m_shutDown = false;
};

} // namespace ExtensionSystem
