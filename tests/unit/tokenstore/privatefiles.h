// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QDirIterator>
#include <QFile>
#include <QStringList>

// The regular files of the test's private home, XDG, temporary and settings folders that
// contain one of the texts.
inline QStringList privateFilesContaining(const QStringList &texts)
{
    QStringList found;
    const char *roots[] = {"HOME",
                           "XDG_DATA_HOME",
                           "XDG_CONFIG_HOME",
                           "XDG_CACHE_HOME",
                           "XDG_RUNTIME_DIR",
                           "TMPDIR",
                           "BRINDLE_HOST_SETTINGS_PATH"};
    for (const char *root : roots) {
        QDirIterator it(qEnvironmentVariable(root),
                        QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray content = file.readAll();
            for (const QString &text : texts) {
                if (content.contains(text.toUtf8()))
                    found.append(file.fileName() + ": " + text);
            }
        }
    }
    return found;
}
