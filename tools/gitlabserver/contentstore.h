// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "gitlabserver.h"

#include <QHash>

#include <map>

namespace GitLab::Internal {

struct GroupRecord
{
    qint64 id = 0;
    qint64 parentId = 0; // 0: top level
    QString name;
    QString path;
    QString fullPath;
    QString description;
    bool isPublic = true;
    QDateTime createdAt;
    QList<qint64> sharedProjectIds; // projects shared with this group, in sharing order
};

struct ProjectRecord
{
    qint64 id = 0;
    qint64 groupId = 0;
    Project project;
    QString avatarFileName; // as it appears in the avatar URL
    QDateTime createdAt;
};

enum class ArchiveFormat { TarGz, Tar };

struct Archive
{
    QString topDirectory;
    QByteArray bytes;
};

// Groups and projects of the instance, and the repository archives built from them.
class ContentStore final
{
public:
    qint64 addGroup(const QString &fullPath, const QString &name, bool isPublic);
    bool setGroupDescription(const QString &fullPath, const QString &description);
    qint64 addProject(const QString &groupFullPath, const Project &project);
    bool shareProject(qint64 projectId, const QString &groupFullPath);

    const GroupRecord *group(qint64 id) const;
    const ProjectRecord *project(qint64 id) const;
    const GroupRecord *groupByPath(const QString &fullPath) const;

    // Lookups as the API does them: numeric id or full path (case insensitive). Without
    // seesPrivate (an anonymous caller) private content, or content below it, is not found.
    const GroupRecord *visibleGroup(const QString &idOrPath, bool seesPrivate = false) const;
    const ProjectRecord *visibleProject(const QString &idOrPath, bool seesPrivate = false) const;

    QList<const GroupRecord *> visibleGroups(bool seesPrivate = false) const;
    QList<const ProjectRecord *>
    visibleProjects(qint64 groupId, bool includeSubgroups, bool seesPrivate = false) const;
    QList<const ProjectRecord *> visibleSharedProjects(qint64 groupId,
                                                       bool seesPrivate = false) const;

    // Public when it and everything above it is public.
    bool isPublic(const GroupRecord &group) const;
    bool isPublic(const ProjectRecord &project) const;
    QString fullName(const GroupRecord &group) const;
    QString pathWithNamespace(const ProjectRecord &project) const;
    bool isDescendant(const GroupRecord &group, qint64 ancestorId) const;

    // The commit the default ref points at: stable for the same content.
    QString commitSha(const ProjectRecord &project) const;
    // ref is the ref as asked for; it names the top-level directory. Empty bytes: no such ref or
    // an empty repository.
    Archive archive(const ProjectRecord &project, const QString &ref, ArchiveFormat format) const;
    bool resolvesRef(const ProjectRecord &project, const QString &ref) const;

private:
    GroupRecord *editableGroup(const QString &fullPath);
    static QString projectKey(qint64 groupId, const QString &path);

    std::map<qint64, GroupRecord> m_groups;
    std::map<qint64, ProjectRecord> m_projects;
    QHash<QString, qint64> m_projectIds; // by projectKey(), for large groups
    QHash<QString, qint64> m_groupIds;   // by lower-case full path
    qint64 m_nextGroupId = 10;
    qint64 m_nextProjectId = 100;
    mutable QHash<QString, Archive> m_archiveCache;
    mutable QHash<qint64, QString> m_shaCache;
};

QString sanitizedUploadName(const QString &fileName);
QString imageContentType(const QString &fileName);

} // namespace GitLab::Internal
