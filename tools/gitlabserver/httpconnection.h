// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "httpmessage.h"

#include <QObject>
#include <QTimer>

#include <functional>

QT_BEGIN_NAMESPACE
class QTcpSocket;
QT_END_NAMESPACE

namespace GitLab::Internal {

// One client connection: parses pipelined HTTP/1.x requests as bytes arrive and answers them in
// order. Nothing here blocks; a client that stalls only ever holds up its own connection.
class HttpConnection final : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    using Recorder = std::function<void(const HttpRequest &)>;

    static constexpr qsizetype MaxRequestLine = 8 * 1024;
    static constexpr qsizetype MaxHeaderBytes = 16 * 1024;
    static constexpr int MaxHeaderCount = 100;
    static constexpr qsizetype MaxBodyBytes = 1024 * 1024;
    static constexpr int MaxQueuedRequests = 16;

    HttpConnection(QTcpSocket *socket,
                   Handler handler,
                   Recorder recorder,
                   int idleTimeoutMs,
                   QObject *parent = nullptr);

signals:
    void closed();

private:
    enum class ParseResult { NeedMore, Request, Malformed };

    struct Pending
    {
        HttpRequest request;
        bool malformed = false;
    };

    void readAndParse();
    ParseResult parseOne(HttpRequest *request);
    void dispatchNext();
    void send(const HttpResponse &response, const HttpRequest &request, bool malformed);
    void pump();
    bool refill();
    void waitForNextRequest();
    void trickle();

    QTcpSocket *m_socket = nullptr;
    Handler m_handler;
    Recorder m_recorder;
    QByteArray m_buffer;
    QList<Pending> m_queue;
    bool m_stopReading = false;
    bool m_busy = false;
    QByteArray m_output;
    qsizetype m_outputPos = 0;
    bool m_closeAfterOutput = false;
    std::function<QByteArray()> m_stream; // the rest of a streamed body
    bool m_streamChunked = false;
    qint64 m_streamLeft = -1; // bytes of a streamed body still to send; -1: no end
    QTimer m_idleTimer;
    QTimer m_delayTimer;
    QTimer m_trickleTimer;
    QByteArray m_trickleBody; // what is still to trickle out
    int m_trickleBytes = 1;
    bool m_trickleChunked = false;
};

} // namespace GitLab::Internal
