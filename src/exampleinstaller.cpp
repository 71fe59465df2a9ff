// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "exampleinstaller.h"

#include "constants.h"
#include "logging.h"
#include "manifestwriter.h"
#include "settings.h"

#include <solutions/tasking/tasktree.h>
#include <utils/filepath.h>
#include <utils/unarchiver.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace Brindle::Internal {

namespace {

// Installation layout: <data location>/<repository>/<example>, one directory per example
// named after Example::name(). Built when the library loads, which fixes the data location
// for the whole session. Paths are built by appending, never with arg(): a name holding
// "%1" or "%2" must not be expanded a second time.
const QString TARGET = Settings::location() + QStringLiteral("/%2");

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

// An archive decides what its members are. GNU tar already strips absolute member paths
// and refuses ".." members and writes through links, but it still creates symbolic links
// that lead anywhere, as well as FIFOs and device nodes. Links that do not resolve inside
// the example, and everything that is neither a file, a directory nor a link, are removed
// before anything reads or writes through them. Directories are opened up for their owner,
// so that the manifest can be written and the tree be removed again.
void secureUnpackedTree(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root = fs::canonical(fs::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);

    QList<fs::path> unwanted;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path entry = it->path();
        const fs::file_status status = fs::symlink_status(entry, error);
        if (error)
            break;
        if (fs::is_directory(status)) {
            fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, error);
            error.clear();
        } else if (fs::is_symlink(status)) {
            std::error_code resolveError;
            const fs::path target = fs::canonical(entry, resolveError);
            if (resolveError || !isInside(target, root))
                unwanted.append(entry);
        } else if (!fs::is_regular_file(status)) {
            unwanted.append(entry);
        }
    }
    for (const fs::path &entry : std::as_const(unwanted)) {
        qCDebug(Log::arch) << "Removing unsafe archive member:"
                           << QFile::decodeName(QByteArray::fromStdString(entry.string()));
        fs::remove(entry, error);
    }
}

// Unpacked directory names belonging to example 'name' in 'path', oldest first. Entries
// that belong to another example with a longer name sharing the prefix are left alone.
QStringList findDirNames(const QString &path, const QString &name, const QStringList &otherNames)
{
    const QStringList entries
        = QDir(path).entryList({name + u'*'},
                               QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden,
                               QDir::Time | QDir::Reversed);
    QStringList result;
    for (const QString &entry : entries) {
        const bool other = std::any_of(
            otherNames.cbegin(), otherNames.cend(), [&name, &entry](const QString &otherName) {
                return otherName.size() > name.size() && entry.startsWith(otherName);
            });
        if (!other)
            result.append(entry);
    }
    return result;
}

// Saves an archive, unless it was saved while it downloaded ('savedArchive'), and creates the
// private directory it is going to be unpacked into. Runs in a pool thread; on failure nothing
// is left and the error is the status text to show.
PreparedArchive prepareArchive(const QString &fileTemplate,
                               const QByteArray &data,
                               const QString &savedArchive,
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
            return prepared;
        }
        archiveFile.setAutoRemove(false);
        archivePath = archiveFile.fileName();
    }

    // Next to the installed examples (same file system, so the result can be renamed into
    // place), hidden so that it never counts as an installed example.
    QDir().mkpath(repositoryDir);
    auto unpackDir
        = std::make_shared<QTemporaryDir>(repositoryDir + QStringLiteral(".unpack-XXXXXX"));
    if (!unpackDir->isValid()) {
        prepared.error
            = ExampleInstaller::tr("Unable to create a directory in: %1").arg(repositoryDir);
        QFile::remove(archivePath);
        return prepared;
    }
    prepared.archivePath = archivePath;
    prepared.unpackDir = unpackDir;
    return prepared;
}

// Removes the archive and whatever is still in the unpack directory. Runs in a pool thread.
void removeLeftovers(const PreparedArchive &prepared)
{
    QFile::remove(prepared.archivePath);
    prepared.unpackDir->remove();
}

// What installing an unpacked example needs to know of it. Taken in the GUI thread, so that
// the file work can run in a pool thread without touching the example record.
struct InstallJob
{
    QString exampleName;
    ManifestWriter manifest;
    // The names of the repository's examples, to tell "demo" and "demo-2" apart.
    QStringList otherNames;
    PreparedArchive prepared;
};

// Moves 'source' to 'target', replacing an existing directory there. The old copy is only
// removed once the new one is in place, and put back when the move fails.
bool replaceDirectory(const QString &source, const QString &target)
{
    const QFileInfo targetInfo(target);
    std::unique_ptr<QTemporaryDir> trash;
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        trash = std::make_unique<QTemporaryDir>(targetInfo.absolutePath()
                                                + QStringLiteral("/.replaced-XXXXXX"));
        if (!trash->isValid() || !QDir().rename(target, trash->filePath(QStringLiteral("old"))))
            return false;
    }
    if (QDir().rename(source, target))
        return true;
    if (trash)
        QDir().rename(trash->filePath(QStringLiteral("old")), target);
    return false;
}

// Moves the example unpacked into 'job.prepared.unpackDir' into place with its manifest. Runs in a
// pool thread; returns the status text of a failure, or nothing. The unpack directory is
// emptied in any case: nothing half unpacked is left behind.
QString installUnpacked(const InstallJob &job)
{
    const auto cleanUp = qScopeGuard([&job] { removeLeftovers(job.prepared); });
    const QString unpackDir = job.prepared.unpackDir->path();

    const QStringList dirs = findDirNames(unpackDir, job.exampleName, job.otherNames);
    if (dirs.isEmpty()) {
        return ExampleInstaller::tr(
                   "Skip registering example %1 - the archive holds no directory of it")
            .arg(job.manifest.displayName);
    }
    const QString unpacked = unpackDir + u'/' + dirs.last();
    secureUnpackedTree(unpacked);

    // The manifest is written before the example is moved into place, so that a failure
    // leaves the installed copy, if any, as it was.
    const QString target = examplePath(job.prepared.repositoryName, job.exampleName);
    if (!job.manifest.write(unpacked, target))
        return ExampleInstaller::tr("There was an error while creating example mainfest");

    if (!replaceDirectory(unpacked, target)) {
        return ExampleInstaller::tr("Unable to install example %1 into: %2")
            .arg(job.manifest.displayName, target);
    }
    return {};
}

} // namespace

ExampleInstaller::ExampleInstaller(QObject *parent)
    : QObject(parent)
{}

ExampleInstaller::~ExampleInstaller()
{
    shutdown();
    workers.waitForDone();
}

void ExampleInstaller::shutdown()
{
    stopped = true;
    // Saved archives that were waiting for their extraction go; their unpack folders go
    // with the last reference to them.
    for (const Job &job : std::as_const(unpackQueue))
        QFile::remove(job.prepared.archivePath);
    unpackQueue.clear();
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

void ExampleInstaller::install(const QSharedPointer<Example> &example,
                               const QString &repositoryName,
                               const QStringList &otherNames)
{
    // An archive saved while it downloaded is taken over; from now on it is ours to remove.
    const QString savedArchive = example->takeArchiveFile();
    const QByteArray data = savedArchive.isEmpty() ? example->data() : QByteArray();
    if (data.isEmpty() && savedArchive.isEmpty()) {
        finish(example, tr("The data is not downloaded for example: %1").arg(example->displayName()));
        return;
    }
    if (!isSafePathComponent(example->name())) {
        if (!savedArchive.isEmpty())
            QFile::remove(savedArchive);
        finish(example,
               tr("Skip saving example %1 - unsafe name: %2")
                   .arg(example->displayName(), example->name()));
        return;
    }

    emit statusChanged(tr("Unpacking example: %1").arg(example->displayName()));

    // Writing megabytes, and creating files and directories, can wait for the disk while the
    // extractions fill it; that waiting is done in a pool thread, not in the IDE's event loop.
    // The thread holds the bytes until they are written; the record lets go of them now.
    const QString fileTemplate = QStringLiteral("%1%2%3-XXXXXX%4")
                                     .arg(QDir::tempPath(),
                                          QStringLiteral("/"),
                                          example->name(),
                                          QLatin1String(Constants::ARCHIVE_EXTENSION));
    const QString displayName = example->displayName();
    example->clearData();
    runInPool<PreparedArchive>(
        [fileTemplate, data, savedArchive, displayName, repositoryName] {
            return prepareArchive(fileTemplate, data, savedArchive, displayName, repositoryName);
        },
        [this, example, otherNames](const PreparedArchive &prepared) {
            if (stopped) {
                QFile::remove(prepared.archivePath);
                return;
            }
            if (!prepared.error.isEmpty()) {
                finish(example, prepared.error);
                return;
            }
            qCDebug(Log::service) << "Saved temp file:" << prepared.archivePath;
            unpackQueue.append({example, otherNames, prepared});
            startUnpacking();
        });
}

void ExampleInstaller::startUnpacking()
{
    // A few extractions at a time, the next one started when one ends: started all at once
    // they would only compete for the processor and the disk. The archives are saved ahead,
    // as they arrive, so that an extraction can start the moment the one before it ends.
    const int limit = qMax(2, QThread::idealThreadCount());
    while (runningUnpacks < limit && !unpackQueue.isEmpty())
        startUnarchiver(unpackQueue.takeFirst());
}

void ExampleInstaller::startUnarchiver(const Job &job)
{
    const Utils::FilePath archive = Utils::FilePath::fromString(job.prepared.archivePath);
    const auto sourceAndCommand = Utils::Unarchiver::sourceAndCommand(archive);
    if (!sourceAndCommand) {
        emit statusChanged(tr("Downloaded file is not an archive"));
        discard(job);
        return;
    }

    auto unarchiver = new Utils::Unarchiver;
    unarchiver->setSourceAndCommand(*sourceAndCommand);
    unarchiver->setDestDir(Utils::FilePath::fromString(job.prepared.unpackDir->path()));
    unarchiver->setParent(this);

    connect(unarchiver, &Utils::Unarchiver::outputReceived, this, [](const QString &output) {
        qCDebug(Log::arch) << "Unpacking output:" << output;
    });
    connect(unarchiver,
            &Utils::Unarchiver::done,
            this,
            [this, unarchiver, job](Tasking::DoneResult result) {
                unarchiver->deleteLater();
                // The next extraction starts now and runs while this one is registered.
                --runningUnpacks;
                startUnpacking();
                if (result == Tasking::DoneResult::Success) {
                    registerExample(job);
                    return;
                }
                qCDebug(Log::service) << "Unable to unpack example:" << job.example->name();
                emit statusChanged(tr("There was an error while unarchiving"));
                discard(job);
            });
    ++runningUnpacks;
    unarchiver->start();
}

void ExampleInstaller::discard(const Job &job)
{
    // Whatever was unpacked goes before the example counts as finished: nothing half
    // unpacked is left behind. Finishing examples goes before saving archives ahead.
    runInPool<bool>(
        [prepared = job.prepared] {
            removeLeftovers(prepared);
            return true;
        },
        [this, example = job.example](bool) { finish(example); },
        1);
}

void ExampleInstaller::registerExample(const Job &job)
{
    const QSharedPointer<Example> &example = job.example;
    InstallJob install;
    install.exampleName = example->name();
    install.manifest.module = job.prepared.repositoryName;
    install.manifest.displayName = example->displayName();
    install.manifest.description = example->description();
    install.manifest.tags = example->tags().join(u',');
    install.manifest.image = example->image();
    install.otherNames = job.otherNames;
    install.prepared = job.prepared;

    // Walking the tree, searching its files and writing the manifest and icon take tens of
    // milliseconds an example; in a pool thread they do not hold up the IDE.
    runInPool<QString>([install] { return installUnpacked(install); },
                       [this, example](const QString &status) { finish(example, status); },
                       1);
}

void ExampleInstaller::finish(const QSharedPointer<Example> &example, const QString &status)
{
    if (!status.isEmpty())
        emit statusChanged(status);
    emit finished(example);
}

} // namespace Brindle::Internal
