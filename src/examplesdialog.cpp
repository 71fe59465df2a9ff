// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesdialog.h"
#include "ui_examplesdialog.h"

#include "example.h"
#include "plugin.h"

#include <QKeyEvent>
#include <QListWidgetItem>
#include <QPushButton>
#include <QUrl>

namespace Brindle::Internal {

// The values come from the server: they are escaped before they go into this rich text.
static const char TOOLTIP[] = QT_TRANSLATE_NOOP(
    "Brindle::Internal::ExamplesDialog",
    "<table><tbody>"
    "<tr><td style=\"width: 40%;\">Name:&nbsp;</td><td style=\"width: 60%;\">%1</td></tr>"
    "<tr><td style=\"width: 40%;\">Description:&nbsp;</td><td style=\"width: 60%;\">%2</td></tr>"
    "<tr><td style=\"width: 40%;\">Updated:&nbsp;</td><td style=\"width: 60%;\">%3</td></tr>"
    "<tr><td style=\"width: 40%;\">Location:&nbsp;</td><td style=\"width: 60%;\">%4</td></tr>"
    "</tbody></table>");

ExamplesDialog::ExamplesDialog(const QList<QSharedPointer<Example>> &examples, QWidget *parent)
    : ExamplesDialog(examples, {}, parent)
{}

ExamplesDialog::ExamplesDialog(const QList<QSharedPointer<Example>> &examples,
                               const QHash<QString, Mark> &marks,
                               QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_ExamplesDialog)
{
    ui->setupUi(this);
    ui->filterLineEdit->setFiltering(true);
    // Return in the filter must not end the dialog with what happens to be selected.
    ui->filterLineEdit->installEventFilter(this);

    // The address comes from the server: only a web page is opened, never a local file or
    // another application's scheme.
    Plugin::initMenu(ui->examplesListWidget, [](const QString &location) {
        const QUrl url(location, QUrl::TolerantMode);
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            return url;
        return QUrl();
    });

    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, &ExamplesDialog::filterExamples);
    connect(ui->examplesListWidget,
            &QListWidget::itemSelectionChanged,
            this,
            &ExamplesDialog::updateOkButton);

    for (const QSharedPointer<Example> &example : examples) {
        if (!example)
            continue;
        QString text = example->name();
        if (!example->displayName().isEmpty() && example->displayName() != example->name())
            text = tr("%1 - %2").arg(example->name(), example->displayName());
        QString note;
        if (const auto mark = marks.constFind(example->name()); mark == marks.cend()) {
        } else if (*mark == Mark::Installed) {
            text = tr("%1 (installed)").arg(text);
            note = tr("Installed: choosing it installs it again.");
        } else {
            text = tr("%1 (will be installed)").arg(text);
        }
        auto item = new QListWidgetItem(text);
        // One multi-argument call, so that a "%2" inside a value is never substituted.
        QString tip = tr(TOOLTIP).arg(example->displayName().toHtmlEscaped(),
                                      example->description().toHtmlEscaped(),
                                      example->lastActivity().toLocalTime().toString(Qt::TextDate),
                                      example->url().toHtmlEscaped());
        if (!note.isEmpty())
            tip += QStringLiteral("<p>%1</p>").arg(note.toHtmlEscaped());
        item->setToolTip(tip);
        item->setData(Qt::UserRole, example->url());
        item->setData(NameRole, example->name());
        item->setData(TitleRole, example->displayName());
        ui->examplesListWidget->addItem(item);
    }
    updateOkButton();
}

ExamplesDialog::~ExamplesDialog()
{
    delete ui;
}

QSet<QString> ExamplesDialog::visibleSelection() const
{
    QSet<QString> names;
    const QList<QListWidgetItem *> items = ui->examplesListWidget->selectedItems();
    for (const QListWidgetItem *item : items) {
        // A row the filter hides can still be selected; only what the user sees is chosen.
        if (!item->isHidden())
            names.insert(item->data(NameRole).toString());
    }
    return names;
}

void ExamplesDialog::updateOkButton()
{
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!visibleSelection().isEmpty());
}

void ExamplesDialog::accept()
{
    m_selectedExamples = visibleSelection();
    QDialog::accept();
}

bool ExamplesDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->filterLineEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
            // On to the rows the filter left, to choose among them.
            QListWidget *list = ui->examplesListWidget;
            for (int row = 0; row < list->count(); ++row) {
                if (!list->item(row)->isHidden()) {
                    if (!list->currentItem() || list->currentItem()->isHidden())
                        list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
                    break;
                }
            }
            list->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ExamplesDialog::filterExamples(const QString &text)
{
    QListWidget *list = ui->examplesListWidget;
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem *item = list->item(row);
        // Name and title, as shown, but not the mark.
        const bool matches
            = item->data(NameRole).toString().contains(text, Qt::CaseInsensitive)
              || item->data(TitleRole).toString().contains(text, Qt::CaseInsensitive);
        item->setHidden(!matches);
    }
    updateOkButton();
}

} // namespace Brindle::Internal
