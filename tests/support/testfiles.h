// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

// Small file helpers shared by the tests: what a folder holds, what a file says, writing
// files and images, and the values of an example's manifest.

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

namespace TestFiles {

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

} // namespace TestFiles
