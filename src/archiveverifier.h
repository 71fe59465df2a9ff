// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
class QThread;
QT_END_NAMESPACE

namespace Brindle::Internal {

// What an archive may unpack to before it is refused. The size limit depends on where the
// examples go, so the caller sets it; the others keep a hostile archive from flooding the
// file system with entries or from building paths no tool can handle.
struct ArchiveLimits
{
    qint64 maxUnpackedBytes = qint64(1) << 30;
    qint64 maxEntries = 20000;
    int maxDepth = 32;
    int maxPathBytes = 1024;
};

// The verdict on one archive, with what was measured up to the point it was reached.
struct ArchiveCheck
{
    enum class Outcome {
        Intact,
        Damaged,
        TooLarge,
        TooManyEntries,
        TooDeep,
        PathTooLong,
        Unsafe, // a member would be written outside the archive's folder
        Unreadable,
        Unsaved, // the inflated tar stream could not be written
        Canceled
    };

    Outcome outcome = Outcome::Canceled;
    // For Damaged, a phrase that completes "The archive of %1 is damaged: %2"; for a limit,
    // one that names the limit and what was found. Translated; empty when intact.
    QString reason;
    qint64 unpackedBytes = 0;
    qint64 entries = 0;
    int depth = 0;
    int longestPath = 0;
    qint64 compressedBytes = 0;

    bool isIntact() const { return outcome == Outcome::Intact; }
};

// Checks a GitLab archive (.tar.gz) while it is downloaded, before anything is unpacked: the
// gzip stream inflates completely and its trailer matches, every tar header and every
// member's data is there, the archive ends properly, and what it would unpack to stays
// within the limits. The bytes are checked in a thread of its own, so feeding them costs the
// caller nothing but a queue append.
class ArchiveVerifier : public QObject
{
    Q_OBJECT

public:
    explicit ArchiveVerifier(const ArchiveLimits &limits, QObject *parent = nullptr);
    // Also writes the inflated tar stream to 'tarPath' as it is checked: exactly the bytes
    // checked, through the end-of-archive blocks, so that the unarchiver unpacks what was
    // checked and never inflates the archive a second time. The file is complete when
    // finished() reports the archive intact.
    ArchiveVerifier(const ArchiveLimits &limits, const QString &tarPath, QObject *parent = nullptr);
    ~ArchiveVerifier() override;

    // The next bytes of the download. Dropped once the verdict is known.
    void feed(const QByteArray &chunk);
    // The download is complete; the check ends with the bytes fed so far.
    void endOfInput();
    // Stops the check; finished() is not emitted any more.
    void cancel();

    bool isDone() const { return m_done; }
    ArchiveCheck result() const { return m_result; }

    // Checks the archive at 'path' in the calling thread.
    static ArchiveCheck verifyFile(const QString &path, const ArchiveLimits &limits);

signals:
    // Emitted once, in the thread the verifier belongs to, as soon as the verdict is known:
    // for damage or a passed limit that may be before endOfInput().
    void finished(const Brindle::Internal::ArchiveCheck &check);

private:
    struct Input;

    std::shared_ptr<Input> m_input;
    std::unique_ptr<QThread> m_thread;
    ArchiveCheck m_result;
    bool m_done = false;
    bool m_canceled = false;
};

} // namespace Brindle::Internal

Q_DECLARE_METATYPE(Brindle::Internal::ArchiveCheck)
