// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "../core_global.h"

#include <utils/filepath.h>
#include <utils/id.h>

#include <QList>
#include <QPointer>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace Core {

class CORE_EXPORT IOptionsPageWidget : public QWidget
{
    Q_OBJECT

public:
    IOptionsPageWidget();
    ~IOptionsPageWidget() override;

    void setOnApply(const std::function<void()> &func);
    void setOnCancel(const std::function<void()> &func);

    // Apply and OK call apply(); the defaults run the hooks set above.
    virtual void apply();
    virtual void cancel();

private:
    std::function<void()> m_onApply;
    std::function<void()> m_onCancel;
};

class CORE_EXPORT IOptionsPage
{
    Q_DISABLE_COPY_MOVE(IOptionsPage)

public:
    using WidgetCreator = std::function<IOptionsPageWidget *()>;

    explicit IOptionsPage(bool registerGlobally = true);
    virtual ~IOptionsPage();

    static const QList<IOptionsPage *> allOptionsPages();

    Utils::Id id() const { return m_id; }
    QString displayName() const { return m_displayName; }
    Utils::Id category() const { return m_category; }

    void setId(Utils::Id id) { m_id = id; }
    void setDisplayName(const QString &displayName) { m_displayName = displayName; }
    void setCategory(Utils::Id category) { m_category = category; }
    void setWidgetCreator(const WidgetCreator &widgetCreator);

    // Creates the widget through the creator on first use and keeps it until finish(), which
    // deletes it.
    virtual QWidget *widget();
    virtual void apply();
    virtual void cancel();
    virtual void finish();

    // What the options dialog's filter searches, as in Qt Creator: the texts of the widget's
    // labels, check boxes, push buttons and group boxes. So typing in the filter creates the
    // widget of every page it asks, shown or not. matches() asks keywords() once per page.
    virtual QStringList keywords() const;
    virtual bool matches(const QRegularExpression &regexp) const;

    static void
    registerCategory(Utils::Id id, const QString &displayName, const Utils::FilePath &iconPath);
    static QString categoryDisplayName(Utils::Id category);
    static Utils::FilePath categoryIconPath(Utils::Id category);

private:
    Utils::Id m_id;
    Utils::Id m_category;
    QString m_displayName;
    WidgetCreator m_widgetCreator;
    QPointer<QWidget> m_widget;
    bool m_registered = false;
    mutable bool m_keywordsInitialized = false;
    mutable QStringList m_keywords;
};

} // namespace Core
