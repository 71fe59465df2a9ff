// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "contentstore.h"
#include "httpmessage.h"
#include "jsonrenderer.h"
#include "queryparameters.h"

#include <QSet>

#include <functional>

namespace GitLab::Internal {

// Answers the routes of the REST API v4 and the upload paths the API links to.
class ApiRouter final
{
public:
    ApiRouter(const ContentStore &store, const QUrl &baseUrl, const QSet<QByteArray> &tokens);

    HttpResponse route(const HttpRequest &request) const;

    // Above this many results GitLab stops counting: no X-Total, X-Total-Pages or rel="last".
    static constexpr qint64 MaxCountedResults = 10000;

private:
    enum class Caller { Anonymous, Authenticated, BadToken };

    struct Context
    {
        const HttpRequest &request;
        QueryParameters params;
        QString linkBase;
        bool seesPrivate = false;
    };

    struct Page
    {
        int page = 1;
        int perPage = 20;
    };

    HttpResponse listGroups(const Context &context) const;
    HttpResponse groupDetail(const Context &context, const QString &id) const;
    HttpResponse groupProjects(const Context &context, const QString &id) const;
    HttpResponse projectDetail(const Context &context, const QString &id) const;
    HttpResponse archive(const Context &context, const QString &id, const QString &format) const;
    HttpResponse avatar(const Context &context, const QString &id, const QString &fileName) const;

    Caller callerOf(const HttpRequest &request) const;
    Page pageOf(const Context &context, QStringList *errors) const;
    // Renders only the elements on the page.
    HttpResponse paginated(const Context &context,
                           const Page &page,
                           qint64 total,
                           const std::function<QByteArray(qint64 index)> &element) const;

    const ContentStore &m_store;
    QUrl m_baseUrl;
    const QSet<QByteArray> &m_tokens;
};

} // namespace GitLab::Internal
