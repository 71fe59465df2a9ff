// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"

#include "apiclient.h"
#include "constants.h"
#include "exampleinstaller.h"
#include "logging.h"
#include "tokenstore.h"
#include "updatedecision.h"
#include "urlredaction.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QWidget>

#include <algorithm>

namespace Brindle::Internal {

namespace {

const char ERROR_MESSAGE[] = QT_TRANSLATE_NOOP("QObject", "Unable to cast repository from: %1");

QString castErrorMessage(const QObject *sender)
{
    return QCoreApplication::translate("QObject", ERROR_MESSAGE)
        .arg(QString::fromLatin1(sender ? sender->metaObject()->className() : "QObject"));
}

} // namespace

DownloadService::DownloadService(QObject *parent)
    : QObject(parent)
    , installer(new ExampleInstaller(this))
{
    settings.load(Core::ICore::settings());
    connect(installer, &ExampleInstaller::statusChanged, this, &DownloadService::emitStatusChanged);
    connect(installer, &ExampleInstaller::finished, this, &DownloadService::onInstallerFinished);
    connect(installer, &ExampleInstaller::removed, this, &DownloadService::exampleRemoved);
    installer->sweepLeftovers(settings.repositories.keys());

    // A repository's lookup waits until its access token, if any, has been read from the
    // keychain; reading it never holds up the IDE's start.
    tokens = new TokenStore(this);
    connect(tokens, &TokenStore::tokenRead, this, &DownloadService::onTokenKnown);
    connect(tokens, &TokenStore::readFailed, this, [this](const QUrl &url, const QString &message) {
        emitStatusChanged(message);
        onTokenKnown(url, {});
    });

    for (auto it = settings.repositories.cbegin(); it != settings.repositories.cend(); ++it) {
        const Settings::RepositoryInfo &info = it.value();
        QSharedPointer<Repository> repository(new Repository(info.url, this, false));
        repository->setName(it.key());
        repositories.append(repository);
        connect(repository.get(),
                &Repository::exampleDownloaded,
                this,
                &DownloadService::onExampleDownloaded);
        connect(
            repository.get(), &Repository::downloadsFinished, this, &DownloadService::onDownloaded);
        connect(repository.get(), &Repository::fetched, this, &DownloadService::onFetched);
        connect(repository.get(), &Repository::failed, this, [this, source = repository.get()] {
            failures.insert(source, lastStatus.value(source));
            onRepositoryFailed(source);
        });
        // The client's texts name no repository; two lookups failing alike must be told apart.
        connect(repository.get(),
                &Repository::statusChanged,
                this,
                [this, url = info.url, source = repository.get()](const QString &status) {
                    if (status.isEmpty())
                        return;
                    lastStatus.insert(source, printableText(status));
                    emit statusChanged(
                        printableText(QStringLiteral("%1 (%2)").arg(status, redactedUrl(url))));
                });
        listingRepositories.insert(repository.get());
        awaitingToken.insert(repository.get());
        tokens->read(info.url);
    }
    updateBusy();

    connect(
        &restartTimer,
        &QTimer::timeout,
        &restartTimer,
        [this] { checkRestart(); },
        Qt::DirectConnection);
    // 0 would reset every client on each pass of the event loop, so that no lookup could
    // ever finish; more than this overflows the interval in milliseconds.
    const qint64 seconds
        = qBound(qint64(1), qint64(settings.serviceRestartTimeoutSeconds), qint64(2147483));
    restartTimer.start(std::chrono::milliseconds(seconds * 1000));

    connect(QCoreApplication::instance(),
            &QCoreApplication::aboutToQuit,
            this,
            &DownloadService::shutdown);
}

DownloadService::~DownloadService()
{
    shutdown();
    // Waits for the installation's file work before the repositories go.
    delete installer;
    // The shared pointers are the owners: a repository still held elsewhere must not be
    // deleted a second time as a child of this object.
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories))
        repository->setParent(nullptr);
}

QSharedPointer<Repository> DownloadService::findRepository(const QString &name) const
{
    const QUrl url = settings.repositories.value(name).url;
    if (url.isEmpty())
        return {};
    for (const QSharedPointer<Repository> &repository : repositories) {
        if (repository->url() == url)
            return repository;
    }
    return {};
}

QList<QSharedPointer<Example>> DownloadService::examples(const QString &name) const
{
    const QSharedPointer<Repository> repository = findRepository(name);
    return repository ? repository->examples() : QList<QSharedPointer<Example>>();
}

void DownloadService::save(const QString &name, const QSet<QString> &examples)
{
    if (auto it = withdrawn.find(name); it != withdrawn.end())
        it->subtract(examples);
    if (const QSharedPointer<Repository> repository = findRepository(name)) {
        startDownloads(repository.get(), examples);
        updateBusy();
        return;
    }
    emitStatusChanged(
        tr("Skip downloading examples - unable to find repository for name: %1").arg(name));
}

RepositoryStatus DownloadService::repositoryStatus(const QString &name) const
{
    const QSharedPointer<Repository> repository = findRepository(name);
    return repository ? statusOf(repository.get(), name) : RepositoryStatus();
}

RepositoryStatus DownloadService::statusOf(const Repository *repository, const QString &name) const
{
    using State = RepositoryStatus::State;
    RepositoryStatus status;
    status.lastListed = lastListed.value(repository);
    status.lastCheckDay = settings.lastCheckedDates.value(name);
    const bool installingOne
        = std::any_of(installing.cbegin(), installing.cend(), [&name](const Installing &entry) {
              return entry.repository == name;
          });
    if (listingRepositories.contains(repository)) {
        status.state = State::Checking;
    } else if (downloadingRepositories.contains(repository) || installingOne) {
        status.state = State::Updating;
    } else if (const auto failure = failures.constFind(repository); failure != failures.cend()) {
        status.reason = *failure;
        // Without a token a private group is not found, or refused: either way the token is
        // what is missing.
        const bool denied
            = failure->contains(ApiClient::accessDeniedStatus(repository->url(), name));
        if (!repository->hasAccessToken()
            && (denied || failure->contains(ApiClient::privateGroupHint()))) {
            status.state = State::TokenNeeded;
        } else if (denied) {
            status.state = State::AccessDenied;
        } else {
            status.state = State::Failed;
        }
    } else if (lastListed.contains(repository)) {
        status.state = settings.updatesCheckTimeoutDays == 0 ? State::UpdatesOff : State::UpToDate;
    } else {
        status.state = State::Checking;
    }
    return status;
}

void DownloadService::onTokenKnown(const QUrl &url, const QString &token)
{
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories)) {
        if (repository->url() != url || !awaitingToken.remove(repository.get()))
            continue;
        repository->setAccessToken(token);
        failedRepositories.remove(repository.get());
        repository->reset();
    }
}

void DownloadService::setAccessToken(const QString &name, const QString &token)
{
    const QSharedPointer<Repository> repository = findRepository(name);
    if (!repository)
        return;
    tokens->write(repository->url(), token);
    // Looked up and listed again with the new token, once its own read has ended.
    repository->setAccessToken(tokens->cachedToken(repository->url()).value_or(QString()));
    if (awaitingToken.contains(repository.get()))
        return;
    repository->reset();
    failedRepositories.remove(repository.get());
    listingRepositories.insert(repository.get());
    updateBusy();
}

void DownloadService::remove(const QString &name, const QSet<QString> &examples)
{
    withdrawn[name].unite(examples);
    installer->remove(name, QStringList(examples.cbegin(), examples.cend()));
}

void DownloadService::shutdown()
{
    // A restart after shutdown would bring stopped clients back to life
    restartTimer.stop();
    installer->shutdown();
    receivedExamples.clear();
    installing.clear();
    requestedDownloads.clear();
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories))
        repository->shutdown();
    // Nothing of the rounds still running will arrive any more.
    listingRepositories.clear();
    downloadingRepositories.clear();
    failedRepositories.clear();
    updateBusy();
}

void DownloadService::emitStatusChanged(const QString &status)
{
    // Example names in the installer's texts come from the server.
    const QString text = printableText(status);
    if (!text.isEmpty())
        qCDebug(Log::service) << "Status:" << text;
    emit statusChanged(text);
}

void DownloadService::checkRestart()
{
    const QList<QSharedPointer<Repository>> current = repositories;
    bool allDone = true;
    for (const QSharedPointer<Repository> &repository : current) {
        const Repository *key = repository.get();
        // A lookup or listing still under way (a busy server's wait included) is left to
        // finish: each of its requests ends by itself, within its deadline at the latest.
        if (awaitingToken.contains(key) || listingRepositories.contains(key)) {
            allDone = false;
            continue;
        }
        // Ready, but its listing failed: the lookup and the listing start over as well.
        if (repository->isReady() && !failedRepositories.contains(key))
            continue;
        allDone = false;
        emitStatusChanged(QStringLiteral("%1 (%2)").arg(tr("API client is not ready - restarting"),
                                                        redactedUrl(repository->url())));
        repository->reset();
        failedRepositories.remove(key);
        // A batch of the client just replaced ends with it.
        downloadingRepositories.remove(key);
        requestedDownloads.remove(key);
        listingRepositories.insert(key);
    }
    if (allDone)
        restartTimer.stop();
    updateBusy();
}

void DownloadService::onRepositoryFailed(const Repository *repository)
{
    listingRepositories.remove(repository);
    failedRepositories.insert(repository);
    // The check may have stopped once every repository was ready, before a later listing (a
    // new access token) failed.
    if (!restartTimer.isActive())
        restartTimer.start();
    updateBusy();
}

void DownloadService::onFetched()
{
    auto repository = qobject_cast<Repository *>(sender());
    if (!repository) {
        emitStatusChanged(castErrorMessage(sender()));
        return;
    }
    // Whichever way the decision goes, this round's listing is done.
    listingRepositories.remove(repository);
    failedRepositories.remove(repository);
    failures.remove(repository);
    lastListed.insert(repository, QDateTime::currentDateTime());
    const auto busyGuard = qScopeGuard([this] { updateBusy(); });

    emit updated();

    // The options page saves its own copy (removed examples, interval) while the service
    // runs: decide on what is stored now, not on what was loaded at start. Another IDE
    // instance writes the same file, which the store reads again only when synced.
    Core::ICore::settings()->sync();
    Settings stored;
    stored.load(Core::ICore::settings());
    settings = stored;

    const QString name = settings.findName(repository->url());
    UpdateDecision::Input input;
    input.intervalDays = settings.updatesCheckTimeoutDays;
    input.lastCheck = settings.lastCheckedDates.value(name);
    input.removed = settings.repositories.value(name).removedExamples;
    for (const QSharedPointer<Example> &example : repository->examples()) {
        // A name that cannot be one plain, visible folder is never installed, so it must
        // not count as missing either.
        if (!isSafeExampleName(example->name())) {
            qCDebug(Log::service) << "Skip example with unsafe name:" << example->name();
            continue;
        }
        input.listed.append({example->name(), example->lastActivity(), example->displayName()});
    }
    if (!name.isEmpty()) {
        input.folders = QDir(Settings::repositoryPath(name))
                            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    input.today = QDate::currentDate();

    const UpdateDecision decision = UpdateDecision::decide(input);
    if (!decision.due)
        return;

    if (name.isEmpty()) {
        emitStatusChanged(tr("Skip downloading examples - unable to find repository for url: %1")
                              .arg(redactedUrl(repository->url())));
        return;
    }

    // Only the check date is written, merged with what is stored, so that nothing the
    // options page saved meanwhile is overwritten.
    Settings::saveCheckedDate(Core::ICore::settings(), name, decision.checkedDate);
    settings.lastCheckedDates.insert(name, decision.checkedDate);
    startDownloads(repository, decision.toDownload);
}

void DownloadService::onExampleDownloaded(const QSharedPointer<Example> &example)
{
    // Unpacked while the rest of the batch is still downloading: waiting for the whole batch
    // left the processor idle during the downloads and held every archive in memory.
    QObject *source = sender();
    receivedExamples[source].append(example);
    pendingExamples.append(example);
    downloadExample(example, source);
}

void DownloadService::onDownloaded(const Repository::Examples &examples)
{
    QObject *source = sender();
    auto repository = qobject_cast<Repository *>(source);
    downloadingRepositories.remove(repository);
    // What was asked for and did not arrive is done with as well.
    QSet<QString> missing = requestedDownloads.take(repository);
    for (const QSharedPointer<Example> &example : examples)
        missing.remove(example->name());
    for (const QSharedPointer<Example> &example : receivedExamples.value(source))
        missing.remove(example->name());
    if (repository && !missing.isEmpty()) {
        const QString name = settings.findName(repository->url());
        for (const QString &example : std::as_const(missing))
            emit exampleFinished(name, example, false);
    }
    // Installing what arrived keeps the service busy through pendingExamples.
    const auto busyGuard = qScopeGuard([this] { updateBusy(); });
    const QList<QSharedPointer<Example>> received = receivedExamples.take(source);
    // All of the rest is pending before the first one starts: one that cannot start
    // finishes at once and must not end the batch for the others.
    QList<QSharedPointer<Example>> rest;
    for (const QSharedPointer<Example> &example : examples) {
        if (!received.contains(example) && !pendingExamples.contains(example))
            rest.append(example);
    }
    if (rest.isEmpty()) {
        // The examples taken early may all be installed by now; then this ends the batch.
        if (!examples.isEmpty() && pendingExamples.isEmpty() && receivedExamples.isEmpty())
            emitUpdatesWhenNoDialog();
        return;
    }
    pendingExamples.append(rest);
    for (const QSharedPointer<Example> &example : std::as_const(rest))
        downloadExample(example, source);
}

void DownloadService::downloadExample(const QSharedPointer<Example> &example, QObject *source)
{
    // Every way out without installing still finishes the example, after its status text, so
    // that the batch ends and its notification is sent.
    const auto giveUp = [this, &example](const QString &status) {
        emitStatusChanged(status);
        finishRegisterExample(example);
    };

    auto repository = qobject_cast<Repository *>(source);
    if (!repository) {
        giveUp(castErrorMessage(source));
        return;
    }

    const QString name = settings.findName(repository->url());
    if (name.isEmpty()) {
        giveUp(tr("Skip saving example %1 - unable to find repository name for url: %2")
                   .arg(example->displayName(), redactedUrl(repository->url())));
        return;
    }

    // Removed on the options page while it was still downloading: it stays removed.
    if (withdrawn.value(name).contains(example->name())) {
        qCDebug(Log::service) << "Skip example removed meanwhile:" << example->name();
        finishRegisterExample(example);
        return;
    }
    installing.insert(example.get(), {name, QDateTime::currentDateTime()});
    installer->install(example, name);
}

void DownloadService::onInstallerFinished(const QSharedPointer<Example> &example)
{
    if (const auto entry = installing.constFind(example.get()); entry != installing.cend()) {
        const Installing done = *entry;
        installing.erase(entry);
        // A failed install leaves an older copy, if any, in place: only a manifest written
        // since the install began tells that this one arrived. File times may lack the
        // fraction of a second.
        const QFileInfo manifest(Settings::repositoryPath(done.repository) + u'/' + example->name()
                                 + u'/' + QLatin1String(Constants::MANIFEST_FILE));
        QDateTime since = done.since;
        since.setTime(QTime(since.time().hour(), since.time().minute(), since.time().second()));
        const bool installed = manifest.exists() && manifest.lastModified() >= since;
        emit exampleFinished(done.repository, example->name(), installed);
    }
    finishRegisterExample(example);
}

void DownloadService::finishRegisterExample(const QSharedPointer<Example> &example)
{
    for (qsizetype i = 0; i < pendingExamples.size(); ++i) {
        if (pendingExamples.at(i).get() == example.get()) {
            pendingExamples.removeAt(i);
            break;
        }
    }
    // The host reloads once all is installed, not each time unpacking catches up with a
    // batch that is still downloading.
    if (pendingExamples.isEmpty() && receivedExamples.isEmpty())
        emitUpdatesWhenNoDialog();
    updateBusy();
}

void DownloadService::startDownloads(Repository *repository, const QSet<QString> &names)
{
    // An empty selection starts no batch, so no end of one would ever arrive. Marked before
    // the call: a batch of names that match nothing ends within it.
    if (!names.isEmpty()) {
        downloadingRepositories.insert(repository);
        requestedDownloads[repository].unite(names);
    }
    repository->download(names);
}

void DownloadService::updateBusy()
{
    // Every change of a round passes here.
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories)) {
        const QString name = settings.findName(repository->url());
        const RepositoryStatus status = statusOf(repository.get(), name);
        auto shown = shownStatus.find(name);
        if (shown != shownStatus.end() && *shown == status)
            continue;
        shownStatus.insert(name, status);
        emit repositoryStatusChanged(name);
    }

    const bool nowBusy = !listingRepositories.isEmpty() || !downloadingRepositories.isEmpty()
                         || !pendingExamples.isEmpty();
    if (nowBusy == busy)
        return;
    busy = nowBusy;
    qCDebug(Log::service) << "Busy:" << busy;
    emit busyChanged(busy);
}

void DownloadService::emitUpdatesWhenNoDialog()
{
    if (QWidget *widget = QApplication::activeModalWidget()) {
        deferUpdatesUntilDialogClosed(widget);
        return;
    }
    emit updated();
    emit Core::HelpManager::Signals::instance()->documentationChanged();
}

void DownloadService::deferUpdatesUntilDialogClosed(QWidget *dialog)
{
    if (updatesDeferred && deferredDialog == dialog)
        return;

    updatesDeferred = true;
    deferredDialog = dialog;
    if (!dialog)
        return;
    if (auto modalDialog = qobject_cast<QDialog *>(dialog)) {
        connect(modalDialog,
                &QDialog::finished,
                this,
                &DownloadService::onDeferredDialogClosed,
                Qt::UniqueConnection);
    } else {
        connect(dialog,
                &QObject::destroyed,
                this,
                &DownloadService::onDeferredDialogClosed,
                Qt::UniqueConnection);
    }
}

void DownloadService::onDeferredDialogClosed()
{
    if (!updatesDeferred)
        return;
    updatesDeferred = false;
    deferredDialog = nullptr;
    QTimer::singleShot(0, this, [this] { emitUpdatesWhenNoDialog(); });
}

} // namespace Brindle::Internal
