// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "contentstore.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>

namespace GitLab::Internal {

namespace {

bool isNumericId(const QString &text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (QChar c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

QString imageExtension(const QByteArray &image)
{
    if (image.startsWith("\x89PNG"))
        return ".png";
    if (image.startsWith("\xff\xd8"))
        return ".jpg";
    if (image.startsWith("GIF8"))
        return ".gif";
    return ".png";
}

} // namespace

QString sanitizedUploadName(const QString &fileName)
{
    // Uploads keep only word characters, '.', '-' and '+'; everything else becomes '_'.
    QString result;
    for (QChar c : fileName)
        result += c.isLetterOrNumber() || c == '_' || c == '.' || c == '-' || c == '+' ? c : '_';
    if (result.isEmpty() || result.count('.') == result.size())
        return QStringLiteral("avatar");
    return result;
}

QString imageContentType(const QString &fileName)
{
    const QString suffix = fileName.section('.', -1).toLower();
    if (suffix == "png")
        return "image/png";
    if (suffix == "jpg" || suffix == "jpeg")
        return "image/jpeg";
    if (suffix == "gif")
        return "image/gif";
    if (suffix == "bmp")
        return "image/bmp";
    if (suffix == "ico")
        return "image/vnd.microsoft.icon";
    if (suffix == "webp")
        return "image/webp";
    if (suffix == "svg")
        return "image/svg+xml";
    return "application/octet-stream";
}

GroupRecord *ContentStore::editableGroup(const QString &fullPath)
{
    const auto it = m_groupIds.constFind(fullPath.toLower());
    if (it == m_groupIds.cend())
        return nullptr;
    return &m_groups.at(*it);
}

const GroupRecord *ContentStore::groupByPath(const QString &fullPath) const
{
    return const_cast<ContentStore *>(this)->editableGroup(fullPath);
}

QString ContentStore::projectKey(qint64 groupId, const QString &path)
{
    return QString::number(groupId) + '/' + path.toLower();
}

qint64 ContentStore::addGroup(const QString &fullPath, const QString &name, bool isPublic)
{
    const QStringList parts = fullPath.split('/');
    for (const QString &part : parts) {
        if (part.isEmpty())
            return -1;
    }
    qint64 parentId = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString path = parts.mid(0, i + 1).join('/');
        const bool last = i == parts.size() - 1;
        if (GroupRecord *existing = editableGroup(path)) {
            if (last) {
                if (!name.isEmpty())
                    existing->name = name;
                existing->isPublic = isPublic;
            }
            parentId = existing->id;
            continue;
        }
        GroupRecord group;
        group.id = m_nextGroupId++;
        group.parentId = parentId;
        group.path = parts.at(i);
        group.fullPath = path;
        group.name = last && !name.isEmpty() ? name : parts.at(i);
        group.isPublic = last ? isPublic : true;
        group.createdAt = QDateTime::currentDateTimeUtc();
        m_groupIds.insert(path.toLower(), group.id);
        m_groups.emplace(group.id, group);
        parentId = group.id;
    }
    return parentId;
}

bool ContentStore::setGroupDescription(const QString &fullPath, const QString &description)
{
    GroupRecord *group = editableGroup(fullPath);
    if (!group)
        return false;
    group->description = description;
    return true;
}

qint64 ContentStore::addProject(const QString &groupFullPath, const Project &project)
{
    if (project.path.isEmpty() || project.path.contains('/'))
        return -1;
    const GroupRecord *group = groupByPath(groupFullPath);
    const qint64 groupId = group ? group->id : addGroup(groupFullPath, {}, true);
    if (groupId < 0)
        return -1;
    const QString key = projectKey(groupId, project.path);
    if (m_projectIds.contains(key))
        return -1;

    ProjectRecord record;
    record.id = m_nextProjectId++;
    record.groupId = groupId;
    record.project = project;
    if (record.project.name.isEmpty())
        record.project.name = project.path;
    if (record.project.ref.isEmpty())
        record.project.ref = QStringLiteral("main");
    record.project.lastActivity = project.lastActivity.isValid() ? project.lastActivity.toUTC()
                                                                 : QDateTime::currentDateTimeUtc();
    record.createdAt = record.project.lastActivity;
    if (!project.avatar.isEmpty()) {
        record.avatarFileName = sanitizedUploadName(project.avatarFileName.isEmpty()
                                                        ? "avatar" + imageExtension(project.avatar)
                                                        : project.avatarFileName);
    }
    m_projects.emplace(record.id, record);
    m_projectIds.insert(key, record.id);
    return record.id;
}

bool ContentStore::shareProject(qint64 projectId, const QString &groupFullPath)
{
    GroupRecord *group = editableGroup(groupFullPath);
    if (!group || !project(projectId))
        return false;
    if (!group->sharedProjectIds.contains(projectId))
        group->sharedProjectIds.append(projectId);
    return true;
}

const GroupRecord *ContentStore::group(qint64 id) const
{
    const auto it = m_groups.find(id);
    return it == m_groups.end() ? nullptr : &it->second;
}

const ProjectRecord *ContentStore::project(qint64 id) const
{
    const auto it = m_projects.find(id);
    return it == m_projects.end() ? nullptr : &it->second;
}

const GroupRecord *ContentStore::visibleGroup(const QString &idOrPath, bool seesPrivate) const
{
    const GroupRecord *found
        = isNumericId(idOrPath) ? group(idOrPath.toLongLong()) : groupByPath(idOrPath);
    return found && (seesPrivate || isPublic(*found)) ? found : nullptr;
}

const ProjectRecord *ContentStore::visibleProject(const QString &idOrPath, bool seesPrivate) const
{
    const ProjectRecord *found = nullptr;
    if (isNumericId(idOrPath)) {
        found = project(idOrPath.toLongLong());
    } else {
        const qsizetype slash = idOrPath.lastIndexOf('/');
        const GroupRecord *owner = slash > 0 ? groupByPath(idOrPath.left(slash)) : nullptr;
        const auto it = owner
                            ? m_projectIds.constFind(projectKey(owner->id, idOrPath.mid(slash + 1)))
                            : m_projectIds.cend();
        found = it == m_projectIds.cend() ? nullptr : project(*it);
    }
    return found && (seesPrivate || isPublic(*found)) ? found : nullptr;
}

QList<const GroupRecord *> ContentStore::visibleGroups(bool seesPrivate) const
{
    QList<const GroupRecord *> result;
    for (const auto &[id, group] : m_groups) {
        if (seesPrivate || isPublic(group))
            result.append(&group);
    }
    return result;
}

QList<const ProjectRecord *>
ContentStore::visibleProjects(qint64 groupId, bool includeSubgroups, bool seesPrivate) const
{
    QList<const ProjectRecord *> result;
    for (const auto &[id, project] : m_projects) {
        const GroupRecord *owner = group(project.groupId);
        const bool inScope = project.groupId == groupId
                             || (includeSubgroups && owner && isDescendant(*owner, groupId));
        if (inScope && (seesPrivate || isPublic(project)))
            result.append(&project);
    }
    return result;
}

QList<const ProjectRecord *> ContentStore::visibleSharedProjects(qint64 groupId,
                                                                 bool seesPrivate) const
{
    QList<const ProjectRecord *> result;
    if (const GroupRecord *g = group(groupId)) {
        for (qint64 id : g->sharedProjectIds) {
            const ProjectRecord *p = project(id);
            if (p && (seesPrivate || isPublic(*p)))
                result.append(p);
        }
    }
    return result;
}

bool ContentStore::isPublic(const GroupRecord &group) const
{
    // A group is no more visible than its parent.
    for (const GroupRecord *g = &group; g; g = g->parentId ? this->group(g->parentId) : nullptr) {
        if (!g->isPublic)
            return false;
    }
    return true;
}

bool ContentStore::isPublic(const ProjectRecord &project) const
{
    const GroupRecord *owner = group(project.groupId);
    return project.project.isPublic && owner && isPublic(*owner);
}

QString ContentStore::fullName(const GroupRecord &group) const
{
    QStringList names;
    for (const GroupRecord *g = &group; g; g = g->parentId ? this->group(g->parentId) : nullptr)
        names.prepend(g->name);
    return names.join(" / ");
}

QString ContentStore::pathWithNamespace(const ProjectRecord &project) const
{
    const GroupRecord *owner = group(project.groupId);
    return (owner ? owner->fullPath + '/' : QString()) + project.project.path;
}

bool ContentStore::isDescendant(const GroupRecord &group, qint64 ancestorId) const
{
    for (qint64 id = group.parentId; id;) {
        if (id == ancestorId)
            return true;
        const GroupRecord *parent = this->group(id);
        id = parent ? parent->parentId : 0;
    }
    return false;
}

QString ContentStore::commitSha(const ProjectRecord &project) const
{
    const auto cached = m_shaCache.constFind(project.id);
    if (cached != m_shaCache.cend())
        return *cached;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(project.project.ref.toUtf8() + '\n');
    for (auto it = project.project.files.cbegin(); it != project.project.files.cend(); ++it) {
        hash.addData(it.key().toUtf8() + '\0' + QByteArray::number(it.value().size()) + '\0');
        hash.addData(it.value());
    }
    hash.addData(project.project.archiveOverride);
    const QString sha = QString::fromLatin1(hash.result().toHex());
    m_shaCache.insert(project.id, sha);
    return sha;
}

bool ContentStore::resolvesRef(const ProjectRecord &project, const QString &ref) const
{
    if (ref.isEmpty() || ref == project.project.ref || ref == "HEAD"
        || ref == "refs/heads/" + project.project.ref) {
        return true;
    }
    static const QRegularExpression hex("^[0-9a-fA-F]{7,40}$");
    return hex.match(ref).hasMatch() && commitSha(project).startsWith(ref.toLower());
}

Archive
ContentStore::archive(const ProjectRecord &project, const QString &ref, ArchiveFormat format) const
{
    const Project &p = project.project;
    if ((p.files.isEmpty() && p.archiveOverride.isEmpty()) || !resolvesRef(project, ref))
        return {};

    const QString refName = ref.isEmpty() ? p.ref : ref;
    // Only the default ref is cached: every spelling of a commit id names the top directory
    // differently, and a client must not be able to grow the cache without bound.
    const bool cacheable = refName == p.ref;
    const QString key = QString::number(project.id) + '\n' + QString::number(int(format));
    if (cacheable) {
        const auto cached = m_archiveCache.constFind(key);
        if (cached != m_archiveCache.cend())
            return *cached;
    }

    const QString sha = commitSha(project);
    Archive archive;
    archive.topDirectory = p.path + '-' + QString(refName).replace('/', '-') + '-' + sha;
    if (!p.archiveOverride.isEmpty()) {
        archive.bytes = p.archiveOverride;
    } else {
        // Laid out like git-archive: commit id in a pax global header, directories before
        // their contents.
        const qint64 mtime = p.lastActivity.toSecsSinceEpoch();
        const QByteArray top = archive.topDirectory.toUtf8() + '/';
        QList<TarEntry> entries;
        entries.append(
            {"pax_global_header", "52 comment=" + sha.toLatin1() + '\n', 'g', {}, 0666, mtime});
        entries.append({top, {}, '5', {}, 0775, mtime});
        QSet<QByteArray> directories;
        for (auto it = p.files.cbegin(); it != p.files.cend(); ++it) {
            const QByteArray path = it.key().toUtf8();
            for (qsizetype slash = path.indexOf('/'); slash > 0;
                 slash = path.indexOf('/', slash + 1)) {
                const QByteArray dir = path.left(slash + 1);
                if (!directories.contains(dir)) {
                    directories.insert(dir);
                    entries.append({top + dir, {}, '5', {}, 0775, mtime});
                }
            }
            entries.append({top + path, it.value(), '0', {}, 0664, mtime});
        }
        archive.bytes = format == ArchiveFormat::Tar ? makeTar(entries) : makeTarGz(entries);
    }
    if (cacheable)
        m_archiveCache.insert(key, archive);
    return archive;
}

} // namespace GitLab::Internal
