// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>

namespace GitLab::Internal {

// Compact JSON with members in insertion order, escaped the way Rails escapes API output
// (<, >, & and the Unicode line separators as \uXXXX). QJsonObject would sort the keys.
class JsonObjectWriter final
{
public:
    JsonObjectWriter &add(const char *key, const QJsonValue &value);
    JsonObjectWriter &addRaw(const char *key, const QByteArray &json);
    QByteArray toJson() const;

private:
    QByteArray m_members;
};

QByteArray jsonValue(const QJsonValue &value);
QByteArray jsonArray(const QList<QByteArray> &elements);
QByteArray jsonStringArray(const QStringList &strings);

} // namespace GitLab::Internal
