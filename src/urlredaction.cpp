// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "urlredaction.h"

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

} // namespace Brindle::Internal
