// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "ioptionspage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>

namespace Core {

namespace {

struct Category
{
    QString displayName;
    Utils::FilePath iconPath;
};

QList<IOptionsPage *> &optionsPages()
{
    static QList<IOptionsPage *> pages;
    return pages;
}

QHash<Utils::Id, Category> &categories()
{
    static QHash<Utils::Id, Category> theCategories;
    return theCategories;
}

} // namespace

IOptionsPageWidget::IOptionsPageWidget() = default;

IOptionsPageWidget::~IOptionsPageWidget() = default;

void IOptionsPageWidget::setOnApply(const std::function<void()> &func)
{
    m_onApply = func;
}

void IOptionsPageWidget::setOnCancel(const std::function<void()> &func)
{
    m_onCancel = func;
}

void IOptionsPageWidget::apply()
{
    if (m_onApply)
        m_onApply();
}

void IOptionsPageWidget::cancel()
{
    if (m_onCancel)
        m_onCancel();
}

IOptionsPage::IOptionsPage(bool registerGlobally)
    : m_registered(registerGlobally)
{
    if (registerGlobally)
        optionsPages().append(this);
}

IOptionsPage::~IOptionsPage()
{
    if (m_registered)
        optionsPages().removeOne(this);
    // A widget that no dialog took over would otherwise outlive its page.
    if (m_widget && !m_widget->parent())
        delete m_widget.data();
}

const QList<IOptionsPage *> IOptionsPage::allOptionsPages()
{
    return optionsPages();
}

void IOptionsPage::setWidgetCreator(const WidgetCreator &widgetCreator)
{
    m_widgetCreator = widgetCreator;
}

QWidget *IOptionsPage::widget()
{
    if (!m_widget) {
        if (!m_widgetCreator) {
            qWarning("IOptionsPage %s has no widget creator", m_id.name().constData());
            return nullptr;
        }
        m_widget = m_widgetCreator();
    }
    return m_widget.data();
}

void IOptionsPage::apply()
{
    if (auto pageWidget = qobject_cast<IOptionsPageWidget *>(m_widget.data()))
        pageWidget->apply();
}

void IOptionsPage::cancel()
{
    if (auto pageWidget = qobject_cast<IOptionsPageWidget *>(m_widget.data()))
        pageWidget->cancel();
}

void IOptionsPage::finish()
{
    delete m_widget.data();
    m_widget.clear();
}

QStringList IOptionsPage::keywords() const
{
    QWidget *widget = const_cast<IOptionsPage *>(this)->widget();
    if (!widget)
        return {};
    QStringList result;
    for (const QLabel *label : widget->findChildren<QLabel *>())
        result << label->text();
    for (const QCheckBox *checkBox : widget->findChildren<QCheckBox *>())
        result << checkBox->text();
    for (const QPushButton *pushButton : widget->findChildren<QPushButton *>())
        result << pushButton->text();
    for (const QGroupBox *groupBox : widget->findChildren<QGroupBox *>())
        result << groupBox->title();
    return result;
}

bool IOptionsPage::matches(const QRegularExpression &regexp) const
{
    if (!m_keywordsInitialized) {
        m_keywords.clear();
        for (const QString &keyword : keywords())
            m_keywords << QString(keyword).remove(QLatin1Char('&'));
        m_keywordsInitialized = true;
    }
    for (const QString &keyword : std::as_const(m_keywords)) {
        if (keyword.contains(regexp))
            return true;
    }
    return false;
}

void IOptionsPage::registerCategory(Utils::Id id,
                                    const QString &displayName,
                                    const Utils::FilePath &iconPath)
{
    categories().insert(id, {displayName, iconPath});
}

QString IOptionsPage::categoryDisplayName(Utils::Id category)
{
    return categories().value(category).displayName;
}

Utils::FilePath IOptionsPage::categoryIconPath(Utils::Id category)
{
    return categories().value(category).iconPath;
}

} // namespace Core
