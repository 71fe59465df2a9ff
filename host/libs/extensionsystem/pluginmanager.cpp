// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "pluginmanager.h"

#include "iplugin.h"

#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QLibrary>
#include <QPluginLoader>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

namespace ExtensionSystem {

namespace {

const char pluginIid[] = "org.qt-project.Qt.QtCreatorPlugin";
const char builtInVersion[] = "16.0.0";
// An asynchronous shutdown that never reports back must not keep the host from exiting.
const int asynchronousShutdownTimeoutMs = 30000;

PluginManager *theInstance = nullptr;
bool instanceCreatedOnDemand = false;

void deleteOnDemandInstance()
{
    if (instanceCreatedOnDemand) {
        instanceCreatedOnDemand = false;
        delete theInstance;
    }
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

PluginManager::PluginManager()
{
    if (theInstance)
        qWarning("PluginManager: a second plugin manager replaces the first one");
    theInstance = this;

    // The parts of the IDE that exist without plugin libraries.
    for (const char *id : {"core", "help", "palvexos"}) {
        auto pluginSpec = new PluginSpec;
        pluginSpec->m_id = QString::fromLatin1(id);
        pluginSpec->m_name = pluginSpec->m_id;
        pluginSpec->m_version = QString::fromLatin1(builtInVersion);
        pluginSpec->m_compatVersion = pluginSpec->m_version;
        pluginSpec->m_vendorId = "qtproject";
        pluginSpec->m_state = PluginSpec::Running;
        m_builtIns.append(pluginSpec);
    }
}

PluginManager::~PluginManager()
{
    if (!m_shutDown)
        doShutdown();
    qDeleteAll(m_specs);
    qDeleteAll(m_builtIns);
    if (theInstance == this)
        theInstance = nullptr;
}

PluginManager *PluginManager::instance()
{
    if (!theInstance) {
        new PluginManager;
        instanceCreatedOnDemand = true;
        qAddPostRoutine(deleteOnDemandInstance);
    }
    return theInstance;
}

Utils::QtcSettings *PluginManager::settings()
{
    PluginManager *manager = instance();
    if (!manager->m_settings) {
        QString dir = qEnvironmentVariable("BRINDLE_HOST_SETTINGS_PATH");
        if (dir.isEmpty())
            dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        manager->m_settings = new Utils::QtcSettings(
            dir + "/QtProject/QtCreator.ini", QSettings::IniFormat, manager);
    }
    return manager->m_settings;
}

void PluginManager::setSettings(Utils::QtcSettings *settings)
{
    PluginManager *manager = instance();
    if (manager->m_settings == settings)
        return;
    delete manager->m_settings;
    manager->m_settings = settings;
    if (settings)
        settings->setParent(manager);
}

void PluginManager::setPluginPaths(const QStringList &paths)
{
    instance()->m_pluginPaths = paths;
}

QStringList PluginManager::pluginPaths()
{
    return instance()->m_pluginPaths;
}

void PluginManager::setPluginArguments(const QString &pluginId, const QStringList &arguments)
{
    instance()->m_pluginArguments.insert(pluginId, arguments);
}

void PluginManager::loadPlugins()
{
    instance()->doLoadPlugins();
}

void PluginManager::shutdown()
{
    instance()->doShutdown();
}

const QList<PluginSpec *> PluginManager::plugins()
{
    return instance()->m_specs;
}

PluginSpec *PluginManager::specById(const QString &id)
{
    for (PluginSpec *pluginSpec : instance()->m_specs) {
        if (pluginSpec->id() == id)
            return pluginSpec;
    }
    return nullptr;
}

QStringList PluginManager::allErrors()
{
    QStringList errors;
    for (const PluginSpec *pluginSpec : instance()->m_specs) {
        if (pluginSpec->hasError())
            errors.append(pluginSpec->errorString());
    }
    return errors;
}

bool PluginManager::hasError()
{
    return !allErrors().isEmpty();
}

void PluginManager::setProfilingEnabled(bool enabled)
{
    instance()->m_profiling = enabled;
}

bool PluginManager::isProfilingEnabled()
{
    return instance()->m_profiling;
}

QString PluginManager::pluginIID()
{
    return QString::fromLatin1(pluginIid);
}

void PluginManager::addObject(QObject *object)
{
    instance()->doAddObject(object);
}

void PluginManager::removeObject(QObject *object)
{
    instance()->doRemoveObject(object);
}

QList<QObject *> PluginManager::allObjects()
{
    // Unlocked, as in the IDE: callers that iterate from another thread hold listLock().
    return instance()->m_allObjects;
}

QReadWriteLock *PluginManager::listLock()
{
    return &instance()->m_lock;
}

QObject *PluginManager::getObjectByName(const QString &name)
{
    QReadLocker lock(listLock());
    const QList<QObject *> all = allObjects();
    for (QObject *object : all) {
        if (object->objectName() == name)
            return object;
    }
    return nullptr;
}

void PluginManager::doAddObject(QObject *object)
{
    {
        QWriteLocker lock(&m_lock);
        if (!object) {
            qWarning("PluginManager::addObject(): trying to add null object");
            return;
        }
        if (m_allObjects.contains(object)) {
            qWarning("PluginManager::addObject(): trying to add duplicate object");
            return;
        }
        m_allObjects.append(object);
    }
    // The IDE keeps a dangling pointer to an object destroyed in the pool; the stand-in says
    // so and lets go of it, so that the fault shows where it is made.
    connect(object, &QObject::destroyed, this, &PluginManager::onPooledObjectDestroyed);
    emit objectAdded(object);
}

void PluginManager::doRemoveObject(QObject *object)
{
    if (!object) {
        qWarning("PluginManager::removeObject(): trying to remove null object");
        return;
    }
    if (!m_allObjects.contains(object)) {
        qWarning("PluginManager::removeObject(): object not in list: %s",
                 qPrintable(object->objectName()));
        return;
    }
    emit aboutToRemoveObject(object);
    disconnect(object, &QObject::destroyed, this, &PluginManager::onPooledObjectDestroyed);
    QWriteLocker lock(&m_lock);
    m_allObjects.removeAll(object);
}

void PluginManager::onPooledObjectDestroyed(QObject *object)
{
    // Only the address is left: the object's own parts are gone already.
    qWarning("PluginManager: an object was destroyed while still in the plugin manager pool");
    QWriteLocker lock(&m_lock);
    m_allObjects.removeAll(object);
}

void PluginManager::reportLeftoverObjects()
{
    if (m_allObjects.isEmpty())
        return;
    QStringList names;
    for (const QObject *object : std::as_const(m_allObjects)) {
        names.append(QLatin1String(object->metaObject()->className()) + QLatin1String(" \"")
                     + object->objectName() + QLatin1Char('"'));
    }
    qWarning("There are %d objects left in the plugin manager pool: %s",
             int(m_allObjects.size()),
             qPrintable(names.join(QLatin1String(", "))));
}

void PluginManager::doLoadPlugins()
{
    if (!m_specs.isEmpty()) {
        qWarning("PluginManager::loadPlugins: plugins are loaded already");
        return;
    }
    m_shutDown = false;
    readPluginPaths();
    resolveDependencies();
    m_loadOrder = loadQueue();
    emit pluginsChanged();

    // Like the IDE: all libraries first, then initialize() in dependency order, then
    // extensionsInitialized() in reverse order.
    for (PluginSpec *pluginSpec : std::as_const(m_loadOrder)) {
        if (!dependenciesFailed(pluginSpec))
            loadSpec(pluginSpec);
    }
    for (PluginSpec *pluginSpec : std::as_const(m_loadOrder)) {
        if (pluginSpec->m_state == PluginSpec::Loaded && !dependenciesFailed(pluginSpec))
            initializeSpec(pluginSpec);
    }
    for (auto it = m_loadOrder.crbegin(); it != m_loadOrder.crend(); ++it) {
        if ((*it)->m_state == PluginSpec::Initialized)
            extensionsInitializedSpec(*it);
    }
    QTimer::singleShot(0, this, &PluginManager::nextDelayedInitialize);
}

void PluginManager::readPluginPaths()
{
    QSet<QString> seen;
    for (const QString &path : std::as_const(m_pluginPaths)) {
        const QFileInfoList entries = QDir(path).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &entry : entries) {
            if (!QLibrary::isLibrary(entry.fileName()))
                continue;
            // Versioned symlinks would otherwise present one library several times.
            const QString canonical = entry.canonicalFilePath();
            if (seen.contains(canonical))
                continue;
            seen.insert(canonical);
            readSpec(entry.absoluteFilePath());
        }
    }
}

void PluginManager::readSpec(const QString &filePath)
{
    auto pluginSpec = new PluginSpec;
    pluginSpec->m_filePath = filePath;
    pluginSpec->m_name = QFileInfo(filePath).fileName();
    m_specs.append(pluginSpec);

    // metaData() reads the library's metadata section without loading its code.
    const QJsonObject pluginData = QPluginLoader(filePath).metaData();
    if (pluginData.isEmpty()) {
        setError(pluginSpec, tr("The library has no Qt plugin metadata."));
        return;
    }
    const QString iid = pluginData.value("IID").toString();
    if (iid != pluginIID()) {
        setError(pluginSpec,
                 tr("The plugin interface is \"%1\", expected \"%2\".").arg(iid, pluginIID()));
        return;
    }
    const QJsonValue metaDataValue = pluginData.value("MetaData");
    if (!metaDataValue.isObject()) {
        setError(pluginSpec, tr("The plugin metadata is missing or not a JSON object."));
        return;
    }
    const QJsonObject metaData = metaDataValue.toObject();
    pluginSpec->m_metaData = metaData;

    const QString id = metaData.value("Id").toString();
    if (id.isEmpty()) {
        setError(pluginSpec, tr("The metadata has no \"Id\"."));
        return;
    }
    pluginSpec->m_id = id;
    pluginSpec->m_name = metaData.value("Name").toString(id);
    if (id != id.toLower()) {
        setError(pluginSpec, tr("The plugin id \"%1\" is not all lower case.").arg(id));
        return;
    }
    pluginSpec->m_version = metaData.value("Version").toString();
    if (!PluginSpec::isValidVersion(pluginSpec->m_version)) {
        setError(pluginSpec, tr("The metadata has no valid \"Version\"."));
        return;
    }
    pluginSpec->m_compatVersion = metaData.value("CompatVersion").toString(pluginSpec->m_version);
    if (!PluginSpec::isValidVersion(pluginSpec->m_compatVersion)
        || PluginSpec::versionCompare(pluginSpec->m_compatVersion, pluginSpec->m_version) > 0) {
        setError(pluginSpec,
                 tr("The \"CompatVersion\" \"%1\" is invalid or above the version.")
                     .arg(pluginSpec->m_compatVersion));
        return;
    }
    pluginSpec->m_vendorId = metaData.value("VendorId").toString();
    if (pluginSpec->m_vendorId.isEmpty()) {
        setError(pluginSpec, tr("The metadata has no \"VendorId\"."));
        return;
    }
    pluginSpec->m_vendor = metaData.value("Vendor").toString();
    const QJsonValue description = metaData.value("Description");
    if (description.isArray()) {
        QStringList lines;
        for (const QJsonValue &line : description.toArray())
            lines.append(line.toString());
        pluginSpec->m_description = lines.join('\n');
    } else {
        pluginSpec->m_description = description.toString();
    }

    const QJsonValue dependencies = metaData.value("Dependencies");
    if (!dependencies.isUndefined() && !dependencies.isArray()) {
        setError(pluginSpec, tr("\"Dependencies\" is not an array."));
        return;
    }
    for (const QJsonValue &value : dependencies.toArray()) {
        const QJsonObject object = value.toObject();
        PluginDependency dependency;
        dependency.id = object.value("Id").toString();
        dependency.version = object.value("Version").toString();
        const QString type = object.value("Type").toString("required").toLower();
        if (dependency.id.isEmpty() || !PluginSpec::isValidVersion(dependency.version)) {
            setError(pluginSpec, tr("A dependency has no \"Id\" or no valid \"Version\"."));
            return;
        }
        if (type == "required") {
            dependency.type = PluginDependency::Required;
        } else if (type == "optional") {
            dependency.type = PluginDependency::Optional;
        } else if (type == "test") {
            dependency.type = PluginDependency::Test;
        } else {
            setError(
                pluginSpec,
                tr("The dependency \"%1\" has the unknown type \"%2\".").arg(dependency.id, type));
            return;
        }
        pluginSpec->m_dependencies.append(dependency);
    }

    for (const PluginSpec *other : std::as_const(m_builtIns) + m_specs) {
        if (other != pluginSpec && !other->hasError() && other->m_id == id) {
            setError(pluginSpec,
                     other->m_filePath.isEmpty()
                         ? tr("The id \"%1\" belongs to the host itself.").arg(id)
                         : tr("The id \"%1\" is taken by %2.").arg(id, other->m_filePath));
            return;
        }
    }
    pluginSpec->m_state = PluginSpec::Read;
}

PluginSpec *PluginManager::findProvider(const PluginDependency &dependency) const
{
    for (PluginSpec *candidate : m_builtIns + m_specs) {
        if (!candidate->hasError() && candidate->provides(dependency.id, dependency.version))
            return candidate;
    }
    return nullptr;
}

void PluginManager::resolveDependencies()
{
    for (PluginSpec *pluginSpec : std::as_const(m_specs)) {
        if (pluginSpec->hasError())
            continue;
        for (const PluginDependency &dependency : std::as_const(pluginSpec->m_dependencies)) {
            if (dependency.type != PluginDependency::Required || findProvider(dependency))
                continue;
            setError(pluginSpec,
                     tr("Could not resolve dependency \"%1\" (version %2).")
                         .arg(dependency.id, dependency.version));
            break;
        }
        if (!pluginSpec->hasError())
            pluginSpec->m_state = PluginSpec::Resolved;
    }
}

QList<PluginSpec *> PluginManager::loadQueue()
{
    QList<PluginSpec *> queue;
    for (PluginSpec *pluginSpec : std::as_const(m_specs)) {
        QList<PluginSpec *> circularityCheck;
        appendToQueue(pluginSpec, queue, circularityCheck);
    }
    return queue;
}

bool PluginManager::appendToQueue(PluginSpec *pluginSpec,
                                  QList<PluginSpec *> &queue,
                                  QList<PluginSpec *> &circularityCheck)
{
    if (queue.contains(pluginSpec))
        return true;
    if (pluginSpec->hasError())
        return false;
    if (circularityCheck.contains(pluginSpec)) {
        QStringList cycle;
        for (const PluginSpec *member : circularityCheck.mid(circularityCheck.indexOf(pluginSpec)))
            cycle.append(member->m_id);
        cycle.append(pluginSpec->m_id);
        setError(pluginSpec, tr("Circular dependency: %1.").arg(cycle.join(" -> ")));
        return false;
    }
    circularityCheck.append(pluginSpec);
    for (const PluginDependency &dependency : std::as_const(pluginSpec->m_dependencies)) {
        if (dependency.type == PluginDependency::Test)
            continue;
        PluginSpec *provider = findProvider(dependency);
        if (!provider || m_builtIns.contains(provider))
            continue;
        if (!appendToQueue(provider, queue, circularityCheck)
            && dependency.type == PluginDependency::Required) {
            if (!pluginSpec->hasError())
                setError(pluginSpec, tr("The dependency \"%1\" cannot be loaded.").arg(dependency.id));
            circularityCheck.removeLast();
            return false;
        }
    }
    circularityCheck.removeLast();
    queue.append(pluginSpec);
    return true;
}

bool PluginManager::dependenciesFailed(PluginSpec *pluginSpec)
{
    if (pluginSpec->hasError())
        return true;
    for (const PluginDependency &dependency : std::as_const(pluginSpec->m_dependencies)) {
        if (dependency.type != PluginDependency::Required)
            continue;
        for (const PluginSpec *other : std::as_const(m_specs)) {
            if (other->m_id == dependency.id && other->hasError()) {
                setError(pluginSpec, tr("The dependency \"%1\" failed to load.").arg(dependency.id));
                return true;
            }
        }
    }
    return false;
}

void PluginManager::loadSpec(PluginSpec *pluginSpec)
{
    QElapsedTimer timer;
    timer.start();
    QPluginLoader loader(pluginSpec->m_filePath);
    QObject *object = loader.instance();
    if (!object) {
        setError(pluginSpec, tr("The library could not be loaded: %1").arg(loader.errorString()));
        return;
    }
    auto plugin = qobject_cast<IPlugin *>(object);
    if (!plugin) {
        delete object;
        setError(pluginSpec, tr("The plugin object is not an ExtensionSystem::IPlugin."));
        return;
    }
    pluginSpec->m_plugin = plugin;
    pluginSpec->m_state = PluginSpec::Loaded;
    pluginSpec->m_profile.loadMs = elapsedMs(timer);
    printProfile(pluginSpec, "load", pluginSpec->m_profile.loadMs);
}

void PluginManager::initializeSpec(PluginSpec *pluginSpec)
{
    QString errorString;
    QElapsedTimer timer;
    timer.start();
    const bool ok = pluginSpec->m_plugin->initialize(m_pluginArguments.value(pluginSpec->m_id), &errorString);
    pluginSpec->m_profile.initializeMs = elapsedMs(timer);
    printProfile(pluginSpec, "initialize", pluginSpec->m_profile.initializeMs);
    if (!ok) {
        setError(pluginSpec,
                 tr("initialize() failed: %1")
                     .arg(errorString.isEmpty() ? tr("no reason given") : errorString));
        return;
    }
    pluginSpec->m_state = PluginSpec::Initialized;
}

void PluginManager::extensionsInitializedSpec(PluginSpec *pluginSpec)
{
    QElapsedTimer timer;
    timer.start();
    pluginSpec->m_plugin->extensionsInitialized();
    pluginSpec->m_profile.extensionsInitializedMs = elapsedMs(timer);
    printProfile(pluginSpec, "extensionsInitialized", pluginSpec->m_profile.extensionsInitializedMs);
    pluginSpec->m_state = PluginSpec::Running;
    m_delayedQueue.append(pluginSpec);
}

void PluginManager::nextDelayedInitialize()
{
    if (m_shutDown)
        return;
    if (m_delayedQueue.isEmpty()) {
        emit initializationDone();
        return;
    }
    PluginSpec *pluginSpec = m_delayedQueue.takeFirst();
    if (pluginSpec->m_plugin && pluginSpec->m_state == PluginSpec::Running) {
        QElapsedTimer timer;
        timer.start();
        pluginSpec->m_plugin->delayedInitialize();
        pluginSpec->m_profile.delayedInitializeMs = elapsedMs(timer);
        printProfile(pluginSpec, "delayedInitialize", pluginSpec->m_profile.delayedInitializeMs);
    }
    // One plugin per event loop pass keeps the user interface responsive at start-up.
    QTimer::singleShot(0, this, &PluginManager::nextDelayedInitialize);
}

void PluginManager::doShutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_delayedQueue.clear();

    QList<IPlugin *> pending;
    for (auto it = m_loadOrder.crbegin(); it != m_loadOrder.crend(); ++it) {
        PluginSpec *pluginSpec = *it;
        if (!pluginSpec->m_plugin || pluginSpec->m_state != PluginSpec::Running)
            continue;
        if (pluginSpec->m_plugin->aboutToShutdown() == IPlugin::AsynchronousShutdown)
            pending.append(pluginSpec->m_plugin);
        pluginSpec->m_state = PluginSpec::Stopped;
    }

    if (!pending.isEmpty()) {
        QEventLoop loop;
        for (IPlugin *plugin : std::as_const(pending)) {
            connect(plugin, &IPlugin::asynchronousShutdownFinished, &loop, [&, plugin] {
                pending.removeAll(plugin);
                if (pending.isEmpty())
                    loop.quit();
            });
        }
        QTimer::singleShot(asynchronousShutdownTimeoutMs, &loop, [&] {
            qWarning("PluginManager: asynchronous shutdown of %d plugin(s) timed out",
                     int(pending.size()));
            loop.quit();
        });
        loop.exec();
    }

    for (auto it = m_loadOrder.crbegin(); it != m_loadOrder.crend(); ++it) {
        PluginSpec *pluginSpec = *it;
        if (!pluginSpec->m_plugin)
            continue;
        delete pluginSpec->m_plugin;
        pluginSpec->m_plugin = nullptr;
        pluginSpec->m_state = PluginSpec::Deleted;
    }
    reportLeftoverObjects();
    if (m_settings)
        m_settings->sync();
}

void PluginManager::setError(PluginSpec *pluginSpec, const QString &reason)
{
    const QString label = pluginSpec->m_id.isEmpty() ? pluginSpec->m_name : pluginSpec->m_id;
    pluginSpec->m_errorString
        = tr("Plugin \"%1\" (%2) is not loaded: %3").arg(label, pluginSpec->m_filePath, reason);
    qWarning("%s", qPrintable(pluginSpec->m_errorString));
}

void PluginManager::printProfile(PluginSpec *pluginSpec, const char *phase, double ms) const
{
    if (!m_profiling)
        return;
    qInfo("Profiling: %-24s %-22s %10.3f ms", qPrintable(pluginSpec->m_id), phase, ms);
}

} // namespace ExtensionSystem
