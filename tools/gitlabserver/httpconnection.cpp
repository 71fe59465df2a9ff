// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httpconnection.h"

#include <QDateTime>
#include <QLocale>
#include <QTcpSocket>

namespace GitLab::Internal {

namespace {

constexpr qsizetype ReadChunk = 64 * 1024;
constexpr qsizetype WriteChunk = 64 * 1024;
constexpr qint64 MaxUnsentBytes = 256 * 1024;
constexpr qsizetype ChunkSize = 16 * 1024;

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool isVisibleAscii(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            return false;
    }
    return true;
}

bool isValidFieldValue(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

QByteArray chomp(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Header text can come from test data (project paths, injected faults); a stray line break
// would let it forge headers or end the header block early.
QByteArray fieldText(QByteArray text)
{
    text.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
    return text;
}

QByteArray httpDate()
{
    return QLocale::c()
        .toString(QDateTime::currentDateTimeUtc(), "ddd, dd MMM yyyy hh:mm:ss 'GMT'")
        .toLatin1();
}

QByteArray chunks(const QByteArray &body)
{
    QByteArray out;
    for (qsizetype pos = 0; pos < body.size(); pos += ChunkSize) {
        const QByteArray piece = body.mid(pos, ChunkSize);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return out;
}

QByteArray chunkedEncoding(const QByteArray &body)
{
    return chunks(body) + "0\r\n\r\n";
}

} // namespace

HttpConnection::HttpConnection(
    QTcpSocket *socket, Handler handler, Recorder recorder, int idleTimeoutMs, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_handler(std::move(handler))
    , m_recorder(std::move(recorder))
{
    m_socket->setParent(this);
    // Bounds what a client can make us buffer while we are not reading (queue full, stalled).
    m_socket->setReadBufferSize(ReadChunk);

    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        m_stopReading = true;
        m_socket->abort();
    });
    m_delayTimer.setSingleShot(true);
    connect(&m_trickleTimer, &QTimer::timeout, this, &HttpConnection::trickle);

    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readAndParse);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_idleTimer.stop();
        m_delayTimer.stop();
        m_trickleTimer.stop();
        emit closed();
    });

    m_idleTimer.start();
    readAndParse();
}

void HttpConnection::readAndParse()
{
    while (!m_stopReading && m_queue.size() < MaxQueuedRequests) {
        HttpRequest request;
        const ParseResult result = parseOne(&request);
        if (result == ParseResult::NeedMore) {
            if (m_socket->bytesAvailable() <= 0)
                break;
            m_buffer += m_socket->read(ReadChunk);
            continue;
        }
        if (result == ParseResult::Malformed) {
            m_stopReading = true;
            m_buffer.clear();
            m_queue.append({{}, true});
            break;
        }
        m_recorder(request);
        m_queue.append({request, false});
    }
    dispatchNext();
}

HttpConnection::ParseResult HttpConnection::parseOne(HttpRequest *request)
{
    // Clients may send empty lines between pipelined requests.
    qsizetype skip = 0;
    while (skip < m_buffer.size() && (m_buffer.at(skip) == '\r' || m_buffer.at(skip) == '\n'))
        ++skip;
    m_buffer.remove(0, skip);
    if (m_buffer.isEmpty())
        return ParseResult::NeedMore;

    const qsizetype lineEnd = m_buffer.indexOf('\n');
    if (lineEnd < 0)
        return m_buffer.size() > MaxRequestLine ? ParseResult::Malformed : ParseResult::NeedMore;
    if (lineEnd > MaxRequestLine)
        return ParseResult::Malformed;

    qsizetype headEnd = -1;
    const qsizetype crlf = m_buffer.indexOf("\n\r\n", lineEnd);
    const qsizetype lf = m_buffer.indexOf("\n\n", lineEnd);
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        headEnd = crlf + 3;
    else if (lf >= 0)
        headEnd = lf + 2;
    if (headEnd < 0) {
        return m_buffer.size() - lineEnd > MaxHeaderBytes + 4 ? ParseResult::Malformed
                                                              : ParseResult::NeedMore;
    }
    if (headEnd - lineEnd > MaxHeaderBytes + 4)
        return ParseResult::Malformed;

    const QList<QByteArray> requestLine = chomp(m_buffer.left(lineEnd)).split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine.at(0)) || !isVisibleAscii(requestLine.at(1))
        || requestLine.at(1).isEmpty()) {
        return ParseResult::Malformed;
    }
    const QByteArray &version = requestLine.at(2);
    if (version == "HTTP/1.1")
        request->minorVersion = 1;
    else if (version == "HTTP/1.0")
        request->minorVersion = 0;
    else
        return ParseResult::Malformed;
    request->method = requestLine.at(0);
    request->target = requestLine.at(1);

    const QList<QByteArray> lines = m_buffer.mid(lineEnd + 1, headEnd - lineEnd - 1).split('\n');
    for (const QByteArray &rawLine : lines) {
        const QByteArray line = chomp(rawLine);
        if (line.isEmpty())
            continue;
        // Obsolete line folding is a classic request-smuggling vector; refuse it.
        if (line.startsWith(' ') || line.startsWith('\t'))
            return ParseResult::Malformed;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)))
            return ParseResult::Malformed;
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (!isValidFieldValue(value))
            return ParseResult::Malformed;
        request->headers.append({line.left(colon), value});
        if (request->headers.size() > MaxHeaderCount)
            return ParseResult::Malformed;
    }

    int hosts = 0;
    qint64 contentLength = 0;
    bool hasLength = false;
    for (const auto &[name, value] : std::as_const(request->headers)) {
        if (name.compare("Host", Qt::CaseInsensitive) == 0) {
            ++hosts;
        } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            // Only GET and HEAD are served; a streamed request body is never legitimate here.
            return ParseResult::Malformed;
        } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = !value.isEmpty();
            for (char c : value)
                ok = ok && c >= '0' && c <= '9';
            const qint64 length = ok && value.size() < 12 ? value.toLongLong(&ok) : -1;
            if (!ok || length < 0 || (hasLength && length != contentLength))
                return ParseResult::Malformed;
            contentLength = length;
            hasLength = true;
        }
    }
    if ((request->minorVersion == 1 && hosts != 1) || hosts > 1)
        return ParseResult::Malformed;
    if (contentLength > MaxBodyBytes)
        return ParseResult::Malformed;

    QByteArray target = request->target;
    if (target.startsWith("http://") || target.startsWith("https://")) {
        const qsizetype authority = target.indexOf("//") + 2;
        const qsizetype slash = target.indexOf('/', authority);
        target = slash < 0 ? QByteArray("/") : target.mid(slash);
    }
    if (!target.startsWith('/') && !(target == "*" && request->method == "OPTIONS"))
        return ParseResult::Malformed;
    const qsizetype question = target.indexOf('?');
    request->path = question < 0 ? target : target.left(question);
    request->query = question < 0 ? QByteArray() : target.mid(question + 1);

    if (m_buffer.size() < headEnd + contentLength)
        return ParseResult::NeedMore;
    m_buffer.remove(0, headEnd + contentLength);
    return ParseResult::Request;
}

void HttpConnection::dispatchNext()
{
    if (m_busy)
        return;
    if (m_queue.isEmpty()) {
        waitForNextRequest();
        return;
    }
    m_idleTimer.stop();
    m_busy = true;
    const Pending pending = m_queue.takeFirst();
    if (pending.malformed) {
        send(HttpResponse::badRequest(), pending.request, true);
        return;
    }
    const HttpResponse response = m_handler(pending.request);
    if (response.neverAnswer)
        return;
    if (response.delayMs > 0) {
        m_delayTimer.disconnect(this);
        m_delayTimer.setInterval(response.delayMs);
        connect(&m_delayTimer, &QTimer::timeout, this, [this, response, pending] {
            send(response, pending.request, false);
        });
        m_delayTimer.start();
        return;
    }
    send(response, pending.request, false);
}

void HttpConnection::send(const HttpResponse &response, const HttpRequest &request, bool malformed)
{
    bool keepAlive = !malformed && !response.closeConnection && request.wantsKeepAlive();
    bool chunked = response.chunked;
    if (chunked && request.minorVersion == 0) {
        // HTTP/1.0 has no chunked coding: the end of the body is the end of the connection.
        chunked = false;
        keepAlive = false;
    }
    const bool streamed = response.stream && !request.isHead();
    const bool declared = response.declaredLength >= 0;
    if (streamed || declared) {
        // Only the client ends it; nothing can follow on this connection.
        keepAlive = false;
        chunked = chunked && !declared;
    }
    const bool trickled = response.trickleIntervalMs > 0 && !request.isHead() && !malformed;
    if (trickled) {
        // Only the end of the connection, or of the chunks, tells the client it is over.
        keepAlive = false;
        chunked = request.minorVersion == 1;
    }
    const bool hasLength = !chunked && keepAlive;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                      + reasonPhrase(response.status) + "\r\n";
    head += "Server: nginx\r\nDate: " + httpDate() + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += fieldText(name) + ": " + fieldText(value) + "\r\n";
    if (declared)
        head += "Content-Length: " + QByteArray::number(response.declaredLength) + "\r\n";
    else if (chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (hasLength || !response.chunked)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";

    if (trickled) {
        m_socket->write(head);
        m_trickleBody = response.body;
        m_trickleBytes = qMax(1, response.trickleBytes);
        m_trickleChunked = chunked;
        m_trickleTimer.start(response.trickleIntervalMs);
        return;
    }

    QByteArray body;
    m_stream = {};
    m_streamChunked = chunked;
    m_streamLeft = -1;
    if (streamed) {
        m_stream = response.stream;
        body = response.body;
        if (declared) {
            body.truncate(response.declaredLength);
            m_streamLeft = response.declaredLength - body.size();
        }
        if (chunked)
            body = chunks(body);
    } else if (!request.isHead()) {
        body = chunked ? chunkedEncoding(response.body) : response.body;
    }
    if (response.closeMidBody) {
        body.truncate(body.size() / 2);
        keepAlive = false;
    }

    m_output = head + body;
    m_outputPos = 0;
    m_closeAfterOutput = !keepAlive;
    pump();
}

bool HttpConnection::refill()
{
    if (!m_stream)
        return false;
    if (m_streamLeft == 0) {
        m_stream = {};
        return false;
    }
    QByteArray piece = m_stream();
    if (m_streamLeft > 0) {
        piece.truncate(qMin<qint64>(piece.size(), m_streamLeft));
        m_streamLeft -= piece.size();
    }
    m_output = m_streamChunked ? chunks(piece) : piece;
    m_outputPos = 0;
    return true;
}

void HttpConnection::pump()
{
    if (!m_busy || (m_output.isEmpty() && !m_stream))
        return;
    // A streamed body is only produced as fast as the client takes it.
    while (m_socket->bytesToWrite() < MaxUnsentBytes) {
        if (m_outputPos >= m_output.size() && !refill())
            break;
        const qint64 written = m_socket->write(m_output.constData() + m_outputPos,
                                               qMin(WriteChunk, m_output.size() - m_outputPos));
        if (written <= 0) {
            m_socket->abort();
            return;
        }
        m_outputPos += written;
    }
    if (m_outputPos < m_output.size() || m_stream)
        return;

    m_output.clear();
    m_outputPos = 0;
    m_busy = false;
    if (m_closeAfterOutput) {
        m_stopReading = true;
        m_queue.clear();
        m_socket->disconnectFromHost();
        return;
    }
    readAndParse();
}

void HttpConnection::trickle()
{
    const QByteArray piece = m_trickleBody.left(m_trickleBytes);
    m_trickleBody.remove(0, piece.size());
    if (!piece.isEmpty())
        m_socket->write(m_trickleChunked ? chunks(piece) : piece);
    if (!m_trickleBody.isEmpty())
        return;
    m_trickleTimer.stop();
    if (m_trickleChunked)
        m_socket->write("0\r\n\r\n");
    m_busy = false;
    m_stopReading = true;
    m_queue.clear();
    m_socket->disconnectFromHost();
}

void HttpConnection::waitForNextRequest()
{
    if (!m_stopReading && !m_idleTimer.isActive())
        m_idleTimer.start();
}

} // namespace GitLab::Internal
