// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "optionswidget.h"
#include "ui_optionswidget.h"

#include "constants.h"
#include "downloadservice.h"
#include "example.h"
#include "examplesdialog.h"
#include "logging.h"
#include "plugin.h"

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
        ui->repositoryComboBox->setItemData(ui->repositoryComboBox->count() - 1,
                                            tr(TOOLTIP2).arg(folder.toHtmlEscaped(),
                                                             info.url.toString(QUrl::RemoveUserInfo).toHtmlEscaped()),
                                            Qt::ToolTipRole);
    }

    Plugin::initMenu(ui->examplesListWidget, [](const QString &location) {
        return QUrl::fromLocalFile(location);
    });

    connect(ui->repositoryComboBox, &QComboBox::currentTextChanged,
            this, &OptionsWidget::showExamples);
    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, &OptionsWidget::filterExamples);
    connect(ui->addButton, &QPushButton::clicked, this, &OptionsWidget::addExamples);
    connect(ui->removeButton, &QPushButton::clicked, this, &OptionsWidget::removeExamples);
    connect(ui->timeoutSpinBox, &QSpinBox::valueChanged, this, [this] { intervalChanged = true; });
    if (DownloadService *service = Plugin::downloadService())
        connect(service, &DownloadService::updated, this, &OptionsWidget::scanInstalledExamples);

    scanInstalledExamples();
    showExamples(ui->repositoryComboBox->currentText());
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
        const bool listed = !ui->examplesListWidget->findItems(example, Qt::MatchFixedString)
                                 .isEmpty();
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

void OptionsWidget::apply()
{
    DownloadService *service = Plugin::downloadService();

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

            const QString manifest = QDir::cleanPath(
                folder + QLatin1Char('/') + QLatin1String(Constants::MANIFEST_FILE));
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
