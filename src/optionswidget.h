// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "examplelistmodel.h"
#include "exampleresult.h"
#include "installedexamples.h"
#include "settings.h"

#include <coreplugin/dialogs/ioptionspage.h>

#include <QHash>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

QT_BEGIN_NAMESPACE
class QSortFilterProxyModel;
class QUrl;
QT_END_NAMESPACE

namespace Brindle::Internal {

class Ui_OptionsWidget;

// The plugin's options page: installed examples per repository with their update state,
// pending additions and removals, the repositories' access tokens, and the update interval.
// The list is a view of ExampleListModel, made of what is on disk, what the download service
// knows and the page's own edits; edits and new tokens stay in the page until apply().
class OptionsWidget final : public Core::IOptionsPageWidget
{
    Q_OBJECT

public:
    OptionsWidget();
    ~OptionsWidget() override;

    void apply() final;
    void cancel() final;

    // The page's copy of the settings, for inspection.
    const Settings &pageSettings() const { return settings; }
    // The edits of repository 'name' not applied yet.
    ExampleListModel::Edits pendingEdits(const QString &name) const { return edits.value(name); }
    ExampleListModel *exampleModel() const { return model; }

signals:
    // A scan of every repository's installed examples has reached the list.
    void installedExamplesScanned();

public slots:
    // Reads every repository's installed examples again, in a pool thread.
    void scanInstalledExamples();
    void showExamples(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addExamples();
    void removeExamples();
    // Marks the named examples of the shown repository for removal when the page is applied.
    void markForRemoval(const QStringList &names);
    bool confirmLosingChanges(const QStringList &names);
    void updateExamples();
    void updateButtons();
    // The names of the selected rows the user can see, of the states 'test' accepts.
    QStringList selectedNames(bool (*test)(ExampleListModel::State)) const;
    void setEdits(const QString &name, const ExampleListModel::Edits &edits);
    void onScanned(quint64 generation, const QHash<QString, InstalledExamples> &found);
    void rescanExample(const QString &repository, const QString &example);
    void followService(const QString &name);
    void showRepositoryStatus();

    void editAccessToken();
    void showTokenState();
    void onTokenStoreChanged(const QUrl &url);
    QUrl currentUrl() const;

    Ui_OptionsWidget *ui = nullptr;
    Settings settings;
    ExampleListModel *model = nullptr;
    QSortFilterProxyModel *filterModel = nullptr;
    // The spin box cannot show a stored interval above its maximum; such a value is kept
    // unless the user sets a new one.
    bool intervalChanged = false;
    // Tokens entered and not applied yet, by repository name; an empty one removes the token.
    QHash<QString, QString> pendingTokens;
    // The last keychain failure of each repository, by repository name.
    QHash<QString, QString> tokenFailures;
    QSet<QString> readsRequested;

    QHash<QString, ExampleListModel::Edits> edits;
    // What the latest scan found, by repository name.
    QHash<QString, InstalledExamples> installed;
    // Scans started; a result older than the latest one is not used.
    quint64 scanGeneration = 0;
    QThreadPool scanner;
    QTimer buttonsTimer;
    QTimer followTimer;

    // Where the user was in each repository's list: the selected rows, the current row and
    // how far the list was scrolled.
    struct Place
    {
        QSet<QString> selected;
        QString current;
        int scrolled = 0;
    };
    QHash<QString, Place> places;
};

} // namespace Brindle::Internal
