// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace QKeychain {
class Job;
}

namespace Brindle::Internal {

// Keeps the repositories' access tokens in the system keychain (service "Brindle", one
// entry per repository URL) and in a cache for the running session. Every keychain access
// is asynchronous; a token read or written once is known synchronously afterwards.
//
// When no keychain answers (no Secret Service, no D-Bus session), the store keeps tokens
// in memory only for the rest of the session and says so through isPersistent(). Tokens
// never go to a file.
class TokenStore final : public QObject
{
    Q_OBJECT

public:
    explicit TokenStore(QObject *parent = nullptr);
    ~TokenStore() override;

    // The keychain entry of a repository: its URL as configured, without a password.
    static QString keyFor(const QUrl &url);

    // False once the keychain has proved unusable; tokens then last for this session only.
    bool isPersistent() const { return persistent; }

    // The token as last read or written: std::nullopt while unknown, an empty string when
    // the repository has none (always known once the store keeps tokens for the session).
    std::optional<QString> cachedToken(const QUrl &url) const;

    // Ends with tokenRead() or readFailed().
    void read(const QUrl &url);
    // An empty token removes the entry. Leading and trailing white space is dropped.
    // Ends with tokenSaved() or saveFailed(); the cache holds the new token at once.
    void write(const QUrl &url, const QString &token);
    void remove(const QUrl &url);

signals:
    // token is empty when the repository has none.
    void tokenRead(const QUrl &url, const QString &token);
    void readFailed(const QUrl &url, const QString &message);
    // After write() or remove(); with isPersistent() false only for this session.
    void tokenSaved(const QUrl &url);
    void saveFailed(const QUrl &url, const QString &message);
    void persistentChanged(bool persistent);

private:
    void onReadFinished(QKeychain::Job *job, const QUrl &url, quint64 revision);
    void onSaveFinished(QKeychain::Job *job, const QUrl &url);
    bool isBackendFailure(const QKeychain::Job *job) const;
    void switchToSessionOnly(const QString &reason);
    void emitLater(const std::function<void()> &emitter);

    QHash<QString, QString> tokens;
    // Counts writes and removals per entry, so that a read answered after a later write
    // does not bring back the older token.
    QHash<QString, quint64> revisions;
    bool persistent = true;
};

} // namespace Brindle::Internal
