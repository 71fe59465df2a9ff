// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httpmessage.h"

namespace GitLab::Internal {

QByteArray headerValue(const HeaderList &headers, const QByteArray &name)
{
    QByteArray value;
    bool found = false;
    for (const auto &[key, v] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (found)
            value += ", ";
        value += v;
        found = true;
    }
    return found && value.isNull() ? QByteArray("") : value;
}

bool HttpRequest::wantsKeepAlive() const
{
    const QList<QByteArray> tokens = header("Connection").toLower().split(',');
    auto has = [&tokens](const QByteArray &token) {
        for (const QByteArray &t : tokens) {
            if (t.trimmed() == token)
                return true;
        }
        return false;
    };
    if (minorVersion == 0)
        return has("keep-alive");
    return !has("close");
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    headers.removeIf(
        [&name](const auto &h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
    headers.append({name, value});
}

HttpResponse HttpResponse::json(int status, const QByteArray &body)
{
    HttpResponse response;
    response.status = status;
    response.addHeader("Content-Type", "application/json");
    response.body = body;
    return response;
}

HttpResponse HttpResponse::badRequest()
{
    HttpResponse response;
    response.status = 400;
    response.addHeader("Content-Type", "text/html");
    response.body = "<html>\r\n<head><title>400 Bad Request</title></head>\r\n<body>\r\n"
                    "<center><h1>400 Bad Request</h1></center>\r\n<hr><center>nginx</center>\r\n"
                    "</body>\r\n</html>\r\n";
    response.closeConnection = true;
    return response;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 406:
        return "Not Acceptable";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Payload Too Large";
    case 422:
        return "Unprocessable Entity";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Unknown";
    }
}

} // namespace GitLab::Internal
