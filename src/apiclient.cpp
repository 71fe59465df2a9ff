// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"

#include "constants.h"
#include "logging.h"

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <utils/id.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>

#include <algorithm>
#include <memory>
#include <utility>

namespace Brindle::Internal {

const char API_PATH[] = "/api/v4";
const char EXAMPLES_GROUP[] = "palvexos/examples";
const char DEMOS_GROUP[] = "palvexos/demos";
const char SEARCH_PATH[] = "/groups?search=\"%1\"";
const char FETCH_PATH[] = "/groups/%1";
const char DOWNLOAD_PATH[] = "/projects/%1/repository/archive%2";
const char DOWNLOAD_TASK_TYPE[] = "LoadExamplesTask";
// As many as the network access manager opens connections to one server. A request beyond
// them would wait in its queue with the inactivity timeout already running, and in a large
// batch on a slow line fail after 60 s without ever having been sent.
const int MAX_RUNNING_DOWNLOADS = 6;
// Address space taken for an archive when its first bytes arrive. Only the pages written are
// backed by memory, and an array that never grows never moves: growing it step by step copied
// megabytes at a time into fresh pages, tens of milliseconds of the event loop per archive.
const qsizetype ARCHIVE_RESERVE = 64 * 1024 * 1024;

// A server that stops sending for this long fails the request instead of holding the batch
// and its progress entry forever. BRINDLE_TRANSFER_TIMEOUT_MS shortens it for soak runs
// against a server that stalls on purpose.
static int s_transferTimeout = [] {
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("BRINDLE_TRANSFER_TIMEOUT_MS", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : 60000;
}();

static QJsonDocument getReply(QNetworkReply *reply)
{
    const QByteArray body = reply->readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        qCDebug(Log::api) << "Json response:" << body;
        qCDebug(Log::api) << "Json parse error: " << error.errorString();
    }
    return document;
}

// The same project, also when it comes from a later listing as a new record.
static bool contains(const Repository::Examples &examples, const QSharedPointer<Example> &example)
{
    return std::any_of(examples.cbegin(), examples.cend(), [&example](const auto &other) {
        return other == example || other->id() == example->id();
    });
}

ApiClient::ApiClient(const QUrl &url, QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Repository::Examples>("Brindle::Internal::Repository::Examples");

    // Request URLs are built by appending to the base as text, so a query or fragment of the
    // repository URL would end up in front of the API path and misdirect every request.
    baseUrl = url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    baseUrl.setPath(QLatin1String(API_PATH));
    if (!baseUrl.isValid() || baseUrl.isLocalFile() || baseUrl.isRelative()) {
        qCDebug(Log::api) << "Provided repository url is not valid:" << url.toString();
        QMetaObject::invokeMethod(this, &ApiClient::failed, Qt::QueuedConnection);
        return;
    }

    group = url.path(QUrl::FullyDecoded);
    if (group.startsWith(QLatin1Char('/')))
        group.remove(0, 1);
    if (group.endsWith(QLatin1Char('/')))
        group.chop(1);

    if (group == QLatin1String(EXAMPLES_GROUP))
        groupType = 1;
    else if (group == QLatin1String(DEMOS_GROUP))
        groupType = 2;

    if (group.isEmpty()) {
        qCDebug(Log::api) << "Provided repository url has no group:" << url.toString();
        QMetaObject::invokeMethod(this, &ApiClient::failed, Qt::QueuedConnection);
        return;
    }

    // The creator connects its signals after construction; the lookup waits for the event loop.
    QMetaObject::invokeMethod(this, &ApiClient::findGroup, Qt::QueuedConnection);
}

ApiClient::~ApiClient()
{
    shutdown();
}

void ApiClient::setTransferTimeout(int msecs)
{
    s_transferTimeout = msecs;
}

int ApiClient::transferTimeout()
{
    return s_transferTimeout;
}

int ApiClient::runningRequestCount() const
{
    const QList<QNetworkReply *> replies = manager.findChildren<QNetworkReply *>();
    return int(std::count_if(replies.cbegin(), replies.cend(), [](const QNetworkReply *reply) {
        return reply->isRunning();
    }));
}

void ApiClient::shutdown()
{
    // A shut-down client does no more work at all, not even a lookup that is still queued.
    stopped = true;
    disconnect(this, nullptr, nullptr, nullptr);
    promise.finish();
    ++batchNumber;
    queue.clear();
    downloaded.clear();
    waiting.clear();

    const QList<QNetworkReply *> replies = manager.findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ApiClient::emitStatusChanged(const QString &status)
{
    if (!status.isEmpty())
        qCDebug(Log::api) << "Status:" << status;
    emit statusChanged(status);
}

QNetworkReply *ApiClient::makeRequest(const QUrl &url,
                                      const QByteArray &contentType,
                                      const std::function<void(QNetworkReply &)> &onFinished,
                                      const std::function<void()> &onError)
{
    qCDebug(Log::api) << "Requesting:" << url.toString();

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setTransferTimeout(s_transferTimeout);
    QNetworkReply *reply = manager.get(request);

    connect(reply, &QNetworkReply::finished, this, [this, reply, url, onFinished, onError] {
        // Released first: a handler may end up replacing this client, after which neither
        // the reply nor the client may be touched again.
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299) {
            onFinished(*reply);
        } else {
            // Error texts such as "Connection closed" do not tell which request failed.
            qCDebug(Log::api) << "Request failed:" << url.toString();
            emitStatusChanged(reply->errorString());
            onError();
        }
    });
    return reply;
}

void ApiClient::findGroup()
{
    if (stopped)
        return;

    // Checked here, not on construction: loading the TLS backend takes about 10 ms, which the
    // IDE's start-up (the plugin's initialize()) should not wait for.
    if (!QSslSocket::supportsSsl()) {
        qCDebug(Log::api) << "Platform SSL support is not detected - connection to the "
                             "repositories most likely will not be established!";
    }

    emitStatusChanged(tr("Searching examples"));
    const QUrl url(baseUrl.toString() + QString::fromLatin1(SEARCH_PATH).arg(group));
    makeRequest(
        url,
        "application/json",
        [this](QNetworkReply &reply) { onGroupFound(getReply(&reply)); },
        [this] { emit failed(); });
}

void ApiClient::onGroupFound(const QJsonDocument &document)
{
    emitStatusChanged({});

    if (document.isNull()) {
        emitStatusChanged(tr("Search error: request return null object"));
        emit failed();
        return;
    }

    QJsonObject groupObject;
    if (document.isArray()) {
        // GitLab's search also returns descendants and look-alikes of the group, ordered by
        // their short names, so the group is picked by its full path where possible.
        const QJsonArray groups = document.array();
        if (groups.size() >= 2)
            qCDebug(Log::api) << "Search request return more than 1 object - taking first";
        if (!groups.isEmpty())
            groupObject = groups.first().toObject();
        for (const QJsonValue &value : groups) {
            const QJsonObject candidate = value.toObject();
            const QString fullPath = candidate.value(QLatin1String("full_path")).toString();
            if (fullPath.compare(group, Qt::CaseInsensitive) == 0) {
                groupObject = candidate;
                break;
            }
        }
    } else {
        groupObject = document.object();
    }

    if (!groupObject.contains(QLatin1String("id"))) {
        emitStatusChanged(tr("Search error: request return wrong data - no id field"));
        emit failed();
        return;
    }

    groupId = quint64(qint64(groupObject.value(QLatin1String("id")).toInt()));
    if (groupId == 0) {
        emit failed();
        return;
    }
    emitStatusChanged(tr("API client is ready"));
    emit ready();
}

void ApiClient::fetch()
{
    if (stopped)
        return;

    if (groupId == 0) {
        emitStatusChanged(tr("Repository error: group id not found - unable to fetch examples"));
        emit failed();
        return;
    }

    emitStatusChanged(tr("Fetch examples"));
    const QUrl url(baseUrl.toString() + QString::fromLatin1(FETCH_PATH).arg(groupId));
    makeRequest(
        url,
        "application/json",
        [this](QNetworkReply &reply) { onFetched(getReply(&reply)); },
        [this] { emit failed(); });
}

void ApiClient::onFetched(const QJsonDocument &document)
{
    emitStatusChanged({});

    if (document.isNull()) {
        emitStatusChanged(tr("Fetch error: request return null object"));
        emit failed();
        return;
    }

    QJsonObject groupObject;
    if (document.isArray()) {
        const QJsonArray groups = document.array();
        if (groups.size() >= 2)
            qCDebug(Log::api) << "Fetch request return more than 1 object - taking first";
        if (!groups.isEmpty())
            groupObject = groups.first().toObject();
    } else {
        groupObject = document.object();
    }

    if (!groupObject.contains(QLatin1String("projects"))) {
        emitStatusChanged(tr("Fetch error: request return wrong data - no projects field"));
        emit failed();
        return;
    }

    Repository::Examples examples;
    const QJsonArray projects = groupObject.value(QLatin1String("projects")).toArray();
    for (const QJsonValue &project : projects) {
        auto example = QSharedPointer<Example>::create(project.toObject());
        if (example->isValid())
            examples.append(example);
    }
    emit fetched(examples);
}

void ApiClient::download(const Repository::Examples &examples)
{
    if (stopped)
        return;

    // Every example of the running batch stays queued until it finishes, so an empty queue
    // means no batch is running. A batch started while another runs joins it: the entry
    // grows, and the one downloadsFinished at the end reports what completed of both.
    const bool running = !queue.isEmpty();
    Repository::Examples added;
    for (const QSharedPointer<Example> &example : examples) {
        if (!contains(queue, example) && !contains(downloaded, example)
            && !contains(added, example)) {
            added.append(example);
        }
    }

    if (running) {
        batchSize += int(added.size());
        promise.setProgressRange(0, batchSize);
    } else {
        setupDownloadTask(int(added.size()));
        queue.clear();
        downloaded.clear();
        if (added.isEmpty()) {
            // Nothing would ever complete an empty batch, so it ends here.
            promise.finish();
            emit downloadsFinished({});
            return;
        }
    }

    for (const QSharedPointer<Example> &example : std::as_const(added)) {
        if (canceled)
            break;
        queue.append(example);
        waiting.append(example);
    }
    startWaitingDownloads();
}

void ApiClient::startWaitingDownloads()
{
    while (downloadsRunning < MAX_RUNNING_DOWNLOADS && !waiting.isEmpty()) {
        ++downloadsRunning;
        download(waiting.takeFirst());
    }
}

void ApiClient::setupDownloadTask(int count)
{
    canceled = false;
    ++batchNumber;
    batchSize = count;
    finishedCount = 0;
    waiting.clear();
    downloadsRunning = 0;

    promise = QPromise<void>();
    promise.start();
    promise.setProgressRange(0, count);
    promise.setProgressValue(0);

    QString title;
    switch (groupType) {
    case 1:
        title = tr("Load examples");
        break;
    case 2:
        title = tr("Load demos");
        break;
    default:
        title = tr("Load unknow examples type");
        break;
    }

    Core::FutureProgress *progress
        = Core::ProgressManager::addTask(promise.future(), title, Utils::Id(DOWNLOAD_TASK_TYPE));
    if (progress) {
        connect(progress, &Core::FutureProgress::canceled, this, [this, batch = batchNumber] {
            onDownloadTaskCanceled(batch);
        });
    }
}

void ApiClient::onDownloadTaskCanceled(quint64 batch)
{
    // An entry of a batch that already ended must not cancel a later one.
    if (batch != batchNumber || queue.isEmpty())
        return;

    queue.clear();
    waiting.clear();
    canceled = true;
    ++batchNumber;
    promise.setProgressValue(batchSize);
    promise.finish();
    const Repository::Examples result = std::exchange(downloaded, {});
    emit downloadsFinished(result);
}

void ApiClient::download(const QSharedPointer<Example> &example)
{
    emitStatusChanged(tr("Downloading example: %1").arg(example->displayName()));

    const quint64 batch = batchNumber;
    const QUrl url(
        baseUrl.toString()
        + QString::fromLatin1(DOWNLOAD_PATH)
              .arg(QString::number(example->id()), QLatin1String(Constants::ARCHIVE_EXTENSION)));
    // The archive is taken from the reply as it arrives. Reading megabytes at once when the
    // reply finishes copied them into fresh memory in one go, which held the event loop for
    // tens of milliseconds per archive and kept two copies of the archive for a moment.
    auto received = std::make_shared<QByteArray>();
    QNetworkReply *reply = makeRequest(
        url,
        "application/zip",
        [this, example, batch, received](QNetworkReply &reply) {
            // A batch that was cancelled meanwhile has no use for the archive.
            if (batch != batchNumber)
                return;
            received->append(reply.readAll());
            received->squeeze();
            example->setData(std::exchange(*received, {}));
            downloadImage(example, batch);
        },
        [this, example, batch] {
            if (batch == batchNumber)
                onExampleDownloadFinished(example, false);
        });
    // Without a limit the network thread queues whatever arrives, and the event loop then
    // takes it all in one pass; bounded, each pass has little to take.
    reply->setReadBufferSize(256 * 1024);
    connect(reply, &QNetworkReply::readyRead, this, [reply, received] {
        // Read straight into the archive: a chunk read on its own first only to be copied
        // would leave the heap fragmented by short-lived blocks.
        if (received->capacity() == 0)
            received->reserve(ARCHIVE_RESERVE);
        const qsizetype size = received->size();
        received->resize(size + reply->bytesAvailable());
        const qint64 read = reply->read(received->data() + size, received->size() - size);
        received->resize(size + qMax<qint64>(read, 0));
    });
}

void ApiClient::downloadImage(const QSharedPointer<Example> &example, quint64 batch)
{
    // Most projects have no avatar; registration finds an icon of its own for them.
    if (example->imageUrl().isEmpty()) {
        qCDebug(Log::api) << "No image for example:" << example->displayName();
        onExampleDownloadFinished(example, true);
        return;
    }

    makeRequest(
        QUrl(example->imageUrl()),
        "image/png",
        [this, example, batch](QNetworkReply &reply) {
            if (batch != batchNumber)
                return;
            example->setImage(reply.readAll());
            onExampleDownloadFinished(example, true);
        },
        [this, example, batch] {
            if (batch != batchNumber)
                return;
            emitStatusChanged(tr("Unable to download image: %1").arg(example->imageUrl()));
            onExampleDownloadFinished(example, false);
        });
}

void ApiClient::onExampleDownloadFinished(const QSharedPointer<Example> &example, bool success)
{
    if (canceled)
        return;

    const qsizetype index = queue.indexOf(example);
    if (index < 0)
        return;
    queue.removeAt(index);
    --downloadsRunning;
    startWaitingDownloads();

    promise.setProgressValue(++finishedCount);
    if (success) {
        downloaded.append(example);
        emit exampleDownloaded(example);
    }

    if (queue.isEmpty()) {
        promise.finish();
        const Repository::Examples result = std::exchange(downloaded, {});
        emit downloadsFinished(result);
    }
}

} // namespace Brindle::Internal
