// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apirequest.h"

#include "certificatecheck.h"
#include "logging.h"
#include "settings.h"

#include <coreplugin/icore.h>

#include <QDateTime>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimeZone>

#include <array>
#include <chrono>

namespace Brindle::Internal {

namespace {

const qint64 MEBIBYTE = 1024 * 1024;
const qint64 JSON_LIMIT = 32 * MEBIBYTE;
// GitLab itself takes avatars of 200 KiB at most; the decoder's work grows with the bytes.
const qint64 IMAGE_LIMIT = 1 * MEBIBYTE;
const qint64 ARCHIVE_LIMIT = 2048 * MEBIBYTE;
const int MAX_TRIES = 3;
// Without the network thread holding back, it queues whatever arrives and the event loop
// takes it all in one pass; bounded, each pass has little to take and to write.
const qint64 READ_BUFFER_SIZE = 256 * 1024;

std::array<qint64, 3> s_limitOverrides{};
const qint64 MAX_RETRY_DELAY = 60000;

// A server that stops sending for this long fails the try instead of holding the batch and
// its progress entry forever. BRINDLE_TRANSFER_TIMEOUT_MS shortens it for soak runs against
// a server that stalls on purpose.
int s_transferTimeout = [] {
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("BRINDLE_TRANSFER_TIMEOUT_MS", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : 60000;
}();

// A try must finish within its inactivity timeout plus its size limit at this speed (512 KiB/s,
// about 4 Mbit/s): an archive at the 2 GiB limit may take 69 minutes, a JSON answer 2 minutes.
qint64 s_floorSpeed = 512 * 1024;
// However large the size limit, no try takes longer than this: an hour is several times what
// the default limit takes at the floor speed, and a setting never lets a trickling server hold
// a download for days.
qint64 s_longestDeadline = 3600 * 1000;
// An avatar's server may send it on this often (object storage, a CDN).
const int MAX_AVATAR_REDIRECTS = 5;

bool isBusy(int status)
{
    return status == 429 || status == 502 || status == 503 || status == 504;
}

} // namespace

ApiRequest::ApiRequest(QNetworkAccessManager &manager, const QUrl &url, Kind kind, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
    , m_url(url)
    , m_target(url)
    , m_kind(kind)
    , m_limit(sizeLimit(kind))
{
    m_retryTimer.setSingleShot(true);
    // Never earlier than the server asked for.
    m_retryTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_retryTimer, &QTimer::timeout, this, &ApiRequest::retryDue);
    m_deadlineTimer.setSingleShot(true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        qCDebug(Log::api) << "Answer not complete within" << deadlineFor(m_limit)
                          << "ms:" << displayUrl(m_url);
        m_pastDeadline = true;
        m_reply->abort();
    });
}

ApiRequest::~ApiRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

qint64 ApiRequest::sizeLimit(Kind kind)
{
    if (const qint64 limit = s_limitOverrides.at(size_t(kind)); limit > 0)
        return limit;
    switch (kind) {
    case Kind::Json:
        return JSON_LIMIT;
    case Kind::Image:
        return IMAGE_LIMIT;
    case Kind::Archive:
        break;
    }
    // Read when a download starts, so that a changed value applies to the next one.
    if (Utils::QtcSettings *settings = Core::ICore::settings())
        return Settings::maxArchiveBytes(settings);
    return ARCHIVE_LIMIT;
}

void ApiRequest::setSizeLimit(Kind kind, qint64 bytes)
{
    s_limitOverrides.at(size_t(kind)) = qMax<qint64>(bytes, 0);
}

void ApiRequest::setTransferTimeout(int msecs)
{
    s_transferTimeout = msecs;
}

int ApiRequest::transferTimeout()
{
    return s_transferTimeout;
}

void ApiRequest::setFloorSpeed(qint64 bytesPerSecond)
{
    s_floorSpeed = qMax<qint64>(1, bytesPerSecond);
}

qint64 ApiRequest::floorSpeed()
{
    return s_floorSpeed;
}

qint64 ApiRequest::deadline(Kind kind)
{
    return deadlineFor(sizeLimit(kind));
}

qint64 ApiRequest::deadlineFor(qint64 limit)
{
    // Any limit the settings may hold, without overflow, and within what a timer can wait.
    const qint64 atFloorSpeed = qMin<qint64>(limit / s_floorSpeed, INT_MAX / 1000) * 1000
                                + (limit % s_floorSpeed) * 1000 / s_floorSpeed;
    return qMin<qint64>(s_transferTimeout + atFloorSpeed, s_longestDeadline);
}

void ApiRequest::setLongestDeadline(qint64 msecs)
{
    s_longestDeadline = qBound(qint64(1), msecs, qint64(INT_MAX));
}

qint64 ApiRequest::longestDeadline()
{
    return s_longestDeadline;
}

QString ApiRequest::displayUrl(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo);
}

void ApiRequest::setFileTemplate(const QString &fileTemplate)
{
    m_fileTemplate = fileTemplate;
}

QByteArray ApiRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString ApiRequest::takeFile()
{
    if (!m_file)
        return {};
    m_file->setAutoRemove(false);
    const QString path = m_file->fileName();
    m_file.reset();
    return path;
}

void ApiRequest::setAccessToken(const QString &token)
{
    m_accessToken = token.toUtf8();
}

void ApiRequest::setStatusText(int status, const QString &text)
{
    m_statusTexts.insert(status, text);
}

static bool isDowngrade(const QUrl &from, const QUrl &to)
{
    return from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
           && to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
}

static bool isSameOrigin(const QUrl &a, const QUrl &b)
{
    const int defaultPort = a.scheme() == QLatin1String("https") ? 443 : 80;
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
           && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
           && a.port(defaultPort) == b.port(defaultPort);
}

void ApiRequest::send()
{
    if (m_done)
        return;
    ++m_tries;
    m_target = m_url;
    m_redirects = 0;
    startReply();
}

void ApiRequest::startReply()
{
    m_received = 0;
    m_overLimit = false;
    m_pastDeadline = false;
    m_body.clear();
    m_headers.clear();
    // The check writes into the file: it ends before the file goes.
    m_verifier.reset();
    m_file.reset();
    m_fileError.clear();
    m_refusedRedirect.clear();
    m_refusedDowngrade.clear();
    m_redirectWithoutToken.clear();
    m_sslErrors.clear();
    m_firstError = QNetworkReply::NoError;
    m_awaitingCheck = false;

    qCDebug(Log::api) << "Requesting:" << displayUrl(m_target);
    QNetworkRequest request(m_target);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      m_kind == Kind::Json    ? QByteArray("application/json")
                      : m_kind == Kind::Image ? QByteArray("image/png")
                                              : QByteArray("application/zip"));
    // Each try is a request of its own, with a fresh inactivity timeout; the wait before it
    // does not count.
    request.setTransferTimeout(s_transferTimeout);
    // A compressed answer counts unpacked, against the same limit as any other; Qt's own check
    // for answers that unpack out of all proportion starts there too.
    request.setDecompressedSafetyCheckThreshold(m_limit);
    // Never to another server, such as the one an avatar's redirect led to.
    const bool withToken = !m_accessToken.isEmpty() && isSameOrigin(m_target, m_url);
    if (withToken) {
        request.setRawHeader("PRIVATE-TOKEN", m_accessToken);
        // Qt keeps custom headers across redirects: each one is checked first.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
    }
    // Every certificate is checked, and one that fails ends the request before anything,
    // the token least of all, is sent: errors are recorded, never ignored.
    if (m_target.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
        request.setSslConfiguration(CertificateCheck::configuration());
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError> &errors) {
        m_sslErrors += errors;
    });
    if (withToken) {
        connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl &target) {
            if (isSameOrigin(target, m_url)) {
                emit m_reply->redirectAllowed();
                return;
            }
            const QString scheme = target.scheme().toLower();
            if (isDowngrade(m_target, target)) {
                // Whatever it is, it would travel in the clear.
                qCDebug(Log::api) << "Redirect from https to http refused:" << displayUrl(target);
                m_refusedDowngrade = target;
            } else if (m_kind == Kind::Image && m_redirects < MAX_AVATAR_REDIRECTS
                && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
                // Avatars often lie in object storage on another server: followed there,
                // without the token.
                qCDebug(Log::api) << "Following without the access token:" << displayUrl(target);
                m_redirectWithoutToken = target;
            } else {
                qCDebug(Log::api) << "Redirect to another server refused:" << displayUrl(target);
                m_refusedRedirect = target;
            }
            m_reply->abort();
        });
    }
    m_reply->setReadBufferSize(READ_BUFFER_SIZE);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ApiRequest::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &ApiRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &ApiRequest::onFinished);
    // Some errors, such as an answer that fails to unpack, come without the reply's end, which
    // then would wait for the inactivity timeout: the reply is ended at once.
    connect(m_reply, &QNetworkReply::errorOccurred, this, [this, reply = m_reply](auto code) {
        if (m_firstError == QNetworkReply::NoError)
            m_firstError = code;
        QTimer::singleShot(0, this, [this, reply] {
            if (reply && m_reply == reply && reply->isRunning())
                reply->abort();
        });
    });
    m_deadlineTimer.start(std::chrono::milliseconds(deadlineFor(m_limit)));
}

void ApiRequest::abort()
{
    m_done = true;
    m_retryTimer.stop();
    m_deadlineTimer.stop();
    m_verifier.reset();
    m_file.reset();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    deleteLater();
}

void ApiRequest::onMetaDataChanged()
{
    // A declared size above the limit fails before any of the body is read.
    bool ok = false;
    const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    if (ok && length > m_limit)
        stopForLimit();
}

void ApiRequest::onReadyRead()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool keep = status >= 200 && status <= 299;
    while (!m_overLimit && m_fileError.isEmpty() && m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(READ_BUFFER_SIZE);
        m_received += chunk.size();
        if (m_received > m_limit) {
            stopForLimit();
            return;
        }
        if (!keep) // the text of an error answer is of no use
            continue;
        if (m_fileTemplate.isEmpty()) {
            m_body.append(chunk);
            continue;
        }
        if (!m_file) {
            m_file = std::make_unique<QTemporaryFile>(m_fileTemplate);
            if (!m_file->open()) {
                m_fileError = m_file->errorString();
                m_reply->abort();
                return;
            }
            if (isCheckedArchive())
                startCheck(m_file->fileName());
        }
        // An archive's check writes the tar stream it inflates into the file.
        if (m_verifier) {
            m_verifier->feed(chunk);
            continue;
        }
        // Small writes as the bytes arrive: an answer costs disk space, not memory.
        if (m_file->write(chunk) != chunk.size()) {
            m_fileError = m_file->errorString();
            m_reply->abort();
            return;
        }
    }
}

bool ApiRequest::isCheckedArchive() const
{
    return m_kind == Kind::Archive && !m_fileTemplate.isEmpty();
}

void ApiRequest::startCheck(const QString &tarPath)
{
    // Checked as it streams in, so that a damaged archive is known when its last byte
    // arrives, and one that unpacks beyond the limits long before. What is saved is the tar
    // stream the check inflated: the unarchiver unpacks exactly what was checked, and the
    // archive is inflated once.
    ArchiveLimits limits;
    if (Utils::QtcSettings *settings = Core::ICore::settings())
        limits.maxUnpackedBytes = Settings::maxUnpackedBytes(settings);
    m_verifier = std::make_unique<ArchiveVerifier>(limits, tarPath);
    connect(m_verifier.get(), &ArchiveVerifier::finished, this, &ApiRequest::onArchiveChecked);
}

void ApiRequest::stopForLimit()
{
    m_overLimit = true;
    qCDebug(Log::api) << "Answer exceeds" << m_limit << "bytes:" << displayUrl(m_url);
    // Emits finished() at once (unless it has been emitted); no more of the answer is read.
    m_reply->abort();
}

QString ApiRequest::limitText() const
{
    return tr("The server's answer exceeds the limit of %1: %2")
        .arg(QLocale().formattedDataSize(m_limit, 0, QLocale::DataSizeIecFormat),
             displayUrl(m_url));
}

QString ApiRequest::deadlineText() const
{
    if (deadlineFor(m_limit) == s_longestDeadline) {
        return tr("The server did not complete its answer within %1 seconds, the longest any "
                  "answer may take: %2")
            .arg(QString::number((s_longestDeadline + 999) / 1000), displayUrl(m_url));
    }
    return tr("The server did not complete its answer within %1 seconds (the limit of %2 at "
              "%3 per second): %4")
        .arg(QString::number((deadlineFor(m_limit) + 999) / 1000),
             QLocale().formattedDataSize(m_limit, 0, QLocale::DataSizeIecFormat),
             QLocale().formattedDataSize(s_floorSpeed, 0, QLocale::DataSizeIecFormat),
             displayUrl(m_url));
}

QString ApiRequest::fileErrorText(const QString &error) const
{
    return tr("Unable to save the download of %1: %2").arg(displayUrl(m_url), error);
}

void ApiRequest::onFinished()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool success
        = m_reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
    if (success)
        onReadyRead(); // whatever arrived with the end of the answer

    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    m_deadlineTimer.stop();
    reply->disconnect(this);
    reply->deleteLater();
    // An answer that unpacks beyond all proportion fails in the network code, before its
    // bytes ever reach the limit here; it is over the limit all the same.
    const bool unpackingFailed = !success && !m_overLimit
                                 && !reply->rawHeader("Content-Encoding").isEmpty()
                                 && (m_firstError == QNetworkReply::ProtocolFailure
                                     || m_firstError == QNetworkReply::UnknownContentError);

    if (m_overLimit || unpackingFailed) {
        if (unpackingFailed)
            qCDebug(Log::api) << "Compressed answer refused:" << reply->errorString();
        fail(limitText(),
             tr("the answer exceeds the limit of %1")
                 .arg(QLocale().formattedDataSize(m_limit, 0, QLocale::DataSizeIecFormat)),
             ExampleResult::Failure::SizeLimit);
    } else if (!m_sslErrors.isEmpty()) {
        const QString reason = CertificateCheck::reasonOf(m_sslErrors);
        qCDebug(Log::api) << "Certificate refused:" << reply->errorString();
        fail(tr("The connection to %1 is refused, nothing was sent: %2")
                 .arg(displayUrl(m_target), reason),
             reason);
    } else if (!m_refusedDowngrade.isEmpty()
               || m_firstError == QNetworkReply::InsecureRedirectError) {
        const QUrl target = !m_refusedDowngrade.isEmpty()
                                ? m_refusedDowngrade
                                : reply->attribute(QNetworkRequest::RedirectionTargetAttribute)
                                      .toUrl();
        fail(tr("The server sent the request on from https to plain http, which is refused: %1")
                 .arg(displayUrl(m_url.resolved(target))),
             tr("the server sent the request on from https to plain http"));
    } else if (m_pastDeadline) {
        fail(deadlineText(),
             tr("the server did not complete its answer within %1 s")
                 .arg((deadlineFor(m_limit) + 999) / 1000));
    } else if (!m_redirectWithoutToken.isEmpty()) {
        ++m_redirects;
        m_target = m_redirectWithoutToken;
        startReply();
    } else if (!m_refusedRedirect.isEmpty()) {
        fail(tr("The server sent the request on to another server, which is not given the "
                "access token: %1")
                 .arg(displayUrl(m_refusedRedirect)),
             tr("the server sent the request on to another server"));
    } else if (!m_fileError.isEmpty()) {
        fail(fileErrorText(m_fileError), m_fileError, ExampleResult::Failure::Disk);
    } else if (success) {
        m_headers = reply->rawHeaderPairs();
        // An empty answer makes no file and is not checked: there is no archive.
        if (m_verifier) {
            // Succeeds once the check of the last bytes is in.
            m_awaitingCheck = true;
            m_verifier->endOfInput();
            return;
        }
        succeed();
    } else if (isBusy(status) && m_tries < MAX_TRIES) {
        m_headers = reply->rawHeaderPairs();
        const int delay = retryDelay();
        qCDebug(Log::api) << "Server busy, status" << status << "- try" << m_tries + 1 << "of"
                          << MAX_TRIES << "in" << delay << "ms:" << displayUrl(m_url);
        m_verifier.reset();
        m_file.reset();
        m_body.clear();
        m_retryTimer.start(delay);
        emit waiting();
    } else if (status == 0
               && (m_firstError == QNetworkReply::OperationCanceledError
                   || m_firstError == QNetworkReply::TimeoutError)) {
        // Nothing here aborted it: the inactivity timeout did.
        const QString reason
            = tr("the server did not answer within %1 s").arg((s_transferTimeout + 999) / 1000);
        fail(tr("The server did not answer within %1 s: %2")
                 .arg((s_transferTimeout + 999) / 1000)
                 .arg(displayUrl(m_url)),
             reason);
    } else {
        // The reply's own text names the address, user information included.
        QString error = reply->errorString();
        if (!m_url.userInfo().isEmpty())
            error.replace(m_url.toString(), displayUrl(m_url));
        QString reason = error;
        if (status != 0) {
            m_httpStatus = status;
            const QString phrase = QString::fromLatin1(
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
            reason = phrase.isEmpty() ? tr("HTTP %1").arg(status)
                                      : tr("HTTP %1 %2").arg(status).arg(phrase);
        }
        if (m_statusTexts.contains(status)) {
            const QString text = m_statusTexts.value(status);
            error = text.contains(QLatin1String("%1")) ? text.arg(error) : text;
        }
        fail(error, reason);
    }
}

void ApiRequest::onArchiveChecked(const ArchiveCheck &check)
{
    if (m_done)
        return;
    if (check.isIntact() && m_awaitingCheck) {
        m_archiveCheck = check;
        succeed();
        return;
    }
    // A verdict before the end is a refusal: the rest of the answer is of no use.
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        m_deadlineTimer.stop();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_archiveCheck = check;
    if (check.outcome == ArchiveCheck::Outcome::Unsaved) {
        fail(fileErrorText(check.reason), check.reason, ExampleResult::Failure::Disk);
        return;
    }
    const bool damaged = check.outcome == ArchiveCheck::Outcome::Damaged
                         || check.outcome == ArchiveCheck::Outcome::Unreadable
                         || check.outcome == ArchiveCheck::Outcome::Canceled;
    if (damaged) {
        const QString reason = tr("the archive is damaged: %1").arg(check.reason);
        fail(tr("The archive is damaged: %1: %2").arg(check.reason, displayUrl(m_url)),
             reason,
             ExampleResult::Failure::DamagedArchive);
        return;
    }
    fail(tr("The archive is refused: %1: %2").arg(check.reason, displayUrl(m_url)),
         check.reason,
         check.outcome == ArchiveCheck::Outcome::Unsafe ? ExampleResult::Failure::Unpacking
                                                        : ExampleResult::Failure::SizeLimit);
}

void ApiRequest::succeed()
{
    // An empty answer makes no file: there is nothing to save, and takeFile() is empty.
    if (m_file) {
        if (!m_file->flush()) {
            fail(fileErrorText(m_file->errorString()),
                 m_file->errorString(),
                 ExampleResult::Failure::Disk);
            return;
        }
        m_file->close();
    }
    m_done = true;
    m_verifier.reset();
    emit succeeded();
    deleteLater();
}

void ApiRequest::fail(const QString &error, const QString &reason, ExampleResult::Failure kind)
{
    m_done = true;
    m_failureKind = kind;
    m_reason = reason;
    m_verifier.reset();
    m_file.reset();
    qCDebug(Log::api) << "Request failed:" << displayUrl(m_url);
    emit failed(error);
    deleteLater();
}

int ApiRequest::retryDelay() const
{
    // Retry-After holds seconds or an HTTP date; without it the wait doubles from 1 s.
    qint64 delay = 1000 << (m_tries - 1);
    const QByteArray retryAfter = header("Retry-After").trimmed();
    bool isNumber = false;
    const qint64 seconds = retryAfter.toLongLong(&isNumber);
    if (isNumber && seconds >= 0) {
        delay = qMin<qint64>(seconds, 24 * 3600) * 1000;
    } else if (!retryAfter.isEmpty()) {
        QDateTime date = QLocale::c().toDateTime(QString::fromLatin1(retryAfter),
                                                 QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
        if (date.isValid()) {
            date.setTimeZone(QTimeZone::utc());
            delay = qMax<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(date));
        }
    }
    return int(qMin<qint64>(delay, MAX_RETRY_DELAY));
}

} // namespace Brindle::Internal
