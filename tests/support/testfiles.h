// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

// Small file helpers shared by the tests: the run's private folder, what a folder holds, what a
// file says, writing files and images, and the values of an example's manifest.

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace TestFiles {

// The private folder of this run, which brindle_add_test makes, with a trailing slash. Without
// one, a text that no absolute path starts with, so that checks against it fail.
inline QString testRoot()
{
    const QString root = qEnvironmentVariable("BRINDLE_TEST_ROOT");
    return root.isEmpty() ? QString("<not run by ctest>") : root + '/';
}

inline QByteArray pngBytes(int width, int height)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImage(width, height, QImage::Format_RGB32).save(&buffer, "PNG");
    return bytes;
}

// What is in dir, or with Subdirectories below it, relative to it; links are not followed.
inline QStringList entriesOf(const QString &dir, QDirIterator::IteratorFlags flags = {})
{
    QStringList result;
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, flags);
    while (it.hasNext())
        result.append(QDir(dir).relativeFilePath(it.next()));
    result.sort();
    return result;
}

inline QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Removes dir and everything below it, read-only folders included.
inline bool removeAll(const QString &dir)
{
    QDirIterator it(dir, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return QDir(dir).removeRecursively();
}

// Writes the file and the folders above it; false when it could not.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Name, project path, image, description, tags and file to open of the manifest in the
// example folder 'dir'; empty unless it parses.
inline QStringList manifestValues(const QString &dir)
{
    QFile file(dir + "/examples-manifest.xml");
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        return {};
    const QDomElement element
        = document.documentElement().firstChildElement("examples").firstChildElement("example");
    QStringList values{
        element.attribute("name"), element.attribute("projectPath"), element.attribute("imageUrl")};
    for (const QString &child : {"description", "tags", "fileToOpen"})
        values.append(element.firstChildElement(child).text());
    return values;
}

// Tests run as root on CI, and root reads, writes and deletes through any permission. Drops
// that power for this process and every process it starts, so that a read-only folder
// behaves as it does for a user. True when the process runs without it.
inline bool dropPermissionOverride()
{
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[0].effective &= ~(1u << capability);
        data[0].permitted &= ~(1u << capability);
        data[0].inheritable &= ~(1u << capability);
    }
    if (syscall(SYS_capset, &header, data) != 0)
        return false;
    return !(data[0].effective & (1u << CAP_DAC_OVERRIDE));
}

} // namespace TestFiles
