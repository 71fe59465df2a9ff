// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "apirequest.h"
#include "exampleresult.h"
#include "repository.h"
#include "repositorystate.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>
#include <QUrl>

#include <memory>
#include <optional>

namespace Brindle::Internal {

// REST client of one repository: finds the GitLab group, lists its projects and
// downloads batches of examples (archive and avatar) under one progress entry. Archives are
// saved to temporary files as they arrive; the example record carries the file.
class ApiClient : public QObject
{
    Q_OBJECT

public:
    explicit ApiClient(const QUrl &url, QObject *parent = nullptr);
    ~ApiClient() override;

    void shutdown();
    // Sent as PRIVATE-TOKEN with the requests to the repository's own server (scheme, host
    // and port), never to another one. Set it before the event loop runs the lookup.
    void setAccessToken(const QString &token) { accessToken = token; }
    // The repository's name, for the status texts that tell the user what to check.
    void setRepositoryName(const QString &name) { repositoryName = name; }
    bool isReady() const { return groupId != 0; }
    void download(const Repository::Examples &examples);

    // Time a request may go without receiving data before it fails. Applies to requests
    // sent afterwards; tests shorten it to see a stalled server fail quickly.
    static void setTransferTimeout(int msecs);
    static int transferTimeout();

    // The groups the search returned before the repository's own group that are not below it:
    // look-alikes, which anyone may create. Known once the lookup has succeeded.
    QStringList groupLookAlikes() const { return lookAlikes; }

    // Requests sent and not yet answered or aborted.
    int runningRequestCount() const;

    // The status texts of a refused request and of a group not found without a token, so
    // that whoever shows a repository's state can tell them from other failures.
    static QString accessDeniedStatus(const QUrl &url, const QString &repositoryName);
    static QString privateGroupHint();

public slots:
    void fetch();

signals:
    void ready();
    // The group lookup or the project listing gave up, and why; nothing follows until a
    // restart. 'reason' is a phrase for the status line.
    void failed(Brindle::Internal::RepositoryState::Problem problem, const QString &reason);
    void statusChanged(const QString &status);
    void fetched(const Brindle::Internal::Repository::Examples &examples);
    // One example of the running batch arrived completely, before the batch ends.
    void exampleDownloaded(const QSharedPointer<Brindle::Internal::Example> &example);
    // One example of the running batch will not arrive, and why.
    void exampleFailed(const QSharedPointer<Brindle::Internal::Example> &example,
                       const Brindle::Internal::ExampleResult &result);
    void downloadsFinished(const Brindle::Internal::Repository::Examples &examples);

private:
    struct Search;
    struct Listing;

    QUrl apiUrl(const QString &path) const;
    ApiRequest *makeRequest(const QUrl &url, ApiRequest::Kind kind);
    void findGroup();
    void searchPage(const std::shared_ptr<Search> &search, int page);
    void onSearchPage(const std::shared_ptr<Search> &search, const ApiRequest &request, int page);
    void onGroupFound(const QJsonObject &groupObject);
    void onFetched(const QJsonDocument &document);
    void listPage(const std::shared_ptr<Listing> &listing, int page);
    void onListPage(const std::shared_ptr<Listing> &listing, const ApiRequest &request, int page);
    // Adds the valid projects not listed yet; false when the answer or the listing is too
    // large, after giving up.
    bool keepProjects(const std::shared_ptr<Listing> &listing, const QJsonArray &projects);
    // The one place where a lookup or a listing gives up, with the status text to show and
    // the reason for the status line (the status text when empty).
    void giveUp(const QString &status,
                RepositoryState::Problem problem = RepositoryState::Problem::Failed,
                const QString &reason = {});
    // Gives up after a failed request of the lookup or the listing.
    void giveUpAfter(const ApiRequest &request, const QString &error);
    void emitStatusChanged(const QString &status);

    void setupDownloadTask(int count);
    void startWaitingDownloads();
    void holdSlotWhileSending(ApiRequest *request, quint64 batch);
    void dropRetries();
    void download(const QSharedPointer<Example> &example);
    void downloadImage(const QSharedPointer<Example> &example, quint64 batch);
    QUrl avatarUrl(const QSharedPointer<Example> &example) const;
    void
    decodeImage(const QSharedPointer<Example> &example, quint64 batch, const QByteArray &bytes);
    // Without a failure the example arrived.
    void onExampleDownloadFinished(const QSharedPointer<Example> &example,
                                   const std::optional<ExampleResult> &failure = {});
    void onDownloadTaskCanceled(quint64 batch);

    // Without user information: that is given only when the repository's server asks for it.
    QUrl baseUrl;
    QString accessToken;
    QString repositoryName;
    QString userName;
    QString password;
    QString group;
    QStringList lookAlikes;
    QNetworkAccessManager manager;
    quint64 groupId = 0;
    int groupType = 0;
    bool canceled = false;
    QPromise<void> promise;
    Repository::Examples queue;
    Repository::Examples downloaded;
    // Examples of the batch not requested yet, and how many are being downloaded.
    Repository::Examples waiting;
    int downloadsRunning = 0;
    // Downloads of the batch whose busy server's wait is over, sent again before new ones.
    QList<QPointer<ApiRequest>> retrying;

    // Replies carry the number of the batch they were sent for; a reply of a batch that
    // was cancelled or shut down must not count in a later one.
    quint64 batchNumber = 0;
    int batchSize = 0;
    int finishedCount = 0;
    bool stopped = false;
    // Decodes avatars; waits for those running when the client goes, since the plugin's code
    // must not run on after it is unloaded. Each is bounded: 1 MiB read, 2048 x 2048 pixels
    // decoded and no text chunks inflated take about a tenth of a second.
    QThreadPool decoders;
};

} // namespace Brindle::Internal
