// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "gitlabserver.h"

#include "apirouter.h"
#include "contentstore.h"
#include "httpconnection.h"
#include "samplesloader.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

namespace GitLab {

namespace Internal {

constexpr int MaxConnections = 256;
constexpr int DefaultIdleTimeoutMs = 30000;

struct FaultRule
{
    RequestPredicate matches;
    Fault fault;
};

class ServerPrivate final
{
public:
    explicit ServerPrivate(Server *q)
        : q(q)
    {}

    HttpResponse answer(const HttpRequest &request);
    void record(const HttpRequest &request);
    std::optional<Fault> takeFault(const RecordedRequest &request);
    void closeAll();

    Server *q;
    QTcpServer *tcpServer = nullptr;
    ContentStore store;
    QList<FaultRule> faults;
    QList<RecordedRequest> requests;
    QSet<HttpConnection *> connections;
    int idleTimeoutMs = DefaultIdleTimeoutMs;
    int connectionsAccepted = 0;
    qint64 bytesSent = 0;
};

RecordedRequest toRecorded(const HttpRequest &request)
{
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.path = QString::fromLatin1(request.path);
    recorded.query = QUrlQuery(QString::fromLatin1(request.query));
    recorded.headers = request.headers;
    return recorded;
}

void ServerPrivate::record(const HttpRequest &request)
{
    requests.append(toRecorded(request));
    emit q->requestReceived(requests.constLast());
}

std::optional<Fault> ServerPrivate::takeFault(const RecordedRequest &request)
{
    for (FaultRule &rule : faults) {
        if (rule.fault.times == 0 || !rule.matches(request))
            continue;
        if (rule.fault.times > 0)
            --rule.fault.times;
        return rule.fault;
    }
    return std::nullopt;
}

HttpResponse ServerPrivate::answer(const HttpRequest &request)
{
    QElapsedTimer timer;
    timer.start();
    const RecordedRequest recorded = toRecorded(request);
    const std::optional<Fault> fault = takeFault(recorded);

    HttpResponse response;
    if (fault && fault->kind == Fault::Status) {
        response.status = fault->status;
        response.body = fault->body;
        response.headers = fault->headers;
        if (response.header("Content-Type").isNull()) {
            const QByteArray trimmed = fault->body.trimmed();
            const bool json = trimmed.startsWith('{') || trimmed.startsWith('[');
            response.addHeader("Content-Type", json ? "application/json" : "text/plain");
        }
    } else {
        response = ApiRouter(store, q->baseUrl()).route(request);
    }

    // What Rails and Workhorse add to every answer.
    if (!response.chunked && response.status == 200
        && response.header("Content-Type") == "application/json") {
        const QByteArray etag = QCryptographicHash::hash(response.body, QCryptographicHash::Md5);
        response.addHeader("ETag", "W/\"" + etag.toHex() + '"');
    }
    if (response.header("Cache-Control").isNull())
        response.addHeader("Cache-Control", "max-age=0, private, must-revalidate");
    response.addHeader("Vary", "Origin, Accept-Encoding");
    response.addHeader("X-Content-Type-Options", "nosniff");
    response.addHeader("X-Frame-Options", "SAMEORIGIN");
    response.addHeader("X-Request-Id",
                       QByteArray::number(QRandomGenerator::global()->generate64(), 36).toUpper());
    response.addHeader("X-Runtime", QByteArray::number(double(timer.nsecsElapsed()) / 1e9, 'f', 6));

    if (fault) {
        switch (fault->kind) {
        case Fault::Status:
            break;
        case Fault::Delay:
            response.delayMs = qMax(1, fault->delayMs);
            break;
        case Fault::NeverAnswer:
            response.neverAnswer = true;
            return response;
        case Fault::CloseMidBody:
            response.closeMidBody = true;
            break;
        case Fault::WrongContentType:
            response.setHeader("Content-Type",
                               fault->contentType.isEmpty() ? QByteArray("text/html; charset=utf-8")
                                                            : fault->contentType);
            break;
        case Fault::InvalidJson:
            // Any proper prefix of an object or array is unparsable.
            response.body = fault->body.isEmpty() ? response.body.left(response.body.size() / 2)
                                                  : fault->body;
            if (response.body.isEmpty())
                response.body = "{";
            break;
        }
    }
    emit q->requestAnswered(recorded, response.status);
    return response;
}

void ServerPrivate::closeAll()
{
    for (HttpConnection *connection : std::as_const(connections))
        delete connection;
    connections.clear();
}

} // namespace Internal

using namespace Internal;

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    return headerValue(headers, name);
}

Fault Fault::archiveRateLimited()
{
    Fault fault;
    fault.status = 429;
    fault.body = R"({"message":{"error":"This archive has been requested too many times. )"
                 R"(Try again later."}})";
    fault.headers = {{"Content-Type", "application/json"}};
    return fault;
}

Fault Fault::endpointRateLimited()
{
    Fault fault;
    fault.status = 429;
    fault.body = R"({"message":{"error":"This endpoint has been requested too many times. )"
                 R"(Try again later."}})";
    fault.headers = {{"Content-Type", "application/json"}, {"Retry-After", "60"}};
    return fault;
}

Fault Fault::instanceThrottled()
{
    Fault fault;
    fault.status = 429;
    fault.body = "Retry later\n";
    fault.headers = {{"Content-Type", "text/plain"},
                     {"RateLimit-Name", "throttle_unauthenticated_api"},
                     {"RateLimit-Limit", "500"},
                     {"RateLimit-Observed", "501"},
                     {"RateLimit-Remaining", "0"},
                     {"RateLimit-Reset", "1609833960"},
                     {"RateLimit-ResetTime", "Tue, 05 Jan 2021 08:06:00 GMT"},
                     {"Retry-After", "30"}};
    return fault;
}

Fault Fault::status500()
{
    Fault fault;
    fault.status = 500;
    fault.body = R"({"message":"500 Internal Server Error"})";
    fault.headers = {{"Content-Type", "application/json"}};
    return fault;
}

Server::Server(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<ServerPrivate>(this))
{
    d->tcpServer = new QTcpServer(this);
    connect(d->tcpServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = d->tcpServer->nextPendingConnection()) {
            if (d->connections.size() >= MaxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto connection = new HttpConnection(
                socket,
                [this](const HttpRequest &request) { return d->answer(request); },
                [this](const HttpRequest &request) { d->record(request); },
                d->idleTimeoutMs,
                this);
            connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
                d->bytesSent += bytes;
            });
            d->connections.insert(connection);
            ++d->connectionsAccepted;
            connect(connection, &HttpConnection::closed, this, [this, connection] {
                if (d->connections.remove(connection))
                    connection->deleteLater();
            });
        }
    });
}

Server::~Server()
{
    d->closeAll();
}

bool Server::listen(quint16 port)
{
    if (d->tcpServer->isListening())
        return port == 0 || port == d->tcpServer->serverPort();
    return d->tcpServer->listen(QHostAddress::LocalHost, port);
}

quint16 Server::port() const
{
    return d->tcpServer->serverPort();
}

QUrl Server::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void Server::setIdleTimeout(int ms)
{
    d->idleTimeoutMs = qMax(1, ms);
}

int Server::idleTimeout() const
{
    return d->idleTimeoutMs;
}

int Server::connectionsAccepted() const
{
    return d->connectionsAccepted;
}

int Server::openConnections() const
{
    return int(d->connections.size());
}

qint64 Server::bytesSent() const
{
    return d->bytesSent;
}

qint64 Server::addGroup(const QString &fullPath, const QString &name, bool isPublic)
{
    return d->store.addGroup(fullPath, name, isPublic);
}

bool Server::setGroupDescription(const QString &fullPath, const QString &description)
{
    return d->store.setGroupDescription(fullPath, description);
}

qint64 Server::addProject(const QString &groupFullPath, const Project &project)
{
    return d->store.addProject(groupFullPath, project);
}

bool Server::loadSamples(const QString &samplesDir, QString *error)
{
    return SamplesLoader(this).load(samplesDir, error);
}

void Server::addFault(const QString &pathRegex, const Fault &fault)
{
    const QRegularExpression regex(pathRegex);
    addFault(
        [regex](const RecordedRequest &request) { return regex.match(request.path).hasMatch(); },
        fault);
}

void Server::addFault(const RequestPredicate &matches, const Fault &fault)
{
    d->faults.append({matches, fault});
}

void Server::clearFaults()
{
    d->faults.clear();
}

QList<RecordedRequest> Server::requests() const
{
    return d->requests;
}

void Server::clearRequests()
{
    d->requests.clear();
}

QByteArray Server::archiveOf(qint64 projectId) const
{
    const ProjectRecord *project = d->store.project(projectId);
    return project ? d->store.archive(*project, {}, ArchiveFormat::TarGz).bytes : QByteArray();
}

QString Server::archiveTopDirectory(qint64 projectId) const
{
    const ProjectRecord *project = d->store.project(projectId);
    if (!project)
        return {};
    return project->project.path + '-' + QString(project->project.ref).replace('/', '-') + '-'
           + d->store.commitSha(*project);
}

} // namespace GitLab
