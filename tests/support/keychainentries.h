// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

// Reads and removes the plugin's entries in the system keychain directly, past the plugin,
// so that a test sees what the keychain itself holds.

#include <QSignalSpy>
#include <QString>

#include <qtkeychain/keychain.h>

namespace KeychainEntries {

inline constexpr int TIMEOUT = 30000;

// What the keychain holds for a key: the token, "<none>", "<timeout>" or "<error> ...".
inline QString read(const QString &key)
{
    QKeychain::ReadPasswordJob job("Brindle");
    job.setAutoDelete(false);
    job.setKey(key);
    QSignalSpy finished(&job, &QKeychain::Job::finished);
    job.start();
    if (!finished.wait(TIMEOUT))
        return "<timeout>";
    if (job.error() == QKeychain::EntryNotFound)
        return "<none>";
    if (job.error() != QKeychain::NoError)
        return "<error> " + job.errorString();
    return job.textData();
}

// True when the key holds nothing afterwards.
inline bool remove(const QString &key)
{
    QKeychain::DeletePasswordJob job("Brindle");
    job.setAutoDelete(false);
    job.setKey(key);
    QSignalSpy finished(&job, &QKeychain::Job::finished);
    job.start();
    return finished.wait(TIMEOUT)
           && (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound);
}

} // namespace KeychainEntries
