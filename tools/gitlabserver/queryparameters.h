// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace GitLab::Internal {

// Query parameters decoded the way Rack does ('+' is a space, the last duplicate wins) and
// coerced the way Grape does, collecting Grape's error texts.
class QueryParameters final
{
public:
    explicit QueryParameters(const QByteArray &rawQuery);

    bool contains(const QString &key) const;
    QString value(const QString &key) const;
    QStringList values(const QString &key) const; // "key" and "key[]"

    int integer(const QString &key, int defaultValue, QStringList *errors) const;
    bool boolean(const QString &key, bool defaultValue, QStringList *errors) const;
    QString choice(const QString &key,
                   const QStringList &allowed,
                   const QString &defaultValue,
                   QStringList *errors) const;

    // All parameters with the given ones replaced, sorted by key and escaped like Ruby's
    // Hash#to_query, for pagination links.
    QByteArray toQuery(const QList<QPair<QString, QString>> &replacements) const;

private:
    QList<QPair<QString, QString>> m_items;
};

} // namespace GitLab::Internal
