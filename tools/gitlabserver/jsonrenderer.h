// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "contentstore.h"
#include "jsonwriter.h"

#include <QUrl>

namespace GitLab::Internal {

// Group and project objects as GitLab's API entities render them; seesPrivate for a caller with
// a valid token, who also sees private projects in group details.
class JsonRenderer final
{
public:
    JsonRenderer(const ContentStore &store, const QUrl &baseUrl, bool seesPrivate = false);

    QByteArray group(const GroupRecord &group) const;
    QByteArray groupDetail(const GroupRecord &group, bool withProjects) const;
    QByteArray project(const ProjectRecord &project, bool simple = false) const;

    QString avatarUrl(const ProjectRecord &project) const;

    static constexpr int DetailProjectLimit = 100;

private:
    JsonObjectWriter groupObject(const GroupRecord &group) const;

    QByteArray projectArray(QList<const ProjectRecord *> projects) const;

    const ContentStore &m_store;
    QString m_base;
    bool m_seesPrivate = false;
};

QString isoTime(const QDateTime &time);

} // namespace GitLab::Internal
