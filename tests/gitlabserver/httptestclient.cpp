// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httptestclient.h"

#include <QCoreApplication>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTest>

#include <tuple>

namespace TestClient {

namespace {

QByteArray find(const Headers &headers, const QByteArray &name, bool *found)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            *found = true;
            return value;
        }
    }
    *found = false;
    return {};
}

} // namespace

QByteArray Reply::header(const QByteArray &name) const
{
    bool found = false;
    return find(headers, name, &found);
}

bool Reply::hasHeader(const QByteArray &name) const
{
    bool found = false;
    find(headers, name, &found);
    return found;
}

QByteArray RawResponse::header(const QByteArray &name) const
{
    bool found = false;
    return find(headers, name, &found);
}

bool RawResponse::hasHeader(const QByteArray &name) const
{
    bool found = false;
    find(headers, name, &found);
    return found;
}

QNetworkReply *startGet(QNetworkAccessManager &manager, const QUrl &url, const Headers &headers)
{
    QNetworkRequest request(url);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    return manager.get(request);
}

Reply waitFor(QNetworkReply *reply)
{
    Reply result;
    if (!reply->isFinished()) {
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(Timeout);
    }
    result.finished = reply->isFinished();
    if (!result.finished)
        reply->abort();
    result.error = reply->error();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return result;
}

Reply get(QNetworkAccessManager &manager, const QUrl &url, const Headers &headers)
{
    return waitFor(startGet(manager, url, headers));
}

QByteArray get(const QByteArray &target, const QByteArray &extraHeaders)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

RawConnection::RawConnection(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        QSignalSpy connected(&m_socket, &QTcpSocket::connected);
        connected.wait(Timeout);
    }
}

RawConnection::~RawConnection()
{
    m_socket.abort();
}

bool RawConnection::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void RawConnection::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

bool RawConnection::fill()
{
    // A timeout shows up as no new data.
    std::ignore = QTest::qWaitFor(
        [this] {
            return m_socket.bytesAvailable() > 0
                   || m_socket.state() != QAbstractSocket::ConnectedState;
        },
        Timeout);
    const QByteArray data = m_socket.readAll();
    m_buffer += data;
    return !data.isEmpty();
}

RawResponse RawConnection::readResponse(bool headOnly)
{
    RawResponse response;
    qsizetype headEnd = -1;
    while ((headEnd = m_buffer.indexOf("\r\n\r\n")) < 0) {
        if (!fill())
            return response;
    }
    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    m_buffer.remove(0, headEnd + 4);
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    response.status = statusLine.value(1).toInt();
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        response.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }

    const bool noBody = headOnly || response.status == 204 || response.status == 304;
    response.chunked = response.header("Transfer-Encoding").toLower() == "chunked";
    if (noBody) {
        response.complete = true;
    } else if (response.chunked) {
        forever
        {
            qsizetype lineEnd;
            while ((lineEnd = m_buffer.indexOf("\r\n")) < 0) {
                if (!fill())
                    return response;
            }
            bool ok = false;
            const qsizetype size = m_buffer.left(lineEnd).toLongLong(&ok, 16);
            if (!ok)
                return response;
            while (m_buffer.size() < lineEnd + 2 + size + 2) {
                if (!fill())
                    return response;
            }
            response.body += m_buffer.mid(lineEnd + 2, size);
            m_buffer.remove(0, lineEnd + 2 + size + 2);
            if (size == 0)
                break;
        }
        response.complete = true;
    } else if (response.hasHeader("Content-Length")) {
        const qsizetype length = response.header("Content-Length").toLongLong();
        while (m_buffer.size() < length) {
            if (!fill())
                return response;
        }
        response.body = m_buffer.left(length);
        m_buffer.remove(0, length);
        response.complete = true;
    } else {
        while (fill()) {
        }
        response.body = m_buffer;
        m_buffer.clear();
        response.complete = m_socket.state() != QAbstractSocket::ConnectedState;
    }
    return response;
}

QByteArray RawConnection::readAvailable()
{
    QCoreApplication::processEvents();
    m_buffer += m_socket.readAll();
    return m_buffer;
}

bool RawConnection::waitForClose()
{
    const bool closed = QTest::qWaitFor(
        [this] {
            m_buffer += m_socket.readAll();
            return m_socket.state() != QAbstractSocket::ConnectedState;
        },
        Timeout);
    m_buffer += m_socket.readAll();
    return closed;
}

} // namespace TestClient
