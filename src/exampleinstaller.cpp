// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "exampleinstaller.h"

#include "archivefolder.h"
#include "batcharchive.h"
#include "constants.h"
#include "extractionprocess.h"
#include "installedfiles.h"
#include "logging.h"
#include "manifestwriter.h"
#include "settings.h"

#include <coreplugin/icore.h>
#include <solutions/tasking/tasktree.h>
#include <utils/filepath.h>
#include <utils/unarchiver.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QPromise>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brindle::Internal {

struct UnpackLock
{
    QByteArray path;
    int fd = -1;
    // The extraction in the folder is recorded in the lock file; only the watch of the
    // extraction reads and sets it.
    bool recorded = false;
    ~UnpackLock()
    {
        // Removed first: a lock file that is there is one that may be taken.
        ::unlink(path.constData());
        ::close(fd);
    }
};

namespace {

const char LOCK_SUFFIX[] = ".lock";

// Small archives are unpacked in batches, joined into one stream: starting "cmake -E tar"
// costs some 30 ms of processor time, more than unpacking a small example.
const qint64 BATCH_MEMBER_BYTES = 1024 * 1024;
const qint64 BATCH_MEMBER_ENTRIES = 1000;
const qint64 BATCH_BYTES = 32 * 1024 * 1024;
const int BATCH_EXAMPLES = 64;

// Installation layout: <data location>/<repository>/<example>, one directory per example
// named after Example::name(). Built when the library loads, which fixes the data location
// for the whole session. Paths are built by appending, never with arg(): a name holding
// "%1" or "%2" must not be expanded a second time.
const QString TARGET = Settings::location() + QStringLiteral("/%2");

// How often a running extraction is looked at, at the least: tar writes a few hundred MiB
// in that time at most.
const int WATCH_INTERVAL_MS = 250;
// Walking a tree that is being written costs a stat() per file; an example's extraction
// usually ends within a second.
const int FIRST_WATCH_DELAY_MS = 1000;

QString repositoryPath(const QString &name)
{
    return Settings::repositoryPath(name) + u'/';
}

QString examplePath(const QString &name, const QString &exampleName)
{
    return repositoryPath(name) + exampleName;
}

bool isInside(const std::filesystem::path &path, const std::filesystem::path &root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

QString nativePath(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// Removes the entry 'name' of the open directory 'parent', and everything below it. Works
// relative to open directories, so that neither a tree deeper than the longest path nor a
// folder without write or search permission keeps its contents from going; links are
// removed, never followed.
bool removeEntryAt(int parent, const char *name)
{
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    const int unlinkError = errno;
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int dir = ::openat(parent, name, flags);
    if (dir < 0 && errno == EACCES && ::fchmodat(parent, name, S_IRWXU, 0) == 0)
        dir = ::openat(parent, name, flags); // it was not readable: opened up, once more
    if (dir < 0) {
        if (errno == ENOTDIR)
            errno = unlinkError;
        return false;
    }
    ::fchmod(dir, S_IRWXU);
    DIR *stream = ::fdopendir(dir);
    if (!stream) {
        ::close(dir);
        return false;
    }
    bool ok = true;
    while (const dirent *entry = ::readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        ok = removeEntryAt(::dirfd(stream), entry->d_name) && ok;
    }
    ::closedir(stream);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok;
}

// Removes 'path' and everything below it, read-only folders and deep trees included. Returns
// why something could not be removed, or nothing.
QString removeTreeError(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QByteArray parent = QFile::encodeName(info.absolutePath());
    const int parentDir = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentDir < 0) {
        if (errno == ENOENT)
            return {};
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    errno = 0;
    const bool ok = removeEntryAt(parentDir, QFile::encodeName(info.fileName()).constData());
    const int error = errno;
    ::close(parentDir);
    if (ok)
        return {};
    qCDebug(Log::service) << "Unable to remove:" << path;
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                      : ExampleInstaller::tr("some of its files could not be deleted");
}

bool removeTree(const QString &path)
{
    return removeTreeError(path).isEmpty();
}

// What the entry 'name' of the open directory 'parent' and everything below it take on disk,
// in bytes; links are not followed, and a file with several names counts once. Entries that
// go while it is walked (tar is still at work) are passed over.
qint64 diskUsageAt(int parent, const char *name, QSet<QPair<dev_t, ino_t>> &seen)
{
    struct stat info;
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (!S_ISDIR(info.st_mode) && info.st_nlink > 1) {
        const QPair<dev_t, ino_t> file(info.st_dev, info.st_ino);
        if (seen.contains(file))
            return 0;
        seen.insert(file);
    }
    qint64 used = qint64(info.st_blocks) * 512;
    if (!S_ISDIR(info.st_mode))
        return used;
    const int dir = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return used;
    DIR *stream = ::fdopendir(dir);
    if (!stream) {
        ::close(dir);
        return used;
    }
    while (const dirent *entry = ::readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            used += diskUsageAt(::dirfd(stream), entry->d_name, seen);
    }
    ::closedir(stream);
    return used;
}

qint64 diskUsage(const QString &path)
{
    QSet<QPair<dev_t, ino_t>> seen;
    return diskUsageAt(AT_FDCWD, QFile::encodeName(path).constData(), seen);
}

QString oversizedReason(qint64 limit)
{
    return ExampleInstaller::tr("it unpacks to more than %1 MiB, the limit set by "
                                "MaxUnpackedMegabytes")
        .arg(limit / (1024 * 1024));
}

QString oversizedStatus(const QString &displayName, qint64 limit)
{
    return ExampleInstaller::tr("Skip installing example %1 - it unpacks to more than %2 MiB, "
                                "the limit set by MaxUnpackedMegabytes")
        .arg(displayName)
        .arg(limit / (1024 * 1024));
}

// An archive decides what its members are. GNU tar already strips absolute member paths
// and refuses ".." members and writes through links, but it still creates symbolic links
// that lead anywhere, as well as FIFOs and device nodes. Links that do not resolve inside
// the example, and everything that is neither a file, a directory nor a link, are removed
// before anything reads or writes through them. Directories are opened up for their owner,
// so that the manifest can be written and the tree be removed again. Whatever cannot be
// checked makes the tree unsafe: returns the reason, or nothing when the tree is safe.
QString secureUnpackedTree(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const auto failure = [&error](const QString &what) {
        return what + QStringLiteral(": ") + QString::fromStdString(error.message());
    };
    const fs::path root = fs::canonical(fs::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return failure(path);
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    if (error)
        return failure(path);

    QList<fs::path> unwanted;
    fs::recursive_directory_iterator it(root, error);
    fs::path entry = root;
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        entry = it->path();
        const fs::file_status status = fs::symlink_status(entry, error);
        if (error)
            break;
        if (fs::is_directory(status)) {
            fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, error);
            if (error)
                break;
        } else if (fs::is_symlink(status)) {
            std::error_code resolveError;
            const fs::path target = fs::canonical(entry, resolveError);
            if (resolveError || !isInside(target, root))
                unwanted.append(entry);
        } else if (!fs::is_regular_file(status)) {
            unwanted.append(entry);
        }
    }
    if (error)
        return failure(nativePath(entry));
    for (const fs::path &entry : std::as_const(unwanted)) {
        qCDebug(Log::arch) << "Removing unsafe archive member:" << nativePath(entry);
        if (!fs::remove(entry, error) || error)
            return failure(nativePath(entry));
    }
    return {};
}

// The one top folder of a GitLab archive, "<path>-<ref>-<sha>". The unpack folder holds
// this example's archive only; a stray folder next to it (tar strips the "/" of an absolute
// member) is told apart by the example's name.
QString findTopFolder(const QString &path, const QString &name)
{
    const QStringList entries = QDir(path).entryList(QDir::Dirs | QDir::NoSymLinks
                                                     | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries.size() == 1)
        return entries.first();
    const QStringList own = entries.filter(QRegularExpression(
        QStringLiteral("^%1-").arg(QRegularExpression::escape(name))));
    return own.size() == 1 ? own.first() : QString();
}

// Makes a private folder to unpack into next to the installed examples of 'repositoryDir' (same
// file system, so that what is unpacked can be renamed into place), hidden so that it never
// counts as an installed example, and takes its lock. Returns why it could not be made.
QString makeUnpackDir(const QString &repositoryDir,
                      std::shared_ptr<QTemporaryDir> *dir,
                      std::shared_ptr<UnpackLock> *lock)
{
    QDir().mkpath(repositoryDir);
    auto unpackDir
        = std::make_shared<QTemporaryDir>(repositoryDir + QStringLiteral(".unpack-XXXXXX"));
    if (!unpackDir->isValid())
        return unpackDir->errorString();
    *dir = unpackDir;
    // Without the lock the folder is only safe from other instances' sweeps for an hour.
    const QByteArray lockPath = QFile::encodeName(unpackDir->path()) + LOCK_SUFFIX;
    const int lockFile
        = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFile >= 0) {
        auto held = std::make_shared<UnpackLock>();
        held->path = lockPath;
        held->fd = lockFile;
        if (::flock(lockFile, LOCK_EX | LOCK_NB) == 0)
            *lock = held;
    }
    return {};
}

// Saves an archive, unless it was saved while it downloaded ('savedArchive'), and creates the
// private directory it is going to be unpacked into. Runs in a pool thread; on failure nothing
// is left and the error is the status text to show.
PreparedArchive prepareArchive(const QString &fileTemplate,
                               const QByteArray &data,
                               const QString &savedArchive,
                               const std::optional<ArchiveCheck> &check,
                               const ArchiveLimits &limits,
                               const QString &displayName,
                               const QString &repositoryName)
{
    PreparedArchive prepared;
    prepared.repositoryName = repositoryName;
    const QString repositoryDir = repositoryPath(repositoryName);
    QString archivePath = savedArchive;
    if (archivePath.isEmpty()) {
        QTemporaryFile archiveFile(fileTemplate);
        if (!archiveFile.open() || archiveFile.write(data) != data.size() || !archiveFile.flush()) {
            prepared.error = ExampleInstaller::tr("Unable to save the archive of example %1: %2")
                                 .arg(displayName, archiveFile.errorString());
            prepared.reason = archiveFile.errorString();
            return prepared;
        }
        archiveFile.setAutoRemove(false);
        archivePath = archiveFile.fileName();
    }

    // An archive that was not checked while it streamed in is checked now: nothing damaged
    // or beyond the limits is ever handed to the unarchiver.
    prepared.check = check ? *check : ArchiveVerifier::verifyFile(archivePath, limits);
    if (!prepared.check.isIntact()) {
        QFile::remove(archivePath);
        return prepared;
    }

    if (const QString error = makeUnpackDir(repositoryDir, &prepared.unpackDir, &prepared.lock);
        !error.isEmpty()) {
        prepared.error
            = ExampleInstaller::tr("Unable to create a directory in: %1").arg(repositoryDir);
        prepared.reason = error;
        QFile::remove(archivePath);
        return prepared;
    }
    prepared.archivePath = archivePath;
    return prepared;
}

// Removes the archive and whatever is still in the unpack directory. Runs in a pool thread.
void removeLeftovers(const PreparedArchive &prepared)
{
    QFile::remove(prepared.archivePath);
    if (prepared.unpackDir)
        removeTree(prepared.unpackDir->path());
}

// What installing an unpacked example needs to know of it. Taken in the GUI thread, so that
// the file work can run in a pool thread without touching the example record.
struct InstallJob
{
    QString exampleName;
    ManifestWriter manifest;
    PreparedArchive prepared;
    qint64 unpackLimit = 0;
    // Where the unarchiver wrote it: the unpack folder, or its folder in a batch, which
    // lives as long as one of its examples is being installed.
    QString unpackedIn;
    std::shared_ptr<QTemporaryDir> batchDir;
    std::shared_ptr<UnpackLock> batchLock;
};

// How moving an example into place went.
struct Replacement
{
    bool replaced = false; // there was a copy, and it has gone
    QString error;         // empty when the example is in place
};

// Moves 'source' to 'target', replacing an existing directory there. The old copy is only
// removed once the new one is in place, and put back when the move fails; when even that
// fails it is kept where the error says, never deleted.
Replacement replaceDirectory(const QString &source, const QString &target)
{
    Replacement result;
    const QFileInfo targetInfo(target);
    std::unique_ptr<QTemporaryDir> trash;
    const bool existed = targetInfo.exists() || targetInfo.isSymLink();
    if (existed) {
        trash = std::make_unique<QTemporaryDir>(targetInfo.absolutePath()
                                                + QStringLiteral("/.replaced-XXXXXX"));
        if (!trash->isValid()) {
            result.error = trash->errorString();
            return result;
        }
        if (!QDir().rename(target, trash->filePath(QStringLiteral("old")))) {
            result.error = ExampleInstaller::tr("the installed copy could not be moved aside");
            return result;
        }
    }
    if (QDir().rename(source, target)) {
        if (trash)
            removeTree(trash->path());
        result.replaced = existed;
        return result;
    }
    result.error = ExampleInstaller::tr("the new copy could not be moved into place");
    if (trash && !QDir().rename(trash->filePath(QStringLiteral("old")), target)) {
        // Out of the sweep's way, under a name that says what it is.
        trash->setAutoRemove(false);
        const QString kept = targetInfo.absolutePath() + QStringLiteral("/.kept-")
                             + targetInfo.fileName() + u'-'
                             + QString::number(QDateTime::currentSecsSinceEpoch());
        const QString where = QDir().rename(trash->filePath(QStringLiteral("old")), kept)
                                  ? kept
                                  : trash->filePath(QStringLiteral("old"));
        result.error = ExampleInstaller::tr("the new copy could not be moved into place, and the "
                                            "old one could not be put back: it is in %1")
                           .arg(where);
    }
    return result;
}

// Moves the installed copy 'target' into the folder 'keptRoot', named after the example and
// the time, and returns where it went; nothing, with the reason in 'error', when it stays.
QString keepAside(const QString &target,
                  const QString &keptRoot,
                  const QString &exampleName,
                  QString *error)
{
    if (!QDir().mkpath(keptRoot)) {
        *error = ExampleInstaller::tr("the folder %1 could not be created")
                     .arg(QDir::toNativeSeparators(keptRoot));
        return {};
    }
    const QString base = keptRoot + u'/' + exampleName + u'-'
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray from = QFile::encodeName(target);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString kept = attempt == 1 ? base : base + u'-' + QString::number(attempt);
        const QByteArray to = QFile::encodeName(kept);
        // The empty folder takes the name; the old copy then replaces it.
        if (::mkdir(to.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
        if (::rename(from.constData(), to.constData()) == 0)
            return kept;
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::rmdir(to.constData());
        return {};
    }
    *error = ExampleInstaller::tr("too many copies of it were kept within the same second");
    return {};
}

// Qt Creator opens an example in place when it can write its project file and folders, and
// offers to copy it first when it cannot. A read-only project file is enough for that, and
// is all that changes: the folder stays writable, so that a project the user keeps in place
// still gets its settings and builds there, and the example can be replaced and removed.
void makeProjectFileReadOnly(const QString &dir)
{
    const QString project = ManifestWriter::findProject(dir);
    if (project.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(dir + u'/' + project);
    struct stat info;
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)
        || ::chmod(path.constData(), info.st_mode & 07555) != 0) {
        qCDebug(Log::service) << "Unable to make the project file read-only:" << path;
    }
}

// Removes an installed example and the record of what was installed with it.
QString removeExample(const QString &repositoryName, const QString &exampleName)
{
    const QString error = removeTreeError(examplePath(repositoryName, exampleName));
    if (error.isEmpty())
        QFile::remove(Settings::installedRecordPath(repositoryName, exampleName));
    return error;
}

// The installed examples of a repository whose files the user changed, added to or removed
// from.
QSet<QString> changedExamples(const QString &repositoryName)
{
    QSet<QString> changed;
    const QStringList folders = QDir(repositoryPath(repositoryName))
                                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : folders) {
        if (!isSafeExampleName(folder))
            continue;
        if (!InstalledFiles::localChanges(examplePath(repositoryName, folder),
                                          Settings::installedRecordPath(repositoryName, folder))
                 .value_or(QStringList())
                 .isEmpty()) {
            changed.insert(folder);
        }
    }
    return changed;
}

// What installing an unpacked example came to: its result, and the status text of a failure.
struct Installed
{
    ExampleResult result;
    QString status;
    ManifestContent manifest; // what the Welcome screen shows of it, once installed
};

// Moves the example unpacked into 'job.unpackedIn' into place with its manifest. Runs in a
// pool thread. The unpack directory is emptied in any case: nothing half unpacked is left
// behind.
Installed installUnpacked(const InstallJob &job)
{
    using Failure = ExampleResult::Failure;
    const auto cleanUp = qScopeGuard([&job] {
        removeLeftovers(job.prepared);
        if (job.batchDir)
            removeTree(job.unpackedIn);
    });
    const QString unpackDir = job.unpackedIn;
    const QString displayName = job.manifest.displayName;
    // What tar wrote after the last look while it ran.
    if (diskUsage(unpackDir) > job.unpackLimit) {
        return {ExampleResult::failed(Failure::SizeLimit, oversizedReason(job.unpackLimit)),
                oversizedStatus(displayName, job.unpackLimit)};
    }

    const QString top = findTopFolder(unpackDir, job.exampleName);
    if (top.isEmpty()) {
        return {ExampleResult::failed(Failure::Unpacking,
                                      ExampleInstaller::tr("the archive holds no folder of it")),
                ExampleInstaller::tr(
                    "Skip registering example %1 - the archive holds no directory of it")
                    .arg(displayName)};
    }
    const QString unpacked = unpackDir + u'/' + top;
    const QString unsafe = secureUnpackedTree(unpacked);
    if (!unsafe.isEmpty()) {
        qCDebug(Log::service) << "Unable to check the unpacked example:" << unsafe;
        return {
            ExampleResult::failed(
                Failure::Unpacking,
                ExampleInstaller::tr("its files could not be checked: %1").arg(unsafe)),
            ExampleInstaller::tr("Skip registering example %1 - its files could not be checked: %2")
                .arg(displayName, unsafe)};
    }

    // The manifest is written before the example is moved into place, so that a failure
    // leaves the installed copy, if any, as it was.
    const QString target = examplePath(job.prepared.repositoryName, job.exampleName);
    const ManifestWriter::Result written = job.manifest.write(unpacked, target);
    if (written.problem == ManifestWriter::Result::Problem::NoProjectFile) {
        const QString reason = ExampleInstaller::tr(
            "it has no project file (CMakeLists.txt or *.pro) in its top folder");
        return {ExampleResult::failed(Failure::NoProjectFile, reason),
                ExampleInstaller::tr("Skip registering example %1 - %2").arg(displayName, reason)};
    }
    if (!written) {
        return {ExampleResult::failed(Failure::Disk,
                                      ExampleInstaller::tr("its manifest could not be written")),
                ExampleInstaller::tr("There was an error while creating example mainfest")};
    }

    makeProjectFileReadOnly(unpacked);
    const std::optional<InstalledFiles> installedFiles = InstalledFiles::scan(unpacked);

    // The user's own work is never deleted: a copy that differs from what was installed goes
    // aside, whole, before the new one takes its place.
    const QString recordPath = Settings::installedRecordPath(job.prepared.repositoryName,
                                                             job.exampleName);
    QString keptIn;
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        std::optional<QStringList> changes = InstalledFiles::localChanges(target, recordPath);
        if (!changes) {
            // Installed before its files were recorded: what was edited in place cannot be
            // told, but what was added can: whatever the new version does not hold.
            const std::optional<InstalledFiles> old = InstalledFiles::scan(target);
            changes = old && installedFiles ? installedFiles->changesIn(*old, true)
                                            : InstalledFiles::everythingIn(target);
        }
        if (!changes->isEmpty()) {
            qCDebug(Log::service) << "Changed locally:" << target << changes->mid(0, 20);
            QString why;
            keptIn = keepAside(target,
                               Settings::keptChangesPath(job.prepared.repositoryName),
                               job.exampleName,
                               &why);
            if (keptIn.isEmpty()) {
                const QString reason
                    = ExampleInstaller::tr("your changes to it could not be kept: %1").arg(why);
                return {ExampleResult::failed(Failure::Disk, reason),
                        ExampleInstaller::tr("Skip installing example %1 - %2")
                            .arg(displayName, reason)};
            }
        }
    }

    const Replacement replacement = replaceDirectory(unpacked, target);
    if (!replacement.error.isEmpty()) {
        // The kept copy is still the installed one.
        if (!keptIn.isEmpty() && !QFileInfo::exists(target))
            QDir().rename(keptIn, target);
        return {ExampleResult::failed(Failure::Disk, replacement.error),
                ExampleInstaller::tr("Unable to install example %1 into %2: %3")
                    .arg(displayName, target, replacement.error)};
    }
    // Without a record the next update can tell only what was added to the folder.
    if (!installedFiles || !installedFiles->write(recordPath)) {
        qCDebug(Log::service) << "Unable to record the installed files:" << recordPath;
        QFile::remove(recordPath);
    }
    if (keptIn.isEmpty())
        return {ExampleResult::installed(replacement.replaced), {}, written.content};
    return {ExampleResult::installed(true),
            ExampleInstaller::tr("Your changes to %1 were kept in %2")
                .arg(displayName, QDir::toNativeSeparators(keptIn)),
            written.content};
}

// Writes the extraction running in 'folder' into its lock file, once it has started: a sweep
// after the IDE died stops that process and no other. Runs in a pool thread.
void recordExtraction(UnpackLock *lock, const QString &folder)
{
    if (!lock || lock->recorded)
        return;
    const std::optional<ExtractionProcess> process = ExtractionProcess::childWorkingIn(folder);
    if (!process)
        return; // not started yet, or over already
    const QByteArray record = process->toRecord();
    lock->recorded = ::ftruncate(lock->fd, 0) == 0
                     && ::pwrite(lock->fd, record.constData(), size_t(record.size()), 0)
                            == record.size();
    qCDebug(Log::service) << "Extraction recorded:" << process->pid << process->program;
}

// Stops the extraction that the lock file open as 'lockFd' records, if it still runs: an IDE
// that is gone left it (the tool does not always die with it), and it would go on filling the
// disk. Only the process the IDE started is signalled, known by its id, start time and
// program; a process that merely works in the folder is not. False while it still runs.
bool stopRecordedExtraction(int lockFd, const QString &folder)
{
    QByteArray record(4096, Qt::Uninitialized);
    const ssize_t size = ::pread(lockFd, record.data(), size_t(record.size()), 0);
    record.truncate(qMax<ssize_t>(size, 0));
    const std::optional<ExtractionProcess> process = ExtractionProcess::fromRecord(record);
    if (!process || !process->runsUnarchiverTool() || !process->isRunning())
        return true;
    qCDebug(Log::service) << "Stopping an extraction left running:" << process->pid
                          << process->program << folder;
    if (::kill(pid_t(process->pid), SIGKILL) != 0) {
        qCDebug(Log::service) << "Unable to stop it:" << std::strerror(errno);
        return false;
    }
    // Whoever reaps it, it is gone from /proc within moments.
    QElapsedTimer clock;
    clock.start();
    while (process->isRunning()) {
        if (clock.elapsed() > 10000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// True when nobody holds the lock file at 'lockPath'; the lock is held until 'held' goes.
// The lock file is opened as it is, never through a link.
bool takeLock(const QString &lockPath, std::unique_ptr<UnpackLock> *held)
{
    const QByteArray path = QFile::encodeName(lockPath);
    const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    *held = std::make_unique<UnpackLock>();
    (*held)->path = path;
    (*held)->fd = fd;
    return true;
}

// What stands where an unpack folder's lock file belongs.
enum class LockEntry { None, File, Other };

LockEntry lockEntryAt(const QString &lockPath)
{
    struct stat info;
    if (::lstat(QFile::encodeName(lockPath).constData(), &info) != 0)
        return LockEntry::None;
    return S_ISREG(info.st_mode) ? LockEntry::File : LockEntry::Other;
}

// Removes what stands where a lock file belongs but is none, a link or a folder, which the
// installer never makes. A link goes itself; what it leads to stays.
void removeFalseLock(const QString &lockPath)
{
    qCDebug(Log::service) << "Removing what is no lock file:" << lockPath;
    removeTree(lockPath);
}

// Removes what an installation left behind in a repository folder when the IDE stopped in
// its middle: unpack folders and the old copies of replaced examples, and nothing else. An
// unpack folder whose lock nobody holds was left by an IDE that is gone. Without a lock,
// what changed within the last hour may belong to another instance of the IDE at work.
void sweepFolder(const QString &folder)
{
    static const QRegularExpression ownLeftover(
        QStringLiteral("^\\.(unpack|replaced)-[A-Za-z0-9]{6}$"));
    static const QRegularExpression ownLock(QStringLiteral("^\\.unpack-[A-Za-z0-9]{6}\\.lock$"));
    const QDateTime recent = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        std::unique_ptr<UnpackLock> lock;
        if (ownLock.match(entry.fileName()).hasMatch()) {
            // The lock of a folder that is gone already
            const QString unpackDir = path.chopped(int(qstrlen(LOCK_SUFFIX)));
            if (!QFileInfo(unpackDir).isDir() || QFileInfo(unpackDir).isSymLink()) {
                if (lockEntryAt(path) == LockEntry::File)
                    takeLock(path, &lock);
                else
                    removeFalseLock(path);
            }
            continue;
        }
        if (entry.isSymLink() || !entry.isDir() || !ownLeftover.match(entry.fileName()).hasMatch())
            continue;
        const QString lockPath = path + QLatin1String(LOCK_SUFFIX);
        switch (lockEntryAt(lockPath)) {
        case LockEntry::File:
            if (!takeLock(lockPath, &lock))
                continue; // in use
            if (!stopRecordedExtraction(lock->fd, path))
                continue; // removing the folder would leave the tool writing into nowhere
            break;
        case LockEntry::Other:
            removeFalseLock(lockPath);
            [[fallthrough]];
        case LockEntry::None:
            if (entry.lastModified().toUTC() > recent)
                continue;
            break;
        }
        qCDebug(Log::service) << "Removing leftover:" << path;
        removeTree(path);
    }
}

} // namespace

ExampleInstaller::ExampleInstaller(QObject *parent)
    : QObject(parent)
{}

ExampleInstaller::~ExampleInstaller()
{
    shutdown();
    workers.waitForDone();
    // Archives saved by pool work whose result was never taken
    QMutexLocker locker(&archivesMutex);
    for (const QString &path : std::as_const(savedArchives))
        QFile::remove(path);
    ArchiveFolder::removeIfEmpty();
}

void ExampleInstaller::shutdown()
{
    if (stopped)
        return;
    stopped = true;
    // Saved archives that were waiting for their extraction go; their unpack folders go
    // with the last reference to them.
    for (const Job &job : std::as_const(unpackQueue))
        forgetArchive(job.prepared.archivePath);
    unpackQueue.clear();
    for (const QList<Job> &jobs : std::as_const(preparingBatches)) {
        for (const Job &job : jobs)
            forgetArchive(job.prepared.archivePath);
    }
    preparingBatches.clear();
    // Extractions still running are stopped, and what they wrote goes with their archive.
    const QHash<Utils::Unarchiver *, Extraction> running = std::exchange(runningExtractions, {});
    for (auto it = running.cbegin(); it != running.cend(); ++it) {
        delete it.key();
        forgetArchive(it->archivePath);
        for (const Job &job : it->jobs)
            forgetArchive(job.prepared.archivePath);
        removeTree(it->destDir());
    }
}

void ExampleInstaller::forgetArchive(const QString &path)
{
    QFile::remove(path);
    QMutexLocker locker(&archivesMutex);
    savedArchives.remove(path);
}

template<typename Result, typename Work, typename Done>
void ExampleInstaller::runInPool(Work work, Done done, int priority)
{
    auto promise = std::make_shared<QPromise<Result>>();
    // A child of the installer: gone with it, and with it every hand-over still to come.
    auto watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    workers.start(
        [promise, work] {
            promise->addResult(work());
            promise->finish();
        },
        priority);
}

QString ExampleInstaller::keyOf(const QString &repositoryName, const QString &exampleName)
{
    return repositoryName + u'/' + exampleName;
}

bool ExampleInstaller::isBusy(const QString &repositoryName, const QString &exampleName) const
{
    return steps.contains(keyOf(repositoryName, exampleName));
}

void ExampleInstaller::install(const QSharedPointer<Example> &example, const QString &repositoryName)
{
    if (stopped)
        return;
    if (!isSafeExampleName(example->name())) {
        finish(example,
               repositoryName,
               ExampleResult::skipped(tr("its name is not a safe folder name")),
               tr("Skip saving example %1 - unsafe name: %2")
                   .arg(example->displayName(), example->name()));
        return;
    }

    // One step at a time for each example: a request that comes while one runs waits for
    // it, and replaces a request that was already waiting.
    const QString key = keyOf(repositoryName, example->name());
    if (steps.contains(key)) {
        Step &waiting = steps[key];
        const QSharedPointer<Example> superseded = std::exchange(waiting.install, example);
        waiting.remove = false;
        qCDebug(Log::service) << "Install waits for the running one:" << key;
        if (superseded)
            finish(superseded, repositoryName, ExampleResult::skipped(tr("asked for again")));
        return;
    }
    steps.insert(key, {});
    startInstall(example, repositoryName);
}

void ExampleInstaller::remove(const QString &repositoryName, const QStringList &exampleNames)
{
    if (stopped)
        return;
    for (const QString &name : exampleNames) {
        if (!isSafeExampleName(name)) {
            qCDebug(Log::service) << "Skipping unsafe example folder:" << name;
            continue;
        }
        const QString key = keyOf(repositoryName, name);
        if (steps.contains(key)) {
            Step &waiting = steps[key];
            const QSharedPointer<Example> superseded = std::exchange(waiting.install, {});
            waiting.remove = true;
            if (superseded)
                finish(superseded, repositoryName, ExampleResult::skipped(tr("removed")));
            // An install that waits for the unarchiver, or runs in it, stops now; one at
            // another step, which takes moments, ends first.
            if (!withdraw(key))
                qCDebug(Log::service) << "Removal waits for the running install:" << key;
            continue;
        }
        // Nothing under way: gone before Apply returns, as the page expects.
        const QString error = removeExample(repositoryName, name);
        emit removed(repositoryName,
                     name,
                     error.isEmpty() ? ExampleResult::removed()
                                     : ExampleResult::removalFailed(error));
    }
}

void ExampleInstaller::startRemove(const QString &repositoryName, const QString &exampleName)
{
    runInPool<QString>([repositoryName, exampleName] {
                           return removeExample(repositoryName, exampleName);
                       },
                       [this, repositoryName, exampleName](const QString &error) {
                           emit removed(repositoryName,
                                        exampleName,
                                        error.isEmpty() ? ExampleResult::removed()
                                                        : ExampleResult::removalFailed(error));
                           nextStep(keyOf(repositoryName, exampleName));
                       },
                       1);
}

void ExampleInstaller::nextStep(const QString &key)
{
    if (stopped)
        return;
    auto it = steps.find(key);
    if (it == steps.end())
        return;
    const Step next = std::exchange(*it, {});
    const QString repositoryName = key.section(u'/', 0, 0);
    const QString exampleName = key.section(u'/', 1);
    if (next.install)
        startInstall(next.install, repositoryName);
    else if (next.remove)
        startRemove(repositoryName, exampleName);
    else
        steps.erase(it);
}

void ExampleInstaller::startInstall(const QSharedPointer<Example> &example,
                                    const QString &repositoryName)
{
    // An archive saved while it downloaded is taken over; from now on it is ours to remove.
    const QString savedArchive = example->takeArchiveFile();
    const QByteArray data = savedArchive.isEmpty() ? example->data() : QByteArray();
    if (data.isEmpty() && savedArchive.isEmpty()) {
        endInstall(
            example,
            repositoryName,
            ExampleResult::failed(ExampleResult::Failure::Download, tr("its archive is empty")),
            tr("The data is not downloaded for example: %1").arg(example->displayName()));
        return;
    }

    emit statusChanged(tr("Unpacking example: %1").arg(example->displayName()));

    // Writing megabytes, and creating files and directories, can wait for the disk while the
    // extractions fill it; that waiting is done in a pool thread, not in the IDE's event loop.
    // The thread holds the bytes until they are written; the record lets go of them now.
    const QString fileTemplate = temporaryArchiveTemplate(example->id());
    const QString displayName = example->displayName();
    const std::optional<ArchiveCheck> check
        = savedArchive.isEmpty() ? std::nullopt : example->archiveCheck();
    ArchiveLimits limits;
    limits.maxUnpackedBytes = Settings::maxUnpackedBytes(Core::ICore::settings());
    example->clearData();
    runInPool<PreparedArchive>(
        [this, fileTemplate, data, savedArchive, check, limits, displayName, repositoryName] {
            PreparedArchive prepared = prepareArchive(
                fileTemplate, data, savedArchive, check, limits, displayName, repositoryName);
            if (!prepared.archivePath.isEmpty()) {
                QMutexLocker locker(&archivesMutex);
                savedArchives.insert(prepared.archivePath);
            }
            return prepared;
        },
        [this, example, repositoryName](const PreparedArchive &prepared) {
            if (stopped) {
                forgetArchive(prepared.archivePath);
                return;
            }
            if (!prepared.error.isEmpty()) {
                endInstall(example,
                           repositoryName,
                           ExampleResult::failed(ExampleResult::Failure::Disk, prepared.reason),
                           prepared.error);
                return;
            }
            if (!prepared.check.isIntact()) {
                const bool damaged = prepared.check.outcome == ArchiveCheck::Outcome::Damaged
                                     || prepared.check.outcome == ArchiveCheck::Outcome::Unreadable;
                if (damaged) {
                    endInstall(example,
                               repositoryName,
                               ExampleResult::failed(
                                   ExampleResult::Failure::DamagedArchive,
                                   tr("the archive is damaged: %1").arg(prepared.check.reason)),
                               tr("The archive of %1 is damaged: %2")
                                   .arg(example->displayName(), prepared.check.reason));
                } else {
                    const bool unsafe = prepared.check.outcome == ArchiveCheck::Outcome::Unsafe;
                    endInstall(example,
                               repositoryName,
                               ExampleResult::failed(unsafe ? ExampleResult::Failure::Unpacking
                                                            : ExampleResult::Failure::SizeLimit,
                                                     prepared.check.reason),
                               tr("Skip installing example %1 - %2")
                                   .arg(example->displayName(), prepared.check.reason));
                }
                return;
            }
            qCDebug(Log::service) << "Saved temp file:" << prepared.archivePath;
            unpackQueue.append({example, prepared});
            startUnpacking();
        });
}

QString ExampleInstaller::Extraction::destDir() const
{
    return batchDir ? batchDir->path() : jobs.first().prepared.unpackDir->path();
}

void ExampleInstaller::startUnpacking()
{
    // A few extractions at a time, the next one started when one ends: started all at once
    // they would only compete for the processor and the disk. The archives are saved ahead,
    // as they arrive, so that an extraction can start the moment the one before it ends.
    const int limit = qMax(2, QThread::idealThreadCount());
    while (runningExtractions.size() + preparingBatches.size() < limit && !unpackQueue.isEmpty()) {
        QList<Job> jobs = takeBatch();
        if (jobs.size() > 1) {
            prepareBatch(std::move(jobs));
            continue;
        }
        Extraction extraction;
        extraction.archivePath = jobs.first().prepared.archivePath;
        extraction.lock = jobs.first().prepared.lock;
        extraction.jobs = std::move(jobs);
        startUnarchiver(std::move(extraction));
    }
}

QList<ExampleInstaller::Job> ExampleInstaller::takeBatch()
{
    const auto small = [](const Job &job) {
        return !job.alone && job.prepared.check.unpackedBytes <= BATCH_MEMBER_BYTES
               && job.prepared.check.entries <= BATCH_MEMBER_ENTRIES;
    };
    QList<Job> batch{unpackQueue.takeFirst()};
    if (!small(batch.first()))
        return batch;
    // Together they stay within what one example may unpack to.
    const qint64 maxBytes = qMin(BATCH_BYTES, Settings::maxUnpackedBytes(Core::ICore::settings()));
    const qint64 maxEntries = ArchiveLimits().maxEntries;
    const QString repositoryName = batch.first().prepared.repositoryName;
    qint64 bytes = batch.first().prepared.check.unpackedBytes;
    qint64 entries = batch.first().prepared.check.entries;
    for (auto it = unpackQueue.begin(); it != unpackQueue.end() && batch.size() < BATCH_EXAMPLES;) {
        const ArchiveCheck &check = it->prepared.check;
        if (it->prepared.repositoryName != repositoryName || !small(*it)
            || bytes + check.unpackedBytes > maxBytes || entries + check.entries > maxEntries) {
            ++it;
            continue;
        }
        bytes += check.unpackedBytes;
        entries += check.entries;
        batch.append(*it);
        it = unpackQueue.erase(it);
    }
    for (int i = 0; i < batch.size(); ++i)
        batch[i].batchIndex = i;
    return batch;
}

namespace {

struct PreparedBatch
{
    QString archivePath;
    std::shared_ptr<QTemporaryDir> dir;
    std::shared_ptr<UnpackLock> lock;
    QString error;
};

} // namespace

void ExampleInstaller::prepareBatch(QList<Job> jobs)
{
    const int id = ++lastBatchId;
    QStringList sources;
    for (const Job &job : std::as_const(jobs))
        sources.append(job.prepared.archivePath);
    const QString repositoryDir = repositoryPath(jobs.first().prepared.repositoryName);
    const QString fileTemplate = ArchiveFolder::path() + QStringLiteral("/brindle-batch-XXXXXX")
                                 + QLatin1String(Constants::TAR_EXTENSION);
    preparingBatches.insert(id, std::move(jobs));
    runInPool<PreparedBatch>(
        [this, sources, repositoryDir, fileTemplate] {
            PreparedBatch batch;
            QTemporaryFile file(fileTemplate);
            if (!file.open()) {
                batch.error = file.errorString();
                return batch;
            }
            file.setAutoRemove(false);
            batch.archivePath = file.fileName();
            file.close();
            {
                QMutexLocker locker(&archivesMutex);
                savedArchives.insert(batch.archivePath);
            }
            batch.error = BatchArchive::write(sources, batch.archivePath);
            if (batch.error.isEmpty())
                batch.error = makeUnpackDir(repositoryDir, &batch.dir, &batch.lock);
            return batch;
        },
        [this, id](const PreparedBatch &batch) {
            QList<Job> jobs = preparingBatches.take(id);
            Extraction extraction;
            extraction.archivePath = batch.archivePath;
            extraction.batchDir = batch.dir;
            extraction.lock = batch.lock;
            if (stopped) {
                forgetArchive(batch.archivePath);
                return;
            }
            if (!batch.error.isEmpty() || jobs.isEmpty()) {
                // Each is unpacked on its own then; what failed here fails there again, for
                // the example it belongs to.
                if (!batch.error.isEmpty())
                    qCDebug(Log::service) << "Unable to join archives:" << batch.error;
                requeue(std::move(jobs), true);
                if (batch.dir)
                    dropBatch(extraction);
                else
                    forgetArchive(batch.archivePath);
                startUnpacking();
                return;
            }
            extraction.jobs = std::move(jobs);
            startUnarchiver(std::move(extraction));
            startUnpacking();
        },
        1);
}

void ExampleInstaller::requeue(QList<Job> jobs, bool alone)
{
    for (auto it = jobs.rbegin(); it != jobs.rend(); ++it) {
        it->alone = it->alone || alone;
        it->batchIndex = -1;
        unpackQueue.prepend(*it);
    }
}

void ExampleInstaller::dropBatch(const Extraction &extraction)
{
    runInPool<bool>(
        [this, archivePath = extraction.archivePath, dir = extraction.batchDir, lock = extraction.lock] {
            forgetArchive(archivePath);
            removeTree(dir->path());
            return true;
        },
        [](bool) {},
        1);
}

void ExampleInstaller::startUnarchiver(Extraction extraction)
{
    extraction.unpackLimit = Settings::maxUnpackedBytes(Core::ICore::settings());
    const auto fail = [this, &extraction](const ExampleResult &result) {
        if (extraction.isBatch())
            dropBatch(extraction);
        for (const Job &job : std::as_const(extraction.jobs))
            discard(job, result);
    };
    const Utils::FilePath archive = Utils::FilePath::fromString(extraction.archivePath);
    const auto sourceAndCommand = Utils::Unarchiver::sourceAndCommand(archive);
    if (!sourceAndCommand) {
        emit statusChanged(tr("Downloaded file is not an archive"));
        fail(ExampleResult::failed(
            ExampleResult::Failure::Unpacking,
            tr("no tool was found to unpack it: %1").arg(sourceAndCommand.error())));
        return;
    }
    // Never fill the disk: what the archives unpack to, as their headers say, must leave room.
    qint64 unpackedBytes = 0;
    for (const Job &job : std::as_const(extraction.jobs))
        unpackedBytes += job.prepared.check.unpackedBytes;
    if (QString why; !Settings::leavesEnoughFreeSpace(extraction.destDir(), unpackedBytes, &why)) {
        for (const Job &job : std::as_const(extraction.jobs)) {
            emit statusChanged(
                tr("Skip installing example %1 - %2").arg(job.example->displayName(), why));
        }
        fail(ExampleResult::failed(ExampleResult::Failure::Disk, why));
        return;
    }

    auto unarchiver = new Utils::Unarchiver;
    unarchiver->setSourceAndCommand(*sourceAndCommand);
    unarchiver->setDestDir(Utils::FilePath::fromString(extraction.destDir()));
    unarchiver->setParent(this);

    connect(unarchiver,
            &Utils::Unarchiver::outputReceived,
            this,
            [lastOutput = extraction.lastOutput](const QString &output) {
                qCDebug(Log::arch) << "Unpacking output:" << output;
                const QString line = output.trimmed().section(u'\n', -1).trimmed();
                if (!line.isEmpty())
                    *lastOutput = line.left(200);
            });
    connect(unarchiver,
            &Utils::Unarchiver::done,
            this,
            [this, unarchiver](Tasking::DoneResult result) {
                unarchiver->deleteLater();
                const auto it = runningExtractions.constFind(unarchiver);
                if (it == runningExtractions.cend())
                    return;
                const Extraction extraction = *it;
                runningExtractions.erase(it);
                if (result == Tasking::DoneResult::Success) {
                    // The next extraction starts now and runs while these are registered.
                    startUnpacking();
                    if (extraction.isBatch()) {
                        runInPool<bool>(
                            [this, archivePath = extraction.archivePath] {
                                forgetArchive(archivePath);
                                return true;
                            },
                            [](bool) {},
                            1);
                    }
                    for (const Job &job : extraction.jobs)
                        registerExample(job, extraction);
                    return;
                }
                if (extraction.isBatch()) {
                    qCDebug(Log::service) << "Unable to unpack a batch, unpacking its examples"
                                             " one by one:" << *extraction.lastOutput;
                    requeue(extraction.jobs, true);
                    dropBatch(extraction);
                    startUnpacking();
                    return;
                }
                startUnpacking();
                const Job &job = extraction.jobs.first();
                qCDebug(Log::service) << "Unable to unpack example:" << job.example->name();
                emit statusChanged(tr("There was an error while unarchiving"));
                const QString output = *extraction.lastOutput;
                discard(job,
                        ExampleResult::failed(ExampleResult::Failure::Unpacking,
                                              output.isEmpty()
                                                  ? tr("the unarchiver failed")
                                                  : tr("the unarchiver failed: %1").arg(output)));
            });
    runningExtractions.insert(unarchiver, extraction);
    unarchiver->start();
    // The headers said what it unpacks to; the walk is a second line against a tool that
    // writes more than they say. Most extractions end before it is first needed.
    if (runningExtractions.contains(unarchiver)) {
        QPointer<Utils::Unarchiver> guard(unarchiver);
        QTimer::singleShot(FIRST_WATCH_DELAY_MS, this, [this, guard] {
            if (guard)
                watchExtraction(guard);
        });
    }
}

void ExampleInstaller::watchExtraction(Utils::Unarchiver *unarchiver)
{
    const auto it = runningExtractions.constFind(unarchiver);
    if (it == runningExtractions.cend())
        return;
    const QString path = it->destDir();
    const qint64 limit = it->unpackLimit;
    QPointer<Utils::Unarchiver> guard(unarchiver);
    // Looked at in a pool thread, before the other pool work: walking a large tree takes
    // time, and tar may fill the disk meanwhile.
    runInPool<std::pair<qint64, qint64>>(
        [path, lock = it->lock] {
            QElapsedTimer clock;
            clock.start();
            recordExtraction(lock.get(), path);
            const qint64 used = diskUsage(path);
            return std::make_pair(used, clock.elapsed());
        },
        [this, guard, limit](const std::pair<qint64, qint64> &usage) {
            if (stopped || !guard || !runningExtractions.contains(guard))
                return; // the extraction has ended meanwhile
            if (usage.first > limit) {
                stopOversized(guard);
                return;
            }
            // The walk takes at most a fifth of a pool thread, however large the tree.
            const int pause = int(qMax<qint64>(WATCH_INTERVAL_MS, 4 * usage.second));
            QTimer::singleShot(pause, this, [this, guard] {
                if (guard)
                    watchExtraction(guard);
            });
        },
        2);
}

void ExampleInstaller::stopOversized(Utils::Unarchiver *unarchiver)
{
    const Extraction extraction = runningExtractions.take(unarchiver);
    qCDebug(Log::service) << "Stopping extraction beyond the limit:" << extraction.destDir()
                          << extraction.unpackLimit;
    // Stops the tool; nothing is reported by it any more.
    delete unarchiver;
    if (extraction.isBatch()) {
        // Which of them wrote more than its headers said is found out one by one.
        requeue(extraction.jobs, true);
        dropBatch(extraction);
        startUnpacking();
        return;
    }
    startUnpacking();
    const Job &job = extraction.jobs.first();
    emit statusChanged(oversizedStatus(job.example->displayName(), extraction.unpackLimit));
    discard(job,
            ExampleResult::failed(ExampleResult::Failure::SizeLimit,
                                  oversizedReason(extraction.unpackLimit)));
}

bool ExampleInstaller::withdraw(const QString &key)
{
    const auto matches = [&key](const Job &job) {
        return keyOf(job.prepared.repositoryName, job.example->name()) == key;
    };
    const ExampleResult result = ExampleResult::skipped(tr("it was removed"));
    // Waiting for an extraction, or in a batch whose archives are being joined (its folder
    // there is never looked at)
    const auto takeFrom = [&](QList<Job> &jobs) {
        const auto it = std::find_if(jobs.begin(), jobs.end(), matches);
        if (it == jobs.end())
            return false;
        const Job job = *it;
        jobs.erase(it);
        discard(job, result);
        return true;
    };
    if (takeFrom(unpackQueue))
        return true;
    for (QList<Job> &jobs : preparingBatches) {
        if (takeFrom(jobs))
            return true;
    }
    // Being unpacked: the tool stops, and the others unpacked with it wait for the next run.
    for (auto it = runningExtractions.begin(); it != runningExtractions.end(); ++it) {
        const auto job = std::find_if(it->jobs.cbegin(), it->jobs.cend(), matches);
        if (job == it->jobs.cend())
            continue;
        const Job withdrawn = *job;
        Extraction extraction = *it;
        Utils::Unarchiver *unarchiver = it.key();
        runningExtractions.erase(it);
        qCDebug(Log::service) << "Stopping the extraction of a removed example:" << key;
        delete unarchiver;
        if (extraction.isBatch()) {
            extraction.jobs.removeIf(matches);
            requeue(extraction.jobs, false);
            dropBatch(extraction);
        }
        startUnpacking();
        discard(withdrawn, result);
        return true;
    }
    return false;
}

void ExampleInstaller::discard(const Job &job, const ExampleResult &result)
{
    // Whatever was unpacked goes before the example counts as finished: nothing half
    // unpacked is left behind. Finishing examples goes before saving archives ahead.
    runInPool<bool>(
        [this, prepared = job.prepared] {
            removeLeftovers(prepared);
            forgetArchive(prepared.archivePath);
            return true;
        },
        [this, job, result](bool) { endInstall(job.example, job.prepared.repositoryName, result); },
        1);
}

void ExampleInstaller::registerExample(const Job &job, const Extraction &extraction)
{
    const QSharedPointer<Example> &example = job.example;
    InstallJob install;
    install.exampleName = example->name();
    install.manifest.module = job.prepared.repositoryName;
    install.manifest.displayName = example->displayName();
    install.manifest.description = example->description();
    install.manifest.tags = example->tags().join(u',');
    install.manifest.image = example->image();
    install.prepared = job.prepared;
    install.unpackLimit = extraction.unpackLimit;
    if (extraction.isBatch()) {
        install.unpackedIn = extraction.batchDir->path() + u'/'
                             + BatchArchive::folderOf(job.batchIndex);
        install.batchDir = extraction.batchDir;
        install.batchLock = extraction.lock;
    } else {
        install.unpackedIn = job.prepared.unpackDir->path();
    }

    // Walking the tree, searching its files and writing the manifest and icon take tens of
    // milliseconds an example; in a pool thread they do not hold up the IDE.
    runInPool<Installed>(
        [this, install] {
            const Installed installed = installUnpacked(install);
            forgetArchive(install.prepared.archivePath);
            return installed;
        },
        [this, example, repositoryName = job.prepared.repositoryName](const Installed &installed) {
            if (installed.result.isInstalled())
                example->setManifest(installed.manifest);
            endInstall(example, repositoryName, installed.result, installed.status);
        },
        1);
}

void ExampleInstaller::finish(const QSharedPointer<Example> &example,
                              const QString &repositoryName,
                              const ExampleResult &result,
                              const QString &status)
{
    // After shutdown() nobody is told of anything any more.
    if (stopped)
        return;
    if (!status.isEmpty())
        emit statusChanged(status);
    emit finished(example, repositoryName, result);
}

void ExampleInstaller::endInstall(const QSharedPointer<Example> &example,
                                  const QString &repositoryName,
                                  const ExampleResult &result,
                                  const QString &status)
{
    finish(example, repositoryName, result, status);
    nextStep(keyOf(repositoryName, example->name()));
}

void ExampleInstaller::checkLocalChanges(const QString &repositoryName)
{
    if (stopped)
        return;
    runInPool<QSet<QString>>([repositoryName] { return changedExamples(repositoryName); },
                             [this, repositoryName](const QSet<QString> &changed) {
                                 if (!stopped)
                                     emit localChangesChecked(repositoryName, changed);
                             });
}

void ExampleInstaller::sweepLeftovers(const QStringList &repositoryNames)
{
    QStringList folders;
    for (const QString &name : repositoryNames)
        folders.append(repositoryPath(name));
    runInPool<bool>([folders] {
        for (const QString &folder : folders)
            sweepFolder(folder);
        ArchiveFolder::sweep();
        return true;
    }, [this](bool) { emit leftoversSwept(); });
}

} // namespace Brindle::Internal
