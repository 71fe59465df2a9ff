// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "queryparameters.h"

#include <QUrl>

#include <algorithm>

namespace GitLab::Internal {

namespace {

QString formDecode(QByteArray text)
{
    text.replace('+', ' ');
    return QUrl::fromPercentEncoding(text);
}

QByteArray formEncode(const QString &text)
{
    return QUrl::toPercentEncoding(text, " *", "~").replace(' ', '+');
}

} // namespace

QueryParameters::QueryParameters(const QByteArray &rawQuery)
{
    for (const QByteArray &item : rawQuery.split('&')) {
        if (item.isEmpty())
            continue;
        const qsizetype eq = item.indexOf('=');
        const QString key = formDecode(eq < 0 ? item : item.left(eq));
        const QString value = eq < 0 ? QString() : formDecode(item.mid(eq + 1));
        if (!key.isEmpty())
            m_items.append({key, value});
    }
}

bool QueryParameters::contains(const QString &key) const
{
    return std::any_of(
        m_items.cbegin(), m_items.cend(), [&key](const auto &item) { return item.first == key; });
}

QString QueryParameters::value(const QString &key) const
{
    for (auto it = m_items.crbegin(); it != m_items.crend(); ++it) {
        if (it->first == key)
            return it->second;
    }
    return {};
}

QStringList QueryParameters::values(const QString &key) const
{
    QStringList result;
    for (const auto &[k, v] : m_items) {
        if (k == key || k == key + "[]")
            result.append(v);
    }
    return result;
}

int QueryParameters::integer(const QString &key, int defaultValue, QStringList *errors) const
{
    const QString text = value(key).trimmed();
    if (text.isEmpty())
        return defaultValue;
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok) {
        errors->append(key + " is invalid");
        return defaultValue;
    }
    return number;
}

bool QueryParameters::boolean(const QString &key, bool defaultValue, QStringList *errors) const
{
    const QString text = value(key).trimmed().toLower();
    if (text.isEmpty())
        return defaultValue;
    static const QStringList truthy{"1", "on", "t", "true", "y", "yes"};
    static const QStringList falsy{"0", "off", "f", "false", "n", "no"};
    if (truthy.contains(text))
        return true;
    if (falsy.contains(text))
        return false;
    errors->append(key + " is invalid");
    return defaultValue;
}

QString QueryParameters::choice(const QString &key,
                                const QStringList &allowed,
                                const QString &defaultValue,
                                QStringList *errors) const
{
    if (!contains(key))
        return defaultValue;
    const QString text = value(key);
    if (!allowed.contains(text)) {
        errors->append(key + " does not have a valid value");
        return defaultValue;
    }
    return text;
}

QByteArray QueryParameters::toQuery(const QList<QPair<QString, QString>> &replacements) const
{
    QList<QPair<QString, QString>> items;
    for (const auto &item : m_items) {
        const bool replaced = std::any_of(replacements.cbegin(),
                                          replacements.cend(),
                                          [&item](const auto &r) { return r.first == item.first; });
        if (!replaced)
            items.append(item);
    }
    items.append(replacements);
    std::stable_sort(
        items.begin(), items.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QByteArray> parts;
    for (const auto &[key, value] : items)
        parts.append(formEncode(key) + '=' + formEncode(value));
    return parts.join('&');
}

} // namespace GitLab::Internal
