// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>

namespace GitLab::Internal {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

QByteArray headerValue(const HeaderList &headers, const QByteArray &name);

struct HttpRequest
{
    QByteArray method;
    QByteArray target; // as sent
    QByteArray path;   // target up to '?', percent-encoding kept
    QByteArray query;  // after '?', percent-encoding kept
    int minorVersion = 1;
    HeaderList headers;

    QByteArray header(const QByteArray &name) const { return headerValue(headers, name); }
    bool isHead() const { return method == "HEAD"; }
    bool wantsKeepAlive() const;
};

struct HttpResponse
{
    int status = 200;
    HeaderList headers; // Content-Type and extras; framing headers are added when sent
    QByteArray body;
    bool chunked = false; // streamed without a length, as GitLab sends archives
    bool closeConnection = false;
    // When set, the body goes on after `body` with one piece from here each time the connection
    // has drained, until the client goes away or declaredLength bytes are sent.
    std::function<QByteArray()> stream;
    qint64 declaredLength = -1; // >= 0: sent as Content-Length whatever the body holds

    // How the connection delivers it; set by fault injection.
    int delayMs = 0;
    bool neverAnswer = false;
    bool closeMidBody = false;
    int trickleIntervalMs = 0; // > 0: the body goes out trickleBytes at a time, this far apart
    int trickleBytes = 1;

    void addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append({name, value});
    }
    void setHeader(const QByteArray &name, const QByteArray &value);
    QByteArray header(const QByteArray &name) const { return headerValue(headers, name); }

    static HttpResponse json(int status, const QByteArray &body);
    static HttpResponse badRequest(); // framing-level errors, answered like nginx
};

QByteArray reasonPhrase(int status);

} // namespace GitLab::Internal
