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
    if (file.readLine(64) != RECORD_HEADER)
        return std::nullopt;
    InstalledFiles files;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        // <type> <size> <modified> <path, percent-encoded>
        if (!line.endsWith('\n'))
            return std::nullopt;
        const QList<QByteArray> fields = line.chopped(1).split(' ');
        bool sizeOk = false;
        bool modifiedOk = false;
        Entry entry;
        if (fields.size() != 4 || fields.at(0).size() != 1 || fields.at(3).isEmpty())
            return std::nullopt;
        entry.type = fields.at(0).at(0);
        entry.size = fields.at(1).toLongLong(&sizeOk);
        entry.modified = fields.at(2).toLongLong(&modifiedOk);
        if (!sizeOk || !modifiedOk || std::strchr("dflo", entry.type) == nullptr || entry.type == 0)
            return std::nullopt;
        files.entries.insert(QByteArray::fromPercentEncoding(fields.at(3)), entry);
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
