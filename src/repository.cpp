// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "repository.h"

#include "apiclient.h"
#include "logging.h"
#include "settings.h"

namespace Brindle::Internal {

Repository::Repository(const QUrl &url, QObject *parent, bool start)
    : QObject(parent)
    , repositoryUrl(url)
{
    // The example lists also travel through queued connections and signal spies.
    qRegisterMetaType<Examples>("Brindle::Internal::Repository::Examples");
    if (start)
        reset();
}

Repository::~Repository() = default;

void Repository::reset()
{
    // The previous client goes at once; its destructor cuts its connections and aborts its
    // requests, so nothing of it reaches this repository any more.
    client = std::make_unique<ApiClient>(repositoryUrl, nullptr);
    client->setAccessToken(accessToken);
    client->setRepositoryName(repositoryName);

    connect(client.get(), &ApiClient::exampleDownloaded, this, &Repository::exampleDownloaded);
    connect(client.get(), &ApiClient::exampleFailed, this, &Repository::exampleFailed);
    connect(client.get(), &ApiClient::downloadsFinished, this, &Repository::downloadsFinished);
    connect(client.get(), &ApiClient::fetched, this, &Repository::onFetched);
    connect(client.get(), &ApiClient::failed, this, &Repository::failed);
    connect(client.get(), &ApiClient::statusChanged, this, &Repository::statusChanged);
    connect(client.get(), &ApiClient::ready, client.get(), &ApiClient::fetch);
}

bool Repository::isReady() const
{
    return client && client->isReady();
}

void Repository::download(const QSet<QString> &names)
{
    if (names.isEmpty() || !client)
        return;

    QHash<QString, QSharedPointer<Example>> byName;
    for (const QSharedPointer<Example> &example : std::as_const(exampleCache))
        byName.insert(example->value(QLatin1String("path")).toString(), example);

    Examples batch;
    for (const QString &name : names) {
        // The name becomes a directory name when the example is installed.
        if (!isSafePathComponent(name)) {
            qCDebug(Log::repository)
                << "Example name is not a safe directory name - skipped:" << name;
            continue;
        }
        if (const QSharedPointer<Example> example = byName.value(name))
            batch.append(example);
    }
    client->download(batch);
}

void Repository::withdraw(const QSet<QString> &names, const QString &reason)
{
    if (client && !names.isEmpty())
        client->withdraw(names, reason);
}

void Repository::shutdown()
{
    if (!client)
        return;
    disconnect(client.get(), nullptr, this, nullptr);
    client->shutdown();
}

void Repository::onFetched(const Examples &examples)
{
    exampleCache = examples;
    emit fetched();
}

} // namespace Brindle::Internal
