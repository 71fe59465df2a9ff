// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archiveverifier.h"

#include "logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>
#include <QWaitCondition>

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>

namespace Brindle::Internal {

namespace {

// Large blocks keep the per-call overhead of zlib and libarchive out of the way, so the check
// keeps up with a download over loopback.
const int BLOCK_SIZE = 256 * 1024;
// A tar archive ends with two zero blocks of 512 bytes.
const qint64 END_OF_ARCHIVE_BYTES = 1024;
// What a tar stream may hold beyond the data it unpacks to: per entry its header, a pax
// header with a long name, and the padding of its data; for the archive, record padding.
const qint64 TAR_OVERHEAD_PER_ENTRY = 4 * 1024;
const qint64 TAR_OVERHEAD = 1024 * 1024;

enum class Fetch { Chunk, End, Canceled, Failed };
// Hands out the next compressed chunk, or says why there is none.
using Source = std::function<Fetch(QByteArray *chunk)>;

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::ArchiveVerifier)
};

// Names as stored, or as UTF-8 when they do not convert to the locale's encoding.
const char *pathOf(archive_entry *entry)
{
    if (const char *path = archive_entry_pathname(entry))
        return path;
    const char *path = archive_entry_pathname_utf8(entry);
    return path ? path : "";
}

// Member names come from the archive and may be of any length; a reason stays readable.
QString shortName(const char *path)
{
    const QString name = QString::fromUtf8(path);
    return name.size() <= 80 ? name : name.left(40) + QChar(0x2026) + name.right(39);
}

// The path's components without "." and empty ones; 'climbs' tells whether one is "..".
QList<QByteArray> componentsOf(const char *path, bool *climbs)
{
    QList<QByteArray> components;
    *climbs = false;
    for (const QByteArray &component : QByteArray(path).split('/')) {
        if (component.isEmpty() || component == ".")
            continue;
        if (component == "..")
            *climbs = true;
        components.append(component);
    }
    return components;
}

int depthOf(const char *path)
{
    int depth = 0;
    for (const char *p = path; *p;) {
        const char *end = std::strchr(p, '/');
        const size_t length = end ? size_t(end - p) : std::strlen(p);
        if (length > 0 && !(length == 1 && *p == '.'))
            ++depth;
        p = end ? end + 1 : p + length;
    }
    return depth;
}

const char *outcomeName(ArchiveCheck::Outcome outcome)
{
    switch (outcome) {
    case ArchiveCheck::Outcome::Intact:
        return "intact";
    case ArchiveCheck::Outcome::Damaged:
        return "damaged";
    case ArchiveCheck::Outcome::TooLarge:
        return "too large";
    case ArchiveCheck::Outcome::TooManyEntries:
        return "too many entries";
    case ArchiveCheck::Outcome::TooDeep:
        return "too deep";
    case ArchiveCheck::Outcome::PathTooLong:
        return "path too long";
    case ArchiveCheck::Outcome::Unsafe:
        return "unsafe";
    case ArchiveCheck::Outcome::Unreadable:
        return "unreadable";
    case ArchiveCheck::Outcome::Unsaved:
        return "unsaved";
    case ArchiveCheck::Outcome::Canceled:
        return "canceled";
    }
    return "?";
}

// One pass over one archive. The gzip layer is inflated here, with its trailer checked by
// zlib, and only the inflated tar stream goes to libarchive: its own gzip filter does not
// notice a damaged stream as reliably.
class Checker
{
public:
    Checker(const ArchiveLimits &limits,
            Source source,
            const std::atomic<bool> *canceled,
            const QString &tarPath = {})
        : m_limits(limits)
        , m_source(std::move(source))
        , m_canceled(canceled)
        , m_tarPath(tarPath)
    {}

    ~Checker()
    {
        if (m_archive)
            archive_read_free(m_archive);
        if (m_zlibReady)
            inflateEnd(&m_zlib);
    }

    ArchiveCheck run()
    {
        runChecks();
        closeTar();
        m_check.compressedBytes = m_compressed;
        if (m_check.outcome == ArchiveCheck::Outcome::Intact)
            m_check.reason.clear();
        qCDebug(Log::arch) << "Archive check:" << outcomeName(m_check.outcome) << m_check.reason
                           << "entries" << m_check.entries << "unpacked" << m_check.unpackedBytes
                           << "depth" << m_check.depth << "longest path" << m_check.longestPath
                           << "compressed" << m_check.compressedBytes;
        return m_check;
    }

private:
    void runChecks()
    {
        if (inflateInit2(&m_zlib, 16 + MAX_WBITS) != Z_OK) {
            conclude(ArchiveCheck::Outcome::Unreadable, Tr::tr("there is not enough memory"));
            return;
        }
        m_zlibReady = true;
        m_block.resize(BLOCK_SIZE);
        if (!m_tarPath.isEmpty()) {
            m_tar.setFileName(m_tarPath);
            if (!m_tar.open(QIODevice::WriteOnly | QIODevice::ExistingOnly)) {
                conclude(ArchiveCheck::Outcome::Unsaved, m_tar.errorString());
                return;
            }
        }

        m_archive = archive_read_new();
        if (!m_archive) {
            conclude(ArchiveCheck::Outcome::Unreadable, Tr::tr("there is not enough memory"));
            return;
        }
        // Tar only and no filter: libarchive sees the stream already inflated.
        archive_read_support_format_tar(m_archive);
        if (archive_read_open(m_archive, this, nullptr, &Checker::readCallback, nullptr)
            != ARCHIVE_OK) {
            const QString damaged = Tr::tr("it holds no tar archive");
            failInTar(damaged, damaged);
            return;
        }

        qint64 endOfMembers = 0;
        for (;;) {
            archive_entry *entry = nullptr;
            const int status = archive_read_next_header(m_archive, &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN) {
                const QString damaged = m_check.entries == 0 ? Tr::tr("it holds no tar archive")
                                                             : Tr::tr("a tar header is damaged");
                failInTar(Tr::tr("the archive ends inside a tar header"), damaged);
                return;
            }
            if (isCanceled() || !measure(entry))
                return;
            if (archive_read_data_skip(m_archive) < ARCHIVE_WARN) {
                const QString name = shortName(pathOf(entry));
                failInTar(Tr::tr("member %1 is cut short").arg(name),
                          Tr::tr("member %1 is damaged").arg(name));
                return;
            }
            endOfMembers = archive_filter_bytes(m_archive, 0);
        }
        const qint64 endOfArchive = archive_filter_bytes(m_archive, 0);

        // Whatever follows the end blocks is record padding, but the gzip trailer after it
        // still has to be checked.
        if (!drain())
            return;
        // libarchive takes a stream that stops after a member, or after one zero block, as
        // a proper end: such a stream was cut at a block boundary.
        if (endOfArchive - endOfMembers < END_OF_ARCHIVE_BYTES) {
            conclude(ArchiveCheck::Outcome::Damaged,
                     Tr::tr("the end-of-archive blocks are missing"));
            return;
        }
        conclude(ArchiveCheck::Outcome::Intact, {});
    }

    // Where a member would be written, and what a hard link names, must lie inside the
    // archive's folder: some extraction tools (cmake -E tar among them) follow absolute
    // paths, ".." and links written earlier by the same archive.
    QString unsafeReason(archive_entry *entry)
    {
        const char *path = pathOf(entry);
        bool climbs = false;
        const QList<QByteArray> components = componentsOf(path, &climbs);
        if (path[0] == '/' || climbs)
            return Tr::tr("member %1 would be written outside its folder").arg(shortName(path));
        QByteArray prefix;
        for (qsizetype i = 0; i + 1 < components.size(); ++i) {
            prefix += (i ? "/" : "") + components.at(i);
            if (m_links.contains(prefix)) {
                return Tr::tr("member %1 would be written through the link %2")
                    .arg(shortName(path), QString::fromUtf8(prefix));
            }
        }
        if (const char *target = archive_entry_hardlink(entry)) {
            bool targetClimbs = false;
            const QList<QByteArray> targetComponents = componentsOf(target, &targetClimbs);
            if (target[0] == '/' || targetClimbs) {
                return Tr::tr("member %1 links to %2, outside its folder")
                    .arg(shortName(path), shortName(target));
            }
            // A hard link to a symbolic link is made as one more symbolic link.
            if (m_links.contains(targetComponents.join('/')))
                m_links.insert(components.join('/'));
        }
        if (archive_entry_filetype(entry) == AE_IFLNK)
            m_links.insert(components.join('/'));
        return {};
    }

    // Adds the entry to what the archive unpacks to; false once a limit is passed.
    bool measure(archive_entry *entry)
    {
        if (const QString unsafe = unsafeReason(entry); !unsafe.isEmpty()) {
            conclude(ArchiveCheck::Outcome::Unsafe, unsafe);
            return false;
        }
        const char *path = pathOf(entry);
        const int pathBytes = int(qMin<size_t>(std::strlen(path), INT_MAX));
        const int depth = depthOf(path);
        ++m_check.entries;
        m_check.depth = qMax(m_check.depth, depth);
        m_check.longestPath = qMax(m_check.longestPath, pathBytes);
        // A hard link shares its target's data, and a sparse member unpacks to its full size.
        if (archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry))
            m_check.unpackedBytes += qMax<qint64>(0, archive_entry_size(entry));

        if (m_check.entries > m_limits.maxEntries) {
            conclude(ArchiveCheck::Outcome::TooManyEntries,
                     Tr::tr("it holds more than the %1 entries allowed")
                         .arg(QLocale().toString(m_limits.maxEntries)));
        } else if (depth > m_limits.maxDepth) {
            conclude(ArchiveCheck::Outcome::TooDeep,
                     Tr::tr("member %1 lies %2 folders deep, more than the %3 allowed")
                         .arg(shortName(path))
                         .arg(depth)
                         .arg(m_limits.maxDepth));
        } else if (pathBytes > m_limits.maxPathBytes) {
            conclude(ArchiveCheck::Outcome::PathTooLong,
                     Tr::tr("the path of member %1 is %2 bytes long, more than the %3 allowed")
                         .arg(shortName(path))
                         .arg(pathBytes)
                         .arg(m_limits.maxPathBytes));
        } else if (m_check.unpackedBytes > m_limits.maxUnpackedBytes) {
            const QLocale locale;
            conclude(ArchiveCheck::Outcome::TooLarge,
                     Tr::tr("it unpacks to at least %1, more than the %2 allowed")
                         .arg(locale.formattedDataSize(m_check.unpackedBytes),
                              locale.formattedDataSize(m_limits.maxUnpackedBytes)));
        } else {
            return true;
        }
        return false;
    }

    // libarchive stopped with an error: a fault of the gzip layer or of the input explains
    // it best; otherwise it is 'cutShort' when the tar stream had ended, else 'damaged'.
    void failInTar(const QString &cutShort, const QString &damaged)
    {
        if (concludeFromInput())
            return;
        qCDebug(Log::arch) << "libarchive:" << archive_error_string(m_archive);
        conclude(ArchiveCheck::Outcome::Damaged, m_tarEnded ? cutShort : damaged);
    }

    // True when the input was canceled, could not be read or the gzip stream is damaged.
    bool concludeFromInput()
    {
        if (m_saveFailure) {
            conclude(*m_saveFailure, m_saveReason);
        } else if (m_fetch == Fetch::Canceled || isCanceled()) {
            conclude(ArchiveCheck::Outcome::Canceled, {});
        } else if (m_fetch == Fetch::Failed) {
            conclude(ArchiveCheck::Outcome::Unreadable, Tr::tr("it cannot be read"));
        } else if (!m_gzipDamage.isEmpty()) {
            conclude(ArchiveCheck::Outcome::Damaged, m_gzipDamage);
        } else {
            return false;
        }
        return true;
    }

    // Inflates the rest of the stream and makes sure nothing follows it; false when that
    // settled the verdict.
    bool drain()
    {
        qint64 produced = 0;
        while ((produced = inflateBlock()) > 0) {
            if (isCanceled())
                break;
        }
        if (produced == 0 && !isCanceled()) {
            while (m_zlib.avail_in == 0 && fetchChunk()) {
            }
        }
        if (m_zlib.avail_in > 0 && m_gzipDamage.isEmpty())
            m_gzipDamage = Tr::tr("there is data after the end of the gzip stream");
        return !concludeFromInput();
    }

    static la_ssize_t readCallback(archive *, void *client, const void **buffer)
    {
        auto checker = static_cast<Checker *>(client);
        *buffer = checker->m_block.constData();
        if (checker->isCanceled())
            return ARCHIVE_FATAL;
        const qint64 produced = checker->inflateBlock();
        if (produced == 0)
            checker->m_tarEnded = true;
        if (produced > 0 && !checker->saveBlock(produced))
            return ARCHIVE_FATAL;
        return produced < 0 ? ARCHIVE_FATAL : la_ssize_t(produced);
    }

    // Everything libarchive reads is written, so the file holds the tar stream through its
    // end-of-archive blocks; the record padding and the gzip trailer after them are not.
    // The tar stream is bounded as what it unpacks to is: headers and padding aside, a
    // member's data is no larger than what it unpacks to, and a hard link or a special file
    // that claims data of its own must not make a file without bounds.
    bool saveBlock(qint64 bytes)
    {
        if (!m_tar.isOpen())
            return true;
        m_tarBytes += bytes;
        const qint64 maxTarBytes = m_limits.maxUnpackedBytes
                                   + m_limits.maxEntries * TAR_OVERHEAD_PER_ENTRY
                                   + TAR_OVERHEAD;
        if (m_tarBytes > maxTarBytes) {
            m_saveFailure = ArchiveCheck::Outcome::TooLarge;
            m_saveReason = Tr::tr("its tar stream is larger than the %1 it may unpack to")
                               .arg(QLocale().formattedDataSize(m_limits.maxUnpackedBytes));
            return false;
        }
        if (m_tar.write(m_block.constData(), bytes) != bytes) {
            m_saveFailure = ArchiveCheck::Outcome::Unsaved;
            m_saveReason = m_tar.errorString();
            return false;
        }
        return true;
    }

    // An intact archive's tar stream must be on disk completely; any other leaves the file
    // to its owner, who removes it.
    void closeTar()
    {
        if (!m_tar.isOpen())
            return;
        if (m_check.outcome == ArchiveCheck::Outcome::Intact && !m_tar.flush())
            conclude(ArchiveCheck::Outcome::Unsaved, m_tar.errorString());
        m_tar.close();
    }

    // Inflates into m_block: the number of bytes it holds, 0 at the end of the gzip stream,
    // or -1 when the input ended early, is damaged, failed or was canceled.
    qint64 inflateBlock()
    {
        if (m_gzipEnded)
            return 0;
        m_zlib.next_out = reinterpret_cast<Bytef *>(m_block.data());
        m_zlib.avail_out = uInt(m_block.size());
        while (m_zlib.avail_out == uInt(m_block.size())) {
            if (m_zlib.avail_in == 0 && !fetchChunk()) {
                if (m_fetch == Fetch::End && m_gzipDamage.isEmpty()) {
                    m_gzipDamage = m_compressed == 0 ? Tr::tr("it is empty")
                                                     : Tr::tr("the gzip stream ends early");
                }
                return -1;
            }
            const int status = inflate(&m_zlib, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                m_gzipEnded = true;
                if (m_zlib.avail_in > 0) {
                    m_gzipDamage = Tr::tr("there is data after the end of the gzip stream");
                    return -1;
                }
                break;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                m_gzipDamage = zlibDamage(status);
                return -1;
            }
        }
        return qint64(m_block.size()) - m_zlib.avail_out;
    }

    QString zlibDamage(int status) const
    {
        if (status == Z_MEM_ERROR)
            return Tr::tr("there is not enough memory to inflate it");
        const QByteArray message = m_zlib.msg ? QByteArray(m_zlib.msg) : QByteArray();
        qCDebug(Log::arch) << "zlib:" << status << message;
        if (message == "incorrect header check" || message == "unknown compression method")
            return Tr::tr("it is not a gzip file");
        if (message == "incorrect data check")
            return Tr::tr("its CRC-32 does not match");
        if (message == "incorrect length check")
            return Tr::tr("its length does not match");
        return Tr::tr("its compressed data is corrupt");
    }

    // Points zlib at the next non-empty chunk; false when there is none.
    bool fetchChunk()
    {
        if (m_fetch != Fetch::Chunk)
            return false;
        for (;;) {
            m_fetch = m_source(&m_chunk);
            if (m_fetch != Fetch::Chunk) {
                m_chunk.clear();
                return false;
            }
            if (m_chunk.isEmpty())
                continue;
            m_compressed += m_chunk.size();
            m_zlib.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_chunk.constData()));
            m_zlib.avail_in = uInt(m_chunk.size());
            return true;
        }
    }

    bool isCanceled() const { return m_canceled && m_canceled->load(std::memory_order_relaxed); }

    void conclude(ArchiveCheck::Outcome outcome, const QString &reason)
    {
        m_check.outcome = outcome;
        m_check.reason = reason;
    }

    const ArchiveLimits m_limits;
    const Source m_source;
    const std::atomic<bool> *const m_canceled;
    ArchiveCheck m_check;
    // The symbolic links the archive made so far, by their path.
    QSet<QByteArray> m_links;

    z_stream m_zlib{};
    bool m_zlibReady = false;
    QByteArray m_chunk;
    QByteArray m_block;
    qint64 m_compressed = 0;
    Fetch m_fetch = Fetch::Chunk;
    bool m_gzipEnded = false;
    QString m_gzipDamage;

    archive *m_archive = nullptr;
    bool m_tarEnded = false; // libarchive was told the tar stream has ended

    const QString m_tarPath;
    QFile m_tar;
    qint64 m_tarBytes = 0;
    std::optional<ArchiveCheck::Outcome> m_saveFailure;
    QString m_saveReason;
};

} // namespace

// The bytes on their way from the owner's thread to the worker.
struct ArchiveVerifier::Input
{
    QMutex mutex;
    QWaitCondition arrived;
    std::deque<QByteArray> chunks;
    bool ended = false;
    bool settled = false; // the verdict is known, further bytes are of no use
    std::atomic<bool> canceled = false;
};

ArchiveVerifier::ArchiveVerifier(const ArchiveLimits &limits, QObject *parent)
    : ArchiveVerifier(limits, QString(), parent)
{}

ArchiveVerifier::ArchiveVerifier(const ArchiveLimits &limits,
                                 const QString &tarPath,
                                 QObject *parent)
    : QObject(parent)
    , m_input(std::make_shared<Input>())
{
    qRegisterMetaType<ArchiveCheck>();

    const std::shared_ptr<Input> input = m_input;
    m_thread.reset(QThread::create([this, input, limits, tarPath] {
        const Source source = [input](QByteArray *chunk) {
            QMutexLocker locker(&input->mutex);
            while (input->chunks.empty() && !input->ended && !input->canceled)
                input->arrived.wait(&input->mutex);
            if (input->canceled)
                return Fetch::Canceled;
            if (input->chunks.empty())
                return Fetch::End;
            *chunk = std::move(input->chunks.front());
            input->chunks.pop_front();
            return Fetch::Chunk;
        };
        const ArchiveCheck check = Checker(limits, source, &input->canceled, tarPath).run();
        {
            QMutexLocker locker(&input->mutex);
            input->settled = true;
            input->chunks.clear();
        }
        if (check.outcome == ArchiveCheck::Outcome::Canceled)
            return;
        // The destructor waits for this thread, so the verifier is still there; an event
        // that arrives after it is gone is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, check] {
                if (m_canceled || m_done)
                    return;
                m_done = true;
                m_result = check;
                emit finished(check);
            },
            Qt::QueuedConnection);
    }));
    m_thread->setObjectName("ArchiveVerifier");
    m_thread->start();
}

ArchiveVerifier::~ArchiveVerifier()
{
    cancel();
    m_thread->wait();
}

void ArchiveVerifier::feed(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    QMutexLocker locker(&m_input->mutex);
    if (m_input->settled || m_input->ended || m_input->canceled)
        return;
    m_input->chunks.push_back(chunk);
    m_input->arrived.wakeOne();
}

void ArchiveVerifier::endOfInput()
{
    QMutexLocker locker(&m_input->mutex);
    m_input->ended = true;
    m_input->arrived.wakeOne();
}

void ArchiveVerifier::cancel()
{
    m_canceled = true;
    QMutexLocker locker(&m_input->mutex);
    m_input->canceled = true;
    m_input->chunks.clear();
    m_input->arrived.wakeOne();
}

ArchiveCheck ArchiveVerifier::verifyFile(const QString &path, const ArchiveLimits &limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ArchiveCheck check;
        check.outcome = ArchiveCheck::Outcome::Unreadable;
        check.reason = tr("it cannot be opened: %1").arg(file.errorString());
        qCDebug(Log::arch) << "Archive check:" << outcomeName(check.outcome) << path
                           << check.reason;
        return check;
    }
    const Source source = [&file](QByteArray *chunk) {
        *chunk = file.read(BLOCK_SIZE);
        if (!chunk->isEmpty())
            return Fetch::Chunk;
        return file.error() == QFileDevice::NoError ? Fetch::End : Fetch::Failed;
    };
    return Checker(limits, source, nullptr).run();
}

} // namespace Brindle::Internal
