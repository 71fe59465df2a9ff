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
class QStackedWidget;
class QTabWidget;
QT_END_NAMESPACE

namespace Core {
class IOptionsPage;
}

namespace Brindle::Host {

// Tools > Options: the categories of all registered pages on the left, the pages of the
// selected category as tabs. A page's widget is created when its category is first shown;
// OK and Apply call apply() of every widget created so far, Cancel calls cancel(), and
// closing the dialog lets every page release its widget.
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

    void apply();

    void accept() final;
    void reject() final;

private:
    void buildCategories();
    void onCategoryChanged(int row);
    void finishPages();

    QList<Utils::Id> m_categories;
    QList<Core::IOptionsPage *> m_visitedPages;
    QListWidget *m_categoryList = nullptr;
    QLabel *m_headerLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QList<QTabWidget *> m_tabs;
    QDialogButtonBox *m_buttonBox = nullptr;
};

} // namespace Brindle::Host
