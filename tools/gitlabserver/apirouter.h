// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "contentstore.h"
#include "httpmessage.h"
#include "jsonrenderer.h"
#include "queryparameters.h"

namespace GitLab::Internal {

// Answers the routes of the REST API v4 and the upload paths the API links to.
class ApiRouter final
{
public:
    ApiRouter(const ContentStore &store, const QUrl &baseUrl);

    HttpResponse route(const HttpRequest &request) const;

private:
    struct Context
    {
        const HttpRequest &request;
        QueryParameters params;
        QString linkBase;
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
    HttpResponse avatar(const QString &id, const QString &fileName) const;

    Page pageOf(const Context &context, QStringList *errors) const;
    HttpResponse
    paginated(const Context &context, const Page &page, const QList<QByteArray> &elements) const;

    const ContentStore &m_store;
    QUrl m_baseUrl;
    JsonRenderer m_renderer;
};

} // namespace GitLab::Internal
