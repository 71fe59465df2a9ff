// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apirouter.h"

#include "groupsearch.h"
#include "jsonwriter.h"

#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace GitLab::Internal {

namespace {

constexpr int DefaultPerPage = 20;
constexpr int MaxPerPage = 100;

HttpResponse message(int status, const QString &text)
{
    return HttpResponse::json(status, JsonObjectWriter().add("message", text).toJson());
}

HttpResponse routeNotFound()
{
    return HttpResponse::json(404, R"({"error":"404 Not Found"})");
}

HttpResponse badParameters(const QStringList &errors)
{
    return HttpResponse::json(400, JsonObjectWriter().add("error", errors.join(", ")).toJson());
}

HttpResponse pageNotFound()
{
    // Outside the API GitLab answers with its HTML error page.
    HttpResponse response;
    response.status = 404;
    response.addHeader("Content-Type", "text/html; charset=utf-8");
    response.body = "<!DOCTYPE html>\n<html><head><title>The page you're looking for could not "
                    "be found (404)</title></head>\n<body><h1>404</h1><p>Page Not Found</p>"
                    "</body></html>\n";
    return response;
}

// Grape answers 406 when the first accepted type is one it cannot possibly produce.
bool acceptsOnlyMedia(const QByteArray &accept)
{
    const QByteArray first = accept.split(',').value(0).split(';').value(0).trimmed().toLower();
    return first.startsWith("image/") || first.startsWith("video/") || first.startsWith("audio/")
           || first == "text/css";
}

int compareNames(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded ? folded : a.compare(b);
}

} // namespace

ApiRouter::ApiRouter(const ContentStore &store, const QUrl &baseUrl, const QSet<QByteArray> &tokens)
    : m_store(store)
    , m_baseUrl(baseUrl)
    , m_tokens(tokens)
{}

ApiRouter::Caller ApiRouter::callerOf(const HttpRequest &request) const
{
    // A blank header counts as none, as Rails' presence makes it.
    QByteArray token = request.header("PRIVATE-TOKEN").trimmed();
    if (token.isEmpty()) {
        const QByteArray authorization = request.header("Authorization").trimmed();
        if (authorization.left(7).compare("Bearer ", Qt::CaseInsensitive) == 0)
            token = authorization.mid(7).trimmed();
    }
    if (token.isEmpty())
        return Caller::Anonymous;
    return m_tokens.contains(token) ? Caller::Authenticated : Caller::BadToken;
}

HttpResponse ApiRouter::route(const HttpRequest &request) const
{
    // Segments are split before decoding so that "palvexos%2Fexamples" stays one id.
    QStringList segments;
    for (const QByteArray &raw : request.path.mid(1).split('/'))
        segments.append(QUrl::fromPercentEncoding(raw));

    QString linkBase = m_baseUrl.toString(QUrl::StripTrailingSlash);
    static const QRegularExpression hostPattern("^[A-Za-z0-9.\\-\\[\\]:]{1,255}$");
    const QString host = QString::fromLatin1(request.header("Host"));
    if (hostPattern.match(host).hasMatch())
        linkBase = "http://" + host;
    const Caller caller = callerOf(request);
    const Context context{
        request, QueryParameters(request.query), linkBase, caller == Caller::Authenticated};

    const bool isApi = segments.size() >= 2 && segments.at(0) == "api" && segments.at(1) == "v4";
    const bool isRead = request.method == "GET" || request.method == "HEAD";

    if (isApi) {
        if (caller == Caller::BadToken)
            return message(401, "401 Unauthorized");
        const QStringList route = segments.mid(2);
        std::function<HttpResponse()> handler;
        if (route == QStringList{"groups"}) {
            handler = [&] {
                return listGroups(context);
            };
        } else if (route.size() == 2 && route.at(0) == "groups" && !route.at(1).isEmpty()) {
            handler = [&] {
                return groupDetail(context, route.at(1));
            };
        } else if (route.size() == 3 && route.at(0) == "groups" && !route.at(1).isEmpty()
                   && route.at(2) == "projects") {
            handler = [&] {
                return groupProjects(context, route.at(1));
            };
        } else if (route.size() == 2 && route.at(0) == "projects" && !route.at(1).isEmpty()) {
            handler = [&] {
                return projectDetail(context, route.at(1));
            };
        } else if (route.size() == 4 && route.at(0) == "projects" && !route.at(1).isEmpty()
                   && route.at(2) == "repository"
                   && (route.at(3) == "archive" || route.at(3).startsWith("archive."))) {
            const QString format = route.at(3).mid(QStringLiteral("archive.").size());
            static const QStringList formats{
                "", "tar.gz", "tgz", "gz", "tar", "tar.bz2", "tbz", "tbz2", "tb2", "bz2", "zip"};
            if (formats.contains(format))
                handler = [&, format] {
                    return archive(context, route.at(1), format);
                };
        }
        if (!handler)
            return routeNotFound();
        if (!isRead) {
            HttpResponse response = HttpResponse::json(405, R"({"error":"405 Not Allowed"})");
            response.addHeader("Allow", "OPTIONS, GET, HEAD");
            return response;
        }
        return handler();
    }

    if (isRead && segments.size() == 7
        && segments.mid(0, 5) == QStringList{"uploads", "-", "system", "project", "avatar"}) {
        return avatar(context, segments.at(5), segments.at(6));
    }
    return pageNotFound();
}

ApiRouter::Page ApiRouter::pageOf(const Context &context, QStringList *errors) const
{
    Page page;
    page.page = qMax(1, context.params.integer("page", 1, errors));
    page.perPage = context.params.integer("per_page", DefaultPerPage, errors);
    if (page.perPage < 1)
        page.perPage = DefaultPerPage;
    page.perPage = qMin(page.perPage, MaxPerPage);
    return page;
}

HttpResponse ApiRouter::paginated(const Context &context,
                                  const Page &page,
                                  qint64 total,
                                  const std::function<QByteArray(qint64 index)> &element) const
{
    const bool counted = total <= MaxCountedResults;
    const qint64 totalPages = qMax<qint64>(1, (total + page.perPage - 1) / page.perPage);
    const qint64 offset = qint64(page.page - 1) * page.perPage;
    const bool outOfRange = page.page > totalPages;
    const qint64 next = !outOfRange && page.page < totalPages ? page.page + 1 : 0;
    const qint64 prev = !outOfRange && page.page > 1 ? page.page - 1 : 0;

    QList<QByteArray> elements;
    for (qint64 i = offset; i < total && i < offset + page.perPage; ++i)
        elements.append(element(i));
    HttpResponse response = HttpResponse::json(200, jsonArray(elements));

    auto href = [&](qint64 target) {
        const QByteArray query = context.params.toQuery(
            {{"page", QString::number(target)}, {"per_page", QString::number(page.perPage)}});
        return '<' + context.linkBase.toUtf8() + context.request.path + '?' + query + '>';
    };
    QList<QByteArray> links;
    if (prev)
        links.append(href(prev) + "; rel=\"prev\"");
    if (next)
        links.append(href(next) + "; rel=\"next\"");
    links.append(href(1) + "; rel=\"first\"");
    if (counted)
        links.append(href(totalPages) + "; rel=\"last\"");

    auto number = [](qint64 n) {
        return n ? QByteArray::number(n) : QByteArray("");
    };
    response.addHeader("Link", links.join(", "));
    response.addHeader("X-Next-Page", number(next));
    response.addHeader("X-Page", QByteArray::number(page.page));
    response.addHeader("X-Per-Page", QByteArray::number(page.perPage));
    response.addHeader("X-Prev-Page", number(prev));
    if (counted) {
        response.addHeader("X-Total", QByteArray::number(total));
        response.addHeader("X-Total-Pages", QByteArray::number(totalPages));
    }
    return response;
}

HttpResponse ApiRouter::listGroups(const Context &context) const
{
    const QueryParameters &params = context.params;
    QStringList errors;
    const QString orderBy
        = params.choice("order_by", {"name", "path", "id", "similarity"}, "name", &errors);
    const QString sort = params.choice("sort", {"asc", "desc"}, "asc", &errors);
    const bool topLevelOnly = params.boolean("top_level_only", false, &errors);
    params.boolean("all_available", true, &errors);
    params.boolean("statistics", false, &errors);
    params.boolean("owned", false, &errors);
    const QString visibility
        = params.choice("visibility", {"public", "internal", "private"}, {}, &errors);
    QList<qint64> skipped;
    for (const QString &id : params.values("skip_groups")) {
        bool ok = false;
        skipped.append(id.toLongLong(&ok));
        if (!ok)
            errors.append("skip_groups is invalid");
    }
    const Page page = pageOf(context, &errors);
    if (!errors.isEmpty())
        return badParameters(errors);

    const QString search = params.value("search").simplified();
    QList<const GroupRecord *> groups;
    for (const GroupRecord *group : m_store.visibleGroups(context.seesPrivate)) {
        if (!visibility.isEmpty()
            && visibility != (m_store.isPublic(*group) ? "public" : "private")) {
            continue;
        }
        if ((topLevelOnly && group->parentId) || skipped.contains(group->id))
            continue;
        if (!search.isEmpty() && !searchMatches(group->fullPath, search)
            && !searchMatches(m_store.fullName(*group), search)) {
            continue;
        }
        groups.append(group);
    }

    const bool descending = sort == "desc";
    auto ordered = [descending](int primary, qint64 idA, qint64 idB) {
        if (primary)
            return descending ? primary > 0 : primary < 0;
        return descending ? idA > idB : idA < idB;
    };
    if (orderBy == "similarity" && !search.isEmpty()) {
        auto score = [&search](const GroupRecord *g) {
            return trigramSimilarity(g->path, search) + 0.7 * trigramSimilarity(g->name, search)
                   + 0.2 * trigramSimilarity(g->description, search);
        };
        std::stable_sort(groups.begin(), groups.end(), [&](auto a, auto b) {
            const double sa = score(a);
            const double sb = score(b);
            return sa != sb ? sa > sb : a->id < b->id;
        });
    } else {
        std::sort(groups.begin(), groups.end(), [&](auto a, auto b) {
            int primary = 0;
            if (orderBy == "path")
                primary = compareNames(a->path, b->path);
            else if (orderBy != "id")
                primary = compareNames(a->name, b->name);
            return ordered(primary, a->id, b->id);
        });
    }

    const JsonRenderer renderer(m_store, m_baseUrl, context.seesPrivate);
    return paginated(
        context, page, groups.size(), [&](qint64 i) { return renderer.group(*groups.at(i)); });
}

HttpResponse ApiRouter::groupDetail(const Context &context, const QString &id) const
{
    QStringList errors;
    const bool withProjects = context.params.boolean("with_projects", true, &errors);
    context.params.boolean("with_custom_attributes", false, &errors);
    if (!errors.isEmpty())
        return badParameters(errors);
    const GroupRecord *group = m_store.visibleGroup(id, context.seesPrivate);
    if (!group)
        return message(404, "404 Group Not Found");
    const JsonRenderer renderer(m_store, m_baseUrl, context.seesPrivate);
    return HttpResponse::json(200, renderer.groupDetail(*group, withProjects));
}

HttpResponse ApiRouter::groupProjects(const Context &context, const QString &id) const
{
    const QueryParameters &params = context.params;
    QStringList errors;
    const QString orderBy = params.choice("order_by",
                                          {"id",
                                           "name",
                                           "path",
                                           "created_at",
                                           "updated_at",
                                           "last_activity_at",
                                           "similarity",
                                           "star_count"},
                                          "created_at",
                                          &errors);
    const QString sort = params.choice("sort", {"asc", "desc"}, "desc", &errors);
    const bool includeSubgroups = params.boolean("include_subgroups", false, &errors);
    const bool withShared = params.boolean("with_shared", true, &errors);
    const bool simple = params.boolean("simple", false, &errors);
    const bool archived = params.boolean("archived", false, &errors);
    const QString visibility
        = params.choice("visibility", {"public", "internal", "private"}, {}, &errors);
    const Page page = pageOf(context, &errors);
    if (!errors.isEmpty())
        return badParameters(errors);
    const GroupRecord *group = m_store.visibleGroup(id, context.seesPrivate);
    if (!group)
        return message(404, "404 Group Not Found");

    const QString search = params.value("search").simplified();
    const QStringList topics = params.value("topic").split(',', Qt::SkipEmptyParts);
    QList<const ProjectRecord *> candidates
        = m_store.visibleProjects(group->id, includeSubgroups, context.seesPrivate);
    if (withShared) {
        for (const ProjectRecord *p :
             m_store.visibleSharedProjects(group->id, context.seesPrivate)) {
            if (!candidates.contains(p))
                candidates.append(p);
        }
    }
    QList<const ProjectRecord *> projects;
    if (!(params.contains("archived") && archived)) {
        for (const ProjectRecord *p : std::as_const(candidates)) {
            if (!visibility.isEmpty()
                && visibility != (m_store.isPublic(*p) ? "public" : "private")) {
                continue;
            }
            if (!search.isEmpty() && !searchMatches(p->project.path, search)
                && !searchMatches(p->project.name, search)) {
                continue;
            }
            const bool hasTopics
                = std::all_of(topics.cbegin(), topics.cend(), [p](const QString &t) {
                      return p->project.topics.contains(t.trimmed(), Qt::CaseInsensitive);
                  });
            if (hasTopics)
                projects.append(p);
        }
    }

    const bool descending = sort == "desc";
    std::sort(projects.begin(), projects.end(), [&](auto a, auto b) {
        int primary = 0;
        if (orderBy == "name")
            primary = compareNames(a->project.name, b->project.name);
        else if (orderBy == "path")
            primary = compareNames(a->project.path, b->project.path);
        else if (orderBy == "created_at")
            primary = a->createdAt < b->createdAt ? -1 : (b->createdAt < a->createdAt ? 1 : 0);
        else if (orderBy == "updated_at" || orderBy == "last_activity_at")
            primary = a->project.lastActivity < b->project.lastActivity
                          ? -1
                          : (b->project.lastActivity < a->project.lastActivity ? 1 : 0);
        if (primary)
            return descending ? primary > 0 : primary < 0;
        return descending ? a->id > b->id : a->id < b->id;
    });

    const JsonRenderer renderer(m_store, m_baseUrl, context.seesPrivate);
    return paginated(context, page, projects.size(), [&](qint64 i) {
        return renderer.project(*projects.at(i), simple);
    });
}

HttpResponse ApiRouter::projectDetail(const Context &context, const QString &id) const
{
    const ProjectRecord *project = m_store.visibleProject(id, context.seesPrivate);
    if (!project)
        return message(404, "404 Project Not Found");
    return HttpResponse::json(
        200, JsonRenderer(m_store, m_baseUrl, context.seesPrivate).project(*project));
}

HttpResponse
ApiRouter::archive(const Context &context, const QString &id, const QString &format) const
{
    if (acceptsOnlyMedia(context.request.header("Accept")))
        return message(406, "406 Not Acceptable");
    const ProjectRecord *project = m_store.visibleProject(id, context.seesPrivate);
    if (!project)
        return message(404, "404 Project Not Found");

    // Only the tar family is produced; other formats behave like an unknown ref.
    ArchiveFormat archiveFormat = ArchiveFormat::TarGz;
    QString extension = "tar.gz";
    if (format == "tar") {
        archiveFormat = ArchiveFormat::Tar;
        extension = "tar";
    } else if (!format.isEmpty() && format != "tar.gz" && format != "tgz" && format != "gz") {
        return message(404, "404 File Not Found");
    }

    const Archive archive = m_store.archive(*project, context.params.value("sha"), archiveFormat);
    if (archive.bytes.isEmpty())
        return message(404, "404 File Not Found");

    HttpResponse response;
    response.addHeader("Content-Type", "application/octet-stream");
    response.addHeader("Content-Disposition",
                       "attachment; filename=\"" + archive.topDirectory.toUtf8() + '.'
                           + extension.toLatin1() + '"');
    response.addHeader("Content-Transfer-Encoding", "binary");
    response.body = archive.bytes;
    response.chunked = true;
    return response;
}

HttpResponse
ApiRouter::avatar(const Context &context, const QString &id, const QString &fileName) const
{
    const ProjectRecord *project = m_store.visibleProject(id, context.seesPrivate);
    if (!project || project->project.avatar.isEmpty() || project->avatarFileName != fileName)
        return pageNotFound();
    HttpResponse response;
    response.addHeader("Content-Type", imageContentType(fileName).toLatin1());
    response.addHeader("Cache-Control", "max-age=60, private");
    response.addHeader("Content-Disposition", "inline");
    response.body = project->project.avatar;
    return response;
}

} // namespace GitLab::Internal
