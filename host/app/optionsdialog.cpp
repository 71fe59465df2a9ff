// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "optionsdialog.h"

#include <coreplugin/dialogs/ioptionspage.h>
#include <utils/fancylineedit.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>

namespace Brindle::Host {

namespace {

bool idLess(Utils::Id a, Utils::Id b)
{
    return a.name() < b.name();
}

// One tab: the page's widget is asked for when the tab is first shown, as Qt Creator's
// settings dialog does it.
class PageArea final : public QScrollArea
{
public:
    PageArea(Core::IOptionsPage *page, QWidget *parent)
        : QScrollArea(parent)
        , m_page(page)
    {
        setFrameStyle(QFrame::NoFrame);
        setWidgetResizable(true);
    }

    Core::IOptionsPage *page() const { return m_page; }

protected:
    void showEvent(QShowEvent *event) final
    {
        if (!widget()) {
            if (QWidget *inner = m_page->widget())
                setWidget(inner);
        }
        QScrollArea::showEvent(event);
    }

private:
    Core::IOptionsPage *m_page;
};

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName("OptionsDialog");
    setWindowTitle(tr("Preferences"));

    m_filterLineEdit = new Utils::FancyLineEdit(this);
    m_filterLineEdit->setObjectName("filterLineEdit");
    m_filterLineEdit->setFiltering(true);

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
    m_stack->addWidget(new QWidget(m_stack)); // no category selected, e.g. while filtering

    m_buttonBox = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    connect(m_buttonBox->button(QDialogButtonBox::Apply),
            &QAbstractButton::clicked,
            this,
            &OptionsDialog::apply);

    auto layout = new QGridLayout(this);
    layout->addWidget(m_filterLineEdit, 0, 0);
    layout->addWidget(m_headerLabel, 0, 1);
    layout->addWidget(m_categoryList, 1, 0);
    layout->addWidget(m_stack, 1, 1);
    layout->addWidget(m_buttonBox, 2, 0, 1, 2);
    layout->setColumnStretch(1, 4);

    m_pages = Core::IOptionsPage::allOptionsPages();
    for (Core::IOptionsPage *page : std::as_const(m_pages)) {
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
        m_tabs.append(nullptr);
    }
    if (m_categories.isEmpty()) {
        auto empty = new QLabel(tr("No options pages are registered."), m_stack);
        empty->setAlignment(Qt::AlignCenter);
        m_stack->addWidget(empty);
        m_stack->setCurrentWidget(empty);
    }

    connect(
        m_categoryList, &QListWidget::currentRowChanged, this, &OptionsDialog::onCategoryChanged);
    connect(m_filterLineEdit, &QLineEdit::textChanged, this, &OptionsDialog::filter);
    if (!m_categories.isEmpty())
        m_categoryList->setCurrentRow(0);
    resize(880, 600);
}

OptionsDialog::~OptionsDialog()
{
    // Closed without OK or Cancel (the window's close button ends in reject() as well).
    if (!m_finished)
        finishPages(true);
}

QList<Core::IOptionsPage *> OptionsDialog::pages(Utils::Id category) const
{
    QList<Core::IOptionsPage *> result;
    for (Core::IOptionsPage *page : std::as_const(m_pages)) {
        if (page->category() == category)
            result.append(page);
    }
    std::stable_sort(
        result.begin(), result.end(), [](auto a, auto b) { return idLess(a->id(), b->id()); });
    return result;
}

QTabWidget *OptionsDialog::ensureCategoryWidget(int row)
{
    if (QTabWidget *tabs = m_tabs.at(row))
        return tabs;
    const Utils::Id category = m_categories.at(row);
    auto tabs = new QTabWidget(m_stack);
    tabs->setObjectName(QLatin1String("pages_") + category.toString());
    const QList<Core::IOptionsPage *> categoryPages = pages(category);
    for (Core::IOptionsPage *page : categoryPages)
        tabs->addTab(new PageArea(page, tabs), page->displayName());
    connect(tabs, &QTabWidget::currentChanged, this, [this, row](int index) {
        if (index >= 0 && m_categoryList->currentRow() == row)
            markVisited(row);
    });
    m_stack->addWidget(tabs);
    m_tabs[row] = tabs;
    return tabs;
}

void OptionsDialog::markVisited(int row)
{
    QTabWidget *tabs = m_tabs.at(row);
    if (!tabs || tabs->currentIndex() < 0)
        return;
    auto area = static_cast<PageArea *>(tabs->currentWidget());
    if (!m_visitedPages.contains(area->page()))
        m_visitedPages.append(area->page());
}

void OptionsDialog::onCategoryChanged(int row)
{
    if (row < 0 || row >= m_categories.size()) {
        m_stack->setCurrentIndex(0);
        m_headerLabel->clear();
        return;
    }
    QTabWidget *tabs = ensureCategoryWidget(row);
    markVisited(row);
    m_headerLabel->setText(m_categoryList->item(row)->text());
    m_stack->setCurrentWidget(tabs);
    updateEnabledTabs(row, m_filterLineEdit->text());
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
    if (m_categoryList->isRowHidden(row))
        m_filterLineEdit->clear();
    m_categoryList->setCurrentRow(row);
    return true;
}

bool OptionsDialog::showPage(Utils::Id pageId)
{
    for (int row = 0; row < m_categories.size(); ++row) {
        const QList<Core::IOptionsPage *> categoryPages = pages(m_categories.at(row));
        for (int i = 0; i < categoryPages.size(); ++i) {
            if (categoryPages.at(i)->id() == pageId) {
                showCategory(m_categories.at(row));
                m_tabs.at(row)->setCurrentIndex(i);
                return true;
            }
        }
    }
    return false;
}

QList<Utils::Id> OptionsDialog::visibleCategories() const
{
    QList<Utils::Id> result;
    for (int row = 0; row < m_categories.size(); ++row) {
        if (!m_categoryList->isRowHidden(row))
            result.append(m_categories.at(row));
    }
    return result;
}

void OptionsDialog::setFilterText(const QString &text)
{
    m_filterLineEdit->setText(text);
}

bool OptionsDialog::pageMatches(Core::IOptionsPage *page, const QRegularExpression &regex) const
{
    return page->category().toString().contains(regex) || page->displayName().contains(regex)
           || page->matches(regex);
}

void OptionsDialog::filter(const QString &text)
{
    const QRegularExpression regex(QRegularExpression::escape(text),
                                   QRegularExpression::CaseInsensitiveOption);
    for (int row = 0; row < m_categories.size(); ++row) {
        bool visible = text.isEmpty() || m_categoryList->item(row)->text().contains(regex);
        const QList<Core::IOptionsPage *> categoryPages = pages(m_categories.at(row));
        for (Core::IOptionsPage *page : categoryPages) {
            if (visible)
                break;
            visible = pageMatches(page, regex);
        }
        m_categoryList->setRowHidden(row, !visible);
    }
    const int current = m_categoryList->currentRow();
    if (current >= 0 && !m_categoryList->isRowHidden(current))
        updateEnabledTabs(current, text);
}

void OptionsDialog::updateEnabledTabs(int row, const QString &text)
{
    QTabWidget *tabs = m_tabs.at(row);
    if (!tabs)
        return;
    const QRegularExpression regex(QRegularExpression::escape(text),
                                   QRegularExpression::CaseInsensitiveOption);
    int firstEnabled = -1;
    for (int i = 0; i < tabs->count(); ++i) {
        Core::IOptionsPage *page = static_cast<PageArea *>(tabs->widget(i))->page();
        const bool enabled = text.isEmpty() || pageMatches(page, regex);
        tabs->setTabEnabled(i, enabled);
        if (enabled && firstEnabled < 0)
            firstEnabled = i;
    }
    if (!tabs->isTabEnabled(tabs->currentIndex()) && firstEnabled >= 0)
        tabs->setCurrentIndex(firstEnabled);
}

QList<Core::IOptionsPage *> OptionsDialog::livePages(const QList<Core::IOptionsPage *> &pages) const
{
    // A page may have gone with its plugin while the dialog was open.
    const QList<Core::IOptionsPage *> live = Core::IOptionsPage::allOptionsPages();
    QList<Core::IOptionsPage *> result;
    for (Core::IOptionsPage *page : pages) {
        if (live.contains(page))
            result.append(page);
    }
    return result;
}

void OptionsDialog::apply()
{
    for (Core::IOptionsPage *page : livePages(m_visitedPages))
        page->apply();
}

void OptionsDialog::accept()
{
    if (m_finished)
        return;
    apply();
    finishPages(false);
    QDialog::accept();
}

void OptionsDialog::reject()
{
    if (m_finished)
        return;
    finishPages(true);
    QDialog::reject();
}

void OptionsDialog::finishPages(bool cancel)
{
    m_finished = true;
    for (Core::IOptionsPage *page : livePages(m_pages)) {
        if (cancel)
            page->cancel();
        page->finish();
    }
}

} // namespace Brindle::Host
