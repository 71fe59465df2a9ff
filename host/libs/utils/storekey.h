// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QString>

namespace Utils {

// Settings keys. There is deliberately no constructor from a runtime 'const char *' so that
// callers cannot silently build keys from unterminated or temporary buffers.
class QTCREATOR_UTILS_EXPORT Key
{
public:
    Key() = default;
    Key(const QByteArray &key)
        : m_data(key)
    {}
    template<int N>
    Key(const char (&key)[N])
        : m_data(key, qstrnlen(key, N))
    {}
    Key(const char *key, size_t n)
        : m_data(key, qsizetype(n))
    {}

    const QByteArray &toByteArray() const { return m_data; }
    QByteArrayView view() const { return m_data; }
    bool isEmpty() const { return m_data.isEmpty(); }

    friend bool operator==(const Key &a, const Key &b) { return a.m_data == b.m_data; }
    friend bool operator!=(const Key &a, const Key &b) { return a.m_data != b.m_data; }
    friend bool operator<(const Key &a, const Key &b) { return a.m_data < b.m_data; }
    friend Key operator+(const Key &a, const Key &b) { return Key(a.m_data + b.m_data); }
    friend size_t qHash(const Key &key, size_t seed = 0) { return qHash(key.m_data, seed); }

private:
    QByteArray m_data;
};

QTCREATOR_UTILS_EXPORT Key keyFromString(const QString &str);
QTCREATOR_UTILS_EXPORT QString stringFromKey(const Key &key);

} // namespace Utils
