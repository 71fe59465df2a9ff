// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include "storekey.h"

#include <QSettings>
#include <QVariant>

namespace Utils {

// Private inheritance keeps callers from handing the store around as a plain QSettings,
// which is what keeps plugin code portable across IDE versions.
class QTCREATOR_UTILS_EXPORT QtcSettings : private QSettings
{
public:
    using QSettings::QSettings;

    using QSettings::allKeys;
    using QSettings::childGroups;
    using QSettings::clear;
    using QSettings::endGroup;
    using QSettings::fileName;
    using QSettings::group;
    using QSettings::setParent;
    using QSettings::status;
    using QSettings::sync;

    void beginGroup(const Key &prefix);

    QVariant value(const Key &key) const;
    QVariant value(const Key &key, const QVariant &def) const;
    void setValue(const Key &key, const QVariant &value);
    void remove(const Key &key);
    bool contains(const Key &key) const;
};

} // namespace Utils
