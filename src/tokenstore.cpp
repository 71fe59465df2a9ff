// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "tokenstore.h"

#include "logging.h"
#include "urlredaction.h"

#include <qtkeychain/keychain.h>

#include <QMetaObject>

#include <algorithm>

namespace Brindle::Internal {

const char KEYCHAIN_SERVICE[] = "Brindle";

static bool isValidToken(const QString &token)
{
    return std::none_of(
        token.cbegin(), token.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

TokenStore::TokenStore(QObject *parent)
    : QObject(parent)
{}

TokenStore::~TokenStore() = default;

QString TokenStore::keyFor(const QUrl &url)
{
    return url.toString(QUrl::RemovePassword);
}

std::optional<QString> TokenStore::cachedToken(const QUrl &url) const
{
    const auto it = tokens.constFind(keyFor(url));
    if (it == tokens.cend())
        return persistent ? std::nullopt : std::optional<QString>(QString());
    return *it;
}

// Jobs get no parent and delete themselves once finished: the keychain backends call back
// into a running job, so it must outlive a store destroyed in the meantime. The store's
// connections end with the store.

void TokenStore::read(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty()) {
        emitLater([this, url] { emit readFailed(url, tr("The repository URL is not valid.")); });
        return;
    }
    const QString key = keyFor(url);
    if (!persistent) {
        const QString token = tokens.value(key);
        emitLater([this, url, token] { emit tokenRead(url, token); });
        return;
    }
    qCDebug(Log::main) << "Reading the access token of" << redactedUrl(url);
    auto job = new QKeychain::ReadPasswordJob(QString::fromLatin1(KEYCHAIN_SERVICE));
    job->setAutoDelete(true);
    job->setKey(key);
    const quint64 revision = revisions.value(key);
    connect(job, &QKeychain::Job::finished, this, [this, url, revision](QKeychain::Job *job) {
        onReadFinished(job, url, revision);
    });
    job->start();
}

void TokenStore::write(const QUrl &url, const QString &token)
{
    const QString trimmed = token.trimmed();
    if (trimmed.isEmpty()) {
        remove(url);
        return;
    }
    if (!url.isValid() || url.isEmpty()) {
        emitLater([this, url] { emit saveFailed(url, tr("The repository URL is not valid.")); });
        return;
    }
    if (!isValidToken(trimmed)) {
        emitLater([this, url] {
            emit saveFailed(url, tr("The access token contains control characters."));
        });
        return;
    }
    const QString key = keyFor(url);
    tokens.insert(key, trimmed);
    ++revisions[key];
    if (!persistent) {
        qCDebug(Log::main) << "Keeping the access token of" << redactedUrl(url)
                           << "for this session";
        emitLater([this, url] { emit tokenSaved(url); });
        return;
    }
    qCDebug(Log::main) << "Saving the access token of" << redactedUrl(url);
    auto job = new QKeychain::WritePasswordJob(QString::fromLatin1(KEYCHAIN_SERVICE));
    job->setAutoDelete(true);
    job->setKey(key);
    job->setTextData(trimmed);
    connect(job, &QKeychain::Job::finished, this, [this, url](QKeychain::Job *job) {
        onSaveFinished(job, url);
    });
    job->start();
}

void TokenStore::remove(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty()) {
        emitLater([this, url] { emit saveFailed(url, tr("The repository URL is not valid.")); });
        return;
    }
    const QString key = keyFor(url);
    tokens.insert(key, QString());
    ++revisions[key];
    if (!persistent) {
        emitLater([this, url] { emit tokenSaved(url); });
        return;
    }
    qCDebug(Log::main) << "Removing the access token of" << redactedUrl(url);
    auto job = new QKeychain::DeletePasswordJob(QString::fromLatin1(KEYCHAIN_SERVICE));
    job->setAutoDelete(true);
    job->setKey(key);
    connect(job, &QKeychain::Job::finished, this, [this, url](QKeychain::Job *job) {
        onSaveFinished(job, url);
    });
    job->start();
}

void TokenStore::onReadFinished(QKeychain::Job *job, const QUrl &url, quint64 revision)
{
    const QString key = keyFor(url);
    const QKeychain::Error error = job->error();
    const bool backendFailure = isBackendFailure(job);
    if (backendFailure)
        switchToSessionOnly(job->errorString());

    // A write or removal issued after this read started is newer than what the keychain
    // answered, and the cache already holds it.
    if (revisions.value(key) != revision) {
        emit tokenRead(url, tokens.value(key));
        return;
    }
    if (error == QKeychain::NoError || error == QKeychain::EntryNotFound || backendFailure) {
        const QString token = error == QKeychain::NoError
                                  ? static_cast<QKeychain::ReadPasswordJob *>(job)->textData()
                                  : QString();
        tokens.insert(key, token);
        qCDebug(Log::main) << "Access token of" << redactedUrl(url)
                           << (token.isEmpty() ? "not found" : "found");
        emit tokenRead(url, token);
        return;
    }
    qCWarning(Log::main) << "Cannot read the access token of" << redactedUrl(url)
                         << "from the system keychain:" << job->errorString();
    emit readFailed(url,
                    tr("The access token of %1 could not be read from the system keychain: %2")
                        .arg(redactedUrl(url), job->errorString()));
}

void TokenStore::onSaveFinished(QKeychain::Job *job, const QUrl &url)
{
    // Deleting an entry that is not there is no failure.
    if (job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound) {
        qCDebug(Log::main) << "System keychain updated for" << redactedUrl(url);
        emit tokenSaved(url);
        return;
    }
    if (isBackendFailure(job)) {
        // The cache already holds the new token; it now lasts for this session.
        switchToSessionOnly(job->errorString());
        emit tokenSaved(url);
        return;
    }
    qCWarning(Log::main) << "Cannot update the access token of" << redactedUrl(url)
                         << "in the system keychain:" << job->errorString();
    emit saveFailed(url,
                    tr("The access token of %1 could not be saved in the system keychain: %2")
                        .arg(redactedUrl(url), job->errorString()));
}

// Without a Secret Service QtKeychain's libsecret backend does not say NoBackendAvailable:
// an unreachable D-Bus session, a missing service or a keyring without a collection all end
// in OtherError. Refusals of a keychain that is there (locked, denied by the user) are
// reported as such and keep the store persistent.
bool TokenStore::isBackendFailure(const QKeychain::Job *job) const
{
    switch (job->error()) {
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
        return true;
    default:
        return false;
    }
}

void TokenStore::switchToSessionOnly(const QString &reason)
{
    if (!persistent)
        return;
    persistent = false;
    qCWarning(Log::main).noquote()
        << QString("No usable system keychain (%1): access tokens are kept for this session only")
               .arg(reason);
    emit persistentChanged(false);
}

void TokenStore::emitLater(const std::function<void()> &emitter)
{
    QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

} // namespace Brindle::Internal
