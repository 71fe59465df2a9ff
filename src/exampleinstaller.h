// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "archiveverifier.h"
#include "example.h"
#include "exampleresult.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QStringList>
#include <QThreadPool>

#include <memory>

QT_BEGIN_NAMESPACE
class QTemporaryDir;
QT_END_NAMESPACE

namespace Utils { class Unarchiver; }

namespace Brindle::Internal {

// An example's archive saved to a temporary file, and the private directory it is unpacked
// into before it is moved into place.
// A file beside an unpack folder, locked for as long as the folder is in use, and removed
// with the last reference to it. The kernel lets go of the lock when the IDE dies, however it
// dies: a folder whose lock can be taken was left behind.
struct UnpackLock;

struct PreparedArchive
{
    QString repositoryName;
    QString archivePath;
    std::shared_ptr<QTemporaryDir> unpackDir;
    std::shared_ptr<UnpackLock> lock;
    QString error;  // the status text when either could not be created
    QString reason; // and why, for the example's result
    // The archive's check; when it is not intact, nothing else was made.
    ArchiveCheck check;
};

// Installs downloaded examples: takes an example's archive to a temporary file, unpacks it
// with the host's unarchiver into a private folder next to the installed examples, makes the
// unpacked tree safe, writes its manifest and moves it into place, replacing the old copy.
// Whatever can wait for the disk runs in a pool thread of its own.
class ExampleInstaller : public QObject
{
    Q_OBJECT

public:
    explicit ExampleInstaller(QObject *parent = nullptr);
    ~ExampleInstaller() override;

    // Installs 'example', whose archive is downloaded, into the folder of repository
    // 'repositoryName'. Ends with finished() and the example's result, whether it was
    // installed or not.
    // The work for one example is done one step at a time: while it is being installed or
    // removed, a later request waits, and replaces a request that was already waiting.
    void install(const QSharedPointer<Example> &example, const QString &repositoryName);
    // Removes the folders of the named examples: at once, or once the step under way for
    // an example has ended.
    void remove(const QString &repositoryName, const QStringList &exampleNames);
    // Removes what a stopped installation left in the repositories' folders and the archive
    // folders of IDEs that are gone, and stops an extraction that such an IDE left running.
    // Ends with leftoversSwept().
    void sweepLeftovers(const QStringList &repositoryNames);
    // Looks, in a pool thread, which installed examples of the repository the user changed;
    // ends with localChangesChecked().
    void checkLocalChanges(const QString &repositoryName);
    // Stops the extractions and drops the archives; nothing is reported any more.
    void shutdown();

    bool isBusy(const QString &repositoryName, const QString &exampleName) const;

signals:
    void statusChanged(const QString &status);
    void leftoversSwept();
    void finished(const QSharedPointer<Brindle::Internal::Example> &example,
                  const QString &repositoryName,
                  const Brindle::Internal::ExampleResult &result);
    // The installed examples of the repository whose files differ from what was installed.
    void localChangesChecked(const QString &repositoryName, const QSet<QString> &changed);
    // A removal is done: Removed, or RemovalFailed with the reason.
    void removed(const QString &repositoryName,
                 const QString &exampleName,
                 const Brindle::Internal::ExampleResult &result);

private:
    struct Job
    {
        QSharedPointer<Example> example;
        PreparedArchive prepared;
        // Unpacked on its own, never in a batch: a batch it was in failed.
        bool alone = false;
        // Its folder in the batch being unpacked, if any.
        int batchIndex = -1;
    };
    // One run of the unarchiver: the archive of one example, unpacked into that example's
    // folder, or several small ones joined into one stream and unpacked into a batch folder,
    // each into a folder of its own there.
    struct Extraction
    {
        QList<Job> jobs;
        QString archivePath;
        std::shared_ptr<QTemporaryDir> batchDir; // for a batch only
        std::shared_ptr<UnpackLock> lock;
        // The most the extraction may write, in bytes; taken when it starts.
        qint64 unpackLimit = 0;
        // The tool's last line of output, for the reason of a failure.
        std::shared_ptr<QString> lastOutput = std::make_shared<QString>();

        bool isBatch() const { return bool(batchDir); }
        QString destDir() const;
    };
    // What waits for the step under way for one example: an install or a removal.
    struct Step
    {
        QSharedPointer<Example> install;
        bool remove = false;
    };

    static QString keyOf(const QString &repositoryName, const QString &exampleName);
    void startInstall(const QSharedPointer<Example> &example, const QString &repositoryName);
    void startRemove(const QString &repositoryName, const QString &exampleName);
    void nextStep(const QString &key);
    void startUnpacking();
    // Takes the next job from the queue, with the small ones of its repository that wait
    // behind it when it is small itself.
    QList<Job> takeBatch();
    // Joins the archives of 'jobs' in a pool thread and unpacks them in one run.
    void prepareBatch(QList<Job> jobs);
    void startUnarchiver(Extraction extraction);
    // Puts jobs back at the head of the queue; 'alone' when they failed in a batch.
    void requeue(QList<Job> jobs, bool alone);
    // Removes a batch's joined archive and folder in a pool thread.
    void dropBatch(const Extraction &extraction);
    // Stops the work on an example that waits for, or is in, an extraction, and ends its
    // install as skipped. False when it is at another step.
    bool withdraw(const QString &key);
    // Looks, every little while until the extraction ends, at what it wrote so far, and
    // stops it once that is more than its limit.
    void watchExtraction(Utils::Unarchiver *unarchiver);
    void stopOversized(Utils::Unarchiver *unarchiver);
    void registerExample(const Job &job, const Extraction &extraction);
    void discard(const Job &job, const ExampleResult &result);
    void endInstall(const QSharedPointer<Example> &example,
                    const QString &repositoryName,
                    const ExampleResult &result,
                    const QString &status = {});
    void finish(const QSharedPointer<Example> &example,
                const QString &repositoryName,
                const ExampleResult &result,
                const QString &status = {});
    // Removes a saved archive; safe in pool threads.
    void forgetArchive(const QString &path);
    // Runs 'work' in a pool thread and hands its result to 'done' in this object's thread;
    // nothing is handed over once the installer is gone. Work of a higher priority is taken
    // from the pool's queue first.
    template<typename Result, typename Work, typename Done>
    void runInPool(Work work, Done done, int priority = 0);

    // The examples with a step under way, by keyOf(), and what waits for it.
    QHash<QString, Step> steps;
    // Saved archives waiting for an extraction slot.
    QList<Job> unpackQueue;
    // Batches whose archives are being joined, by a number of their own.
    QHash<int, QList<Job>> preparingBatches;
    int lastBatchId = 0;
    QHash<Utils::Unarchiver *, Extraction> runningExtractions;
    bool stopped = false;
    // The saved archives not yet removed, so that none is left behind at the end.
    QMutex archivesMutex;
    QSet<QString> savedArchives;
    // Waited for on destruction, so that no thread works in the examples folder, or runs
    // this library's code, once the installer is gone.
    QThreadPool workers;
};

} // namespace Brindle::Internal
