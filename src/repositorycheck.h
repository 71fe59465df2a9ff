// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "checkreport.h"
#include "exampleresult.h"
#include "repository.h"
#include "repositorystate.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

QT_BEGIN_NAMESPACE
class QTemporaryDir;
QT_END_NAMESPACE

namespace Brindle::Internal {

class ApiClient;
class ExampleInstaller;

// The maintainers' check of one GitLab group: looks it up, lists it, downloads, verifies,
// unpacks and registers every project exactly as the plugin does for the IDE, but into a
// folder of its own below the data location that is removed when the check ends. Nothing
// of the configured repositories, the settings or the keychain is read or written.
// Published in the IDE's object pool, so that a host can run it without the plugin's headers.
class RepositoryCheck : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ isRunning NOTIFY finished)
    Q_PROPERTY(QJsonObject report READ reportObject NOTIFY finished)

public:
    explicit RepositoryCheck(QObject *parent = nullptr);
    ~RepositoryCheck() override;

    // Starts checking the group at 'url', with 'accessToken' for a private group (empty:
    // none). False when a check is under way already.
    Q_INVOKABLE bool start(const QUrl &url, const QString &accessToken = {});
    // Ends the check under way: what has not finished is reported as such.
    Q_INVOKABLE void cancel();

    bool isRunning() const { return running; }
    const CheckReport &report() const { return m_report; }
    QJsonObject reportObject() const { return m_report.toJson(); }

    // An archive above these sizes installs, but is unusually large for an example.
    static constexpr qint64 LARGE_ARCHIVE_BYTES = qint64(16) * 1024 * 1024;
    static constexpr qint64 LARGE_UNPACKED_BYTES = qint64(64) * 1024 * 1024;

signals:
    void finished();

private:
    void onLookupFailed(RepositoryState::Problem problem, const QString &reason);
    void onFetched(const Repository::Examples &examples);
    void onDownloadFailed(const QSharedPointer<Example> &example, const ExampleResult &result);
    void onInstalled(const QSharedPointer<Example> &example, const ExampleResult &result);
    ProjectCheck *projectOf(const Example &example);
    void recordArchive(ProjectCheck &project, const Example &example);
    void recordAvatar(ProjectCheck &project, const Example &example);
    void recordFailure(ProjectCheck &project, const Example &example, const ExampleResult &result);
    void projectDone();
    void finish();
    void stopWork();

    CheckReport m_report;
    QHash<qint64, qsizetype> indexById;
    QPointer<ApiClient> client;
    QPointer<ExampleInstaller> installer;
    std::unique_ptr<QTemporaryDir> folder;
    QString repositoryName;
    int pending = 0;
    bool running = false;
};

} // namespace Brindle::Internal
