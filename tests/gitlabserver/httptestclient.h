// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QPointer>
#include <QTcpSocket>
#include <QUrl>

// Clients for the server tests. Everything waits by spinning the event loop, since the server
// under test lives in the same thread.
namespace TestClient {

constexpr int Timeout = 20000;

using Headers = QList<QPair<QByteArray, QByteArray>>;

struct Reply
{
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
    Headers headers;

    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    QJsonDocument json() const { return QJsonDocument::fromJson(body); }
};

QNetworkReply *
startGet(QNetworkAccessManager &manager, const QUrl &url, const Headers &headers = {});
Reply waitFor(QNetworkReply *reply);
Reply get(QNetworkAccessManager &manager, const QUrl &url, const Headers &headers = {});

// What arrived on the wire for one response, framing included.
struct RawResponse
{
    bool complete = false;
    int status = 0;
    Headers headers;
    QByteArray body; // de-chunked
    bool chunked = false;

    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
};

// A bare socket for what QNetworkAccessManager will not send: pipelined, malformed or stalled
// requests.
class RawConnection
{
public:
    explicit RawConnection(quint16 port);
    ~RawConnection();

    bool isConnected() const;
    void send(const QByteArray &bytes);
    // Reads one response; for a HEAD request pass headOnly so no body is expected.
    RawResponse readResponse(bool headOnly = false);
    // Waits until the server closes the connection; false on timeout.
    bool waitForClose();
    QByteArray unreadBytes() const { return m_buffer; }
    // Whatever has arrived so far, without waiting for more.
    QByteArray readAvailable();

private:
    bool fill();

    QTcpSocket m_socket;
    QByteArray m_buffer;
};

QByteArray get(const QByteArray &target, const QByteArray &extraHeaders = {});

} // namespace TestClient
