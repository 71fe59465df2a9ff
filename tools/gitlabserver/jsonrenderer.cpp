// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "jsonrenderer.h"

#include <algorithm>

namespace GitLab::Internal {

QString isoTime(const QDateTime &time)
{
    return time.toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzzZ");
}

JsonRenderer::JsonRenderer(const ContentStore &store, const QUrl &baseUrl, bool seesPrivate)
    : m_store(store)
    , m_base(baseUrl.toString(QUrl::StripTrailingSlash))
    , m_seesPrivate(seesPrivate)
{}

QString JsonRenderer::avatarUrl(const ProjectRecord &project) const
{
    if (project.project.avatar.isEmpty())
        return {};
    return m_base + "/uploads/-/system/project/avatar/" + QString::number(project.id) + '/'
           + QString::fromLatin1(QUrl::toPercentEncoding(project.avatarFileName));
}

JsonObjectWriter JsonRenderer::groupObject(const GroupRecord &group) const
{
    JsonObjectWriter json;
    json.add("id", group.id)
        .add("web_url", m_base + "/groups/" + group.fullPath)
        .add("name", group.name)
        .add("path", group.path)
        .add("description", group.description)
        .add("visibility", m_store.isPublic(group) ? "public" : "private")
        .add("share_with_group_lock", false)
        .add("require_two_factor_authentication", false)
        .add("two_factor_grace_period", 48)
        .add("project_creation_level", "developer")
        .add("auto_devops_enabled", QJsonValue::Null)
        .add("subgroup_creation_level", "maintainer")
        .add("emails_disabled", false)
        .add("emails_enabled", true)
        .add("mentions_disabled", QJsonValue::Null)
        .add("lfs_enabled", true)
        .add("math_rendering_limits_enabled", true)
        .add("lock_math_rendering_limits_enabled", false)
        .add("default_branch", QJsonValue::Null)
        .add("default_branch_protection", 2)
        .add("avatar_url", QJsonValue::Null)
        .add("request_access_enabled", true)
        .add("full_name", m_store.fullName(group))
        .add("full_path", group.fullPath)
        .add("created_at", isoTime(group.createdAt))
        .add("parent_id", group.parentId ? QJsonValue(group.parentId) : QJsonValue::Null)
        .add("organization_id", 1)
        .add("shared_runners_setting", "enabled")
        .add("ldap_cn", QJsonValue::Null)
        .add("ldap_access", QJsonValue::Null)
        .add("wiki_access_level", "enabled");
    return json;
}

QByteArray JsonRenderer::group(const GroupRecord &group) const
{
    return groupObject(group).toJson();
}

QByteArray JsonRenderer::groupDetail(const GroupRecord &group, bool withProjects) const
{
    JsonObjectWriter json = groupObject(group);
    json.addRaw("shared_with_groups", "[]")
        .add("runners_token", QJsonValue::Null)
        .add("prevent_sharing_groups_outside_hierarchy", false);
    if (withProjects) {
        json.addRaw("projects",
                    projectArray(m_store.visibleProjects(group.id, false, m_seesPrivate)))
            .addRaw("shared_projects",
                    projectArray(m_store.visibleSharedProjects(group.id, m_seesPrivate)));
    }
    return json.toJson();
}

QByteArray JsonRenderer::projectArray(QList<const ProjectRecord *> projects) const
{
    // The newest first, and no more than a page's worth: larger groups need the listing.
    std::sort(projects.begin(), projects.end(), [](auto a, auto b) { return a->id > b->id; });
    QList<QByteArray> elements;
    for (const ProjectRecord *p : projects.mid(0, DetailProjectLimit))
        elements.append(project(*p));
    return jsonArray(elements);
}

QByteArray JsonRenderer::project(const ProjectRecord &record, bool simple) const
{
    const Project &p = record.project;
    const GroupRecord *owner = m_store.group(record.groupId);
    const bool empty = p.files.isEmpty() && p.archiveOverride.isEmpty();
    const QString fullPath = m_store.pathWithNamespace(record);
    const QString webUrl = m_base + '/' + fullPath;
    const QString host = QUrl(m_base).host();
    QStringList sortedTopics = p.topics;
    sortedTopics.sort();

    QJsonValue readmeUrl = QJsonValue::Null;
    for (auto it = p.files.cbegin(); it != p.files.cend(); ++it) {
        if (!it.key().contains('/') && it.key().startsWith("README", Qt::CaseInsensitive)) {
            readmeUrl = webUrl + "/-/blob/" + p.ref + '/' + it.key();
            break;
        }
    }

    JsonObjectWriter ns;
    ns.add("id", owner ? owner->id : 0)
        .add("name", owner ? owner->name : QString())
        .add("path", owner ? owner->path : QString())
        .add("kind", "group")
        .add("full_path", owner ? owner->fullPath : QString())
        .add("parent_id", owner && owner->parentId ? QJsonValue(owner->parentId) : QJsonValue::Null)
        .add("avatar_url", QJsonValue::Null)
        .add("web_url", m_base + "/groups/" + (owner ? owner->fullPath : QString()));

    const QString avatar = avatarUrl(record);
    JsonObjectWriter json;
    json.add("id", record.id)
        .add("description", p.description ? QJsonValue(*p.description) : QJsonValue::Null)
        .add("name", p.name)
        .add("name_with_namespace", (owner ? m_store.fullName(*owner) + " / " : QString()) + p.name)
        .add("path", p.path)
        .add("path_with_namespace", fullPath)
        .add("created_at", isoTime(record.createdAt))
        .add("default_branch", empty ? QJsonValue::Null : QJsonValue(p.ref))
        .addRaw("tag_list", jsonStringArray(sortedTopics))
        .addRaw("topics", jsonStringArray(p.topics))
        .add("ssh_url_to_repo", "git@" + host + ':' + fullPath + ".git")
        .add("http_url_to_repo", webUrl + ".git")
        .add("web_url", webUrl)
        .add("readme_url", readmeUrl)
        .add("forks_count", 0)
        .add("avatar_url", avatar.isEmpty() ? QJsonValue::Null : QJsonValue(avatar))
        .add("star_count", 0)
        .add("last_activity_at", isoTime(p.lastActivity))
        .addRaw("namespace", ns.toJson());
    if (simple)
        return json.toJson();

    const QString api = m_base + "/api/v4/projects/" + QString::number(record.id);
    JsonObjectWriter links;
    links.add("self", api)
        .add("issues", api + "/issues")
        .add("merge_requests", api + "/merge_requests")
        .add("repo_branches", api + "/repository/branches")
        .add("labels", api + "/labels")
        .add("events", api + "/events")
        .add("members", api + "/members")
        .add("cluster_agents", api + "/cluster_agents");

    json.add("container_registry_image_prefix", host + ":5050/" + fullPath)
        .addRaw("_links", links.toJson())
        .add("packages_enabled", true)
        .add("empty_repo", empty)
        .add("archived", false)
        .add("visibility", m_store.isPublic(record) ? "public" : "private")
        .add("resolve_outdated_diff_discussions", false)
        .add("repository_object_format", "sha1")
        .add("issues_enabled", true)
        .add("merge_requests_enabled", true)
        .add("wiki_enabled", true)
        .add("jobs_enabled", true)
        .add("snippets_enabled", true)
        .add("container_registry_enabled", true)
        .add("service_desk_enabled", false)
        .add("can_create_merge_request_in", false)
        .add("issues_access_level", "enabled")
        .add("repository_access_level", "enabled")
        .add("merge_requests_access_level", "enabled")
        .add("forking_access_level", "enabled")
        .add("wiki_access_level", "enabled")
        .add("builds_access_level", "enabled")
        .add("snippets_access_level", "enabled")
        .add("pages_access_level", "enabled")
        .add("analytics_access_level", "enabled")
        .add("container_registry_access_level", "enabled")
        .add("emails_disabled", false)
        .add("emails_enabled", true)
        .add("shared_runners_enabled", true)
        .add("lfs_enabled", true)
        .add("creator_id", 1)
        .add("import_status", "none")
        .add("open_issues_count", 0)
        .add("updated_at", isoTime(p.lastActivity))
        .add("ci_config_path", QJsonValue::Null)
        .add("public_jobs", true)
        .addRaw("shared_with_groups", "[]")
        .add("only_allow_merge_if_pipeline_succeeds", false)
        .add("allow_merge_on_skipped_pipeline", QJsonValue::Null)
        .add("request_access_enabled", true)
        .add("only_allow_merge_if_all_discussions_are_resolved", false)
        .add("remove_source_branch_after_merge", true)
        .add("printing_merge_request_link_enabled", true)
        .add("merge_method", "merge")
        .add("squash_option", "default_off")
        .add("autoclose_referenced_issues", true);
    return json.toJson();
}

} // namespace GitLab::Internal
