// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "pluginspec.h"

#include <QRegularExpression>

namespace ExtensionSystem {

namespace {

const QRegularExpression &versionPattern()
{
    static const QRegularExpression pattern("^([0-9]+)(\\.[0-9]+){0,3}$");
    return pattern;
}

} // namespace

PluginSpec::~PluginSpec() = default;

bool PluginSpec::provides(const QString &id, const QString &version) const
{
    if (id.compare(m_id, Qt::CaseInsensitive) != 0)
        return false;
    return versionCompare(m_compatVersion, version) <= 0 && versionCompare(version, m_version) <= 0;
}

bool PluginSpec::isValidVersion(const QString &version)
{
    return versionPattern().match(version).hasMatch();
}

int PluginSpec::versionCompare(const QString &version1, const QString &version2)
{
    const QStringList parts1 = version1.split('.');
    const QStringList parts2 = version2.split('.');
    const qsizetype count = qMax(parts1.size(), parts2.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qlonglong number1 = parts1.value(i).toLongLong();
        const qlonglong number2 = parts2.value(i).toLongLong();
        if (number1 != number2)
            return number1 < number2 ? -1 : 1;
    }
    return 0;
}

} // namespace ExtensionSystem
