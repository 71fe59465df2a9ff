// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "installedexamples.h"

#include "constants.h"
#include "settings.h"

#include <QDir>
#include <QFileInfo>

namespace Brindle::Internal {

std::optional<InstalledExample> scanInstalledExample(const QString &repositoryFolder,
                                                     const QString &name)
{
    if (!isSafeExampleName(name))
        return std::nullopt;
    const QFileInfo folder(repositoryFolder + u'/' + name);
    if (!folder.isDir() || folder.isSymLink())
        return std::nullopt;
    const QFileInfo manifest(folder.filePath() + u'/' + QLatin1String(Constants::MANIFEST_FILE));
    if (!manifest.isFile() || !manifest.isReadable())
        return std::nullopt;
    return InstalledExample{folder.canonicalFilePath(), manifest.lastModified()};
}

InstalledExamples scanInstalledExamples(const QString &repositoryFolder)
{
    InstalledExamples found;
    const QStringList folders = QDir(repositoryFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : folders) {
        if (std::optional<InstalledExample> example = scanInstalledExample(repositoryFolder, name))
            found.insert(name, *example);
    }
    return found;
}

} // namespace Brindle::Internal
