// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "optionsdialog.h"

#include <coreplugin/dialogs/ioptionspage.h>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace Brindle::Host {

namespace {

const char PAGE_PROPERTY[] = "brindleOptionsPage";

bool idLess(Utils::Id a, Utils::Id b)
{
    return a.name() < b.name();
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName("OptionsDialog");
    setWindowTitle(tr("Options"));

    m_categoryList = new QListWidget(this);
    m_categoryList->setObjectName("categoryList");
    m_categoryList->setIconSize(QSize(24, 24));
    m_categoryList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_categoryList->setMaximumWidth(200);

    m_headerLabel = new QLabel(this);
    QFont headerFont = m_headerLabel->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.2);
    m_headerLabel->setFont(headerFont);

    m_stack = new QStackedWidget(this);

    m_buttonBox = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    connect(m_buttonBox->button(QDialogButtonBox::Apply),
            &QAbstractButton::clicked,
            this,
            &OptionsDialog::apply);

    auto right = new QVBoxLayout;
    right->addWidget(m_headerLabel);
    right->addWidget(m_stack, 1);

    auto body = new QHBoxLayout;
    body->addWidget(m_categoryList);
    body->addLayout(right, 1);

    auto layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(m_buttonBox);

    buildCategories();
    connect(
        m_categoryList, &QListWidget::currentRowChanged, this, &OptionsDialog::onCategoryChanged);
    if (!m_categories.isEmpty())
        m_categoryList->setCurrentRow(0);
    resize(880, 600);
}

OptionsDialog::~OptionsDialog()
{
    finishPages();
}

void OptionsDialog::buildCategories()
{
    const QList<Core::IOptionsPage *> all = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : all) {
        if (!m_categories.contains(page->category()))
            m_categories.append(page->category());
    }
    // The IDE orders categories by id; that is why the ids carry a sort prefix ("H.Help").
    std::sort(m_categories.begin(), m_categories.end(), idLess);

    for (const Utils::Id category : std::as_const(m_categories)) {
        QString name = Core::IOptionsPage::categoryDisplayName(category);
        if (name.isEmpty())
            name = category.toString();
        auto item = new QListWidgetItem(name, m_categoryList);
        const QString icon = Core::IOptionsPage::categoryIconPath(category).toFSPathString();
        if (!icon.isEmpty())
            item->setIcon(QIcon(icon));

        auto tabs = new QTabWidget(m_stack);
        tabs->setObjectName(QLatin1String("pages_") + category.toString());
        const QList<Core::IOptionsPage *> categoryPages = pages(category);
        for (Core::IOptionsPage *page : categoryPages) {
            auto holder = new QWidget(tabs);
            holder->setProperty(PAGE_PROPERTY, page->id().toString());
            auto holderLayout = new QVBoxLayout(holder);
            holderLayout->setContentsMargins(0, 0, 0, 0);
            tabs->addTab(holder, page->displayName());
        }
        m_stack->addWidget(tabs);
        m_tabs.append(tabs);
    }

    if (m_categories.isEmpty()) {
        auto empty = new QLabel(tr("No options pages are registered."), m_stack);
        empty->setAlignment(Qt::AlignCenter);
        m_stack->addWidget(empty);
    }
}

QList<Core::IOptionsPage *> OptionsDialog::pages(Utils::Id category) const
{
    QList<Core::IOptionsPage *> result;
    const QList<Core::IOptionsPage *> all = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : all) {
        if (page->category() == category)
            result.append(page);
    }
    std::stable_sort(
        result.begin(), result.end(), [](auto a, auto b) { return idLess(a->id(), b->id()); });
    return result;
}

void OptionsDialog::onCategoryChanged(int row)
{
    if (row < 0 || row >= m_categories.size())
        return;
    const Utils::Id category = m_categories.at(row);
    m_headerLabel->setText(m_categoryList->item(row)->text());
    QTabWidget *tabs = m_tabs.at(row);
    const QList<Core::IOptionsPage *> categoryPages = pages(category);
    for (int i = 0; i < tabs->count() && i < categoryPages.size(); ++i) {
        Core::IOptionsPage *page = categoryPages.at(i);
        QWidget *holder = tabs->widget(i);
        if (m_visitedPages.contains(page)
            || holder->property(PAGE_PROPERTY).toString() != page->id().toString()) {
            continue;
        }
        if (QWidget *widget = page->widget()) {
            holder->layout()->addWidget(widget);
            m_visitedPages.append(page);
        }
    }
    m_stack->setCurrentWidget(tabs);
}

Utils::Id OptionsDialog::currentCategory() const
{
    const int row = m_categoryList->currentRow();
    return row >= 0 && row < m_categories.size() ? m_categories.at(row) : Utils::Id();
}

bool OptionsDialog::showCategory(Utils::Id category)
{
    const int row = int(m_categories.indexOf(category));
    if (row < 0)
        return false;
    m_categoryList->setCurrentRow(row);
    return true;
}

bool OptionsDialog::showPage(Utils::Id pageId)
{
    for (int row = 0; row < m_categories.size(); ++row) {
        const QList<Core::IOptionsPage *> categoryPages = pages(m_categories.at(row));
        for (int i = 0; i < categoryPages.size(); ++i) {
            if (categoryPages.at(i)->id() == pageId) {
                m_categoryList->setCurrentRow(row);
                m_tabs.at(row)->setCurrentIndex(i);
                return true;
            }
        }
    }
    return false;
}

void OptionsDialog::apply()
{
    const QList<Core::IOptionsPage *> live = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : std::as_const(m_visitedPages)) {
        if (live.contains(page))
            page->apply();
    }
}

void OptionsDialog::accept()
{
    apply();
    finishPages();
    QDialog::accept();
}

void OptionsDialog::reject()
{
    const QList<Core::IOptionsPage *> live = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : std::as_const(m_visitedPages)) {
        if (live.contains(page))
            page->cancel();
    }
    finishPages();
    QDialog::reject();
}

void OptionsDialog::finishPages()
{
    // A page may have gone with its plugin while the dialog was open.
    const QList<Core::IOptionsPage *> live = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : std::as_const(m_visitedPages)) {
        if (live.contains(page))
            page->finish();
    }
    m_visitedPages.clear();
}

} // namespace Brindle::Host
