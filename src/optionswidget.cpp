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

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QFont>
#include <QListWidgetItem>
#include <QLocale>
#include <QMessageBox>
#include <QSpinBox>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace Brindle::Internal {

// Paths and addresses are escaped before they go into these rich texts: a folder or URL
// holding markup must show as text.
static const char TOOLTIP1[] = QT_TRANSLATE_NOOP(
    "Brindle::Internal::OptionsWidget",
    "<table><tbody>"
    "<tr><td style=\"width: 40%;\">Location:&nbsp;</td><td style=\"width: 60%;\">%1</td></tr>"
    "<tr><td style=\"width: 40%;\">Updated:&nbsp;</td><td style=\"width: 60%;\">%2</td></tr>"
    "<tr><td style=\"width: 40%;\">Status:&nbsp;</td><td style=\"width: 60%;\">%3</td></tr>"
    "</tbody></table>");

static const char TOOLTIP2[] = QT_TRANSLATE_NOOP(
    "Brindle::Internal::OptionsWidget",
    "<table><tbody>"
    "<tr><td style=\"width: 40%;\">Folder:&nbsp;</td><td style=\"width: 60%;\">%1</td></tr>"
    "<tr><td style=\"width: 40%;\">Link:&nbsp;</td><td style=\"width: 60%;\">%2</td></tr>"
    "</tbody></table>");

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

OptionsWidget::OptionsWidget()
    : ui(new Ui_OptionsWidget)
{
    settings.load(Core::ICore::settings());

    ui->setupUi(this);
    // A reason may be long: wrapped, not elided.
    ui->statusLabel->setElideMode(Qt::ElideNone);
    // "0 day(s)" would read as a count; 0 switches the updates off.
    ui->timeoutSpinBox->setSpecialValueText(tr("Off"));
    ui->timeoutSpinBox->setValue(int(std::min<quint32>(settings.updatesCheckTimeoutDays,
                                                       quint32(ui->timeoutSpinBox->maximum()))));
    ui->filterLineEdit->setFiltering(true);

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
    Plugin::initMenu(ui->examplesListWidget, [](const QString &location) {
        const QUrl url(location, QUrl::StrictMode);
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            return url;
        return QUrl::fromLocalFile(location);
    });

    connect(
        ui->repositoryComboBox, &QComboBox::currentTextChanged, this, &OptionsWidget::showExamples);
    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, &OptionsWidget::filterExamples);
    connect(ui->addButton, &QPushButton::clicked, this, &OptionsWidget::addExamples);
    connect(ui->removeButton, &QPushButton::clicked, this, &OptionsWidget::removeExamples);
    connect(ui->updateButton, &QPushButton::clicked, this, &OptionsWidget::updateExamples);
    connect(ui->examplesListWidget,
            &QListWidget::itemSelectionChanged,
            this,
            &OptionsWidget::updateButtons);
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
        connect(
            service, &DownloadService::exampleFinished, this, &OptionsWidget::onExampleFinished);
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
                if (repository == ui->repositoryComboBox->currentText())
                    showExamples(repository);
            });
        connect(
            service, &DownloadService::repositoryStateChanged, this, [this](const QString &name) {
                // A new listing changes which examples have an update.
                if (name == ui->repositoryComboBox->currentText()) {
                    showExamples(name);
                    showRepositoryStatus();
                }
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

    scanInstalledExamples();
    showTokenState();
    showRepositoryStatus();
}

OptionsWidget::~OptionsWidget()
{
    delete ui;
}

void OptionsWidget::scanInstalledExamples()
{
    bool changed = false;
    for (auto it = settings.repositories.begin(); it != settings.repositories.end(); ++it) {
        const qsizetype previousCount = it->manifests.size();
        it->manifests.clear();
        // Neither hidden folders nor links to folders are entered.
        QDirIterator walk(Settings::repositoryPath(it.key()),
                          {QString::fromLatin1(Constants::MANIFEST_FILE)},
                          QDir::Files | QDir::Readable | QDir::CaseSensitive,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QFileInfo manifest = walk.nextFileInfo();
            if (manifest.fileName() == QLatin1String(Constants::MANIFEST_FILE))
                it->manifests.append(manifest);
        }
        if (it->manifests.size() != previousCount)
            changed = true;
    }

    showExamples(ui->repositoryComboBox->currentText());

    if (changed)
        emit Core::HelpManager::Signals::instance()->documentationChanged();
}

static QString rowText(OptionsWidget::RowState state, const QString &name, const QString &reason)
{
    using State = OptionsWidget::RowState;
    switch (state) {
    case State::Installed:
        break;
    case State::UpdateAvailable:
        return OptionsWidget::tr("%1 (update available)").arg(name);
    case State::WillBeInstalled:
        return OptionsWidget::tr("%1 (will be installed)").arg(name);
    case State::WillBeUpdated:
        return OptionsWidget::tr("%1 (will be updated)").arg(name);
    case State::WillBeRemoved:
        return OptionsWidget::tr("%1 (will be removed)").arg(name);
    case State::Installing:
        return OptionsWidget::tr("%1 (installing...)").arg(name);
    case State::Removing:
        return OptionsWidget::tr("%1 (being removed...)").arg(name);
    case State::Failed:
        return OptionsWidget::tr("%1 (could not be installed: %2)").arg(name, reason);
    case State::RemovalFailed:
        return OptionsWidget::tr("%1 (could not be removed: %2)").arg(name, reason);
    }
    return name;
}

static QString statusText(OptionsWidget::RowState state)
{
    using State = OptionsWidget::RowState;
    switch (state) {
    case State::Installed:
        break;
    case State::UpdateAvailable:
        return OptionsWidget::tr("Update available");
    case State::WillBeInstalled:
        return OptionsWidget::tr("Will be installed when you apply");
    case State::WillBeUpdated:
        return OptionsWidget::tr("Will be updated when you apply");
    case State::WillBeRemoved:
        return OptionsWidget::tr("Will be removed when you apply");
    case State::Installing:
        return OptionsWidget::tr("Being installed");
    case State::Removing:
        return OptionsWidget::tr("Being removed");
    case State::Failed:
        return OptionsWidget::tr("Could not be installed");
    case State::RemovalFailed:
        return OptionsWidget::tr("Could not be removed");
    }
    return OptionsWidget::tr("Updated");
}

static QString nameOf(const QListWidgetItem *item)
{
    return item->data(OptionsWidget::NameRole).toString();
}

static OptionsWidget::RowState stateOf(const QListWidgetItem *item)
{
    return OptionsWidget::RowState(item->data(OptionsWidget::StateRole).toInt());
}

// The list shows what Apply will leave: the installed examples, the pending additions and
// the installs under way, each pending row marked as such. It is rebuilt from these sets
// alone, so whatever rebuilds it (an update, the keychain, a repository switch) keeps the
// user's edits in view, together with the filter, the selection and the current row.
void OptionsWidget::showExamples(const QString &name)
{
    QListWidget *list = ui->examplesListWidget;
    if (!shownRepository.isNull()) {
        Place &place = places[shownRepository];
        place.selected.clear();
        for (const QListWidgetItem *item : list->selectedItems())
            place.selected.insert(nameOf(item));
        place.current = list->currentItem() ? nameOf(list->currentItem()) : QString();
    }
    shownRepository = name;

    {
        const QSignalBlocker blocker(list);
        list->clear();
    }

    // Never operator[]: an unknown name must not become an empty record that Apply stores.
    const auto record = settings.repositories.constFind(name);
    if (record == settings.repositories.cend()) {
        updateButtons();
        return;
    }

    QHash<QString, QSharedPointer<Example>> online;
    for (const QSharedPointer<Example> &example : serviceExamples(name)) {
        if (example && !online.contains(example->name()))
            online.insert(example->name(), example);
    }
    QHash<QString, QFileInfo> installed;
    for (const QFileInfo &manifest : record->manifests)
        installed.insert(manifest.absoluteDir().dirName(), manifest);

    // What the service is doing and how its last rounds ended, not a guess of the page.
    DownloadService *service = Plugin::downloadService();
    const RepositoryState repositoryState
        = service ? service->repositoryState(name) : RepositoryState();
    QSet<QString> failedHere;
    for (const QString &example : repositoryState.failedExamples()) {
        if (!dismissed.value(name).contains(example))
            failedHere.insert(example);
    }
    QSet<QString> names(installed.keyBegin(), installed.keyEnd());
    names.unite(record->examplesToInstall)
        .unite(repositoryState.installing)
        .unite(repositoryState.removing)
        .unite(failedHere);

    const Place place = places.value(name);
    QListWidgetItem *current = nullptr;
    QList<QListWidgetItem *> selected;
    const QSignalBlocker blocker(list);
    for (const QString &example : std::as_const(names)) {
        const auto manifest = installed.constFind(example);
        const bool isInstalled = manifest != installed.cend();
        const QSharedPointer<Example> onlineExample = online.value(example);
        const ExampleResult result = repositoryState.results.value(example);

        RowState state;
        if (isInstalled && record->examplesToRemove.contains(example))
            state = RowState::WillBeRemoved;
        else if (record->examplesToInstall.contains(example))
            state = isInstalled ? RowState::WillBeUpdated : RowState::WillBeInstalled;
        else if (repositoryState.installing.contains(example))
            state = RowState::Installing;
        else if (isInstalled && repositoryState.removing.contains(example))
            state = RowState::Removing;
        else if (failedHere.contains(example)
                 && result.outcome == ExampleResult::Outcome::RemovalFailed)
            state = RowState::RemovalFailed;
        else if (!isInstalled && failedHere.contains(example))
            state = RowState::Failed;
        else if (!isInstalled)
            continue;
        else if (onlineExample
                 && manifest->lastModified().secsTo(onlineExample->lastActivity()) > 0)
            state = RowState::UpdateAvailable;
        else
            state = RowState::Installed;

        QString text = rowText(state, example, result.reason);
        if (isInstalled && repositoryState.changedLocally.contains(example))
            text = tr("%1 (changed locally)").arg(text);
        auto item = new QListWidgetItem(text);
        item->setData(NameRole, example);
        item->setData(StateRole, int(state));
        if (state != RowState::Installed && state != RowState::UpdateAvailable) {
            QFont font = item->font();
            font.setItalic(true);
            font.setStrikeOut(state == RowState::WillBeRemoved || state == RowState::Removing);
            item->setFont(font);
        }

        QString location;
        QDateTime updated;
        if (isInstalled) {
            location = manifest->absoluteDir().canonicalPath();
            updated = manifest->lastModified();
            item->setData(Qt::UserRole, location);
            location = QDir::toNativeSeparators(location);
        } else if (onlineExample) {
            location = onlineExample->url();
            updated = onlineExample->lastActivity();
            item->setData(Qt::UserRole, location);
        }
        item->setToolTip(tr(TOOLTIP1).arg(location.toHtmlEscaped(),
                                          updated.toLocalTime().toString(Qt::TextDate),
                                          statusText(state).toHtmlEscaped()));
        list->addItem(item);
        if (place.selected.contains(example))
            selected.append(item);
        if (place.current == example)
            current = item;
    }

    filterExamples(ui->filterLineEdit->text());
    if (current)
        list->setCurrentItem(current, QItemSelectionModel::NoUpdate);
    for (QListWidgetItem *item : std::as_const(selected))
        item->setSelected(true);
    updateButtons();
}

void OptionsWidget::filterExamples(const QString &text)
{
    QListWidget *list = ui->examplesListWidget;
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem *item = list->item(row);
        // The name, not the mark of a pending row.
        item->setHidden(!nameOf(item).contains(text, Qt::CaseInsensitive));
    }
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
        const auto record = settings.repositories.constFind(repository);
        if (record == settings.repositories.cend())
            return marks;
        for (const QFileInfo &manifest : record->manifests)
            marks.insert(manifest.absoluteDir().dirName(), ExamplesDialog::Mark::Installed);
        for (const QString &example : record->examplesToInstall)
            marks.insert(example, ExamplesDialog::Mark::Pending);
        if (DownloadService *service = Plugin::downloadService()) {
            for (const QString &example : service->repositoryState(repository).installing)
                marks.insert(example, ExamplesDialog::Mark::Pending);
        }
        for (const QString &example : record->examplesToRemove)
            marks.remove(example);
        return marks;
    };

    ExamplesDialog dialog(serviceExamples(name), listed(name), this);
    dialog.exec();
    const QSet<QString> selection = dialog.selectedExamples();

    // The dialog's event loop may have changed the page; look the record up only now.
    const QString repository = ui->repositoryComboBox->currentText();
    const auto record = settings.repositories.find(repository);
    if (record == settings.repositories.end() || selection.isEmpty())
        return;

    QSet<QString> installedNames;
    for (const QFileInfo &manifest : std::as_const(record->manifests))
        installedNames.insert(manifest.absoluteDir().dirName());
    const QHash<QString, ExamplesDialog::Mark> marks = listed(repository);
    for (const QString &example : selection) {
        // Adding back what is about to be removed keeps it as it is.
        if (record->examplesToRemove.remove(example))
            continue;
        if (installedNames.contains(example)) {
            // Chosen although installed: the user wants it fresh from the server.
            record->examplesToInstall.insert(example);
            continue;
        }
        // Another spelling of a listed example would become a second folder of it.
        const bool listedOtherwise
            = std::any_of(marks.keyBegin(), marks.keyEnd(), [&](const QString &other) {
                  return other.compare(example, Qt::CaseInsensitive) == 0;
              });
        if (listedOtherwise)
            continue;
        record->examplesToInstall.insert(example);
    }
    removeDuplicates(record->examplesToInstall, record->examplesToRemove);
    showExamples(repository);
}

// Rows the filter hides may still be selected (select all selects them too); only what the
// user can see is acted on.
QList<QListWidgetItem *> OptionsWidget::visibleSelection() const
{
    QList<QListWidgetItem *> selected = ui->examplesListWidget->selectedItems();
    selected.removeIf([](const QListWidgetItem *item) { return item->isHidden(); });
    return selected;
}

static bool canRemove(OptionsWidget::RowState state)
{
    using State = OptionsWidget::RowState;
    return state == State::Installed || state == State::UpdateAvailable
           || state == State::WillBeInstalled || state == State::WillBeUpdated
           || state == State::Failed;
}

static bool canUpdate(OptionsWidget::RowState state)
{
    using State = OptionsWidget::RowState;
    return state == State::Installed || state == State::UpdateAvailable;
}

void OptionsWidget::updateButtons()
{
    const bool known = settings.repositories.contains(ui->repositoryComboBox->currentText());
    const QList<QListWidgetItem *> selected = visibleSelection();
    const auto any = [&selected](bool (*test)(RowState)) {
        return std::any_of(selected.cbegin(), selected.cend(), [test](const QListWidgetItem *item) {
            return test(stateOf(item));
        });
    };
    ui->addButton->setEnabled(known);
    ui->removeButton->setEnabled(known && any(canRemove));
    ui->updateButton->setEnabled(known && any(canUpdate));
}

// One line of what removing an example loses: its name and the first of its changes.
static QString lossLine(const QString &example, const QStringList &changes)
{
    const qsizetype shown = 8;
    QString list = QStringList(changes.mid(0, shown)).join(QStringLiteral(", "));
    if (changes.size() > shown)
        list = OptionsWidget::tr("%1 and %n more", nullptr, int(changes.size() - shown)).arg(list);
    return printableText(OptionsWidget::tr("%1: %2").arg(example, list));
}

void OptionsWidget::removeExamples()
{
    const QList<QListWidgetItem *> selected = visibleSelection();
    const QString repository = ui->repositoryComboBox->currentText();
    const auto record = settings.repositories.find(repository);
    if (record == settings.repositories.end())
        return;

    // Removing deletes the user's own changes to an installed example for good: asked first,
    // naming them.
    QStringList losses;
    if (DownloadService *service = Plugin::downloadService()) {
        for (const QListWidgetItem *item : selected) {
            const RowState state = stateOf(item);
            if (state != RowState::Installed && state != RowState::UpdateAvailable
                && state != RowState::WillBeUpdated) {
                continue;
            }
            const QStringList changes = service->localChanges(repository, nameOf(item));
            if (!changes.isEmpty())
                losses.append(lossLine(nameOf(item), changes));
        }
    }
    if (!losses.isEmpty()) {
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
        if (box.exec() != QMessageBox::Yes)
            return;
    }

    for (const QListWidgetItem *item : selected) {
        const QString example = nameOf(item);
        switch (stateOf(item)) {
        case RowState::Installed:
        case RowState::UpdateAvailable:
            record->examplesToRemove.insert(example);
            break;
        case RowState::WillBeInstalled:
            record->examplesToInstall.remove(example);
            break;
        case RowState::WillBeUpdated:
            // Removing it is the stronger wish.
            record->examplesToInstall.remove(example);
            record->examplesToRemove.insert(example);
            break;
        case RowState::Failed:
            // Out of sight; the service keeps the failure until the example's next round.
            dismissed[repository].insert(example);
            break;
        default:
            break;
        }
    }
    removeDuplicates(record->examplesToInstall, record->examplesToRemove);
    showExamples(repository);
}

void OptionsWidget::updateExamples()
{
    const QString repository = ui->repositoryComboBox->currentText();
    const auto record = settings.repositories.find(repository);
    if (record == settings.repositories.end())
        return;
    for (const QListWidgetItem *item : visibleSelection()) {
        if (canUpdate(stateOf(item)))
            record->examplesToInstall.insert(nameOf(item));
    }
    showExamples(repository);
}

void OptionsWidget::rescanExample(const QString &repository, const QString &example)
{
    const auto record = settings.repositories.find(repository);
    if (record == settings.repositories.end() || !isSafePathComponent(example))
        return;
    const QString folder = Settings::repositoryPath(repository) + u'/' + example;
    record->manifests.removeIf([&example](const QFileInfo &manifest) {
        return manifest.absoluteDir().dirName() == example;
    });
    const QFileInfo manifest(folder + u'/' + QLatin1String(Constants::MANIFEST_FILE));
    if (manifest.isFile() && manifest.isReadable())
        record->manifests.append(manifest);
}

// Follows what an Apply started, without waiting for updated(), which the service holds
// back while the options dialog is open.
void OptionsWidget::onExampleFinished(const QString &repository,
                                      const QString &example,
                                      const ExampleResult &result)
{
    if (result.isFailure())
        dismissed[repository].remove(example);
    rescanExample(repository, example);
    if (repository == ui->repositoryComboBox->currentText())
        showExamples(repository);
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
        qCDebug(Log::main) << "Repository:" << it.key();
        qCDebug(Log::main) << "Examples to install:" << info.examplesToInstall;
        qCDebug(Log::main) << "Examples to remove:" << info.examplesToRemove;

        if (info.examplesToRemove.isEmpty() && info.examplesToInstall.isEmpty())
            continue;

        const QString repositoryFolder = Settings::repositoryPath(it.key());
        for (const QString &example : std::as_const(info.examplesToRemove)) {
            const QString folder = repositoryFolder + QLatin1Char('/') + example;
            // A name that is not one plain folder name would make the deletion reach the
            // repository folder itself or beyond it.
            if (!isSafePathComponent(example))
                qCDebug(Log::main) << "Skipping unsafe example folder:" << folder;
            else if (!service) // the service removes it after an install under way
                QDir(folder).removeRecursively();
            info.removedExamples.insert(example);

            const QString manifest = QDir::cleanPath(folder + QLatin1Char('/')
                                                     + QLatin1String(Constants::MANIFEST_FILE));
            info.manifests.removeIf([&manifest](const QFileInfo &entry) {
                return QDir::cleanPath(entry.absoluteFilePath()) == manifest;
            });
        }

        for (const QString &example : std::as_const(info.examplesToInstall)) {
            if (!info.removedExamples.isEmpty())
                info.removedExamples.remove(example);
        }

        if (service) {
            service->remove(it.key(), info.examplesToRemove);
            service->save(it.key(), info.examplesToInstall);
        }
        for (const QString &example : std::as_const(info.examplesToRemove))
            rescanExample(it.key(), example);

        // Carried out: a later Apply, or an edit made after it, starts from nothing pending.
        info.examplesToRemove.clear();
        info.examplesToInstall.clear();

        emit Core::HelpManager::Signals::instance()->documentationChanged();
    }

    if (intervalChanged)
        settings.updatesCheckTimeoutDays = quint32(ui->timeoutSpinBox->value());
    settings.saveUserChoices(Core::ICore::settings(), intervalChanged);

    showExamples(ui->repositoryComboBox->currentText());
    showRepositoryStatus();
}

} // namespace Brindle::Internal
