// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "tarwriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <optional>

QT_BEGIN_NAMESPACE
class QTcpServer;
QT_END_NAMESPACE

namespace GitLab {

namespace Internal {
class ServerPrivate;
}

struct Project
{
    QString path;                       // URL slug, e.g. "hello-qml"
    QString name;                       // display name
    std::optional<QString> description; // nullopt -> JSON null
    QDateTime lastActivity;             // UTC; invalid -> time of addProject()
    QStringList topics;                 // also sent as tag_list (sorted)
    QMap<QString, QByteArray> files;    // relative path -> content; empty -> empty repository
    QByteArray avatar;                  // image bytes; empty -> avatar_url null
    QString avatarFileName;             // e.g. "logo.png"
    QString ref = "main";
    QByteArray archiveOverride; // when set, served verbatim as the archive body
    bool isPublic = true;
};

struct RecordedRequest
{
    QByteArray method;
    QString path;    // request target path as sent, percent-encoding kept
    QUrlQuery query; // as sent; read values with QUrl::FullyDecoded
    QList<QPair<QByteArray, QByteArray>> headers;

    // Case-insensitive; repeated headers are joined with ", ". Null when absent.
    QByteArray header(const QByteArray &name) const;
};

// How a DamagedArchive fault damages an archive; see Fault::damagedArchive().
enum class ArchiveDamage { Truncated, FlippedByte, Garbage, TarCutAtMember, TarCutInMember };

// "truncated", "flipped", "garbage", "tar-cut-at-member", "tar-cut-in-member"
std::optional<ArchiveDamage> archiveDamageNamed(const QString &name);

struct Fault
{
    enum Kind {
        Status,
        Delay,
        NeverAnswer,
        CloseMidBody,
        WrongContentType,
        InvalidJson,
        Endless,           // the normal status and headers, then a chunked body without end
        HugeContentLength, // the normal status and headers with Content-Length: declaredLength
        Redirect,          // status (301, 302, 307, 308) with Location: redirectTo + path + query
        ProjectFlood,      // a group detail or project list page of floodProjects made-up projects
        Trickle,           // the normal answer, its body trickleBytes every trickleIntervalMs
        GzipBomb,          // the normal status and headers, Content-Encoding: gzip, endless zeros
        RewrittenZeros,    // an archive whose one file of zeros comes zeroCopies times
        DamagedArchive     // an archive damaged as archiveDamage says, sent whole
    };

    Kind kind = Status;
    int status = 500;                             // Status, Redirect
    QByteArray body;                              // Status; InvalidJson: replacement body
    QList<QPair<QByteArray, QByteArray>> headers; // Status; Content-Type guessed if absent
    int delayMs = 0;                              // Delay: answer normally after this long
    QByteArray contentType;                       // WrongContentType
    int times = -1;    // how many matching requests it applies to; -1 = always
    int percent = 100; // share of matching requests it applies to, drawn from the fault seed
    int retryAfterSeconds = -1;    // >= 0: adds Retry-After, counted from the time of the answer
    bool retryAfterAsDate = false; // Retry-After as an HTTP date instead of seconds
    qint64 declaredLength = Q_INT64_C(5) * 1024 * 1024 * 1024; // HugeContentLength
    QUrl redirectTo;               // Redirect: origin, e.g. other server
    int floodProjects = 0;         // ProjectFlood: projects on each page
    int floodPages = -1;           // ProjectFlood: pages announced; -1: every page names a next one
    int floodDescriptionBytes = 0; // ProjectFlood: each project's description; 0: null
    int trickleIntervalMs = 1000;  // Trickle
    int trickleBytes = 1;          // Trickle
    int zeroCopies = 1;            // RewrittenZeros: members of 16 MiB of zeros, one name
    ArchiveDamage archiveDamage = ArchiveDamage::Truncated; // DamagedArchive

    // GitLab's throttling answers, ready to inject.
    static Fault archiveRateLimited(); // 429 {"message":{"error":"This archive ..."}}
    static Fault
    endpointRateLimited();            // 429 {"message":{"error":"This endpoint ..."}}, Retry-After
    static Fault instanceThrottled(); // 429 text/plain "Retry later", RateLimit-*, Retry-After
    static Fault status500();         // 500 {"message":"500 Internal Server Error"}
    // A busy instance: 429 as the instance throttle answers it, 502/503/504 as the proxy in
    // front of GitLab answers them (HTML page); Retry-After unless retryAfterSeconds < 0.
    static Fault busy(int status = 429, int retryAfterSeconds = 2, bool asHttpDate = false);
    // JSON listings repeat their elements, archives are a valid tar.gz of an endless file, and
    // anything else repeats its body.
    static Fault endless();
    static Fault hugeContentLength(qint64 declaredLength = Q_INT64_C(5) * 1024 * 1024 * 1024);
    // The same path and query on another origin.
    static Fault redirect(const QUrl &origin, int status = 302);
    // Group details and project list pages of 'perPage' valid projects each (ids unique across
    // pages), whatever per_page asked for; 'pages' pages in all, or without end.
    static Fault projectFlood(int perPage, int pages = -1, int descriptionBytes = 0);
    // The normal answer, chunked, 'bytes' of its body at a time, one piece every 'intervalMs'.
    static Fault trickle(int intervalMs, int bytes = 1);
    // A gzip Content-Encoding whose stream unpacks to zeros without end, about 1000 times the
    // bytes sent.
    static Fault gzipBomb();
    // Archives only: a valid tar.gz whose one file <top>/zeros.bin, 16 MiB of zeros, comes
    // 'copies' times, about 17 KiB each on the wire. Unpacking writes copies x 16 MiB, the
    // same file over and over, so it takes long while the disk never holds more than 16 MiB.
    static Fault rewrittenZeros(int copies);
    // Archives only: 200 with the whole body and its Content-Length, the archive itself damaged,
    // made from the real archive's bytes. For a .tar.gz:
    // - Truncated: the gzip stream cut in the middle of the largest file's data, no trailer.
    // - FlippedByte: one byte in the middle of the largest file's data xor 0xff, deflated anew
    //   with the original trailer: the deflate data is valid, its CRC-32 is wrong.
    // - Garbage: an HTML error page as long as the archive.
    // - TarCutAtMember: a valid gzip of the tar cut after a whole member (about 60% in, after at
    //   least one member) and without the end-of-archive blocks.
    // - TarCutInMember: a valid gzip of the tar cut in the middle of the largest file's data.
    // A plain tar gets the same tar-level damage without a gzip layer (Truncated is then
    // TarCutInMember, and a flipped byte has no checksum to fail).
    static Fault damagedArchive(ArchiveDamage how);
};

using RequestPredicate = std::function<bool(const RecordedRequest &)>;

// A GitLab REST API v4 server on 127.0.0.1 with the anonymous behaviour of a real instance for
// groups, projects, repository archives and project avatars. Lives in one thread; all network
// work happens in that thread's event loop.
class Server final : public QObject
{
    Q_OBJECT

public:
    explicit Server(QObject *parent = nullptr);
    ~Server() override;

    // Serves HTTPS instead of HTTP with this certificate (PEM, the server's first, then its
    // chain) and private key (PEM, RSA or EC). Before listen() only; false, with the error,
    // when either cannot be read.
    bool setTls(const QString &certificateFile, const QString &keyFile, QString *error = nullptr);
    bool usesTls() const;
    // TLS connections whose handshake failed (the client refused the certificate, or
    // stopped); nothing of theirs reaches requests().
    int failedHandshakes() const;

    bool listen(quint16 port = 0); // 127.0.0.1 only
    quint16 port() const;
    QUrl baseUrl() const; // http://127.0.0.1:<port>, or https:// with TLS

    // Connections idle for this long (or sending a request this slowly) are closed.
    void setIdleTimeout(int ms);
    int idleTimeout() const;

    // TCP connections accepted so far and currently open; tells whether a client keeps its
    // connections alive.
    int connectionsAccepted() const;
    int openConnections() const;
    // Bytes of answers handed to the network so far, headers included.
    qint64 bytesSent() const;

    // Parents are created as needed, named after their last path component. Calling it again for
    // an existing group updates its name (when given) and visibility. Returns -1 for an empty or
    // malformed path. A private group, and everything below it, is seen only with a valid token.
    qint64 addGroup(const QString &fullPath, const QString &name = {}, bool isPublic = true);
    bool setGroupDescription(const QString &fullPath, const QString &description);

    // Creates the group when needed. Returns the new project id (ids increase), or -1 when the
    // path is empty, contains '/', or is taken in that group.
    qint64 addProject(const QString &groupFullPath, const Project &project);

    // Adds count small projects "<pathPrefix>-<n>" (n from 1, zero-padded to the same width),
    // each with a README.md and a CMakeLists.txt, for groups larger than any page. Ids are
    // consecutive and returned in order; paths already taken are skipped.
    QList<qint64> addGeneratedProjects(const QString &groupFullPath,
                                       int count,
                                       const QString &pathPrefix = QStringLiteral("example"));
    // Adds count public subgroups "<group path>-<n>" below the group, named
    // "<namePrefix> <group name> <n>": their full paths contain the group's, so a search for it
    // finds them all, and with the default prefix their names sort before most group names.
    QList<qint64> addGeneratedSubgroups(const QString &groupFullPath,
                                        int count,
                                        const QString &namePrefix = QStringLiteral("Archived"));

    // Lists the project among the group's shared projects (group detail "shared_projects", and
    // GET /groups/:id/projects unless with_shared=false). False for unknown ids or groups.
    bool shareProject(qint64 projectId, const QString &groupFullPath);

    // Access tokens accepted in PRIVATE-TOKEN or Authorization: Bearer. A valid token sees all
    // private groups and projects; any other token gets 401 on every API route.
    void addToken(const QByteArray &token);
    void removeToken(const QByteArray &token); // as if it expired

    bool loadSamples(const QString &samplesDir, QString *error = nullptr);

    // Faults apply in the order they were added; the first matching one with uses left wins.
    // The regular expression is matched against RecordedRequest::path.
    void addFault(const QString &pathRegex, const Fault &fault);
    void addFault(const RequestPredicate &matches, const Fault &fault);
    void clearFaults();
    // Chooses which requests a fault with percent < 100 applies to: the same seed picks the same
    // requests (by rule, path and how often that path was asked for), whatever the timing.
    void setFaultSeed(quint32 seed);

    // Every request as it arrived, headers included (PRIVATE-TOKEN too).
    QList<RecordedRequest> requests() const;
    void clearRequests();

    // The exact bytes served for the project's default archive; empty for an empty repository.
    QByteArray archiveOf(qint64 projectId) const;
    // "<path>-<ref>-<sha>", the archive's top-level directory; empty for unknown projects.
    QString archiveTopDirectory(qint64 projectId) const;

signals:
    // As soon as a request has arrived completely, before it is answered (or held by a fault).
    void requestReceived(const GitLab::RecordedRequest &request);
    // When its answer is decided; not emitted for requests a NeverAnswer fault holds.
    void requestAnswered(const GitLab::RecordedRequest &request, int status);

private:
    void acceptFrom(QTcpServer *tcpServer);

    std::unique_ptr<Internal::ServerPrivate> d;
};

} // namespace GitLab

Q_DECLARE_METATYPE(GitLab::RecordedRequest)
