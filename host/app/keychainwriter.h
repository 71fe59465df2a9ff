// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>

namespace Brindle::Host {

// Puts a repository's access token into the system keychain where the examples plugin looks
// for it: service "Brindle", the repository URL without its password as the key. This is
// the SDK installer's side; the plugin reads and changes the entry with its own store.
class KeychainWriter final
{
public:
    enum class Result { Stored, NoKeychain, Failed };

    // Waits for the keychain's answer, at most timeoutMs. On anything but Stored, *error says
    // what went wrong; it never holds the token.
    static Result store(const QString &key, const QString &token, int timeoutMs, QString *error);
};

} // namespace Brindle::Host
