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

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagebox.h>

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QListWidgetItem>
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

static const QColor UPDATE_AVAILABLE_COLOR(226, 178, 182);

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

    Plugin::initMenu(ui->examplesListWidget,
                     [](const QString &location) { return QUrl::fromLocalFile(location); });

    connect(
        ui->repositoryComboBox, &QComboBox::currentTextChanged, this, &OptionsWidget::showExamples);
    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, &OptionsWidget::filterExamples);
    connect(ui->addButton, &QPushButton::clicked, this, &OptionsWidget::addExamples);
    connect(ui->removeButton, &QPushButton::clicked, this, &OptionsWidget::removeExamples);
    connect(ui->timeoutSpinBox, &QSpinBox::valueChanged, this, [this] { intervalChanged = true; });
    connect(ui->accessTokenButton, &QPushButton::clicked, this, &OptionsWidget::editAccessToken);
    connect(ui->repositoryComboBox,
            &QComboBox::currentTextChanged,
            this,
            &OptionsWidget::showTokenState);
    if (DownloadService *service = Plugin::downloadService()) {
        connect(service, &DownloadService::updated, this, &OptionsWidget::scanInstalledExamples);
        TokenStore *store = service->tokenStore();
        connect(store, &TokenStore::tokenRead, this, &OptionsWidget::onTokenStoreChanged);
        connect(store, &TokenStore::tokenSaved, this, &OptionsWidget::onTokenStoreChanged);
        connect(store, &TokenStore::persistentChanged, this, &OptionsWidget::showTokenState);
        const auto failed = [this](const QUrl &url, const QString &message) {
            for (auto it = settings.repositories.cbegin(); it != settings.repositories.cend();
                 ++it) {
                if (TokenStore::keyFor(it->url) == TokenStore::keyFor(url))
                    tokenFailures.insert(it.key(), message);
            }
            showTokenState();
        };
        connect(store, &TokenStore::readFailed, this, failed);
        connect(store, &TokenStore::saveFailed, this, failed);
    }

    scanInstalledExamples();
    showExamples(ui->repositoryComboBox->currentText());
    showTokenState();
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

void OptionsWidget::showExamples(const QString &name)
{
    ui->examplesListWidget->clear();

    // Never operator[]: an unknown name must not become an empty record that Apply stores.
    const auto record = settings.repositories.constFind(name);
    if (record == settings.repositories.cend())
        return;

    const QList<QSharedPointer<Example>> examples = serviceExamples(name);
    for (const QFileInfo &manifest : record->manifests) {
        const QDir folder = manifest.absoluteDir();
        const QString folderName = folder.dirName();
        const QDateTime modified = manifest.lastModified();

        auto item = new QListWidgetItem(folderName);
        QString status = tr("Updated");
        const bool updateAvailable
            = std::any_of(examples.cbegin(), examples.cend(), [&](const auto &example) {
                  return example && example->name() == folderName
                         && modified.secsTo(example->lastActivity()) > 0;
              });
        if (updateAvailable) {
            item->setBackground(QBrush(UPDATE_AVAILABLE_COLOR));
            status = tr("Update available");
        }

        const QString path = folder.canonicalPath();
        item->setToolTip(tr(TOOLTIP1).arg(QDir::toNativeSeparators(path).toHtmlEscaped(),
                                          modified.toLocalTime().toString(Qt::TextDate),
                                          status.toHtmlEscaped()));
        item->setData(Qt::UserRole, path);
        ui->examplesListWidget->addItem(item);
    }
}

void OptionsWidget::filterExamples(const QString &text)
{
    QListWidget *list = ui->examplesListWidget;
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem *item = list->item(row);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    }
}

void OptionsWidget::addExamples()
{
    const QString name = ui->repositoryComboBox->currentText();
    if (serviceExamples(name).isEmpty()) {
        Core::AsynchronousMessageBox::warning(
            tr("Examples Not Found"), tr("Check your online connection and try again later!"));
        return;
    }

    ExamplesDialog dialog(serviceExamples(name), this);
    dialog.exec();
    const QSet<QString> selection = dialog.selectedExamples();

    // The dialog's event loop may have changed the page; look the record up only now.
    const auto record = settings.repositories.find(ui->repositoryComboBox->currentText());
    if (record == settings.repositories.end())
        return;

    for (const QString &example : selection) {
        const bool listed
            = !ui->examplesListWidget->findItems(example, Qt::MatchFixedString).isEmpty();
        if (listed)
            continue;
        record->examplesToInstall.insert(example);
        ui->examplesListWidget->addItem(example);
    }
    removeDuplicates(record->examplesToInstall, record->examplesToRemove);
}

// Rows the filter hides may still be selected (select all selects them too); only what the
// user can see is acted on.
QList<QListWidgetItem *> OptionsWidget::visibleSelection() const
{
    QList<QListWidgetItem *> selected = ui->examplesListWidget->selectedItems();
    selected.removeIf([](const QListWidgetItem *item) { return item->isHidden(); });
    return selected;
}

void OptionsWidget::removeExamples()
{
    const QList<QListWidgetItem *> selected = visibleSelection();
    if (selected.isEmpty()) {
        Core::AsynchronousMessageBox::information(
            tr("Examples Not Selected"),
            tr("Select examples to remove, press Remove button, then press Apply button to "
               "apply changes."));
        return;
    }

    const auto record = settings.repositories.find(ui->repositoryComboBox->currentText());
    if (record == settings.repositories.end())
        return;

    for (QListWidgetItem *item : selected) {
        record->examplesToRemove.insert(item->text());
        delete ui->examplesListWidget->takeItem(ui->examplesListWidget->row(item));
    }
    removeDuplicates(record->examplesToInstall, record->examplesToRemove);
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

    const auto pending = pendingTokens.constFind(name);
    const bool hasToken
        = pending != pendingTokens.cend()
              ? !pending->isEmpty()
              : !service->tokenStore()->cachedToken(currentUrl()).value_or(QString()).isEmpty();
    AccessTokenDialog dialog(name, hasToken, this);
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

        // Carried out: a later Apply, or an edit made after it, starts from nothing pending.
        info.examplesToRemove.clear();
        info.examplesToInstall.clear();

        emit Core::HelpManager::Signals::instance()->documentationChanged();
    }

    if (intervalChanged)
        settings.updatesCheckTimeoutDays = quint32(ui->timeoutSpinBox->value());
    settings.saveUserChoices(Core::ICore::settings(), intervalChanged);
}

} // namespace Brindle::Internal
