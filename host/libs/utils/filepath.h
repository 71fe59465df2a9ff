// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include <QMetaType>
#include <QString>

namespace Utils {

// A local file path, always kept with '/' separators.
class QTCREATOR_UTILS_EXPORT FilePath
{
public:
    FilePath() = default;

    static FilePath fromString(const QString &filePath);
    static FilePath fromUserInput(const QString &filePath);

    QString toFSPathString() const;
    QString toUserOutput() const;
    QString path() const { return m_path; }
    QString fileName() const;
    bool isEmpty() const { return m_path.isEmpty(); }

    bool exists() const;
    bool isDir() const;

    FilePath pathAppended(const QString &str) const;

    friend bool operator==(const FilePath &a, const FilePath &b) { return a.m_path == b.m_path; }
    friend bool operator!=(const FilePath &a, const FilePath &b) { return a.m_path != b.m_path; }

private:
    QString m_path;
};

} // namespace Utils

Q_DECLARE_METATYPE(Utils::FilePath)
