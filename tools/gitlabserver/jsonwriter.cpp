// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "jsonwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace GitLab::Internal {

QByteArray jsonValue(const QJsonValue &value)
{
    QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    json = json.mid(1, json.size() - 2);
    if (value.isString()) {
        json.replace("<", "\\u003c")
            .replace(">", "\\u003e")
            .replace("&", "\\u0026")
            .replace("\xe2\x80\xa8", "\\u2028")
            .replace("\xe2\x80\xa9", "\\u2029");
    }
    return json;
}

QByteArray jsonArray(const QList<QByteArray> &elements)
{
    return '[' + elements.join(',') + ']';
}

QByteArray jsonStringArray(const QStringList &strings)
{
    QList<QByteArray> elements;
    for (const QString &s : strings)
        elements.append(jsonValue(s));
    return jsonArray(elements);
}

JsonObjectWriter &JsonObjectWriter::add(const char *key, const QJsonValue &value)
{
    return addRaw(key, jsonValue(value));
}

JsonObjectWriter &JsonObjectWriter::addRaw(const char *key, const QByteArray &json)
{
    if (!m_members.isEmpty())
        m_members += ',';
    m_members += jsonValue(QString::fromUtf8(key)) + ':' + json;
    return *this;
}

QByteArray JsonObjectWriter::toJson() const
{
    return '{' + m_members + '}';
}

} // namespace GitLab::Internal
