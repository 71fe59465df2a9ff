// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "example.h"

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

    explicit Repository(const QUrl &url, QObject *parent = nullptr);
    ~Repository() override;

    QUrl url() const { return repositoryUrl; }
    Examples examples() const { return exampleCache; }

    void reset();
    bool isReady() const;
    void download(const QSet<QString> &names);
    void shutdown();

signals:
    void exampleDownloaded(const QSharedPointer<Brindle::Internal::Example> &example);
    void downloadsFinished(const Brindle::Internal::Repository::Examples &examples);
    void fetched();
    // The group lookup or the listing gave up; the examples of the last listing stay.
    void failed();

public slots:
    void onFetched(const Brindle::Internal::Repository::Examples &examples);

private:
    QUrl repositoryUrl;
    Examples exampleCache;
    std::unique_ptr<ApiClient> client;
};

} // namespace Brindle::Internal
