// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "apiclient.h"

#include "constants.h"
#include "logging.h"
#include "settings.h"
#include "urlredaction.h"

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <utils/id.h>

#include <QAuthenticator>
#include <QDir>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QSslSocket>
#include <QUrlQuery>

#include <algorithm>
#include <utility>

namespace Brindle::Internal {

const char API_PATH[] = "/api/v4";
const char EXAMPLES_GROUP[] = "palvexos/examples";
const char DEMOS_GROUP[] = "palvexos/demos";
const char SEARCH_PATH[] = "/groups?search=%1&per_page=100";
const char FETCH_PATH[] = "/groups/%1";
const char PROJECTS_PATH[] = "/groups/%1/projects?per_page=100&with_shared=false"
                             "&include_subgroups=false";
const char DOWNLOAD_PATH[] = "/projects/%1/repository/archive%2";
const char DOWNLOAD_TASK_TYPE[] = "LoadExamplesTask";
// As many as the network access manager opens connections to one server. A request beyond
// them would wait in its queue with the inactivity timeout already running, and in a large
// batch on a slow line fail after 60 s without ever having been sent.
const int MAX_RUNNING_DOWNLOADS = 6;
// The group detail lists no more projects than this; a full one is completed page by page.
// A project list page holds no more either, since no more are asked for: a detail or a page
// that holds more is refused before any of it is kept.
const int DETAIL_PROJECT_LIMIT = 100;
// A group's examples kept from one listing at most, and the text they keep in all (a real
// group of 10,000 projects keeps about 6 MiB).
const int MAX_LISTED_PROJECTS = 10000;
const qint64 MAX_LISTED_TEXT_BYTES = 64 * 1024 * 1024;
// Search answers of a group with this many pages of look-alikes are not followed further.
const int MAX_SEARCH_PAGES = 20;
// A server that keeps announcing further pages of projects already listed is not followed
// forever either.
const int MAX_LIST_PAGES = MAX_LISTED_PROJECTS / DETAIL_PROJECT_LIMIT + 10;
// The keys of a project object that a record keeps, by the type it reads them as; a real
// server sends some eighty more.
const char *const TEXT_PROJECT_KEYS[]
    = {"name", "path", "description", "web_url", "avatar_url", "last_activity_at"};
const char *const LIST_PROJECT_KEYS[] = {"tag_list", "topics"};
// What a kept value costs besides its text: its entry in the record. Counted so that a list
// of a million empty tags is not free.
const qint64 VALUE_ENTRY_BYTES = 16;
// Avatars are shown at 128 x 128; one of more pixels than this is not decoded at all.
const qint64 MAX_AVATAR_PIXELS = 2048 * 2048;
// The look-alike groups kept from a search, each cut to a length that fits a report line.
const qsizetype MAX_LOOK_ALIKES = 100;
const qsizetype MAX_LOOK_ALIKE_LENGTH = 255;
// The download batch a request belongs to.
const char BATCH_PROPERTY[] = "brindleBatch";

struct ApiClient::Search
{
    int pages = 0;
};

struct ApiClient::Listing
{
    Repository::Examples examples;
    QSet<qint64> ids;
    // Of every project on the list pages, valid or not: the detail's newest projects come
    // again on the first page.
    QSet<qint64> pageIds;
    int pages = 0;
    qint64 textBytes = 0; // of the texts the examples keep
};

// The bytes a kept project object holds, the bulk of what it costs.
static qint64 textBytesOf(const QJsonObject &project)
{
    qint64 bytes = 0;
    for (const QJsonValue &value : project) {
        bytes += VALUE_ENTRY_BYTES;
        if (value.isString()) {
            bytes += value.toString().size() * qint64(sizeof(QChar));
        } else if (value.isArray()) {
            for (const QJsonValue &element : value.toArray())
                bytes += VALUE_ENTRY_BYTES + element.toString().size() * qint64(sizeof(QChar));
        }
    }
    return bytes;
}

// Only values of the type the record reads them as: any other would be kept whole, an object
// or nested arrays of any size, without its text counting against the listing's limit.
static QSharedPointer<Example> exampleFrom(const QJsonValue &value)
{
    const QJsonObject project = value.toObject();
    QJsonObject kept;
    if (const QJsonValue id = project.value(QLatin1String("id")); id.isDouble())
        kept.insert(QLatin1String("id"), id);
    for (const char *key : TEXT_PROJECT_KEYS) {
        const QLatin1String name(key);
        if (const QJsonValue text = project.value(name); text.isString())
            kept.insert(name, text);
    }
    for (const char *key : LIST_PROJECT_KEYS) {
        const QLatin1String name(key);
        const QJsonValue list = project.value(name);
        if (!list.isArray())
            continue;
        QJsonArray texts;
        for (const QJsonValue &element : list.toArray()) {
            if (element.isString())
                texts.append(element);
        }
        kept.insert(name, texts);
    }
    return QSharedPointer<Example>::create(kept);
}

static QJsonDocument parseJson(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        qCDebug(Log::api) << "Json response:" << body.left(1024);
        qCDebug(Log::api) << "Json parse error: " << error.errorString();
    }
    return document;
}

// The page after 'page' that a paginated answer announces, or 0. X-Next-Page first, then the
// Link header; only the page number is taken, so that a link cannot lead to another server.
static int nextPage(const ApiRequest &request, int page)
{
    bool ok = false;
    int next = request.header("X-Next-Page").trimmed().toInt(&ok);
    if (!ok) {
        static const QRegularExpression link(QStringLiteral(R"(<([^>]*)>\s*;\s*rel="?next"?)"));
        const QRegularExpressionMatch match
            = link.match(QString::fromLatin1(request.header("Link")));
        if (match.hasMatch())
            next
                = QUrlQuery(QUrl(match.captured(1))).queryItemValue(QStringLiteral("page")).toInt();
    }
    return next > page ? next : 0;
}

static bool isSameOrigin(const QUrl &a, const QUrl &b)
{
    auto defaultPort = [](const QUrl &url) {
        return url.scheme() == QLatin1String("https") ? 443 : 80;
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
           && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
           && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

ApiClient::ApiClient(const QUrl &url, QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Repository::Examples>("Brindle::Internal::Repository::Examples");

    // Request URLs are built by appending to the base as text, so a query or fragment of the
    // repository URL would end up in front of the API path and misdirect every request. User
    // name and password stay out of every address, and so out of every log line and error.
    baseUrl = url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                           | QUrl::RemoveUserInfo);
    baseUrl.setPath(QLatin1String(API_PATH));
    if (!baseUrl.isValid() || baseUrl.isLocalFile() || baseUrl.isRelative()) {
        qCDebug(Log::api) << "Provided repository url is not valid:" << ApiRequest::displayUrl(url);
        QMetaObject::invokeMethod(
            this,
            [this] {
                giveUp({}, RepositoryState::Problem::Failed, tr("its address is not valid"));
            },
            Qt::QueuedConnection);
        return;
    }
    userName = url.userName();
    password = url.password();

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
        qCDebug(Log::api) << "Provided repository url has no group:" << ApiRequest::displayUrl(url);
        QMetaObject::invokeMethod(
            this,
            [this] {
                giveUp({}, RepositoryState::Problem::Failed, tr("its address names no group"));
            },
            Qt::QueuedConnection);
        return;
    }

    // The credentials of the repository URL go to the repository's own server only, and only
    // once per request: a refused password is not sent again and again.
    connect(&manager,
            &QNetworkAccessManager::authenticationRequired,
            this,
            [this](QNetworkReply *reply, QAuthenticator *authenticator) {
                if (userName.isEmpty() && password.isEmpty())
                    return;
                if (!isSameOrigin(reply->url(), baseUrl)) {
                    qCDebug(Log::api) << "Credentials withheld from another server:"
                                      << ApiRequest::displayUrl(reply->url());
                    return;
                }
                if (reply->property("credentialsGiven").toBool())
                    return;
                reply->setProperty("credentialsGiven", true);
                authenticator->setUser(userName);
                authenticator->setPassword(password);
            });

    // The creator connects its signals after construction; the lookup waits for the event loop.
    QMetaObject::invokeMethod(this, &ApiClient::findGroup, Qt::QueuedConnection);
}

ApiClient::~ApiClient()
{
    shutdown();
}

void ApiClient::setTransferTimeout(int msecs)
{
    ApiRequest::setTransferTimeout(msecs);
}

int ApiClient::transferTimeout()
{
    return ApiRequest::transferTimeout();
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
    // Archives saved for examples that will not complete any more.
    for (const QSharedPointer<Example> &example : std::as_const(queue))
        example->removeArchiveFile();
    queue.clear();
    downloaded.clear();
    waiting.clear();
    retrying.clear();
    // Their results would be dropped; only decodes already running are waited for.
    decoders.clear();

    const QList<ApiRequest *> requests = findChildren<ApiRequest *>(Qt::FindDirectChildrenOnly);
    for (ApiRequest *request : requests) {
        request->disconnect(this);
        request->abort();
    }
    const QList<QNetworkReply *> replies = manager.findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ApiClient::emitStatusChanged(const QString &status)
{
    // Project names and addresses come from the server, escape sequences included.
    const QString text = printableText(status);
    if (!text.isEmpty())
        qCDebug(Log::api) << "Status:" << text;
    emit statusChanged(text);
}

void ApiClient::giveUp(const QString &status,
                       RepositoryState::Problem problem,
                       const QString &reason)
{
    if (stopped)
        return;
    if (!status.isEmpty())
        emitStatusChanged(status);
    emit failed(problem, printableText(reason.isEmpty() ? status : reason));
}

void ApiClient::giveUpAfter(const ApiRequest &request, const QString &error)
{
    using Problem = RepositoryState::Problem;
    const int status = request.httpStatus();
    Problem problem = Problem::Failed;
    if (status == 401 || status == 403)
        problem = accessToken.isEmpty() ? Problem::TokenNeeded : Problem::AccessDenied;
    else if (status == 404 && accessToken.isEmpty())
        problem = Problem::TokenNeeded;
    giveUp(error, problem, request.reason());
}

QUrl ApiClient::apiUrl(const QString &path) const
{
    return QUrl(baseUrl.toString() + path);
}

ApiRequest *ApiClient::makeRequest(const QUrl &url, ApiRequest::Kind kind)
{
    auto request = new ApiRequest(manager, url, kind, this);
    // The token goes to the repository's own server only, never to another one that serves
    // avatars or that a redirect leads to.
    if (isSameOrigin(url, baseUrl)) {
        if (!accessToken.isEmpty())
            request->setAccessToken(accessToken);
        const QString denied = accessDeniedStatus(baseUrl, repositoryName);
        request->setStatusText(401, denied);
        request->setStatusText(403, denied);
        if (accessToken.isEmpty() && kind == ApiRequest::Kind::Json)
            request->setStatusText(404, QStringLiteral("%1 ") + privateGroupHint());
    }
    // Downloads take a slot of the batch before they are sent again; the rest go at once.
    if (kind == ApiRequest::Kind::Json)
        connect(request, &ApiRequest::retryDue, request, &ApiRequest::send);
    return request;
}

QString ApiClient::accessDeniedStatus(const QUrl &url, const QString &repositoryName)
{
    return tr("Access denied by %1: check the access token of repository %2")
        .arg(url.host(), repositoryName);
}

QString ApiClient::privateGroupHint()
{
    return tr("A private group needs an access token: set one with \"Access token...\" on "
              "the options page.");
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
    searchPage(std::make_shared<Search>(), 1);
}

void ApiClient::searchPage(const std::shared_ptr<Search> &search, int page)
{
    // The group's name is searched as one quoted term; GitLab also returns every descendant
    // and look-alike, ordered by short name, so the group may be on any page.
    // Encoded as a whole: a quote, '&' or '#' in the group's path must not end the term.
    QString path = QString::fromLatin1(SEARCH_PATH)
                       .arg(QString::fromLatin1(QUrl::toPercentEncoding(u'"' + group + u'"')));
    if (page > 1)
        path += QStringLiteral("&page=%1").arg(page);
    ++search->pages;
    ApiRequest *request = makeRequest(apiUrl(path), ApiRequest::Kind::Json);
    connect(request, &ApiRequest::succeeded, this, [this, search, request, page] {
        onSearchPage(search, *request, page);
    });
    connect(request, &ApiRequest::failed, this, [this, request](const QString &error) {
        giveUpAfter(*request, error);
    });
    request->send();
}

void ApiClient::onSearchPage(const std::shared_ptr<Search> &search,
                             const ApiRequest &request,
                             int page)
{
    const QJsonDocument document = parseJson(request.body());
    if (document.isNull()) {
        emitStatusChanged({});
        giveUp(tr("Search error: request return null object"));
        return;
    }
    // One group object instead of a list is taken as a list of one.
    const QJsonArray groups = document.isArray() ? document.array() : QJsonArray{document.object()};
    if (!document.isArray() && !document.object().contains(QLatin1String("id"))) {
        emitStatusChanged({});
        onGroupFound(document.object());
        return;
    }
    for (const QJsonValue &value : groups) {
        const QJsonObject candidate = value.toObject();
        const QString fullPath = candidate.value(QLatin1String("full_path")).toString();
        if (fullPath.compare(group, Qt::CaseInsensitive) == 0) {
            emitStatusChanged({});
            onGroupFound(candidate);
            return;
        }
        // The group's own subgroups are no look-alikes; anything else that comes first is a
        // group that anyone could have named so.
        if (!fullPath.startsWith(group + u'/', Qt::CaseInsensitive)
            && lookAlikes.size() < MAX_LOOK_ALIKES) {
            lookAlikes.append(printableText(fullPath.left(MAX_LOOK_ALIKE_LENGTH)));
        }
    }

    if (const int next = nextPage(request, page)) {
        if (search->pages < MAX_SEARCH_PAGES) {
            searchPage(search, next);
            return;
        }
        qCDebug(Log::api) << "Search answer has more than" << MAX_SEARCH_PAGES
                          << "pages without the group";
    }
    // Only the group itself: a look-alike that anyone may create would put its projects into
    // the user's IDE. Without a token a private group is not found at all.
    emitStatusChanged({});
    const QString notFound = tr("The group %1 was not found on %2.").arg(group, baseUrl.host());
    if (accessToken.isEmpty()) {
        giveUp(notFound + u' ' + privateGroupHint(),
               RepositoryState::Problem::TokenNeeded,
               tr("the group %1 was not found; a private group needs an access token").arg(group));
        return;
    }
    giveUp(notFound, RepositoryState::Problem::Failed, tr("the group %1 was not found").arg(group));
}

void ApiClient::onGroupFound(const QJsonObject &groupObject)
{
    if (!groupObject.contains(QLatin1String("id"))) {
        QString status = tr("Search error: request return wrong data - no id field");
        if (accessToken.isEmpty())
            status += u' ' + privateGroupHint();
        giveUp(status);
        return;
    }

    groupId = quint64(qint64(groupObject.value(QLatin1String("id")).toInt()));
    if (groupId == 0) {
        giveUp({}, RepositoryState::Problem::Failed, tr("the server gave the group no valid id"));
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
        giveUp(tr("Repository error: group id not found - unable to fetch examples"));
        return;
    }

    emitStatusChanged(tr("Fetch examples"));
    ApiRequest *request
        = makeRequest(apiUrl(QString::fromLatin1(FETCH_PATH).arg(groupId)), ApiRequest::Kind::Json);
    connect(request, &ApiRequest::succeeded, this, [this, request] {
        onFetched(parseJson(request->body()));
    });
    connect(request, &ApiRequest::failed, this, [this, request](const QString &error) {
        giveUpAfter(*request, error);
    });
    request->send();
}

void ApiClient::onFetched(const QJsonDocument &document)
{
    emitStatusChanged({});

    if (document.isNull()) {
        giveUp(tr("Fetch error: request return null object"));
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
        giveUp(tr("Fetch error: request return wrong data - no projects field"));
        return;
    }

    auto listing = std::make_shared<Listing>();
    const QJsonArray projects = groupObject.value(QLatin1String("projects")).toArray();
    if (!keepProjects(listing, projects))
        return;
    if (projects.size() < DETAIL_PROJECT_LIMIT) {
        emit fetched(listing->examples);
        return;
    }

    // The detail holds the newest projects only; the group's project list has them all.
    qCDebug(Log::api) << "Group detail lists" << projects.size()
                      << "projects - listing the group's projects page by page";
    listPage(listing, 1);
}

void ApiClient::listPage(const std::shared_ptr<Listing> &listing, int page)
{
    ++listing->pages;
    const QString path
        = QString::fromLatin1(PROJECTS_PATH).arg(groupId) + QStringLiteral("&page=%1").arg(page);
    ApiRequest *request = makeRequest(apiUrl(path), ApiRequest::Kind::Json);
    connect(request, &ApiRequest::succeeded, this, [this, listing, request, page] {
        onListPage(listing, *request, page);
    });
    // Never a partial list: the examples missing from it would count as removed online.
    connect(request, &ApiRequest::failed, this, [this, request](const QString &error) {
        giveUpAfter(*request, error);
    });
    request->send();
}

void ApiClient::onListPage(const std::shared_ptr<Listing> &listing,
                           const ApiRequest &request,
                           int page)
{
    const QJsonDocument document = parseJson(request.body());
    if (document.isNull()) {
        giveUp(tr("Fetch error: request return null object"));
        return;
    }
    if (!document.isArray()) {
        giveUp(tr("Fetch error: request return wrong data - no list of projects"));
        return;
    }

    const QJsonArray projects = document.array();
    if (!keepProjects(listing, projects))
        return;
    bool addsProject = false;
    for (const QJsonValue &project : projects) {
        const QJsonValue id = project.toObject().value(QLatin1String("id"));
        if (id.isDouble() && !listing->pageIds.contains(qint64(id.toDouble()))) {
            listing->pageIds.insert(qint64(id.toDouble()));
            addsProject = true;
        }
    }

    if (const int next = nextPage(request, page)) {
        // Pages that come again would be followed up to the page limit, and the group blamed
        // for having too many projects.
        if (!projects.isEmpty() && !addsProject) {
            qCDebug(Log::api) << "Project list page" << page << "adds no project";
            giveUp(tr("Fetch error: the server repeats the same page of projects"));
            return;
        }
        if (listing->pages >= MAX_LIST_PAGES) {
            qCDebug(Log::api) << "Project list has more than" << MAX_LIST_PAGES << "pages";
            giveUp(tr("Fetch error: the group lists more than %1 projects")
                       .arg(QLocale().toString(MAX_LISTED_PROJECTS)));
            return;
        }
        listPage(listing, next);
        return;
    }
    emit fetched(listing->examples);
}

bool ApiClient::keepProjects(const std::shared_ptr<Listing> &listing, const QJsonArray &projects)
{
    // Checked before anything is kept: one page may hold any number of projects.
    if (projects.size() > DETAIL_PROJECT_LIMIT) {
        qCDebug(Log::api) << "Answer lists" << projects.size() << "projects";
        giveUp(tr("Fetch error: one answer lists more than %1 projects")
                   .arg(QLocale().toString(DETAIL_PROJECT_LIMIT)));
        return false;
    }
    for (const QJsonValue &project : projects) {
        QSharedPointer<Example> example = exampleFrom(project);
        if (!example->isValid() || listing->ids.contains(example->id()))
            continue;
        if (listing->examples.size() >= MAX_LISTED_PROJECTS) {
            qCDebug(Log::api) << "Project list has more than" << MAX_LISTED_PROJECTS << "projects";
            giveUp(tr("Fetch error: the group lists more than %1 projects")
                       .arg(QLocale().toString(MAX_LISTED_PROJECTS)));
            return false;
        }
        listing->textBytes += textBytesOf(*example);
        if (listing->textBytes > MAX_LISTED_TEXT_BYTES) {
            qCDebug(Log::api) << "Project list keeps more than" << MAX_LISTED_TEXT_BYTES
                              << "bytes of text";
            giveUp(tr("Fetch error: the group's projects exceed the limit of %1")
                       .arg(QLocale().formattedDataSize(
                           MAX_LISTED_TEXT_BYTES, 0, QLocale::DataSizeIecFormat)));
            return false;
        }
        listing->examples.append(example);
        listing->ids.insert(example->id());
    }
    return true;
}

void ApiClient::download(const Repository::Examples &examples)
{
    if (stopped)
        return;

    // Every example of the running batch stays queued until it finishes, so an empty queue
    // means no batch is running. A batch started while another runs joins it: the entry
    // grows, and the one downloadsFinished at the end reports what completed of both.
    const bool running = !queue.isEmpty();
    // By project id: the same project may come from a later listing as a new record. A set,
    // since a batch of a thousand examples compared pairwise held the event loop up.
    QSet<qint64> known;
    for (const Repository::Examples *list : {&queue, &downloaded}) {
        for (const QSharedPointer<Example> &example : *list)
            known.insert(example->id());
    }
    Repository::Examples added;
    for (const QSharedPointer<Example> &example : examples) {
        if (!known.contains(example->id())) {
            known.insert(example->id());
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
    while (downloadsRunning < MAX_RUNNING_DOWNLOADS
           && (!retrying.isEmpty() || !waiting.isEmpty())) {
        if (!retrying.isEmpty()) {
            // Examples already under way go first: they hold their progress back.
            const QPointer<ApiRequest> request = retrying.takeFirst();
            if (request) {
                ++downloadsRunning;
                request->send();
            }
            continue;
        }
        ++downloadsRunning;
        download(waiting.takeFirst());
    }
}

void ApiClient::holdSlotWhileSending(ApiRequest *request, quint64 batch)
{
    request->setProperty(BATCH_PROPERTY, batch);
    // A download that waits for a busy server gives its slot to the next example, and takes
    // one again when its wait is over. One of a batch that ended is not sent again.
    connect(request, &ApiRequest::waiting, this, [this, request, batch] {
        if (batch != batchNumber) {
            request->abort();
            return;
        }
        --downloadsRunning;
        startWaitingDownloads();
    });
    connect(request, &ApiRequest::retryDue, this, [this, request, batch] {
        if (batch != batchNumber) {
            request->abort();
            return;
        }
        retrying.append(request);
        startWaitingDownloads();
    });
}

void ApiClient::dropRetries()
{
    for (const QPointer<ApiRequest> &request : std::as_const(retrying)) {
        if (request)
            request->abort();
    }
    retrying.clear();
}

void ApiClient::setupDownloadTask(int count)
{
    canceled = false;
    ++batchNumber;
    batchSize = count;
    finishedCount = 0;
    waiting.clear();
    dropRetries();
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

    // The user wants none of the rest: downloads under way stop, and archives already saved
    // for examples still waiting for their avatar go.
    const QList<ApiRequest *> requests = findChildren<ApiRequest *>(Qt::FindDirectChildrenOnly);
    for (ApiRequest *request : requests) {
        if (request->property(BATCH_PROPERTY).toULongLong() == batch)
            request->abort();
    }
    const Repository::Examples dropped = std::exchange(queue, {});
    for (const QSharedPointer<Example> &example : dropped)
        example->removeArchiveFile();
    waiting.clear();
    retrying.clear();
    canceled = true;
    for (const QSharedPointer<Example> &example : dropped)
        emit exampleFailed(example, ExampleResult::skipped(tr("the download was cancelled")));
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
    const QUrl url = apiUrl(
        QString::fromLatin1(DOWNLOAD_PATH)
            .arg(QString::number(example->id()), QLatin1String(Constants::ARCHIVE_EXTENSION)));
    ApiRequest *request = makeRequest(url, ApiRequest::Kind::Archive);
    // The archive is checked as it arrives, and the tar stream the check inflates goes to
    // disk; the installer takes the file over.
    request->setFileTemplate(temporaryArchiveTemplate(example->id(), Constants::TAR_EXTENSION));
    holdSlotWhileSending(request, batch);
    connect(request, &ApiRequest::succeeded, this, [this, example, batch, request] {
        // A batch that was cancelled meanwhile has no use for the archive; it goes with the
        // request.
        if (batch != batchNumber)
            return;
        example->setArchiveFile(request->takeFile());
        example->setArchiveCheck(request->archiveCheck());
        downloadImage(example, batch);
    });
    connect(
        request, &ApiRequest::failed, this, [this, example, batch, request](const QString &error) {
            const ExampleResult::Failure kind = request->failureKind();
            if (kind == ExampleResult::Failure::DamagedArchive) {
                emitStatusChanged(tr("The archive of %1 is damaged: %2")
                                      .arg(example->displayName(), request->archiveCheck().reason));
            } else {
                emitStatusChanged(error);
            }
            // What the archive check found before it refused the archive, if it ran at all.
            example->setArchiveCheck(request->archiveCheck());
            if (batch == batchNumber)
                onExampleDownloadFinished(example, ExampleResult::failed(kind, request->reason()));
        });
    request->send();
}

QUrl ApiClient::avatarUrl(const QSharedPointer<Example> &example) const
{
    // GitLab sends absolute addresses; one relative to the server is taken on its origin.
    QUrl url(example->imageUrl());
    if (url.isRelative() && url.path().startsWith(u'/'))
        url = baseUrl.resolved(url);
    // Only the web: a file: address would be read from the local disk, and a named pipe
    // there would block the IDE.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return {};
    }
    return url;
}

void ApiClient::downloadImage(const QSharedPointer<Example> &example, quint64 batch)
{
    // Most projects have no avatar; registration finds an icon of its own for them.
    if (example->imageUrl().isEmpty()) {
        qCDebug(Log::api) << "No image for example:" << example->displayName();
        example->setAvatarCheck({});
        onExampleDownloadFinished(example);
        return;
    }
    // An avatar is decoration: whatever goes wrong with it, the example still installs, with
    // the default image.
    const QUrl url = avatarUrl(example);
    if (url.isEmpty()) {
        qCDebug(Log::api) << "Image address not used - only http and https are:"
                          << example->imageUrl().left(200) << "example:" << example->displayName();
        example->setAvatarCheck(
            {AvatarCheck::Outcome::Unusable, 0, tr("its address is no http or https address")});
        onExampleDownloadFinished(example);
        return;
    }

    ApiRequest *request = makeRequest(url, ApiRequest::Kind::Image);
    holdSlotWhileSending(request, batch);
    connect(request, &ApiRequest::succeeded, this, [this, example, batch, request] {
        if (batch != batchNumber)
            return;
        decodeImage(example, batch, request->body());
    });
    connect(request,
            &ApiRequest::failed,
            this,
            [this, example, batch, url, request](const QString &error) {
                if (batch != batchNumber)
                    return;
                const bool tooLarge = request->failureKind() == ExampleResult::Failure::SizeLimit;
                example->setAvatarCheck(
                    {tooLarge ? AvatarCheck::Outcome::TooLarge : AvatarCheck::Outcome::Failed,
                     0,
                     request->reason()});
                qCDebug(Log::api) << "Default image used for example" << example->displayName()
                                  << "-" << error;
                emitStatusChanged(
                    tr("Unable to download image: %1").arg(ApiRequest::displayUrl(url)));
                onExampleDownloadFinished(example);
            });
    request->send();
}

void ApiClient::decodeImage(const QSharedPointer<Example> &example,
                            quint64 batch,
                            const QByteArray &bytes)
{
    // Decoding and scaling take long for large pictures: not in the IDE's event loop.
    struct Result
    {
        QImage image;
        QString problem;
        bool tooLarge = false;
    };
    auto promise = std::make_shared<QPromise<Result>>();
    auto watcher = new QFutureWatcher<Result>(this);
    const qint64 bytesReceived = bytes.size();
    connect(watcher,
            &QFutureWatcherBase::finished,
            this,
            [this, watcher, example, batch, bytesReceived] {
                watcher->deleteLater();
                if (batch != batchNumber || watcher->future().resultCount() == 0)
                    return;
                const Result result = watcher->result();
                if (!result.problem.isEmpty()) {
                    qCDebug(Log::api) << "Default image used for example" << example->displayName()
                                      << "-" << result.problem;
                }
                using Outcome = AvatarCheck::Outcome;
                const Outcome outcome = result.tooLarge         ? Outcome::TooLarge
                                        : result.image.isNull() ? Outcome::NotAnImage
                                                                : Outcome::Shown;
                example->setAvatarCheck({outcome, bytesReceived, result.problem});
                example->setPreview(result.image);
                onExampleDownloadFinished(example);
            });
    watcher->setFuture(promise->future());
    promise->start();
    decoders.start([promise, bytes] {
        Result result;
        result.image
            = Example::previewImage(bytes, MAX_AVATAR_PIXELS, &result.problem, &result.tooLarge);
        promise->addResult(result);
        promise->finish();
    });
}

void ApiClient::onExampleDownloadFinished(const QSharedPointer<Example> &example,
                                          const std::optional<ExampleResult> &failure)
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
    if (!failure) {
        downloaded.append(example);
        emit exampleDownloaded(example);
    } else {
        example->removeArchiveFile();
        emit exampleFailed(example, *failure);
    }

    if (queue.isEmpty()) {
        promise.finish();
        const Repository::Examples result = std::exchange(downloaded, {});
        emit downloadsFinished(result);
    }
}

} // namespace Brindle::Internal
