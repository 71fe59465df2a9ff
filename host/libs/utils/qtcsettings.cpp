// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "qtcsettings.h"

namespace Utils {

void QtcSettings::beginGroup(const Key &prefix)
{
    QSettings::beginGroup(stringFromKey(prefix));
}

QVariant QtcSettings::value(const Key &key) const
{
    return QSettings::value(stringFromKey(key));
}

QVariant QtcSettings::value(const Key &key, const QVariant &def) const
{
    return QSettings::value(stringFromKey(key), def);
}

void QtcSettings::setValue(const Key &key, const QVariant &value)
{
    QSettings::setValue(stringFromKey(key), value);
}

void QtcSettings::remove(const Key &key)
{
    QSettings::remove(stringFromKey(key));
}

bool QtcSettings::contains(const Key &key) const
{
    return QSettings::contains(stringFromKey(key));
}

} // namespace Utils
