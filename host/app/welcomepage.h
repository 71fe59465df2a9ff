// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "examplesparser.h"

#include <QWidget>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QListView;
class QModelIndex;
class QPushButton;
class QStackedWidget;
QT_END_NAMESPACE

namespace Utils {
class FancyLineEdit;
class QtcSettings;
} // namespace Utils

namespace Brindle::Host {

class ExamplesFilterModel;
class ExamplesModel;

// The Welcome screen's "Examples" page: the example sets of "Help/InstalledExamples", the
// examples of the selected set as tiles, a filter and a details pane. Like Qt Creator 16, it
// reads the example sets once, when the plugins have been initialised (readExampleSets(), the
// IDE's Welcome plugin builds its example set model then), and drops a set whose folder does
// not exist at that moment; nothing makes it read the list again while it runs, not even
// setupFinished(). documentationChanged() makes it read the manifests again.
class WelcomePage final : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomePage(Utils::QtcSettings *settings, QWidget *parent = nullptr);
    ~WelcomePage() override;

    QList<ExampleSet> exampleSets() const { return m_sets; }
    QString currentSetName() const;
    bool setCurrentSet(const QString &displayName);

    QList<ExampleItem> examples() const;        // of the current set
    QList<ExampleItem> visibleExamples() const; // those the filter lets through
    void setFilterText(const QString &text);

    // Every set with its examples, as the page would show them when selected.
    QList<QPair<ExampleSet, QList<ExampleItem>>> allExamples() const;

    void openExample(const ExampleItem &example);

    // Reads the example sets; only the first call does anything.
    void readExampleSets();

public slots:
    void reloadExamples();
    // The same, with the manifests read in a pool thread: a repository of a thousand
    // examples takes longer to read than the event loop may wait.
    void reloadExamplesInBackground();

signals:
    void examplesReloaded();

private:
    void showExamples(const QList<ExampleItem> &items, const QStringList &errors);
    void showDetails(const QModelIndex &index);
    void updateEmptyState();

    Utils::QtcSettings *m_settings = nullptr;
    QList<ExampleSet> m_sets;
    bool m_setsRead = false;
    quint64 m_reloads = 0; // a background reload that a later one overtook is dropped
    ExamplesModel *m_model = nullptr;
    ExamplesFilterModel *m_filterModel = nullptr;
    QComboBox *m_setComboBox = nullptr;
    Utils::FancyLineEdit *m_filterLineEdit = nullptr;
    QStackedWidget *m_stack = nullptr;
    QListView *m_view = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QWidget *m_details = nullptr;
    QLabel *m_detailsImage = nullptr;
    QLabel *m_detailsTitle = nullptr;
    QLabel *m_detailsDescription = nullptr;
    QLabel *m_detailsTags = nullptr;
    QLabel *m_detailsProject = nullptr;
    QPushButton *m_openButton = nullptr;
    QLabel *m_detailsHint = nullptr;
};

} // namespace Brindle::Host
