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

struct Fault
{
    enum Kind { Status, Delay, NeverAnswer, CloseMidBody, WrongContentType, InvalidJson };

    Kind kind = Status;
    int status = 500;                             // Status
    QByteArray body;                              // Status; InvalidJson: replacement body
    QList<QPair<QByteArray, QByteArray>> headers; // Status; Content-Type guessed if absent
    int delayMs = 0;                              // Delay: answer normally after this long
    QByteArray contentType;                       // WrongContentType
    int times = -1; // how many matching requests it applies to; -1 = always

    // GitLab's throttling answers, ready to inject.
    static Fault archiveRateLimited(); // 429 {"message":{"error":"This archive ..."}}
    static Fault
    endpointRateLimited();            // 429 {"message":{"error":"This endpoint ..."}}, Retry-After
    static Fault instanceThrottled(); // 429 text/plain "Retry later", RateLimit-*, Retry-After
    static Fault status500();         // 500 {"message":"500 Internal Server Error"}
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

    bool listen(quint16 port = 0); // 127.0.0.1 only
    quint16 port() const;
    QUrl baseUrl() const; // http://127.0.0.1:<port>

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
    // malformed path.
    qint64 addGroup(const QString &fullPath, const QString &name = {}, bool isPublic = true);
    bool setGroupDescription(const QString &fullPath, const QString &description);

    // Creates the group when needed. Returns the new project id (ids increase), or -1 when the
    // path is empty, contains '/', or is taken in that group.
    qint64 addProject(const QString &groupFullPath, const Project &project);

    bool loadSamples(const QString &samplesDir, QString *error = nullptr);

    // Faults apply in the order they were added; the first matching one with uses left wins.
    // The regular expression is matched against RecordedRequest::path.
    void addFault(const QString &pathRegex, const Fault &fault);
    void addFault(const RequestPredicate &matches, const Fault &fault);
    void clearFaults();

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
    std::unique_ptr<Internal::ServerPrivate> d;
};

} // namespace GitLab

Q_DECLARE_METATYPE(GitLab::RecordedRequest)
