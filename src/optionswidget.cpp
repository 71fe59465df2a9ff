// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "optionswidget.h"
#include "ui_optionswidget.h"

#include "accesstokendialog.h"
#include "constants.h"
#include "downloadservice.h"
#include "example.h"
#include "examplesdialog.h"
#include "logging.h"
#include "plugin.h"
#include "tokenstore.h"
#include "urlredaction.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagebox.h>
#include <utils/infolabel.h>

#include <QDir>
#include <QFont>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace Brindle::Internal {

static const char TOOLTIP2[] = QT_TRANSLATE_NOOP(
    "Brindle::Internal::OptionsWidget",
    "<table><tbody>"
    "<tr><td style=\"width: 40%;\">Folder:&nbsp;</td><td style=\"width: 60%;\">%1</td></tr>"
    "<tr><td style=\"width: 40%;\">Link:&nbsp;</td><td style=\"width: 60%;\">%2</td></tr>"
    "</tbody></table>");

using State = ExampleListModel::State;

// A name pending both ways cancels out: removing what was just added, or adding back what
// was just removed, leaves nothing to do for it.
static void removeDuplicates(QSet<QString> &first, QSet<QString> &second)
{
    const QSet<QString> common = QSet<QString>(first).intersect(second);
    if (common.isEmpty())
        return;
    first.subtract(common);
    second.subtract(common);
}

static QList<QSharedPointer<Example>> serviceExamples(const QString &name)
{
    if (DownloadService *service = Plugin::downloadService())
        return service->examples(name);
    return {};
}

static RepositoryState serviceState(const QString &name)
{
    if (DownloadService *service = Plugin::downloadService())
        return service->repositoryState(name);
    return {};
}

// Only web pages are opened from the list; anything else is a local folder.
static QUrl locationUrl(const QString &location)
{
    const QUrl url(location, QUrl::StrictMode);
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        return url;
    return QUrl::fromLocalFile(location);
}

OptionsWidget::OptionsWidget()
    : ui(new Ui_OptionsWidget)
{
    settings.load(Core::ICore::settings());

    ui->setupUi(this);
    // A reason may be long: wrapped, not elided.
    ui->statusLabel->setElideMode(Qt::ElideNone);
    // The wrapped labels make the page's layout one of height for width, and the IDE's
    // Preferences dialog then sizes the page by the preferred heights of its parts: the
    // list's preferred height alone made the page scroll at the dialog's default size. The
    // list takes the room that is left, and shows a few rows at least.
    ui->examplesListView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    ui->examplesListView->setMinimumHeight(ui->examplesListView->fontMetrics().height() * 5);
    // "0 day(s)" would read as a count; 0 switches the updates off.
    ui->timeoutSpinBox->setSpecialValueText(tr("Off"));
    ui->timeoutSpinBox->setValue(int(std::min<quint32>(settings.updatesCheckTimeoutDays,
                                                       quint32(ui->timeoutSpinBox->maximum()))));
    ui->filterLineEdit->setFiltering(true);
    // Return in the filter goes on to the list; it must not apply and close the dialog.
    ui->filterLineEdit->installEventFilter(this);

    model = new ExampleListModel(this);
    filterModel = new QSortFilterProxyModel(this);
    filterModel->setSourceModel(model);
    // The name, not the mark of a pending row.
    filterModel->setFilterRole(ExampleListModel::NameRole);
    filterModel->setFilterCaseSensitivity(Qt::CaseInsensitive);
    filterModel->setSortRole(ExampleListModel::NameRole);
    filterModel->setSortLocaleAware(true);
    filterModel->sort(0);
    ui->examplesListView->setModel(filterModel);

    QStringList names = settings.repositories.keys();
    std::sort(names.begin(), names.end());
    for (const QString &name : std::as_const(names)) {
        const Settings::RepositoryInfo &info = settings.repositories.value(name);
        ui->repositoryComboBox->addItem(name);
        const QString folder = QDir::toNativeSeparators(Settings::repositoryPath(name));
        ui->repositoryComboBox->setItemData(
            ui->repositoryComboBox->count() - 1,
            tr(TOOLTIP2).arg(folder.toHtmlEscaped(),
                             info.url.toString(QUrl::RemoveUserInfo).toHtmlEscaped()),
            Qt::ToolTipRole);
    }

    // An installed row opens its folder; a row still to be installed, its web page.
    Plugin::initMenu(ui->examplesListView, locationUrl);

    connect(
        ui->repositoryComboBox, &QComboBox::currentTextChanged, this, &OptionsWidget::showExamples);
    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        filterModel->setFilterFixedString(text);
        updateButtons();
    });
    connect(ui->addButton, &QPushButton::clicked, this, &OptionsWidget::addExamples);
    connect(ui->removeButton, &QPushButton::clicked, this, &OptionsWidget::removeExamples);
    connect(ui->updateButton, &QPushButton::clicked, this, &OptionsWidget::updateExamples);
    // The buttons follow what is selected and visible, and what the selected rows stand for.
    // Looked at once per pass of the event loop: a round of many installs changes many rows,
    // and the selection may hold all of them.
    buttonsTimer.setSingleShot(true);
    buttonsTimer.setInterval(0);
    connect(&buttonsTimer, &QTimer::timeout, this, &OptionsWidget::updateButtons);
    const auto scheduleButtons = [this] {
        buttonsTimer.start();
    };
    connect(ui->examplesListView->selectionModel(),
            &QItemSelectionModel::selectionChanged,
            this,
            &OptionsWidget::updateButtons);
    connect(filterModel, &QAbstractItemModel::dataChanged, this, scheduleButtons);
    connect(filterModel, &QAbstractItemModel::rowsInserted, this, scheduleButtons);
    connect(filterModel, &QAbstractItemModel::rowsRemoved, this, scheduleButtons);
    connect(filterModel, &QAbstractItemModel::modelReset, this, scheduleButtons);
    connect(filterModel, &QAbstractItemModel::layoutChanged, this, scheduleButtons);
    connect(ui->timeoutSpinBox, &QSpinBox::valueChanged, this, [this](int value) {
        intervalChanged = true;
        ui->label_2->setVisible(value != 0);
    });
    ui->label_2->setVisible(ui->timeoutSpinBox->value() != 0);
    connect(ui->repositoryComboBox,
            &QComboBox::currentTextChanged,
            this,
            &OptionsWidget::showRepositoryStatus);
    connect(ui->accessTokenButton, &QPushButton::clicked, this, &OptionsWidget::editAccessToken);
    connect(ui->repositoryComboBox,
            &QComboBox::currentTextChanged,
            this,
            &OptionsWidget::showTokenState);
    if (DownloadService *service = Plugin::downloadService()) {
        connect(service, &DownloadService::updated, this, &OptionsWidget::scanInstalledExamples);
        // An example's round changes its own row only: its folder is read again.
        connect(service,
                &DownloadService::exampleFinished,
                this,
                [this](const QString &repository, const QString &example) {
                    rescanExample(repository, example);
                });
        connect(
            service,
            &DownloadService::exampleRemoved,
            this,
            [this](const QString &repository, const QString &example, const ExampleResult &result) {
                // Still there: it is not removed, and must not be recorded as removed.
                if (result.outcome == ExampleResult::Outcome::RemovalFailed) {
                    const auto record = settings.repositories.find(repository);
                    if (record != settings.repositories.end())
                        record->removedExamples.remove(example);
                }
                rescanExample(repository, example);
            });
        // The service changes its state several times per example: the shown repository's
        // rows follow once per pass of the event loop.
        followTimer.setSingleShot(true);
        followTimer.setInterval(0);
        connect(
            &followTimer, &QTimer::timeout, this, [this] { followService(model->repository()); });
        connect(
            service, &DownloadService::repositoryStateChanged, this, [this](const QString &name) {
                if (name == model->repository())
                    followTimer.start();
            });
        TokenStore *store = service->tokenStore();
        connect(store, &TokenStore::tokenRead, this, &OptionsWidget::onTokenStoreChanged);
        connect(store, &TokenStore::tokenSaved, this, &OptionsWidget::onTokenStoreChanged);
        connect(store, &TokenStore::persistentChanged, this, &OptionsWidget::showTokenState);
        const auto tokenFailed = [this](const QUrl &url, const QString &message) {
            for (auto it = settings.repositories.cbegin(); it != settings.repositories.cend();
                 ++it) {
                if (TokenStore::keyFor(it->url) == TokenStore::keyFor(url))
                    tokenFailures.insert(it.key(), message);
            }
            showTokenState();
        };
        connect(store, &TokenStore::readFailed, this, tokenFailed);
        connect(store, &TokenStore::saveFailed, this, tokenFailed);
        for (const QString &name : std::as_const(names))
            service->checkLocalChanges(name);
    }

    showExamples(ui->repositoryComboBox->currentText());
    scanInstalledExamples();
    showTokenState();
    showRepositoryStatus();
}

OptionsWidget::~OptionsWidget()
{
    // No scan may deliver to a page that is gone.
    scanner.clear();
    scanner.waitForDone();
    delete ui;
}

void OptionsWidget::scanInstalledExamples()
{
    QHash<QString, QString> folders;
    for (auto it = settings.repositories.cbegin(); it != settings.repositories.cend(); ++it)
        folders.insert(it.key(), Settings::repositoryPath(it.key()));
    const quint64 generation = ++scanGeneration;
    scanner.start([this, generation, folders] {
        QHash<QString, InstalledExamples> found;
        for (auto it = folders.cbegin(); it != folders.cend(); ++it)
            found.insert(it.key(), Brindle::Internal::scanInstalledExamples(it.value()));
        QMetaObject::invokeMethod(
            this,
            [this, generation, found] { onScanned(generation, found); },
            Qt::QueuedConnection);
    });
}

void OptionsWidget::onScanned(quint64 generation, const QHash<QString, InstalledExamples> &found)
{
    if (generation != scanGeneration)
        return;
    bool changed = false;
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        if (it->size() != installed.value(it.key()).size())
            changed = true;
    }
    installed = found;
    model->setInstalled(installed.value(model->repository()));
    // The host reads the manifests again when the page found others than it knew.
    if (changed)
        emit Core::HelpManager::Signals::instance()->documentationChanged();
    emit installedExamplesScanned();
}

void OptionsWidget::rescanExample(const QString &repository, const QString &example)
{
    if (!settings.repositories.contains(repository))
        return;
    const QString folder = Settings::repositoryPath(repository);
    const quint64 generation = scanGeneration;
    scanner.start([this, generation, folder, repository, example] {
        const std::optional<InstalledExample> found = scanInstalledExample(folder, example);
        QMetaObject::invokeMethod(
            this,
            [this, generation, repository, example, found] {
                // A full scan started since knows better.
                if (generation != scanGeneration)
                    return;
                InstalledExamples &known = installed[repository];
                if (found)
                    known.insert(example, *found);
                else
                    known.remove(example);
                if (repository == model->repository())
                    model->setInstalledExample(example, found);
            },
            Qt::QueuedConnection);
    });
}

void OptionsWidget::followService(const QString &name)
{
    followTimer.stop();
    if (name != model->repository())
        return;
    model->setOnline(serviceExamples(name));
    model->setState(serviceState(name));
    showRepositoryStatus();
}

// Switching repositories keeps each one's edits, and where the user was in its list.
void OptionsWidget::showExamples(const QString &name)
{
    QListView *view = ui->examplesListView;
    const QString shown = model->repository();
    if (!shown.isNull() && shown != name) {
        Place &place = places[shown];
        place.selected.clear();
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        for (const QModelIndex &row : rows)
            place.selected.insert(row.data(ExampleListModel::NameRole).toString());
        place.current = view->currentIndex().data(ExampleListModel::NameRole).toString();
        place.scrolled = view->verticalScrollBar()->value();
    } else if (shown == name && !shown.isNull()) {
        return;
    }

    model->setRepository(
        name, installed.value(name), serviceState(name), serviceExamples(name), edits.value(name));

    const Place place = places.value(name);
    QItemSelection selection;
    for (const QString &example : place.selected) {
        const QModelIndex index = filterModel->mapFromSource(model->index(model->rowOf(example)));
        if (index.isValid())
            selection.select(index, index);
    }
    const QModelIndex current
        = filterModel->mapFromSource(model->index(model->rowOf(place.current)));
    if (current.isValid())
        view->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    view->verticalScrollBar()->setValue(place.scrolled);
    updateButtons();
}

bool OptionsWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->filterLineEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
            // On to the rows the filter left, to act on them.
            QListView *view = ui->examplesListView;
            if (!view->currentIndex().isValid() && filterModel->rowCount() > 0) {
                view->selectionModel()->setCurrentIndex(filterModel->index(0, 0),
                                                        QItemSelectionModel::NoUpdate);
            }
            view->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return Core::IOptionsPageWidget::eventFilter(watched, event);
}

void OptionsWidget::setEdits(const QString &name, const ExampleListModel::Edits &changed)
{
    edits.insert(name, changed);
    if (name == model->repository())
        model->setEdits(changed);
}

void OptionsWidget::addExamples()
{
    const QString name = ui->repositoryComboBox->currentText();
    if (serviceExamples(name).isEmpty()) {
        using Phase = RepositoryState::Phase;
        using Problem = RepositoryState::Problem;
        DownloadService *service = Plugin::downloadService();
        const RepositoryState state = service ? service->repositoryState(name) : RepositoryState();
        if (state.phase == Phase::LookingUp || state.phase == Phase::Listing
            || state.phase == Phase::Unknown) {
            Core::AsynchronousMessageBox::information(
                tr("Examples Still Loading"),
                tr("The examples of repository %1 are still being loaded. Try again in a "
                   "moment.")
                    .arg(name));
            return;
        }
        if (state.problem == Problem::TokenNeeded) {
            Core::AsynchronousMessageBox::warning(
                tr("Access Token Needed"),
                tr("Repository %1 is a private group: set its access token with \"Access "
                   "token...\" and apply it first.")
                    .arg(name));
            return;
        }
        if (state.problem == Problem::AccessDenied) {
            Core::AsynchronousMessageBox::warning(
                tr("Access Denied"),
                tr("The server refused the access token of repository %1: set a valid one "
                   "with \"Access token...\".")
                    .arg(name));
            return;
        }
        Core::AsynchronousMessageBox::warning(
            tr("Examples Not Found"), tr("Check your online connection and try again later!"));
        return;
    }

    const auto listed = [this](const QString &repository) {
        QHash<QString, ExamplesDialog::Mark> marks;
        const ExampleListModel::Edits pending = edits.value(repository);
        for (auto it = installed.value(repository).keyBegin();
             it != installed.value(repository).keyEnd();
             ++it) {
            marks.insert(*it, ExamplesDialog::Mark::Installed);
        }
        for (const QString &example : pending.toInstall)
            marks.insert(example, ExamplesDialog::Mark::Pending);
        for (const QString &example : serviceState(repository).installing)
            marks.insert(example, ExamplesDialog::Mark::Pending);
        for (const QString &example : pending.toRemove)
            marks.remove(example);
        return marks;
    };

    ExamplesDialog dialog(serviceExamples(name), listed(name), this);
    dialog.exec();
    const QSet<QString> selection = dialog.selectedExamples();

    // The dialog's event loop may have changed the page; look the repository up only now.
    const QString repository = ui->repositoryComboBox->currentText();
    if (!settings.repositories.contains(repository) || selection.isEmpty())
        return;

    ExampleListModel::Edits changed = edits.value(repository);
    const InstalledExamples onDisk = installed.value(repository);
    const QHash<QString, ExamplesDialog::Mark> marks = listed(repository);
    for (const QString &example : selection) {
        // Adding back what is about to be removed keeps it as it is.
        if (changed.toRemove.remove(example))
            continue;
        if (onDisk.contains(example)) {
            // Chosen although installed: the user wants it fresh from the server.
            changed.toInstall.insert(example);
            continue;
        }
        // Another spelling of a listed example would become a second folder of it.
        const bool listedOtherwise
            = std::any_of(marks.keyBegin(), marks.keyEnd(), [&](const QString &other) {
                  return other.compare(example, Qt::CaseInsensitive) == 0;
              });
        if (listedOtherwise)
            continue;
        changed.toInstall.insert(example);
    }
    removeDuplicates(changed.toInstall, changed.toRemove);
    setEdits(repository, changed);
}

QStringList OptionsWidget::selectedNames(bool (*test)(State)) const
{
    // Rows the filter hides are not in the view's selection: only what the user can see is
    // acted on.
    QStringList names;
    const QModelIndexList rows = ui->examplesListView->selectionModel()->selectedRows();
    for (const QModelIndex &row : rows) {
        if (test(row.data(ExampleListModel::StateRole).value<State>()))
            names.append(row.data(ExampleListModel::NameRole).toString());
    }
    return names;
}

void OptionsWidget::updateButtons()
{
    const bool known = settings.repositories.contains(model->repository());
    ui->addButton->setEnabled(known);
    ui->removeButton->setEnabled(known && !selectedNames(ExampleListModel::canRemove).isEmpty());
    ui->updateButton->setEnabled(known && !selectedNames(ExampleListModel::canUpdate).isEmpty());
}

// One line of what removing an example loses: its name and the first of its changes.
static QString lossLine(const QString &example, const QStringList &changes)
{
    const qsizetype shown = 8;
    QString list = QStringList(changes.mid(0, shown)).join(QStringLiteral(", "));
    if (changes.size() > shown)
        list = OptionsWidget::tr("%1 and %n more", nullptr, int(changes.size() - shown)).arg(list);
    return printableText(QStringLiteral("%1: %2").arg(example, list));
}

void OptionsWidget::removeExamples()
{
    const QStringList names = selectedNames(ExampleListModel::canRemove);
    if (!names.isEmpty() && confirmLosingChanges(names))
        markForRemoval(names);
}

// Removing deletes the user's own changes to an installed example for good: asked first,
// naming them.
bool OptionsWidget::confirmLosingChanges(const QStringList &names)
{
    DownloadService *service = Plugin::downloadService();
    if (!service)
        return true;
    QStringList losses;
    for (const QString &name : names) {
        const int row = model->rowOf(name);
        if (row < 0 || !model->index(row).data(ExampleListModel::ChangedLocallyRole).toBool())
            continue;
        const QStringList changes = service->localChanges(model->repository(), name);
        if (!changes.isEmpty())
            losses.append(lossLine(name, changes));
    }
    if (losses.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Question,
                    tr("Remove Changed Examples"),
                    tr("You changed these examples since they were installed. Removing "
                       "them deletes your changes for good:\n\n%1\n\nRemove them anyway?")
                        .arg(losses.join(u'\n')),
                    QMessageBox::Yes | QMessageBox::No,
                    this);
    // File names are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void OptionsWidget::markForRemoval(const QStringList &names)
{
    const QString repository = model->repository();
    if (!settings.repositories.contains(repository))
        return;
    ExampleListModel::Edits changed = edits.value(repository);
    for (const QString &example : names) {
        const int row = model->rowOf(example);
        if (row < 0)
            continue;
        switch (model->index(row).data(ExampleListModel::StateRole).value<State>()) {
        case State::Installed:
        case State::UpdateAvailable:
        case State::Installing:
            changed.toRemove.insert(example);
            break;
        case State::WillBeInstalled:
            changed.toInstall.remove(example);
            break;
        case State::WillBeUpdated:
            // Removing it is the stronger wish.
            changed.toInstall.remove(example);
            changed.toRemove.insert(example);
            break;
        case State::Failed:
            // Out of sight; the service keeps the failure until the example's next round.
            changed.dismissed.insert(example);
            break;
        default:
            break;
        }
    }
    removeDuplicates(changed.toInstall, changed.toRemove);
    setEdits(repository, changed);
}

void OptionsWidget::updateExamples()
{
    const QString repository = model->repository();
    if (!settings.repositories.contains(repository))
        return;
    ExampleListModel::Edits changed = edits.value(repository);
    for (const QString &example : selectedNames(ExampleListModel::canUpdate))
        changed.toInstall.insert(example);
    setEdits(repository, changed);
}

void OptionsWidget::showRepositoryStatus()
{
    Utils::InfoLabel *label = ui->statusLabel;
    DownloadService *service = Plugin::downloadService();
    const QString name = ui->repositoryComboBox->currentText();
    if (!service || !settings.repositories.contains(name)) {
        label->clear();
        label->setType(Utils::InfoLabel::None);
        label->hide();
        return;
    }

    // Made of the service's state alone: what it does, or how its last round ended.
    const RepositoryState state = service->repositoryState(name);
    using Tone = RepositoryState::Tone;
    Utils::InfoLabel::InfoType type = Utils::InfoLabel::Information;
    switch (state.tone()) {
    case Tone::Busy:
    case Tone::Information:
        type = Utils::InfoLabel::Information;
        break;
    case Tone::Ok:
        type = Utils::InfoLabel::Ok;
        break;
    case Tone::Warning:
        type = Utils::InfoLabel::Warning;
        break;
    case Tone::Error:
        type = Utils::InfoLabel::Error;
        break;
    }
    const QString text = state.summary();
    label->setType(type);
    label->setText(text);
    label->setAccessibleName(tr("Repository status"));
    label->setAccessibleDescription(text);
    label->show();
}

QUrl OptionsWidget::currentUrl() const
{
    return settings.repositories.value(ui->repositoryComboBox->currentText()).url;
}

void OptionsWidget::editAccessToken()
{
    DownloadService *service = Plugin::downloadService();
    const QString name = ui->repositoryComboBox->currentText();
    if (!service || !settings.repositories.contains(name))
        return;

    using Current = AccessTokenDialog::Current;
    Current current = Current::Unknown;
    if (const auto pending = pendingTokens.constFind(name); pending != pendingTokens.cend())
        current = pending->isEmpty() ? Current::None : Current::Set;
    else if (const std::optional<QString> token = service->tokenStore()->cachedToken(currentUrl()))
        current = token->isEmpty() ? Current::None : Current::Set;
    AccessTokenDialog dialog(name, current, this);
    dialog.exec();
    switch (dialog.choice()) {
    case AccessTokenDialog::Choice::Keep:
        return;
    case AccessTokenDialog::Choice::Set:
        pendingTokens.insert(name, dialog.token());
        break;
    case AccessTokenDialog::Choice::Clear:
        pendingTokens.insert(name, QString());
        break;
    }
    showTokenState();
}

void OptionsWidget::onTokenStoreChanged(const QUrl &url)
{
    const QString key = TokenStore::keyFor(url);
    for (auto it = settings.repositories.cbegin(); it != settings.repositories.cend(); ++it) {
        if (TokenStore::keyFor(it->url) == key)
            tokenFailures.remove(it.key());
    }
    showTokenState();
}

// Says whether the selected repository has a token, never what it is.
void OptionsWidget::showTokenState()
{
    DownloadService *service = Plugin::downloadService();
    const QString name = ui->repositoryComboBox->currentText();
    const bool known = service && settings.repositories.contains(name);
    ui->accessTokenButton->setEnabled(known);
    if (!known) {
        ui->accessTokenLabel->clear();
        ui->keychainLabel->clear();
        ui->keychainLabel->hide();
        return;
    }

    TokenStore *store = service->tokenStore();
    QString state;
    if (const auto pending = pendingTokens.constFind(name); pending != pendingTokens.cend()) {
        state = pending->isEmpty() ? tr("Access token: removed when you apply")
                                   : tr("Access token: saved when you apply");
    } else if (const std::optional<QString> token = store->cachedToken(currentUrl()); !token) {
        // Unknown when the service's own read failed: ask once more, and say so if that
        // fails too.
        if (!readsRequested.contains(name)) {
            readsRequested.insert(name);
            store->read(currentUrl());
        }
        state = tokenFailures.contains(name)
                    ? tr("Access token: unknown")
                    : tr("Access token: being read from the system keychain...");
    } else if (token->isEmpty()) {
        state = tr("Access token: none");
    } else {
        state = store->isPersistent() ? tr("Access token: set")
                                      : tr("Access token: set (this session only)");
    }
    ui->accessTokenLabel->setText(state);

    QString note = tokenFailures.value(name);
    if (note.isEmpty() && !store->isPersistent()) {
        note = tr("No system keychain is available: the access token is kept for this "
                  "session only.");
    }
    ui->keychainLabel->setText(note);
    ui->keychainLabel->setVisible(!note.isEmpty());
}

void OptionsWidget::cancel()
{
    pendingTokens.clear();
    showTokenState();
}

void OptionsWidget::apply()
{
    DownloadService *service = Plugin::downloadService();

    // The service keeps the tokens in the keychain and looks the repositories up again.
    if (service) {
        for (auto it = pendingTokens.cbegin(); it != pendingTokens.cend(); ++it) {
            if (settings.repositories.contains(it.key()))
                service->setAccessToken(it.key(), it.value());
        }
    }
    pendingTokens.clear();
    showTokenState();

    for (auto it = settings.repositories.begin(); it != settings.repositories.end(); ++it) {
        Settings::RepositoryInfo &info = it.value();
        ExampleListModel::Edits pending = edits.value(it.key());
        qCDebug(Log::main) << "Repository:" << it.key();
        qCDebug(Log::main) << "Examples to install:" << pending.toInstall;
        qCDebug(Log::main) << "Examples to remove:" << pending.toRemove;

        if (pending.toRemove.isEmpty() && pending.toInstall.isEmpty())
            continue;

        const QString repositoryFolder = Settings::repositoryPath(it.key());
        for (const QString &example : std::as_const(pending.toRemove)) {
            // A name that is not one plain folder name would make the deletion reach the
            // repository folder itself or beyond it.
            if (!isSafePathComponent(example)) {
                qCDebug(Log::main) << "Skipping unsafe example folder:" << example;
            } else if (!service) {
                // The service removes it, also after an install under way.
                QDir(repositoryFolder + u'/' + example).removeRecursively();
                rescanExample(it.key(), example);
            }
            info.removedExamples.insert(example);
        }
        for (const QString &example : std::as_const(pending.toInstall))
            info.removedExamples.remove(example);

        if (service) {
            service->remove(it.key(), pending.toRemove);
            service->save(it.key(), pending.toInstall);
        }

        // Carried out: a later Apply, or an edit made after it, starts from nothing pending.
        pending.toRemove.clear();
        pending.toInstall.clear();
        setEdits(it.key(), pending);

        emit Core::HelpManager::Signals::instance()->documentationChanged();
    }

    if (intervalChanged)
        settings.updatesCheckTimeoutDays = quint32(ui->timeoutSpinBox->value());
    settings.saveUserChoices(Core::ICore::settings(), intervalChanged);

    followService(model->repository());
    showRepositoryStatus();
}

} // namespace Brindle::Internal
