// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "exampleresult.h"
#include "repository.h"
#include "repositorystate.h"
#include "settings.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QTimer>

#include <chrono>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

namespace Brindle::Internal {

class ExampleInstaller;
class TokenStore;

// The one service of the plugin: keeps the configured repositories, decides after every
// listing what to (re)install, hands what was downloaded to the installer and tells the
// host when its examples changed.
class DownloadService : public QObject
{
    Q_OBJECT
    // Some repository has not finished its round: its lookup and listing, the downloads the
    // update decision or an Apply started, and their installation. A failed lookup or listing
    // ends the round; the restart check starts a new one.
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)
    // One line per failure of the repositories' latest rounds, "<repository>: <example>:
    // <reason>" or "<repository>: <reason>"; empty when every round did all it tried.
    Q_PROPERTY(QStringList failures READ failures)

public:
    explicit DownloadService(QObject *parent = nullptr);
    ~DownloadService() override;

    QSharedPointer<Repository> findRepository(const QString &name) const;
    QList<QSharedPointer<Example>> examples(const QString &name) const;
    void save(const QString &name, const QSet<QString> &examples);
    // Removes the folders of the named examples of repository 'name', after an install of
    // one of them that is under way; one still downloading is not installed any more.
    void remove(const QString &name, const QSet<QString> &examples);
    // Stores the access token of repository 'name' (empty: none) and looks the repository
    // up again with it.
    void setAccessToken(const QString &name, const QString &token);
    // The repositories' access tokens, kept in the system keychain.
    TokenStore *tokenStore() const { return tokens; }

    // The restart check's state, for diagnostics and tests.
    bool isRestartCheckActive() const { return restartTimer.isActive(); }
    std::chrono::milliseconds restartInterval() const { return restartTimer.intervalAsDuration(); }
    // Examples downloaded and neither installed nor given up yet, for diagnostics and tests.
    qsizetype pendingCount() const { return pendingExamples.size(); }
    bool isBusy() const { return busy; }
    RepositoryState repositoryState(const QString &name) const;
    // What removing or replacing the installed example would lose of the user's own work:
    // the paths, relative to its folder, that were changed, added or removed since it was
    // installed. Reads no file contents; empty when nothing changed.
    QStringList localChanges(const QString &repository, const QString &example) const;
    // Looks again which installed examples of repository 'name' the user changed; the
    // repository's state follows (changedLocally).
    void checkLocalChanges(const QString &name);
    QStringList failures() const;

signals:
    void updated();
    void statusChanged(const QString &status);
    void busyChanged(bool busy);
    // Sent at once, also while a modal dialog is open, unlike updated().
    void repositoryStateChanged(const QString &name);
    // An example that save() or the update cycle asked for has been installed, or could not
    // be downloaded or installed, or was skipped.
    void exampleFinished(const QString &repository,
                         const QString &example,
                         const Brindle::Internal::ExampleResult &result);
    // A removal asked for by remove() is done, or failed.
    void exampleRemoved(const QString &repository,
                        const QString &example,
                        const Brindle::Internal::ExampleResult &result);

public slots:
    void shutdown();

private slots:
    void onExampleDownloaded(const QSharedPointer<Brindle::Internal::Example> &example);
    void onDownloaded(const Brindle::Internal::Repository::Examples &examples);
    void onFetched();
    void onDeferredDialogClosed();

private:
    // An example just installed or removed is not changed locally, whatever a check running
    // at the same time finds.
    void settle(const QString &repository, const QString &example);
    void emitStatusChanged(const QString &status);
    void checkRestart();
    void onRepositoryFailed(const Repository *repository,
                            RepositoryState::Problem problem,
                            const QString &reason);
    void onExampleFailed(const Repository *repository,
                         const QSharedPointer<Example> &example,
                         const ExampleResult &result);
    // Records an example's result and tells who follows it.
    void
    recordResult(const QString &repository, const QString &example, const ExampleResult &result);
    // A removal failed: the example is not stored as removed.
    void keepAsInstalled(const QString &repository, const QString &example);
    // The client of 'repository' is replaced while its batch runs: every example of the
    // batch still to come is reported, and asked for again after the next listing.
    void endBatch(const Repository *repository, const QString &reason);
    void onTokenKnown(const QUrl &url, const QString &token);
    void downloadExample(const QSharedPointer<Example> &example, QObject *source);
    void finishRegisterExample(const QSharedPointer<Example> &example);
    void emitUpdatesWhenNoDialog();
    void deferUpdatesUntilDialogClosed(QWidget *dialog);
    void startDownloads(Repository *repository, const QSet<QString> &names);
    void updateBusy();
    void noteChangedOnline(const Repository *repository);
    RepositoryState stateOf(const Repository *repository, const QString &name) const;
    void onInstallerFinished(const QSharedPointer<Example> &example,
                             const QString &repository,
                             const ExampleResult &result);

    ExampleInstaller *installer;
    TokenStore *tokens = nullptr;
    // Repositories whose lookup waits for their access token to be read.
    QSet<const Repository *> awaitingToken;
    Settings settings;
    QTimer restartTimer;
    QList<QSharedPointer<Repository>> repositories;
    QList<QSharedPointer<Example>> pendingExamples;
    // Examples taken for unpacking from batches still downloading, by their repository.
    QHash<QObject *, QList<QSharedPointer<Example>>> receivedExamples;
    // Examples removed on the options page since they were last asked for, by repository.
    QHash<QString, QSet<QString>> withdrawn;
    bool updatesDeferred = false;
    QPointer<QWidget> deferredDialog;
    // Repositories whose lookup or listing is still to come, and those with a download
    // batch running.
    QSet<const Repository *> listingRepositories;
    QSet<const Repository *> downloadingRepositories;
    // Repositories whose lookup or listing gave up; the restart check starts them again.
    QSet<const Repository *> failedRepositories;
    bool busy = false;
    // For each repository's state: the names asked for by the running batch, the examples
    // being installed (by their repository and since when), the text of the last failed
    // round and the time of the last listing.
    QHash<const Repository *, QSet<QString>> requestedDownloads;
    // Names of a batch that a new client ended, asked for again after its listing.
    QHash<const Repository *, QSet<QString>> resumeAfterListing;
    // The examples being installed, by their repository's name.
    QHash<const Example *, QString> installing;
    QHash<QString, QSet<QString>> removing;
    struct Failure
    {
        RepositoryState::Problem problem = RepositoryState::Problem::None;
        QString reason;
    };
    QHash<const Repository *, Failure> lookupFailures;
    QHash<const Repository *, QDateTime> lastListed;
    // Listed examples active since the repository's last check, by the latest listing.
    QHash<const Repository *, QSet<QString>> changedOnline;
    // The latest result of each example, by repository name and example name.
    QHash<QString, QHash<QString, ExampleResult>> results;
    QHash<QString, RepositoryState> shownState;
    // By repository name: the examples changed locally as last checked, and the checks
    // running or wanted again once the running one ends.
    QHash<QString, QSet<QString>> changedLocally;
    // Examples installed or removed while their repository's check ran.
    QHash<QString, QSet<QString>> settledDuringCheck;
    QSet<QString> localChecksRunning;
    QSet<QString> localChecksAgain;
};

} // namespace Brindle::Internal
