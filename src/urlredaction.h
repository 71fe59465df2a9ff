// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>
#include <QUrl>

namespace Brindle::Internal {

// The URL as it may appear in a log line or a status text: without user name, password,
// query and fragment, where credentials such as "?private_token=" would travel.
QString redactedUrl(const QUrl &url);

// A text with every control character (C0, DEL, C1) and every bidirectional control removed:
// what a server supplies (project names, addresses) must not reach a terminal's escape
// sequences through a status or log line, nor show as a different text on a page.
QString printableText(const QString &text);

} // namespace Brindle::Internal
