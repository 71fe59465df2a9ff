// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "exampleresult.h"
#include "settings.h"

#include <coreplugin/dialogs/ioptionspage.h>

#include <QHash>
#include <QSet>

QT_BEGIN_NAMESPACE
class QListWidgetItem;
class QUrl;
QT_END_NAMESPACE

namespace Brindle::Internal {

class Ui_OptionsWidget;

// The plugin's options page: installed examples per repository with their update state,
// pending additions and removals, the repositories' access tokens, and the update interval.
// Edits stay in the page's own settings copy, and new tokens in memory, until apply().
class OptionsWidget final : public Core::IOptionsPageWidget
{
    Q_OBJECT

public:
    OptionsWidget();
    ~OptionsWidget() override;

    void apply() final;
    void cancel() final;

    // The page's copy with its pending edits, for inspection.
    const Settings &pageSettings() const { return settings; }

    // What a row of the list stands for; the item's data under StateRole.
    enum class RowState {
        Installed,
        UpdateAvailable,
        WillBeInstalled,
        WillBeUpdated,
        WillBeRemoved,
        Installing,
        Removing,
        Failed,
        RemovalFailed,
    };
    // Item data roles besides the location (Qt::UserRole).
    static constexpr int NameRole = Qt::UserRole + 1;
    static constexpr int StateRole = Qt::UserRole + 2;

public slots:
    void scanInstalledExamples();
    void showExamples(const QString &name);

private:
    void filterExamples(const QString &text);
    void addExamples();
    void removeExamples();
    void updateExamples();
    void updateButtons();
    void showRepositoryStatus();
    void onExampleFinished(const QString &repository,
                           const QString &example,
                           const ExampleResult &result);
    void rescanExample(const QString &repository, const QString &example);

    QList<QListWidgetItem *> visibleSelection() const;
    void editAccessToken();
    void showTokenState();
    void onTokenStoreChanged(const QUrl &url);
    QUrl currentUrl() const;

    Ui_OptionsWidget *ui = nullptr;
    Settings settings;
    // The spin box cannot show a stored interval above its maximum; such a value is kept
    // unless the user sets a new one.
    bool intervalChanged = false;
    // Tokens entered and not applied yet, by repository name; an empty one removes the token.
    QHash<QString, QString> pendingTokens;
    // The last keychain failure of each repository, by repository name.
    QHash<QString, QString> tokenFailures;
    QSet<QString> readsRequested;

    // Where the user was in each repository's list, kept across rebuilds: the selected rows
    // and the current row, by example name.
    struct Place
    {
        QSet<QString> selected;
        QString current;
    };
    QHash<QString, Place> places;
    QString shownRepository;
    // By repository: failed examples the user took out of the list with Remove.
    QHash<QString, QSet<QString>> dismissed;
};

} // namespace Brindle::Internal
