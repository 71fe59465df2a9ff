// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "archiveverifier.h"

#include <QByteArray>
#include <QDateTime>
#include <QDebug>
#include <QImage>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <optional>

namespace Brindle::Internal {

// One example project: the GitLab project object as received, plus the downloaded
// archive and the scaled avatar. Always shared through QSharedPointer<Example>.
class Example : public QJsonObject
{
public:
    explicit Example(const QJsonObject &project);
    // Removes a saved archive that nobody took.
    ~Example();

    qint64 id() const;
    QString name() const;
    QString displayName() const;
    QString description() const;
    QString url() const;
    QString imageUrl() const;
    QDateTime lastActivity() const;
    QStringList tags() const;
    bool isValid() const;

    void setData(const QByteArray &data);
    QByteArray data() const;
    // Releases the archive bytes once they are on disk; archives can be large.
    void clearData();

    // The archive as a file saved while it downloaded. The record owns the file, and removes
    // it when it gets another one, is told to or goes, until someone takes it over.
    void setArchiveFile(const QString &path);
    QString archiveFile() const;
    QString takeArchiveFile();
    void removeArchiveFile();
    // What the check of the saved archive found while it downloaded; none for an archive
    // held in memory, which the installer checks itself.
    void setArchiveCheck(const ArchiveCheck &check);
    std::optional<ArchiveCheck> archiveCheck() const;

    void setImage(const QByteArray &data);
    // Stores an image made by previewImage().
    void setPreview(const QImage &image);
    QImage image() const;

    // The avatar 'data' decoded and scaled to the preview's size; a null image, and the reason
    // in 'problem', when it is no image or has more than 'maxPixels' pixels (then it is not
    // decoded at all). Safe in any thread.
    static QImage
    previewImage(const QByteArray &data, qint64 maxPixels = 0, QString *problem = nullptr);

private:
    QByteArray m_data;
    QString m_archiveFile;
    std::optional<ArchiveCheck> m_archiveCheck;
    mutable QMutex m_dataMutex;
    QImage m_image;
    mutable QMutex m_imageMutex;
};

QDebug operator<<(QDebug debug, const Example &example);

} // namespace Brindle::Internal
