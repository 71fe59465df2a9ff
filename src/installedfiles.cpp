// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "installedfiles.h"

#include "constants.h"
#include "logging.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brindle::Internal {

namespace {

const char RECORD_HEADER[] = "brindle-installed-files 1\n";
// Deeper than any project, and far from the open files a walk may hold.
const int MAX_DEPTH = 256;
// A user's build folders included; beyond this the folder counts as changed.
const qsizetype MAX_ENTRIES = 2'000'000;
// A record of the largest walk, with long paths.
const qint64 MAX_RECORD_BYTES = 512 * 1024 * 1024;
qint64 modifiedOf(const struct stat &info)
{
    return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

char typeOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return 'd';
    if (S_ISREG(mode))
        return 'f';
    if (S_ISLNK(mode))
        return 'l';
    return 'o';
}

QString displayPath(const QByteArray &path, bool folder)
{
    return QFile::decodeName(path) + (folder ? QStringLiteral("/") : QString());
}

} // namespace

QStringList InstalledFiles::everythingIn(const QString &dir)
{
    QStringList names;
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden
                                                          | QDir::System | QDir::NoDotAndDotDot,
                                                          QDir::Name);
    for (const QFileInfo &entry : entries)
        names.append(entry.fileName() + (entry.isDir() && !entry.isSymLink() ? "/" : ""));
    return names;
}

bool InstalledFiles::scanAt(int dirFd, const QByteArray &prefix, int depth, InstalledFiles &files)
{
    DIR *stream = ::fdopendir(dirFd);
    if (!stream) {
        ::close(dirFd);
        return false;
    }
    bool complete = depth < MAX_DEPTH;
    while (complete) {
        const dirent *child = ::readdir(stream);
        if (!child)
            break;
        if (std::strcmp(child->d_name, ".") == 0 || std::strcmp(child->d_name, "..") == 0)
            continue;
        struct stat info;
        if (::fstatat(::dirfd(stream), child->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            complete = false;
            break;
        }
        const QByteArray path = prefix + child->d_name;
        Entry entry;
        entry.type = typeOf(info.st_mode);
        if (entry.type != 'd') {
            entry.size = info.st_size;
            entry.modified = modifiedOf(info);
        }
        files.entries.insert(path, entry);
        if (files.entries.size() > MAX_ENTRIES) {
            complete = false;
            break;
        }
        if (entry.type == 'd') {
            const int sub = ::openat(::dirfd(stream),
                                     child->d_name,
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            complete = sub >= 0 && scanAt(sub, path + '/', depth + 1, files);
        }
    }
    ::closedir(stream);
    return complete;
}

std::optional<InstalledFiles> InstalledFiles::scan(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    InstalledFiles files;
    if (!scanAt(fd, {}, 0, files)) {
        qCDebug(Log::service) << "Unable to walk:" << dir;
        return std::nullopt;
    }
    return files;
}

std::optional<InstalledFiles> InstalledFiles::read(const QString &recordPath)
{
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MAX_RECORD_BYTES)
        return std::nullopt;
    const QByteArray text = file.read(MAX_RECORD_BYTES + 1);
    if (text.size() > MAX_RECORD_BYTES || !text.startsWith(RECORD_HEADER))
        return std::nullopt;
    InstalledFiles files;
    files.entries.reserve(text.count('\n'));
    // <type> <size> <modified> <path, percent-encoded>, one line each
    for (qsizetype start = qstrlen(RECORD_HEADER); start < text.size();) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            return std::nullopt;
        const QByteArrayView line = QByteArrayView(text).sliced(start, end - start);
        start = end + 1;
        const qsizetype sizeEnd = line.indexOf(' ', 2);
        const qsizetype modifiedEnd = sizeEnd < 0 ? -1 : line.indexOf(' ', sizeEnd + 1);
        if (line.size() < 2 || line.at(1) != ' ' || modifiedEnd < 0
            || modifiedEnd + 1 >= line.size() || line.indexOf(' ', modifiedEnd + 1) >= 0) {
            return std::nullopt;
        }
        Entry entry;
        entry.type = line.at(0);
        bool sizeOk = false;
        bool modifiedOk = false;
        entry.size = line.sliced(2, sizeEnd - 2).toLongLong(&sizeOk);
        entry.modified = line.sliced(sizeEnd + 1, modifiedEnd - sizeEnd - 1).toLongLong(&modifiedOk);
        if (!sizeOk || !modifiedOk || entry.type == 0 || std::strchr("dflo", entry.type) == nullptr)
            return std::nullopt;
        const QByteArrayView path = line.sliced(modifiedEnd + 1);
        files.entries.insert(path.contains('%') ? QByteArray::fromPercentEncoding(path.toByteArray())
                                                : path.toByteArray(),
                             entry);
    }
    return files;
}

bool InstalledFiles::write(const QString &recordPath) const
{
    QDir().mkpath(QFileInfo(recordPath).absolutePath());
    QSaveFile file(recordPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = RECORD_HEADER;
    text.reserve(entries.size() * 64);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        text += it->type;
        text += ' ' + QByteArray::number(it->size) + ' ' + QByteArray::number(it->modified) + ' '
                + it.key().toPercentEncoding("/") + '\n';
    }
    file.write(text);
    return file.commit();
}

QStringList InstalledFiles::changesIn(const InstalledFiles &current, bool addedOnly) const
{
    // Below a folder that is new, or gone, as a whole, everything else is too.
    const auto parentAlso = [](const QByteArray &path, const auto &isNew) {
        for (qsizetype slash = path.lastIndexOf('/'); slash > 0;
             slash = path.lastIndexOf('/', slash - 1)) {
            if (isNew(path.left(slash)))
                return true;
        }
        return false;
    };
    const auto added = [&](const QByteArray &path) {
        return current.entries.contains(path) && !entries.contains(path);
    };
    const auto removed = [&](const QByteArray &path) {
        return entries.contains(path) && !current.entries.contains(path);
    };

    QStringList changes;
    for (auto it = current.entries.cbegin(); it != current.entries.cend(); ++it) {
        const auto recorded = entries.constFind(it.key());
        if (recorded == entries.cend()) {
            if (!parentAlso(it.key(), added))
                changes.append(displayPath(it.key(), it->type == 'd'));
        } else if (!addedOnly && *recorded != *it) {
            changes.append(displayPath(it.key(), it->type == 'd'));
        }
    }
    for (auto it = entries.cbegin(); it != entries.cend() && !addedOnly; ++it) {
        if (!current.entries.contains(it.key()) && !parentAlso(it.key(), removed))
            changes.append(displayPath(it.key(), it->type == 'd'));
    }
    changes.sort();
    return changes;
}

std::optional<QStringList> InstalledFiles::localChanges(const QString &dir,
                                                       const QString &recordPath)
{
    const std::optional<InstalledFiles> recorded = read(recordPath);
    if (!recorded)
        return std::nullopt;
    // Each installation writes the manifest anew: a record whose manifest is not the one in
    // the folder was made for a folder that has gone since, not for this one.
    const QByteArray manifest = Constants::MANIFEST_FILE;
    const auto installedManifest = recorded->entries.constFind(manifest);
    struct stat info;
    if (installedManifest == recorded->entries.cend()
        || ::lstat(QFile::encodeName(dir + u'/' + QLatin1String(manifest)).constData(), &info) != 0
        || installedManifest->type != typeOf(info.st_mode) || installedManifest->size != info.st_size
        || installedManifest->modified != modifiedOf(info)) {
        return std::nullopt;
    }
    const std::optional<InstalledFiles> current = scan(dir);
    if (!current)
        return everythingIn(dir);
    return recorded->changesIn(*current);
}

} // namespace Brindle::Internal
