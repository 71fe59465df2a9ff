// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesdialog.h"
#include "ui_examplesdialog.h"

#include "example.h"
#include "plugin.h"

#include <QListWidgetItem>
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
    : QDialog(parent)
    , ui(new Ui_ExamplesDialog)
{
    ui->setupUi(this);
    ui->filterLineEdit->setFiltering(true);

    Plugin::initMenu(ui->examplesListWidget, [](const QString &location) {
        return QUrl(location, QUrl::TolerantMode);
    });

    connect(ui->filterLineEdit, &QLineEdit::textChanged, this, &ExamplesDialog::filterExamples);

    for (const QSharedPointer<Example> &example : examples) {
        if (!example)
            continue;
        auto item = new QListWidgetItem(example->name());
        // One multi-argument call, so that a "%2" inside a value is never substituted.
        item->setToolTip(
            tr(TOOLTIP).arg(example->displayName().toHtmlEscaped(),
                            example->description().toHtmlEscaped(),
                            example->lastActivity().toLocalTime().toString(Qt::TextDate),
                            example->url().toHtmlEscaped()));
        item->setData(Qt::UserRole, example->url());
        ui->examplesListWidget->addItem(item);
    }
}

ExamplesDialog::~ExamplesDialog()
{
    delete ui;
}

void ExamplesDialog::accept()
{
    m_selectedExamples.clear();
    const QList<QListWidgetItem *> items = ui->examplesListWidget->selectedItems();
    for (const QListWidgetItem *item : items) {
        // A row the filter hides can still be selected; only what the user sees is chosen.
        if (!item->isHidden())
            m_selectedExamples.insert(item->text());
    }
    QDialog::accept();
}

void ExamplesDialog::filterExamples(const QString &text)
{
    QListWidget *list = ui->examplesListWidget;
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem *item = list->item(row);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    }
}

} // namespace Brindle::Internal
