// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "archiveverifier.h"
#include "exampleresult.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <memory>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;
QT_END_NAMESPACE

namespace Brindle::Internal {

// One GET request to a GitLab server. A busy server (429, 502, 503, 504) gets the request
// again once the time it asks for has passed, up to three tries in all. Every answer has an
// upper size: JSON and images are kept in memory, an archive goes to a temporary file as it
// arrives. Ends with exactly one of succeeded() and failed(), unless aborted, and deletes
// itself afterwards.
class ApiRequest : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Json, Image, Archive };

    ApiRequest(QNetworkAccessManager &manager, const QUrl &url, Kind kind, QObject *parent);
    ~ApiRequest() override;

    // Sent as PRIVATE-TOKEN. A redirect to another server (scheme, host or port) is then
    // refused, since the header would travel with it; one from https to http always is.
    void setAccessToken(const QString &token);
    // The status text of a failure with the HTTP status 'status'; "%1", where it has one,
    // stands for the network's own error text.
    void setStatusText(int status, const QString &text);

    // The answer goes to a new temporary file made from this QTemporaryFile template.
    void setFileTemplate(const QString &fileTemplate);

    // Sends the request, or sends it again after retryDue().
    void send();
    // Stops the request for good; nothing is emitted any more and a saved file is removed.
    void abort();

    QUrl url() const { return m_url; }
    Kind kind() const { return m_kind; }
    // After succeeded(): the answer's body (kept in memory) and its headers.
    QByteArray body() const { return m_body; }
    QByteArray header(const QByteArray &name) const;
    // After succeeded(): the saved answer's file, which the caller removes when done with it.
    QString takeFile();
    // After succeeded() of an archive: what its check found while it streamed in.
    ArchiveCheck archiveCheck() const { return m_archiveCheck; }

    // After failed(): what kind of failure it was, the HTTP status if the server answered
    // with one, and why, as a short phrase for a status line ("HTTP 500 Internal Server
    // Error", "the server did not answer within 60 s").
    ExampleResult::Failure failureKind() const { return m_failureKind; }
    int httpStatus() const { return m_httpStatus; }
    QString reason() const { return m_reason; }

    // Largest answer of a kind, in bytes. Archives: the settings key
    // Brindle/MaxArchiveMegabytes, or 256 MiB. Overridden by setSizeLimit(); 0 restores it.
    static qint64 sizeLimit(Kind kind);
    static void setSizeLimit(Kind kind, qint64 bytes);
    // Time a try may go without receiving data before it fails.
    static void setTransferTimeout(int msecs);
    static int transferTimeout();
    // Each try must also be over within the inactivity timeout plus the time its size limit
    // takes at this speed (bytes per second), however steadily the server trickles, and
    // within the longest deadline.
    static void setFloorSpeed(qint64 bytesPerSecond);
    static qint64 floorSpeed();
    // Whatever the size limit, a try is over within this time (one hour).
    static void setLongestDeadline(qint64 msecs);
    static qint64 longestDeadline();
    // The whole time a try of a kind may take, in milliseconds.
    static qint64 deadline(Kind kind);

    // The address as it may be logged or shown: without user name and password.
    static QString displayUrl(const QUrl &url);

signals:
    void succeeded();
    void failed(const QString &error);
    // The server was busy: nothing is transferred until retryDue(), when send() tries again.
    void waiting();
    void retryDue();

private:
    void startReply();
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void stopForLimit();
    void succeed();
    QString limitText() const;
    QString deadlineText() const;
    static qint64 deadlineFor(qint64 limit);
    QString fileErrorText(const QString &error) const;
    void fail(const QString &error,
              const QString &reason,
              ExampleResult::Failure kind = ExampleResult::Failure::Download);
    void onArchiveChecked(const ArchiveCheck &check);
    bool isCheckedArchive() const;
    void startCheck(const QString &tarPath);
    int retryDelay() const;

    QNetworkAccessManager &m_manager;
    const QUrl m_url;
    // Where the current try goes: m_url, or where an avatar's server sent it on.
    QUrl m_target;
    const Kind m_kind;
    const qint64 m_limit;
    QString m_fileTemplate;
    QByteArray m_accessToken;
    QHash<int, QString> m_statusTexts;
    QUrl m_refusedRedirect;
    QUrl m_refusedDowngrade;
    QList<QSslError> m_sslErrors;
    QUrl m_redirectWithoutToken;
    int m_redirects = 0;
    QPointer<QNetworkReply> m_reply;
    QTimer m_retryTimer;
    QTimer m_deadlineTimer;
    bool m_pastDeadline = false;
    int m_firstError = 0; // QNetworkReply::NetworkError of the current try
    int m_tries = 0;
    qint64 m_received = 0;
    bool m_overLimit = false;
    bool m_done = false;
    QByteArray m_body;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_fileError;
    // Checks an archive as it arrives; a damaged one fails the request.
    std::unique_ptr<ArchiveVerifier> m_verifier;
    ArchiveCheck m_archiveCheck;
    bool m_awaitingCheck = false;
    ExampleResult::Failure m_failureKind = ExampleResult::Failure::None;
    int m_httpStatus = 0;
    QString m_reason;
};

} // namespace Brindle::Internal
