// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "storekey.h"

namespace Utils {

Key keyFromString(const QString &str)
{
    return Key(str.toUtf8());
}

QString stringFromKey(const Key &key)
{
    return QString::fromUtf8(key.toByteArray());
}

} // namespace Utils
