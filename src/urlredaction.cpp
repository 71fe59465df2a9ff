// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "urlredaction.h"

#include <algorithm>

namespace Brindle::Internal {

QString redactedUrl(const QUrl &url)
{
    const QString text
        = url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    if (!url.host().isEmpty())
        return text;
    // Without "//", "user:password@host/group" parses as a scheme and a path, so the user
    // info is still there: keep only what follows it.
    const qsizetype at = text.lastIndexOf('@');
    return at < 0 ? text : text.mid(at + 1);
}

QString printableText(const QString &text)
{
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        // The bidirectional controls reorder what follows them, so that a name can show as
        // another one ("Demo\u202Eexe.lmq" reads "Demoqml.exe").
        return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x061c || u == 0x200e || u == 0x200f
               || (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
    };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString result = text;
    result.removeIf(isControl);
    return result;
}

} // namespace Brindle::Internal
