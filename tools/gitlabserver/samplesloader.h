// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "gitlabserver.h"

namespace GitLab::Internal {

// Reads a samples tree (see samples/README.md): every folder holding a project.json is a project
// of the group its parent folder stands for; other folders are groups, optionally described by a
// group.json. Everything is checked before anything is added, so a broken tree adds nothing.
class SamplesLoader final
{
public:
    explicit SamplesLoader(Server *server);

    bool load(const QString &directory, QString *error);

private:
    struct GroupEntry
    {
        QString fullPath;
        QString name;
        QString description;
        bool isPublic = true;
    };
    struct ProjectEntry
    {
        QString groupPath;
        Project project;
    };

    bool visit(const QString &directory, const QString &groupPath);
    bool readGroup(const QString &directory, const QString &fullPath);
    bool readProject(const QString &directory, const QString &groupPath);
    bool fail(const QString &message);

    Server *m_server;
    QList<GroupEntry> m_groups;
    QList<ProjectEntry> m_projects;
    QString m_error;
};

} // namespace GitLab::Internal
