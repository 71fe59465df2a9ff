// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "constants.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace Utils { class QtcSettings; }

namespace Brindle::Internal {

// The plugin's persisted configuration, a plain value. Every holder (the download service,
// each options page widget, the start-up refresh) loads its own copy.
class Settings
{
public:
    class RepositoryInfo
    {
    public:
        QUrl url;
        QSet<QString> removedExamples;
    };

    QHash<QString, QDate> lastCheckedDates;
    quint32 updatesCheckTimeoutDays = 1;
    quint32 serviceRestartTimeoutSeconds = 60;
    QHash<QString, RepositoryInfo> repositories;

    void load(Utils::QtcSettings *settings);
    void save(Utils::QtcSettings *settings) const;

    // Writes only the check date of one repository, merged with the stored dates, so that
    // a holder never overwrites what another one stored meanwhile.
    static void saveCheckedDate(Utils::QtcSettings *settings, const QString &name, const QDate &date);
    // Writes only what the options page owns: the removed-examples set of every repository
    // of this copy that is still stored (merged into the stored table) and, when the user
    // changed it, the update interval.
    void saveUserChoices(Utils::QtcSettings *settings, bool intervalChanged = true) const;

    QString findName(const QUrl &url) const;

    // The largest example archive the plugin downloads, in bytes: "MaxArchiveMegabytes",
    // or 256 MiB. Read from the store on every call, so that a changed value applies to the
    // next download.
    static qint64 maxArchiveBytes(Utils::QtcSettings *settings);
    // The most that unpacking one archive may write, in bytes: "MaxUnpackedMegabytes", or
    // four times the archive limit (1 GiB).
    static qint64 maxUnpackedBytes(Utils::QtcSettings *settings);

    // The free space an installation leaves at least on a file system of that size: 1 GiB,
    // or 5% of a file system smaller than 20 GiB. A full disk breaks the IDE, the user's
    // builds and other programs, not only the example.
    static qint64 minimumFreeDiskBytes(qint64 fileSystemBytes);
    // False, with the reason in why, when writing bytesToWrite below path would leave less
    // free space than that floor. True when the free space cannot be told.
    static bool leavesEnoughFreeSpace(const QString &path, qint64 bytesToWrite, QString *why);

    // The update interval in days as it is stored now; 0: automatic updates are off.
    static quint32 storedUpdatesInterval(Utils::QtcSettings *settings);

    static QString location();
    // The directory of one repository's examples. Every path below the data location is
    // built through it, so that the page and the service always mean the same folder.
    static QString repositoryPath(const QString &name);
    // The plugin's own folder for this release, where no IDE looks for examples:
    // <generic data location>/brindle/<release>. It holds what each installation put into an
    // example's folder, and the copies of examples the user had changed when an update
    // replaced them.
    static QString ownDataPath();
    static QString installedRecordPath(const QString &repository, const QString &example);
    static QString keptChangesPath(const QString &repository);
    static void updateInstalledExamplesValue(Utils::QtcSettings *settings);
};

QStringList toStringList(const QHash<QString, Settings::RepositoryInfo> &repositories);
QHash<QString, Settings::RepositoryInfo> fromStringList(const QStringList &list);
QStringList lastUpdateTimeToStringList(const QHash<QString, QDate> &dates);
QHash<QString, QDate> lastCheckedDateFromStringList(const QStringList &list);

// True when name can be used as exactly one directory name below a parent directory:
// not empty, not "." or "..", no "/" or "\", no NUL or other control characters.
bool isSafePathComponent(const QString &name);
// True when name can be an example's folder: a safe path component that is not hidden.
// Hidden folders are never examples; the installation keeps its work folders hidden.
bool isSafeExampleName(const QString &name);

// The QTemporaryFile template of an example's archive while it is downloaded and unpacked:
// "brindle-<project id>-XXXXXX.tar.gz" in this IDE's archive folder (ArchiveFolder), or ".tar"
// for the tar stream a download's check inflated. The id, unlike the project's path, always
// fits in a file name.
QString temporaryArchiveTemplate(qint64 projectId,
                                 const char *extension = Constants::ARCHIVE_EXTENSION);
// True also for the form earlier versions used, "brindle-<name>-XXXXXX.tar.gz". Only ever asked
// of files inside an archive folder: in the temporary folder such names belong to anyone.
bool isTemporaryArchiveName(const QString &fileName);

} // namespace Brindle::Internal
