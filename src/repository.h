// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "example.h"
#include "exampleresult.h"
#include "repositorystate.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QUrl>

#include <memory>

namespace Brindle::Internal {

class ApiClient;

// One configured online repository (a GitLab group). Owns the REST client, caches the
// example list of the latest listing and turns a selection of names into a download batch.
class Repository : public QObject
{
    Q_OBJECT

public:
    using Examples = QList<QSharedPointer<Example>>;

    // With 'start' false the lookup waits for the first reset(), so that an access token
    // read from the keychain can go with it.
    explicit Repository(const QUrl &url, QObject *parent = nullptr, bool start = true);
    ~Repository() override;

    QUrl url() const { return repositoryUrl; }
    Examples examples() const { return exampleCache; }

    void reset();
    bool isReady() const;
    // The GitLab access token sent with every request to the repository's own server;
    // empty for anonymous access. Applies from the next reset() on.
    void setAccessToken(const QString &token) { accessToken = token; }
    void setName(const QString &name) { repositoryName = name; }
    bool hasAccessToken() const { return !accessToken.isEmpty(); }
    void download(const QSet<QString> &names);
    // Stops the downloads of the named examples of the running batch; each ends with
    // exampleFailed() and a skipped result giving 'reason'.
    void withdraw(const QSet<QString> &names, const QString &reason);
    void shutdown();

signals:
    void exampleDownloaded(const QSharedPointer<Brindle::Internal::Example> &example);
    void exampleFailed(const QSharedPointer<Brindle::Internal::Example> &example,
                       const Brindle::Internal::ExampleResult &result);
    void downloadsFinished(const Brindle::Internal::Repository::Examples &examples);
    void fetched();
    // The client's lookup or listing gave up, and why; a reset() starts them again.
    void failed(Brindle::Internal::RepositoryState::Problem problem, const QString &reason);
    // The client's status texts, unchanged.
    void statusChanged(const QString &status);

public slots:
    void onFetched(const Brindle::Internal::Repository::Examples &examples);

private:
    QUrl repositoryUrl;
    Examples exampleCache;
    QString accessToken;
    QString repositoryName;
    std::unique_ptr<ApiClient> client;
};

} // namespace Brindle::Internal
