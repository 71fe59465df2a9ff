// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "archiveverifier.h"
#include "manifestwriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QDebug>
#include <QImage>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <optional>

namespace Brindle::Internal {

// What became of a project's avatar while its example was downloaded.
struct AvatarCheck
{
    enum class Outcome {
        None,       // the project has no avatar
        Unusable,   // its address is no http or https address
        Failed,     // the download failed
        TooLarge,   // the answer, or the picture, is larger than an avatar may be
        NotAnImage, // the bytes are no picture that can be decoded
        Shown       // decoded and scaled: the example shows it
    };

    Outcome outcome = Outcome::None;
    qint64 bytes = 0; // as received; 0 when it was refused or not downloaded
    QString reason;   // why it is not shown, for the log and the maintainers' check
};

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

    void setAvatarCheck(const AvatarCheck &check);
    AvatarCheck avatarCheck() const;
    // What the installed example's manifest shows; none until it has been installed.
    void setManifest(const ManifestContent &manifest);
    std::optional<ManifestContent> manifest() const;

    void setImage(const QByteArray &data);
    // Stores an image made by previewImage().
    void setPreview(const QImage &image);
    QImage image() const;

    // The avatar 'data' decoded and scaled to the preview's size; a null image, and the reason
    // in 'problem', when it is no image or has more than 'maxPixels' pixels (then it is not
    // decoded at all, and 'tooLarge' is set). Safe in any thread.
    static QImage previewImage(const QByteArray &data,
                               qint64 maxPixels = 0,
                               QString *problem = nullptr,
                               bool *tooLarge = nullptr);

private:
    QByteArray m_data;
    QString m_archiveFile;
    std::optional<ArchiveCheck> m_archiveCheck;
    AvatarCheck m_avatarCheck;
    std::optional<ManifestContent> m_manifest;
    mutable QMutex m_dataMutex;
    QImage m_image;
    mutable QMutex m_imageMutex;
};

QDebug operator<<(QDebug debug, const Example &example);

} // namespace Brindle::Internal
