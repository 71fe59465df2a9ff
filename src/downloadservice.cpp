// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"

#include "apiclient.h"
#include "constants.h"
#include "exampleinstaller.h"
#include "installedfiles.h"
#include "logging.h"
#include "tokenstore.h"
#include "updatedecision.h"
#include "urlredaction.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
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
    connect(installer,
            &ExampleInstaller::removed,
            this,
            [this](const QString &repository, const QString &example, const ExampleResult &result) {
                removing[repository].remove(example);
                if (result.outcome == ExampleResult::Outcome::RemovalFailed)
                    keepAsInstalled(repository, example);
                else
                    settle(repository, example);
                recordResult(repository, example, result);
                emit exampleRemoved(repository, example, result);
                updateBusy();
            });
    connect(installer,
            &ExampleInstaller::localChangesChecked,
            this,
            [this](const QString &repository, const QSet<QString> &changed) {
                localChecksRunning.remove(repository);
                // What was installed or removed while the check ran may have been seen half
                // replaced; the install or removal itself knows better.
                changedLocally.insert(repository,
                                      changed - settledDuringCheck.take(repository));
                if (localChecksAgain.remove(repository))
                    checkLocalChanges(repository);
                updateBusy();
            });
    installer->sweepLeftovers(settings.repositories.keys());
    for (const QString &name : settings.repositories.keys())
        checkLocalChanges(name);

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
        connect(repository.get(),
                &Repository::failed,
                this,
                [this, source = repository.get()](RepositoryState::Problem problem,
                                                  const QString &reason) {
                    onRepositoryFailed(source, problem, reason);
                });
        connect(repository.get(),
                &Repository::exampleFailed,
                this,
                [this, source = repository.get()](const QSharedPointer<Example> &example,
                                                  const ExampleResult &result) {
                    onExampleFailed(source, example, result);
                });
        // The client's texts name no repository; two lookups failing alike must be told apart.
        connect(repository.get(),
                &Repository::statusChanged,
                this,
                [this, url = info.url](const QString &status) {
                    if (status.isEmpty())
                        return;
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
    // The settings never give less than 10 s, so that no value makes the plugin hammer a
    // server; more than this overflows the interval in milliseconds.
    // BRINDLE_RESTART_INTERVAL_MS shortens it for tests of the restarts themselves.
    const qint64 seconds
        = qBound(qint64(1), qint64(settings.serviceRestartTimeoutSeconds), qint64(2147483));
    bool shortened = false;
    const int testInterval
        = qEnvironmentVariableIntValue("BRINDLE_RESTART_INTERVAL_MS", &shortened);
    restartTimer.start(
        std::chrono::milliseconds(shortened && testInterval > 0 ? testInterval : seconds * 1000));

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
        // Asked for again while still downloading (a stalled server): that download stops,
        // and a new one starts.
        const QSet<QString> restarted
            = QSet<QString>(examples).intersect(requestedDownloads.value(repository.get()));
        if (!restarted.isEmpty())
            repository->withdraw(restarted, tr("it was asked for again"));
        startDownloads(repository.get(), examples);
        updateBusy();
        return;
    }
    emitStatusChanged(
        tr("Skip downloading examples - unable to find repository for name: %1").arg(name));
}

RepositoryState DownloadService::repositoryState(const QString &name) const
{
    const QSharedPointer<Repository> repository = findRepository(name);
    return repository ? stateOf(repository.get(), name) : RepositoryState();
}

RepositoryState DownloadService::stateOf(const Repository *repository, const QString &name) const
{
    using Phase = RepositoryState::Phase;
    RepositoryState state;
    state.lastChecked = lastListed.value(repository);
    state.lastCheckDay = settings.lastCheckedDates.value(name);
    // The page saves the interval meanwhile: what is stored now counts.
    state.updatesOff = Settings::storedUpdatesInterval(Core::ICore::settings()) == 0;
    state.results = results.value(name);
    // Known only once the repository has been checked; a copy installed in this session is
    // as new as the listing it came from.
    for (const QString &example : changedOnline.value(repository)) {
        if (!state.results.value(example).isInstalled())
            state.updatable.insert(example);
    }
    // Asked for and still downloading, or being installed.
    state.installing = requestedDownloads.value(repository);
    for (auto it = installing.cbegin(); it != installing.cend(); ++it) {
        if (it.value() == name)
            state.installing.insert(it.key()->name());
    }
    state.removing = removing.value(name);
    state.changedLocally = changedLocally.value(name);
    if (const auto failure = lookupFailures.constFind(repository);
        failure != lookupFailures.cend()) {
        state.problem = failure->problem;
        state.failure = failure->reason;
    }
    if (awaitingToken.contains(repository) || listingRepositories.contains(repository))
        state.phase = repository->isReady() ? Phase::Listing : Phase::LookingUp;
    else if (downloadingRepositories.contains(repository) || !state.installing.isEmpty())
        state.phase = Phase::Downloading;
    else
        state.phase = Phase::Idle;
    return state;
}

QStringList DownloadService::localChanges(const QString &repository, const QString &example) const
{
    if (!settings.repositories.contains(repository) || !isSafeExampleName(example))
        return {};
    const QString folder = Settings::repositoryPath(repository) + u'/' + example;
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink())
        return {};
    // Without a record nothing can be told.
    return InstalledFiles::localChanges(folder, Settings::installedRecordPath(repository, example))
        .value_or(QStringList());
}

void DownloadService::settle(const QString &repository, const QString &example)
{
    changedLocally[repository].remove(example);
    if (localChecksRunning.contains(repository))
        settledDuringCheck[repository].insert(example);
}

void DownloadService::checkLocalChanges(const QString &name)
{
    if (!settings.repositories.contains(name))
        return;
    // One check at a time for each repository; what changed meanwhile is looked at after it.
    if (localChecksRunning.contains(name)) {
        localChecksAgain.insert(name);
        return;
    }
    localChecksRunning.insert(name);
    installer->checkLocalChanges(name);
}

QStringList DownloadService::failures() const
{
    QStringList lines;
    QStringList names = settings.repositories.keys();
    names.sort();
    for (const QString &name : std::as_const(names)) {
        for (const QString &line : repositoryState(name).failureLines())
            lines.append(QStringLiteral("%1: %2").arg(name, line));
    }
    return lines;
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
    // The running batch ends with the old client; it starts again with the new token.
    endBatch(repository.get(), tr("the access token changed"));
    repository->reset();
    failedRepositories.remove(repository.get());
    lookupFailures.remove(repository.get());
    listingRepositories.insert(repository.get());
    updateBusy();
}

void DownloadService::remove(const QString &name, const QSet<QString> &examples)
{
    withdrawn[name].unite(examples);
    removing[name].unite(examples);
    // One still downloading or unpacking stops now; one at another step of its install goes
    // once that step has ended, within moments.
    if (const QSharedPointer<Repository> repository = findRepository(name))
        repository->withdraw(examples, tr("it was removed"));
    installer->remove(name, QStringList(examples.cbegin(), examples.cend()));
    updateBusy();
}

void DownloadService::shutdown()
{
    // A restart after shutdown would bring stopped clients back to life
    restartTimer.stop();
    installer->shutdown();
    receivedExamples.clear();
    installing.clear();
    removing.clear();
    requestedDownloads.clear();
    resumeAfterListing.clear();
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
        // A batch of the client just replaced ends with it.
        endBatch(key, tr("the repository was looked up again"));
        repository->reset();
        failedRepositories.remove(key);
        listingRepositories.insert(key);
    }
    if (allDone)
        restartTimer.stop();
    updateBusy();
}

void DownloadService::onRepositoryFailed(const Repository *repository,
                                         RepositoryState::Problem problem,
                                         const QString &reason)
{
    lookupFailures.insert(repository, {problem, reason});
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
    lookupFailures.remove(repository);
    lastListed.insert(repository, QDateTime::currentDateTime());
    checkLocalChanges(settings.findName(repository->url()));
    const auto busyGuard = qScopeGuard([this, repository] {
        noteChangedOnline(repository);
        updateBusy();
    });

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
    // What a replaced client did not finish is asked for again, whatever the decision.
    QSet<QString> resumed = resumeAfterListing.take(repository);
    resumed.subtract(input.removed);
    resumed.subtract(withdrawn.value(name));
    if (!decision.due) {
        if (!resumed.isEmpty() && !name.isEmpty())
            startDownloads(repository, resumed);
        return;
    }

    if (name.isEmpty()) {
        emitStatusChanged(tr("Skip downloading examples - unable to find repository for url: %1")
                              .arg(redactedUrl(repository->url())));
        return;
    }

    // Only the check date is written, merged with what is stored, so that nothing the
    // options page saved meanwhile is overwritten.
    Settings::saveCheckedDate(Core::ICore::settings(), name, decision.checkedDate);
    settings.lastCheckedDates.insert(name, decision.checkedDate);
    startDownloads(repository, decision.toDownload + resumed);
}

void DownloadService::noteChangedOnline(const Repository *repository)
{
    // Known only once the repository has been checked, and only of examples whose activity
    // the server told.
    const QDate lastCheck = settings.lastCheckedDates.value(settings.findName(repository->url()));
    QSet<QString> &changed = changedOnline[repository];
    changed.clear();
    if (!lastCheck.isValid())
        return;
    for (const QSharedPointer<Example> &example : repository->examples()) {
        const QDateTime activity = example->lastActivity();
        if (activity.isValid() && UpdateDecision::mayHaveChanged(activity, lastCheck))
            changed.insert(example->name());
    }
}

void DownloadService::onExampleDownloaded(const QSharedPointer<Example> &example)
{
    // Unpacked while the rest of the batch is still downloading: waiting for the whole batch
    // left the processor idle during the downloads and held every archive in memory.
    QObject *source = sender();
    if (auto repository = qobject_cast<Repository *>(source)) {
        if (auto it = requestedDownloads.find(repository); it != requestedDownloads.end())
            it->remove(example->name());
    }
    receivedExamples[source].append(example);
    pendingExamples.append(example);
    downloadExample(example, source);
}

void DownloadService::onExampleFailed(const Repository *repository,
                                      const QSharedPointer<Example> &example,
                                      const ExampleResult &result)
{
    if (auto it = requestedDownloads.find(repository); it != requestedDownloads.end())
        it->remove(example->name());
    recordResult(settings.findName(repository->url()), example->name(), result);
    updateBusy();
}

void DownloadService::recordResult(const QString &repository,
                                   const QString &example,
                                   const ExampleResult &result)
{
    if (repository.isEmpty())
        return;
    results[repository].insert(example, result);
    if (result.outcome != ExampleResult::Outcome::Removed
        && result.outcome != ExampleResult::Outcome::RemovalFailed) {
        emit exampleFinished(repository, example, result);
    }
}

void DownloadService::keepAsInstalled(const QString &repository, const QString &example)
{
    // Its folder is still there: stored as removed, it would neither be updated nor listed
    // as installed.
    Utils::QtcSettings *store = Core::ICore::settings();
    store->sync();
    Settings stored;
    stored.load(store);
    const auto row = stored.repositories.find(repository);
    if (row == stored.repositories.end() || !row->removedExamples.remove(example))
        return;
    stored.saveUserChoices(store, false);
    withdrawn[repository].remove(example);
}

void DownloadService::endBatch(const Repository *repository, const QString &reason)
{
    if (!downloadingRepositories.remove(repository))
        return;
    const QString name = settings.findName(repository->url());
    const QSet<QString> unfinished = requestedDownloads.take(repository);
    for (const QString &example : unfinished)
        recordResult(name, example, ExampleResult::skipped(reason));
    resumeAfterListing[repository].unite(unfinished);
    // Those that arrived are being installed and finish by themselves; the batch they came
    // with will not end any more.
    receivedExamples.remove(const_cast<Repository *>(repository));
    if (pendingExamples.isEmpty() && receivedExamples.isEmpty())
        emitUpdatesWhenNoDialog();
}

void DownloadService::onDownloaded(const Repository::Examples &examples)
{
    QObject *source = sender();
    auto repository = qobject_cast<Repository *>(source);
    downloadingRepositories.remove(repository);
    // What was asked for and neither arrived nor was reported is done with as well.
    QSet<QString> missing = requestedDownloads.take(repository);
    for (const QSharedPointer<Example> &example : examples)
        missing.remove(example->name());
    for (const QSharedPointer<Example> &example : receivedExamples.value(source))
        missing.remove(example->name());
    if (repository && !missing.isEmpty()) {
        const QString name = settings.findName(repository->url());
        for (const QString &example : std::as_const(missing)) {
            recordResult(name,
                         example,
                         ExampleResult::failed(ExampleResult::Failure::Download,
                                               tr("the server does not list it")));
        }
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
        example->removeArchiveFile();
        recordResult(name, example->name(), ExampleResult::skipped(tr("it was removed")));
        finishRegisterExample(example);
        return;
    }
    installing.insert(example.get(), name);
    installer->install(example, name);
}

void DownloadService::onInstallerFinished(const QSharedPointer<Example> &example,
                                          const QString &repository,
                                          const ExampleResult &result)
{
    installing.remove(example.get());
    // Just installed, it is as its record says; a changed copy went aside. The other examples
    // are looked at after the next listing, not after every install of a batch.
    if (result.isInstalled())
        settle(repository, example->name());
    recordResult(repository, example->name(), result);
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
        const RepositoryState state = stateOf(repository.get(), name);
        auto shown = shownState.find(name);
        if (shown != shownState.end() && *shown == state)
            continue;
        shownState.insert(name, state);
        emit repositoryStateChanged(name);
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
