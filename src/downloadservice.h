// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "repository.h"
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

// Where one repository's round stands, for the options page.
struct RepositoryStatus
{
    enum class State {
        Unknown,      // no such repository
        Checking,     // lookup or listing under way, or waiting for the access token
        Updating,     // examples downloading or being installed
        UpToDate,     // listed, and everything due is installed
        UpdatesOff,   // listed; automatic updates are switched off
        Failed,       // lookup or listing failed; 'reason' says why
        TokenNeeded,  // a private group asked for without an access token
        AccessDenied, // the server refused the repository's access token
    };
    State state = State::Unknown;
    QString reason;
    // The last listing of this session, or else the day of the last stored update check.
    QDateTime lastListed;
    QDate lastCheckDay;

    bool operator==(const RepositoryStatus &other) const = default;
};

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
    RepositoryStatus repositoryStatus(const QString &name) const;

signals:
    void updated();
    void statusChanged(const QString &status);
    void busyChanged(bool busy);
    // Sent at once, also while a modal dialog is open, unlike updated().
    void repositoryStatusChanged(const QString &name);
    // An example that save() or the update cycle asked for has been installed, or could not
    // be downloaded or installed.
    void exampleFinished(const QString &repository, const QString &example, bool installed);
    // A removal asked for by remove() is done.
    void exampleRemoved(const QString &repository, const QString &example);

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
    void onRepositoryFailed(const Repository *repository);
    void onTokenKnown(const QUrl &url, const QString &token);
    void downloadExample(const QSharedPointer<Example> &example, QObject *source);
    void finishRegisterExample(const QSharedPointer<Example> &example);
    void emitUpdatesWhenNoDialog();
    void deferUpdatesUntilDialogClosed(QWidget *dialog);
    void startDownloads(Repository *repository, const QSet<QString> &names);
    void updateBusy();
    RepositoryStatus statusOf(const Repository *repository, const QString &name) const;
    void onInstallerFinished(const QSharedPointer<Example> &example);

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
    struct Installing
    {
        QString repository;
        QDateTime since;
    };
    QHash<const Example *, Installing> installing;
    QHash<const Repository *, QString> lastStatus;
    QHash<const Repository *, QString> failures;
    QHash<const Repository *, QDateTime> lastListed;
    QHash<QString, RepositoryStatus> shownStatus;
};

} // namespace Brindle::Internal
