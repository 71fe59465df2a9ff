// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archivefolder.h"

#include "logging.h"
#include "settings.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brindle::Internal {

namespace {

const char FOLDER_PREFIX[] = "brindle-archives-";

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Makes a new folder and locks it. The lock is taken on the folder itself, so there is no
// lock file to be replaced or linked elsewhere. A sweep may take a folder that was made but
// not yet locked: it is empty then, and it is made anew.
// A folder of this IDE's, and the open folder that holds its lock.
struct LockedFolder
{
    QString path;
    int fd = -1;
};

// Makes a new folder and locks it. The lock is taken on the folder itself, so there is no
// lock file to be replaced or linked elsewhere. A sweep may take a folder that was made but
// not yet locked: it is empty then, and it is made anew.
LockedFolder makeLockedFolder(const QString &temp)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        QByteArray name = QFile::encodeName(temp + u'/' + QLatin1String(FOLDER_PREFIX))
                          + "XXXXXX";
        if (!::mkdtemp(name.data())) {
            qCDebug(Log::service) << "Unable to make the archive folder:" << std::strerror(errno);
            return {};
        }
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened;
        struct stat named;
        // Waits for a sweep that took it meanwhile; the folder is gone afterwards.
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0
            && ::lstat(name.constData(), &named) == 0 && isSameFile(opened, named)) {
            return {QFile::decodeName(name), fd};
        }
        ::close(fd);
    }
    return {};
}

void removeEmptyFolders(QHash<QString, LockedFolder> &folders)
{
    for (auto it = folders.begin(); it != folders.end();) {
        if (::rmdir(QFile::encodeName(it->path).constData()) != 0) {
            ++it;
            continue;
        }
        ::close(it->fd);
        it = folders.erase(it);
    }
}

// This IDE's folders, by the temporary folder they are in. An IDE that ends cleanly leaves
// none behind: the records, which hold the last archives, are gone by the time the process
// ends.
struct Folders
{
    QMutex mutex;
    QHash<QString, LockedFolder> byTemp;
    ~Folders() { removeEmptyFolders(byTemp); }
};
Folders folders;

// Removes the archives in the open folder 'dir' and then the folder 'name' of 'parent'.
// Anything else in it keeps the folder.
void removeArchivesAndFolder(int parent, const char *name, int dir)
{
    const int listed = ::dup(dir);
    DIR *stream = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!stream) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(stream)) {
        const QString fileName = QFile::decodeName(entry->d_name);
        if (!isTemporaryArchiveName(fileName))
            continue;
        struct stat info;
        if (::fstatat(dir, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && !S_ISDIR(info.st_mode)) {
            qCDebug(Log::service) << "Removing leftover archive:" << fileName;
            ::unlinkat(dir, entry->d_name, 0);
        }
    }
    ::closedir(stream);
    if (::unlinkat(parent, name, AT_REMOVEDIR) != 0)
        qCDebug(Log::service) << "Leftover archive folder kept:" << name << std::strerror(errno);
}

} // namespace

QString ArchiveFolder::path()
{
    // One for each temporary folder the IDE is given while it runs; each stays locked.
    const QString temp = QDir::tempPath();
    QMutexLocker locker(&folders.mutex);
    if (const auto it = folders.byTemp.constFind(temp); it != folders.byTemp.cend())
        return it->path;
    const LockedFolder made = makeLockedFolder(temp);
    if (made.path.isEmpty()) {
        // Not remembered: the next archive tries again.
        qCDebug(Log::service) << "No archive folder of its own; archives go to" << temp;
        return temp;
    }
    qCDebug(Log::service) << "Archive folder:" << made.path;
    folders.byTemp.insert(temp, made);
    return made.path;
}

void ArchiveFolder::removeIfEmpty()
{
    QMutexLocker locker(&folders.mutex);
    removeEmptyFolders(folders.byTemp);
}

bool ArchiveFolder::isFolderName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^%1[A-Za-z0-9]{6}$").arg(QLatin1String(FOLDER_PREFIX)));
    return pattern.match(fileName).hasMatch();
}

void ArchiveFolder::sweep()
{
    const QByteArray temp = QFile::encodeName(QDir::tempPath());
    const int parent = ::open(temp.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    DIR *stream = ::fdopendir(::dup(parent));
    if (!stream) {
        ::close(parent);
        return;
    }
    while (const dirent *entry = ::readdir(stream)) {
        if (!isFolderName(QFile::decodeName(entry->d_name)))
            continue;
        struct stat named;
        if (::fstatat(parent, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISDIR(named.st_mode) || named.st_uid != ::getuid()) {
            continue;
        }
        const int dir = ::openat(parent,
                                 entry->d_name,
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir < 0)
            continue;
        struct stat opened;
        // A folder whose lock is held belongs to an IDE at work, this one's included.
        if (::flock(dir, LOCK_EX | LOCK_NB) == 0 && ::fstat(dir, &opened) == 0
            && isSameFile(opened, named)) {
            removeArchivesAndFolder(parent, entry->d_name, dir);
        }
        ::close(dir);
    }
    ::closedir(stream);
    ::close(parent);
}

} // namespace Brindle::Internal
