// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "gitlabserver.h"

#include "apirouter.h"
#include "contentstore.h"
#include "damagedarchive.h"
#include "endlessbody.h"
#include "httpconnection.h"
#include "samplesloader.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <zlib.h>

namespace GitLab {

namespace Internal {

constexpr int MaxConnections = 256;
constexpr int DefaultIdleTimeoutMs = 30000;

struct FaultRule
{
    RequestPredicate matches;
    Fault fault;
    QHash<QString, int> seen; // matching requests per path, for the seeded draw
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
    QSet<QByteArray> tokens;
    quint32 faultSeed = 1;
    QSet<HttpConnection *> connections;
    int idleTimeoutMs = DefaultIdleTimeoutMs;
    int connectionsAccepted = 0;
    int failedHandshakes = 0;
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

// A number below 100 for the n-th matching request of a path: the same seed gives the same
// numbers whatever order requests of different paths come in.
int draw(quint32 seed, qsizetype rule, const QString &path, int n)
{
    const QByteArray key = QByteArray::number(seed) + ' ' + QByteArray::number(rule) + ' '
                           + path.toUtf8() + ' ' + QByteArray::number(n);
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1);
    return int(qFromBigEndian<quint32>(digest.constData()) % 100);
}

QByteArray httpDate(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), "ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
}

// Made-up projects for a flood: valid records with ids far above the store's.
HttpResponse floodAnswer(const HttpRequest &request, const Fault &fault, const QUrl &baseUrl)
{
    const QUrlQuery query{QString::fromLatin1(request.query)};
    const int page = qMax(1, query.queryItemValue("page").toInt());
    const bool detail = !request.path.endsWith("/projects");
    const qint64 first = Q_INT64_C(1000000000) + qint64(page - 1) * fault.floodProjects;
    const QByteArray web = baseUrl.toString().toUtf8() + "/flood/flood-";
    const QByteArray description = fault.floodDescriptionBytes > 0
                                       ? '"' + QByteArray(fault.floodDescriptionBytes, 'd') + '"'
                                       : QByteArray("null");
    QByteArray projects = "[";
    for (int i = 0; i < fault.floodProjects; ++i) {
        const QByteArray id = QByteArray::number(first + i);
        if (i > 0)
            projects += ',';
        projects += R"({"id":)" + id + R"(,"name":"Flood )" + id + R"(","path":"flood-)" + id
                    + R"(","description":)" + description + R"(,"web_url":")" + web + id
                    + R"(","avatar_url":null,"last_activity_at":"2025-01-01T00:00:00.000Z",)"
                    + R"("tag_list":[],"topics":[]})";
    }
    projects += ']';
    HttpResponse response
        = HttpResponse::json(200,
                             detail ? R"({"id":1,"name":"Flood","full_path":"flood","projects":)"
                                          + projects + R"(,"shared_projects":[]})"
                                    : projects);
    if (!detail) {
        const bool more = fault.floodPages < 0 || page < fault.floodPages;
        response.addHeader("X-Page", QByteArray::number(page));
        response.addHeader("X-Per-Page", QByteArray::number(fault.floodProjects));
        response.addHeader("X-Next-Page", more ? QByteArray::number(page + 1) : QByteArray());
    }
    return response;
}

// About 1 KiB that unpacks to 1 MiB of zeros and, being fully flushed and not final, can follow
// itself any number of times in one deflate stream.
QByteArray deflatedZeros()
{
    static const QByteArray piece = [] {
        z_stream stream = {};
        deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        QByteArray zeros(1024 * 1024, '\0');
        QByteArray out(64 * 1024, '\0');
        stream.next_in = reinterpret_cast<Bytef *>(zeros.data());
        stream.avail_in = uInt(zeros.size());
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = uInt(out.size());
        deflate(&stream, Z_FULL_FLUSH);
        out.truncate(out.size() - stream.avail_out);
        deflateEnd(&stream);
        return out;
    }();
    return piece;
}

// A tar.gz of <top>/ and 'copies' members <top>/zeros.bin of 16 MiB of zeros each, in one
// deflate stream with its gzip trailer, so tar and gzip take it as whole.
QByteArray rewrittenZerosArchive(const QByteArray &topDirectory, int copies)
{
    constexpr int PiecesPerCopy = 16; // deflatedZeros() unpacks to 1 MiB
    const QByteArray top = topDirectory + '/';
    const QByteArray directory = makeTarHeader({top, {}, '5', {}, 0775}, 0);
    const QByteArray member
        = makeTarHeader({top + "zeros.bin", {}, '0', {}, 0664}, PiecesPerCopy * 1024 * 1024);
    const QByteArray end(1024, '\0');
    const QByteArray zeros(1024 * 1024, '\0');
    const auto crcOf = [](const QByteArray &data) {
        return crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
    };
    const uLong zerosCrc = crcOf(zeros);

    QByteArray body("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    body += storedDeflateBlock(directory);
    uLong crc = crcOf(directory);
    quint32 size = quint32(directory.size());
    for (int copy = 0; copy < copies; ++copy) {
        body += storedDeflateBlock(member);
        crc = crc32_combine(crc, crcOf(member), member.size());
        size += quint32(member.size());
        for (int piece = 0; piece < PiecesPerCopy; ++piece) {
            body += deflatedZeros();
            crc = crc32_combine(crc, zerosCrc, zeros.size());
            size += quint32(zeros.size());
        }
    }
    body += storedDeflateBlock(end);
    crc = crc32_combine(crc, crcOf(end), end.size());
    size += quint32(end.size());
    body += QByteArray("\x01\x00\x00\xff\xff", 5); // the final, empty stored block
    char trailer[8];
    qToLittleEndian(quint32(crc), trailer);
    qToLittleEndian(size, trailer + 4); // ISIZE: the unpacked size modulo 2^32
    return body + QByteArray(trailer, 8);
}

std::optional<Fault> ServerPrivate::takeFault(const RecordedRequest &request)
{
    for (qsizetype i = 0; i < faults.size(); ++i) {
        FaultRule &rule = faults[i];
        if (rule.fault.times == 0 || !rule.matches(request))
            continue;
        if (rule.fault.percent < 100) {
            const int n = rule.seen[request.path]++;
            if (draw(faultSeed, i, request.path, n) >= rule.fault.percent)
                continue;
        }
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
    if (fault && fault->kind == Fault::Redirect) {
        QByteArray location
            = fault->redirectTo.toString(QUrl::StripTrailingSlash).toUtf8() + request.path;
        if (!request.query.isEmpty())
            location += '?' + request.query;
        response.status = fault->status;
        response.addHeader("Location", location);
        response.addHeader("Content-Type", "text/html; charset=utf-8");
        response.body = "<html><body>You are being <a href=\""
                        + QString::fromUtf8(location).toHtmlEscaped().toUtf8()
                        + "\">redirected</a>.</body></html>";
    } else if (fault && fault->kind == Fault::Status) {
        response.status = fault->status;
        response.body = fault->body;
        response.headers = fault->headers;
        if (response.header("Content-Type").isNull()) {
            const QByteArray trimmed = fault->body.trimmed();
            const bool json = trimmed.startsWith('{') || trimmed.startsWith('[');
            response.addHeader("Content-Type", json ? "application/json" : "text/plain");
        }
    } else if (fault && fault->kind == Fault::ProjectFlood) {
        response = floodAnswer(request, *fault, q->baseUrl());
    } else {
        response = ApiRouter(store, q->baseUrl(), tokens).route(request);
    }
    if (fault && fault->retryAfterSeconds >= 0) {
        response.setHeader("Retry-After",
                           fault->retryAfterAsDate ? httpDate(
                               QDateTime::currentDateTimeUtc().addSecs(fault->retryAfterSeconds))
                                                   : QByteArray::number(fault->retryAfterSeconds));
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
        case Fault::Redirect:
        case Fault::ProjectFlood:
            break;
        case Fault::Trickle:
            response.trickleIntervalMs = qMax(1, fault->trickleIntervalMs);
            response.trickleBytes = qMax(1, fault->trickleBytes);
            break;
        case Fault::GzipBomb: {
            response.setHeader("Content-Encoding", "gzip");
            // gzip member header: deflate, no flags, no time, unknown OS.
            response.body = QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
            const QByteArray unit = deflatedZeros().repeated(16);
            response.stream = [unit] {
                return unit;
            };
            response.chunked = true;
            break;
        }
        case Fault::RewrittenZeros:
            if (response.header("Content-Type") == "application/octet-stream") {
                response.body = rewrittenZerosArchive(topDirectoryOf(response), fault->zeroCopies);
                response.stream = {};
            }
            break;
        case Fault::DamagedArchive:
            if (response.header("Content-Type") == "application/octet-stream") {
                response.body = damagedArchive(response.body, fault->archiveDamage);
                response.stream = {};
                // The transfer is whole; only what it carries is damaged.
                response.chunked = false;
            }
            break;
        case Fault::Endless:
            makeEndless(&response);
            break;
        case Fault::HugeContentLength: {
            const QByteArray unit = response.body.isEmpty() ? QByteArray(4096, 'x') : response.body;
            response.stream = [unit] {
                return unit;
            };
            response.declaredLength = qMax<qint64>(0, fault->declaredLength);
            response.chunked = false;
            break;
        }
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

Fault Fault::busy(int status, int retryAfterSeconds, bool asHttpDate)
{
    Fault fault;
    if (status == 429) {
        fault = instanceThrottled();
        fault.headers.removeIf([](const auto &h) { return h.first == "Retry-After"; });
    } else {
        fault.status = status;
        const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status);
        fault.body = "<html>\r\n<head><title>" + title
                     + "</title></head>\r\n<body>\r\n"
                       "<center><h1>"
                     + title
                     + "</h1></center>\r\n<hr><center>nginx</center>\r\n"
                       "</body>\r\n</html>\r\n";
        fault.headers = {{"Content-Type", "text/html"}};
    }
    fault.retryAfterSeconds = retryAfterSeconds;
    fault.retryAfterAsDate = asHttpDate;
    return fault;
}

Fault Fault::endless()
{
    Fault fault;
    fault.kind = Endless;
    return fault;
}

Fault Fault::hugeContentLength(qint64 declaredLength)
{
    Fault fault;
    fault.kind = HugeContentLength;
    fault.declaredLength = declaredLength;
    return fault;
}

Fault Fault::redirect(const QUrl &origin, int status)
{
    Fault fault;
    fault.kind = Redirect;
    fault.status = status;
    fault.redirectTo = origin;
    return fault;
}

Fault Fault::projectFlood(int perPage, int pages, int descriptionBytes)
{
    Fault fault;
    fault.kind = ProjectFlood;
    fault.floodProjects = qMax(0, perPage);
    fault.floodPages = pages;
    fault.floodDescriptionBytes = qMax(0, descriptionBytes);
    return fault;
}

Fault Fault::trickle(int intervalMs, int bytes)
{
    Fault fault;
    fault.kind = Trickle;
    fault.trickleIntervalMs = intervalMs;
    fault.trickleBytes = bytes;
    return fault;
}

Fault Fault::gzipBomb()
{
    Fault fault;
    fault.kind = GzipBomb;
    return fault;
}

Fault Fault::rewrittenZeros(int copies)
{
    Fault fault;
    fault.kind = RewrittenZeros;
    fault.zeroCopies = qMax(1, copies);
    return fault;
}

Fault Fault::damagedArchive(ArchiveDamage how)
{
    Fault fault;
    fault.kind = DamagedArchive;
    fault.archiveDamage = how;
    return fault;
}

std::optional<ArchiveDamage> archiveDamageNamed(const QString &name)
{
    static const QHash<QString, ArchiveDamage> names{
        {"truncated", ArchiveDamage::Truncated},
        {"flipped", ArchiveDamage::FlippedByte},
        {"garbage", ArchiveDamage::Garbage},
        {"tar-cut-at-member", ArchiveDamage::TarCutAtMember},
        {"tar-cut-in-member", ArchiveDamage::TarCutInMember},
    };
    const auto it = names.constFind(name);
    return it == names.cend() ? std::nullopt : std::optional(*it);
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
    acceptFrom(d->tcpServer);
}

void Server::acceptFrom(QTcpServer *tcpServer)
{
    const auto accept = [this, tcpServer] {
        while (QTcpSocket *socket = tcpServer->nextPendingConnection()) {
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
    };
    // A TLS connection is pending only once its handshake has succeeded.
    connect(tcpServer, &QTcpServer::newConnection, this, accept);
    connect(tcpServer, &QTcpServer::pendingConnectionAvailable, this, accept);
}

bool Server::setTls(const QString &certificateFile, const QString &keyFile, QString *error)
{
    const auto failure = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (d->tcpServer->isListening())
        return failure(QStringLiteral("TLS must be set up before listening"));
    if (!QSslSocket::supportsSsl())
        return failure(QStringLiteral("this Qt has no TLS backend"));
    const QList<QSslCertificate> chain
        = QSslCertificate::fromPath(certificateFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (chain.isEmpty())
        return failure(QStringLiteral("no PEM certificate in %1").arg(certificateFile));
    QFile file(keyFile);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read %1: %2").arg(keyFile, file.errorString()));
    const QByteArray pem = file.readAll();
    QSslKey key(pem, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec);
    if (key.isNull())
        return failure(QStringLiteral("no RSA or EC private key in %1").arg(keyFile));

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(chain.first());
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto sslServer = new QSslServer(this);
    sslServer->setSslConfiguration(configuration);
    // The server deletes the socket itself.
    connect(sslServer, &QSslServer::errorOccurred, this, [this] { ++d->failedHandshakes; });
    delete d->tcpServer;
    d->tcpServer = sslServer;
    acceptFrom(sslServer);
    return true;
}

bool Server::usesTls() const
{
    return qobject_cast<QSslServer *>(d->tcpServer) != nullptr;
}

int Server::failedHandshakes() const
{
    return d->failedHandshakes;
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
    return QUrl(QStringLiteral("%1://127.0.0.1:%2")
                    .arg(usesTls() ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(port()));
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

QList<qint64>
Server::addGeneratedProjects(const QString &groupFullPath, int count, const QString &pathPrefix)
{
    QList<qint64> ids;
    if (count <= 0)
        return ids;
    const int width = int(QString::number(count).size());
    const QDateTime base = QDateTime::fromString("2025-01-01T00:00:00Z", Qt::ISODate);
    for (int n = 1; n <= count; ++n) {
        const QString number = QStringLiteral("%1").arg(n, width, 10, QChar('0'));
        const QString path = pathPrefix + '-' + number;
        Project project;
        project.path = path;
        project.name = pathPrefix + ' ' + number;
        project.description = QStringLiteral("Generated example %1").arg(number);
        // Created one after the other, so creation order and id order agree.
        project.lastActivity = base.addSecs(n);
        project.files = {{"README.md", "# " + path.toUtf8() + '\n'},
                         {"CMakeLists.txt", "project(" + path.toUtf8() + ")\n"}};
        const qint64 id = d->store.addProject(groupFullPath, project);
        if (id >= 0)
            ids.append(id);
    }
    return ids;
}

QList<qint64>
Server::addGeneratedSubgroups(const QString &groupFullPath, int count, const QString &namePrefix)
{
    QList<qint64> ids;
    // An existing group keeps its visibility.
    const GroupRecord *parent = d->store.groupByPath(groupFullPath);
    if (!parent && count > 0)
        parent = d->store.group(d->store.addGroup(groupFullPath, {}, true));
    if (!parent || count <= 0)
        return ids;
    const QString path = parent->path;
    const QString name = parent->name;
    const int width = int(QString::number(count).size());
    for (int n = 1; n <= count; ++n) {
        const QString number = QStringLiteral("%1").arg(n, width, 10, QChar('0'));
        const qint64 id = d->store.addGroup(groupFullPath + '/' + path + '-' + number,
                                            namePrefix + ' ' + name + ' ' + number,
                                            true);
        if (id >= 0)
            ids.append(id);
    }
    return ids;
}

bool Server::shareProject(qint64 projectId, const QString &groupFullPath)
{
    return d->store.shareProject(projectId, groupFullPath);
}

void Server::addToken(const QByteArray &token)
{
    if (!token.trimmed().isEmpty())
        d->tokens.insert(token.trimmed());
}

void Server::removeToken(const QByteArray &token)
{
    d->tokens.remove(token.trimmed());
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
    d->faults.append({matches, fault, {}});
}

void Server::clearFaults()
{
    d->faults.clear();
}

void Server::setFaultSeed(quint32 seed)
{
    d->faultSeed = seed;
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
