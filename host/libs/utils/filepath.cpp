// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "filepath.h"

#include <QDir>
#include <QFileInfo>

namespace Utils {

FilePath FilePath::fromString(const QString &filePath)
{
    FilePath result;
    result.m_path = QDir::fromNativeSeparators(filePath);
    return result;
}

FilePath FilePath::fromUserInput(const QString &filePath)
{
    QString path = QDir::fromNativeSeparators(filePath.trimmed());
    if (path == "~")
        path = QDir::homePath();
    else if (path.startsWith("~/"))
        path = QDir::homePath() + path.mid(1);
    return fromString(path.isEmpty() ? path : QDir::cleanPath(path));
}

QString FilePath::toFSPathString() const
{
    return m_path;
}

QString FilePath::toUserOutput() const
{
    return QDir::toNativeSeparators(m_path);
}

QString FilePath::fileName() const
{
    return m_path.mid(m_path.lastIndexOf('/') + 1);
}

bool FilePath::exists() const
{
    return !m_path.isEmpty() && QFileInfo::exists(m_path);
}

bool FilePath::isDir() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).isDir();
}

FilePath FilePath::pathAppended(const QString &str) const
{
    if (str.isEmpty())
        return *this;
    if (m_path.isEmpty())
        return fromString(str);
    QString other = QDir::fromNativeSeparators(str);
    while (other.startsWith('/'))
        other.remove(0, 1);
    return fromString(m_path.endsWith('/') ? m_path + other : m_path + '/' + other);
}

} // namespace Utils
