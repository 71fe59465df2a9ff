// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <utils/id.h>

#include <QDialog>
#include <QList>

QT_BEGIN_NAMESPACE
class QAbstractButton;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QRegularExpression;
class QStackedWidget;
class QTabWidget;
QT_END_NAMESPACE

namespace Core {
class IOptionsPage;
}

namespace Utils {
class FancyLineEdit;
}

namespace Brindle::Host {

// Edit > Preferences..., as Qt Creator 16 has it: a filter field and the categories of all
// registered pages on the left, the pages of the selected category as tabs.
//  - A category's tabs are made when the category is first shown; a page's widget is created
//    when its tab is first shown, and also when the filter asks the page's keywords().
//  - The page of each tab that was current while shown counts as visited. Apply and OK call
//    apply() of the visited pages only.
//  - OK then calls finish() of every page; Cancel calls cancel() and finish() of every page.
//    finish() deletes a page's widget, whether it was ever shown or not.
class OptionsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit OptionsDialog(QWidget *parent = nullptr);
    ~OptionsDialog() override;

    QList<Utils::Id> categories() const { return m_categories; }
    Utils::Id currentCategory() const;
    bool showCategory(Utils::Id category);
    bool showPage(Utils::Id pageId);
    QList<Core::IOptionsPage *> pages(Utils::Id category) const;
    // The categories the filter lets through.
    QList<Utils::Id> visibleCategories() const;
    void setFilterText(const QString &text);

    void apply();

    void accept() final;
    void reject() final;

private:
    void onCategoryChanged(int row);
    QTabWidget *ensureCategoryWidget(int row);
    void markVisited(int row);
    void filter(const QString &text);
    void updateEnabledTabs(int row, const QString &text);
    bool pageMatches(Core::IOptionsPage *page, const QRegularExpression &regex) const;
    QList<Core::IOptionsPage *> livePages(const QList<Core::IOptionsPage *> &pages) const;
    void finishPages(bool cancel);

    QList<Utils::Id> m_categories;
    QList<Core::IOptionsPage *> m_pages; // every page when the dialog opened
    QList<Core::IOptionsPage *> m_visitedPages;
    bool m_finished = false;
    Utils::FancyLineEdit *m_filterLineEdit = nullptr;
    QListWidget *m_categoryList = nullptr;
    QLabel *m_headerLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QList<QTabWidget *> m_tabs; // per category, null until shown
    QDialogButtonBox *m_buttonBox = nullptr;
};

} // namespace Brindle::Host
