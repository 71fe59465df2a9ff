// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "example.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QSharedPointer>
#include <QStringList>
#include <QThreadPool>

#include <memory>

QT_BEGIN_NAMESPACE
class QTemporaryDir;
QT_END_NAMESPACE

namespace Brindle::Internal {

// An example's archive saved to a temporary file, and the private directory it is unpacked
// into before it is moved into place.
struct PreparedArchive
{
    QString repositoryName;
    QString archivePath;
    std::shared_ptr<QTemporaryDir> unpackDir;
    QString error; // the status text when either could not be created
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
    // 'repositoryName'. 'otherNames' are the names of the repository's examples. Ends with
    // finished(), whether the example was installed or not.
    void install(const QSharedPointer<Example> &example,
                 const QString &repositoryName,
                 const QStringList &otherNames);
    // Drops the archives still waiting for their extraction; nothing is reported any more.
    void shutdown();

signals:
    void statusChanged(const QString &status);
    void finished(const QSharedPointer<Brindle::Internal::Example> &example);

private:
    struct Job
    {
        QSharedPointer<Example> example;
        QStringList otherNames;
        PreparedArchive prepared;
    };

    void startUnpacking();
    void startUnarchiver(const Job &job);
    void registerExample(const Job &job);
    void discard(const Job &job);
    void finish(const QSharedPointer<Example> &example, const QString &status = {});
    // Runs 'work' in a pool thread and hands its result to 'done' in this object's thread;
    // nothing is handed over once the installer is gone. Work of a higher priority is taken
    // from the pool's queue first.
    template<typename Result, typename Work, typename Done>
    void runInPool(Work work, Done done, int priority = 0);

    // Saved archives waiting for an extraction slot.
    QList<Job> unpackQueue;
    int runningUnpacks = 0;
    bool stopped = false;
    // Waited for on destruction, so that no thread works in the examples folder, or runs
    // this library's code, once the installer is gone.
    QThreadPool workers;
};

} // namespace Brindle::Internal
