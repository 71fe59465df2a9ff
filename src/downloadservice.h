// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "repository.h"
#include "settings.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <memory>

QT_BEGIN_NAMESPACE
class QTemporaryDir;
class QWidget;
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

// The one service of the plugin: keeps the configured repositories, decides after every
// listing what to (re)install, unpacks and registers downloaded examples and tells the
// host when its examples changed.
class DownloadService : public QObject
{
    Q_OBJECT

public:
    explicit DownloadService(QObject *parent = nullptr);
    ~DownloadService() override;

    QSharedPointer<Repository> findRepository(const QString &name) const;
    QList<QSharedPointer<Example>> examples(const QString &name) const;
    void save(const QString &name, const QSet<QString> &examples);

    // The restart check's state, for diagnostics and tests.
    bool isRestartCheckActive() const { return restartTimer.isActive(); }
    std::chrono::milliseconds restartInterval() const { return restartTimer.intervalAsDuration(); }
    // Examples downloaded and neither installed nor given up yet, for diagnostics and tests.
    qsizetype pendingCount() const { return pendingExamples.size(); }

signals:
    void updated();
    void statusChanged(const QString &status);

public slots:
    void shutdown();

private slots:
    void onExampleDownloaded(const QSharedPointer<Brindle::Internal::Example> &example);
    void onDownloaded(const Brindle::Internal::Repository::Examples &examples);
    void onFetched();
    void onDeferredDialogClosed();

private:
    void emitStatusChanged(const QString &status);
    void checkRestart();
    void startUnpacking();
    void downloadExample(const QSharedPointer<Example> &example, QObject *source);
    void startUnarchiver(const QSharedPointer<Example> &example, const PreparedArchive &prepared);
    void registerExample(const QSharedPointer<Example> &example, const PreparedArchive &prepared);
    void discard(const QSharedPointer<Example> &example, const PreparedArchive &prepared);
    void finishRegisterExample(const QSharedPointer<Example> &example);
    void emitUpdatesWhenNoDialog();
    // Runs 'work' in a pool thread and hands its result to 'done' in this object's thread;
    // nothing is handed over once the service is gone. Work of a higher priority is taken
    // from the pool's queue first.
    template<typename Result, typename Work, typename Done>
    void runInPool(Work work, Done done, int priority = 0);
    void deferUpdatesUntilDialogClosed(QWidget *dialog);

    Settings settings;
    QTimer restartTimer;
    QList<QSharedPointer<Repository>> repositories;
    QList<QSharedPointer<Example>> pendingExamples;
    // Examples taken for unpacking from batches still downloading, by their repository.
    QHash<QObject *, QList<QSharedPointer<Example>>> receivedExamples;
    // Saved archives waiting for an extraction slot.
    QList<QPair<QSharedPointer<Example>, PreparedArchive>> unpackQueue;
    int runningUnpacks = 0;
    bool stopped = false;
    bool updatesDeferred = false;
    QPointer<QWidget> deferredDialog;
    // File work of the installation; waited for on destruction, so that no thread works in
    // the examples folder, or runs this library's code, once the service is gone.
    QThreadPool workers;
};

} // namespace Brindle::Internal
