// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "id.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QMutexLocker>

namespace Utils {

namespace {

// Ids are made from any thread (e.g. while plugins load), so the table is locked.
struct IdRegistry
{
    QMutex mutex;
    QHash<QByteArray, quintptr> idFromName;
    QList<QByteArray> nameFromId{QByteArray()}; // 0 is the invalid id
};

IdRegistry &registry()
{
    static IdRegistry theRegistry;
    return theRegistry;
}

quintptr intern(const QByteArray &name)
{
    if (name.isEmpty())
        return 0;
    IdRegistry &r = registry();
    QMutexLocker locker(&r.mutex);
    const auto it = r.idFromName.constFind(name);
    if (it != r.idFromName.constEnd())
        return it.value();
    const quintptr uid = quintptr(r.nameFromId.size());
    r.nameFromId.append(name);
    r.idFromName.insert(name, uid);
    return uid;
}

} // namespace

Id::Id(const char *name)
    : m_id(name ? intern(QByteArray(name)) : 0)
{}

Id Id::fromString(const QString &name)
{
    return Id(intern(name.toUtf8()));
}

Id Id::fromName(const QByteArray &name)
{
    return Id(intern(name));
}

QByteArray Id::name() const
{
    IdRegistry &r = registry();
    QMutexLocker locker(&r.mutex);
    return r.nameFromId.value(qsizetype(m_id));
}

QString Id::toString() const
{
    return QString::fromUtf8(name());
}

} // namespace Utils
