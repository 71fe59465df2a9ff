// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QMetaType>
#include <QString>

namespace Utils {

// An interned name: copies and comparisons cost an integer.
class QTCREATOR_UTILS_EXPORT Id
{
public:
    Id() = default;
    Id(const char *name);

    static Id fromString(const QString &name);
    static Id fromName(const QByteArray &name);

    QByteArray name() const;
    QString toString() const;
    bool isValid() const { return m_id != 0; }

    friend bool operator==(Id a, Id b) { return a.m_id == b.m_id; }
    friend bool operator!=(Id a, Id b) { return a.m_id != b.m_id; }
    friend bool operator<(Id a, Id b) { return a.m_id < b.m_id; }
    friend size_t qHash(Id id, size_t seed = 0) { return qHash(id.m_id, seed); }

private:
    explicit Id(quintptr uid)
        : m_id(uid)
    {}

    quintptr m_id = 0;
};

} // namespace Utils

Q_DECLARE_METATYPE(Utils::Id)
