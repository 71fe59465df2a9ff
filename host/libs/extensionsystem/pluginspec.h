// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "extensionsystem_global.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace ExtensionSystem {

class IPlugin;
class PluginManager;

struct EXTENSIONSYSTEM_EXPORT PluginDependency
{
    enum Type { Required, Optional, Test };

    QString id;
    QString version;
    Type type = Required;
};

// Wall-clock times of one plugin's start-up phases, in milliseconds.
struct EXTENSIONSYSTEM_EXPORT PluginProfile
{
    double loadMs = 0;
    double initializeMs = 0;
    double extensionsInitializedMs = 0;
    double delayedInitializeMs = 0;
};

class EXTENSIONSYSTEM_EXPORT PluginSpec final
{
    Q_DECLARE_TR_FUNCTIONS(ExtensionSystem::PluginSpec)

public:
    enum State { Invalid, Read, Resolved, Loaded, Initialized, Running, Stopped, Deleted };

    ~PluginSpec();

    QString id() const { return m_id; }
    QString name() const { return m_name; }
    QString version() const { return m_version; }
    QString compatVersion() const { return m_compatVersion; }
    QString vendor() const { return m_vendor; }
    QString vendorId() const { return m_vendorId; }
    QString description() const { return m_description; }
    QString filePath() const { return m_filePath; }
    QJsonObject metaData() const { return m_metaData; }
    QList<PluginDependency> dependencies() const { return m_dependencies; }

    State state() const { return m_state; }
    bool hasError() const { return !m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }
    IPlugin *plugin() const { return m_plugin; }
    PluginProfile profile() const { return m_profile; }

    // True when this plugin satisfies a dependency on (id, version):
    // compatVersion <= version <= this version.
    bool provides(const QString &id, const QString &version) const;

    // Compares dotted versions numerically ("1.10" > "1.9", "16.0" == "16.0.0").
    // Returns <0, 0 or >0.
    static int versionCompare(const QString &version1, const QString &version2);
    static bool isValidVersion(const QString &version);

private:
    friend class PluginManager;
    PluginSpec() = default;

    QString m_id;
    QString m_name;
    QString m_version;
    QString m_compatVersion;
    QString m_vendor;
    QString m_vendorId;
    QString m_description;
    QString m_filePath;
    QJsonObject m_metaData;
    QList<PluginDependency> m_dependencies;
    State m_state = Invalid;
    QString m_errorString;
    IPlugin *m_plugin = nullptr;
    PluginProfile m_profile;
};

} // namespace ExtensionSystem
