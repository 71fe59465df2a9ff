// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "sdk.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

// Everything here must work before a QCoreApplication exists, so no applicationDirPath()
// and no QStandardPaths: the installation is found from this library's own location.

namespace Hovri::Sdk {

namespace {

const char defaultReleaseId[] = "palvexos-sdk-5.0";

QString libraryDirectory()
{
#ifdef Q_OS_UNIX
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&releaseInfo), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
#endif
    return {};
}

QString releaseFilePath()
{
    const QByteArray fromEnvironment = qgetenv("HOVRI_SDK_RELEASE_FILE");
    if (!fromEnvironment.isEmpty())
        return QFile::decodeName(fromEnvironment);
    const QString libDir = libraryDirectory();
    if (!libDir.isEmpty()) {
        const QString candidate = QDir::cleanPath(libDir + "/../share/hovri-sdk/release");
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QString::fromUtf8(HOVRI_SDK_INSTALLED_RELEASE_FILE);
}

} // namespace

std::tuple<QString, QString, QString, QString> releaseInfo()
{
    QStringList fields{"Palvex OS SDK", "5.0.0", defaultReleaseId, "unknown"};

    QFile file(releaseFilePath());
    if (file.open(QIODevice::ReadOnly)) {
        // A release record is a few short lines; anything bigger is not one.
        const QList<QByteArray> lines = file.read(4096).split('\n');
        for (int i = 0; i < fields.size() && i < lines.size(); ++i) {
            const QString value = QString::fromUtf8(lines.at(i)).trimmed();
            if (!value.isEmpty())
                fields[i] = value;
        }
    }
    // Callers use the release id as one directory name; a broken or tampered release file
    // must not make them write outside their own directory.
    const QString releaseId = fields.at(2);
    if (releaseId == "." || releaseId == ".." || releaseId.contains('/')
        || releaseId.contains('\\')) {
        qWarning("Hovri SDK: ignoring the release id \"%s\", it is not a directory name",
                 qPrintable(releaseId));
        fields[2] = defaultReleaseId;
    }
    return {fields.at(0), fields.at(1), fields.at(2), fields.at(3)};
}

QString osVariant(int style)
{
    switch (style) {
    case 1:
        return QStringLiteral("PalvexOS");
    case 2:
        return QStringLiteral("PALVEX OS");
    case 3:
        return QStringLiteral("palvexos");
    default:
        return QStringLiteral("Palvex OS");
    }
}

} // namespace Hovri::Sdk
