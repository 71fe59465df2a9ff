// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"

#include "urlredaction.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QMutexLocker>
#include <QtEndian>

#include <utility>

namespace Brindle::Internal {

namespace {

const QSize PREVIEW_SIZE(128, 128);

// The PNG 'data' without its text chunks; anything else as it is. libpng inflates each zTXt or
// iTXt chunk whole, already when the header is read, and Qt keeps the texts with the image: a
// few KiB of such a chunk unpack to many MB, and a hundred of them to gigabytes. Qt has no
// switch that skips them, and a preview has no use for them.
QByteArray withoutPngTexts(const QByteArray &data)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!data.startsWith(signature))
        return data;
    QByteArray result = signature;
    result.reserve(data.size());
    qsizetype pos = signature.size();
    // Length, type, data, CRC; chunks are copied as they are, CRC included.
    while (data.size() - pos >= 12) {
        const qsizetype size = 12 + qsizetype(qFromBigEndian<quint32>(data.constData() + pos));
        if (size > data.size() - pos)
            break;
        const QByteArrayView type(data.constData() + pos + 4, 4);
        if (type != "tEXt" && type != "zTXt" && type != "iTXt")
            result.append(data.constData() + pos, size);
        pos += size;
    }
    // A chunk cut short stays, for the decoder to tell.
    result.append(data.constData() + pos, data.size() - pos);
    return result;
}

} // namespace

Example::Example(const QJsonObject &project)
    : QJsonObject(project)
{}

Example::~Example()
{
    removeArchiveFile();
}

qint64 Example::id() const
{
    return qint64(value(QLatin1String("id")).toDouble());
}

QString Example::name() const
{
    return value(QLatin1String("path")).toString();
}

QString Example::displayName() const
{
    // A title is one line of text wherever it is shown: the Welcome screen, a status line, a
    // terminal.
    return printableText(value(QLatin1String("name")).toString());
}

QString Example::description() const
{
    return value(QLatin1String("description")).toString();
}

QString Example::url() const
{
    return value(QLatin1String("web_url")).toString();
}

QString Example::imageUrl() const
{
    return value(QLatin1String("avatar_url")).toString();
}

QDateTime Example::lastActivity() const
{
    return QDateTime::fromString(value(QLatin1String("last_activity_at")).toString(), Qt::ISODate);
}

QStringList Example::tags() const
{
    QStringList result;
    const QJsonArray tagList = value(QLatin1String("tag_list")).toArray();
    for (const QJsonValue &tag : tagList)
        result.append(tag.toString());
    if (result.isEmpty())
        return {QStringLiteral("Qt"), QCoreApplication::translate("QObject", "example")};
    return result;
}

bool Example::isValid() const
{
    return value(QLatin1String("id")).toDouble() != 0.0
           && !value(QLatin1String("name")).toString().isEmpty()
           && !value(QLatin1String("web_url")).toString().isEmpty();
}

void Example::setData(const QByteArray &data)
{
    QMutexLocker locker(&m_dataMutex);
    m_data = data;
}

QByteArray Example::data() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_data;
}

void Example::clearData()
{
    QMutexLocker locker(&m_dataMutex);
    m_data = QByteArray();
}

void Example::setArchiveFile(const QString &path)
{
    QMutexLocker locker(&m_dataMutex);
    if (!m_archiveFile.isEmpty() && m_archiveFile != path)
        QFile::remove(m_archiveFile);
    m_archiveFile = path;
}

void Example::setArchiveCheck(const ArchiveCheck &check)
{
    QMutexLocker locker(&m_dataMutex);
    m_archiveCheck = check;
}

std::optional<ArchiveCheck> Example::archiveCheck() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_archiveCheck;
}

QString Example::archiveFile() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_archiveFile;
}

QString Example::takeArchiveFile()
{
    QMutexLocker locker(&m_dataMutex);
    return std::exchange(m_archiveFile, {});
}

void Example::removeArchiveFile()
{
    const QString path = takeArchiveFile();
    if (!path.isEmpty())
        QFile::remove(path);
}

void Example::setAvatarCheck(const AvatarCheck &check)
{
    QMutexLocker locker(&m_dataMutex);
    m_avatarCheck = check;
}

AvatarCheck Example::avatarCheck() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_avatarCheck;
}

void Example::setManifest(const ManifestContent &manifest)
{
    QMutexLocker locker(&m_dataMutex);
    m_manifest = manifest;
}

std::optional<ManifestContent> Example::manifest() const
{
    QMutexLocker locker(&m_dataMutex);
    return m_manifest;
}

void Example::setImage(const QByteArray &data)
{
    setPreview(previewImage(data));
}

void Example::setPreview(const QImage &image)
{
    QMutexLocker locker(&m_imageMutex);
    m_image = image;
}

QImage
Example::previewImage(const QByteArray &data, qint64 maxPixels, QString *problem, bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    QBuffer buffer;
    buffer.setData(withoutPngTexts(data));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Also for formats that tell their size only while decoding: 4 bytes a pixel at most.
    if (maxPixels > 0)
        reader.setAllocationLimit(int(qMin<qint64>(maxPixels * 4 / (1024 * 1024) + 1, 1024)));
    QImage image;
    // The size is in the header: a huge picture is refused before its pixels are allocated.
    const QSize size = reader.size();
    if (maxPixels > 0 && size.isValid() && qint64(size.width()) * size.height() > maxPixels) {
        if (tooLarge)
            *tooLarge = true;
        if (problem) {
            *problem = QStringLiteral("image of %1 x %2 pixels, more than %3")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(maxPixels);
        }
    } else if (reader.read(&image)) {
        // Bytes that are no image leave a null image; scaling one would only print a warning.
        image = image.scaled(PREVIEW_SIZE, Qt::KeepAspectRatio, Qt::FastTransformation);
    } else {
        // A picture cut short leaves the image allocated at its full size, blank below what
        // arrived: no preview at all is better.
        image = QImage();
        if (problem)
            *problem = QStringLiteral("not an image: ") + reader.errorString();
    }
    image.setText(QCoreApplication::translate("QObject", "Description"),
                  QCoreApplication::translate("QObject",
                                              "This file is used by SDK to show image for example "
                                              "inside Welcome screen.\nIt is not the part of the "
                                              "example."));
    return image;
}

QImage Example::image() const
{
    QMutexLocker locker(&m_imageMutex);
    return m_image;
}

QDebug operator<<(QDebug debug, const Example &example)
{
    return debug << example.toVariantMap();
}

} // namespace Brindle::Internal
