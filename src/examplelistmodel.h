// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "installedexamples.h"
#include "repositorystate.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSharedPointer>
#include <QString>

#include <optional>

namespace Brindle::Internal {

class Example;

// The rows of the options page's list for one repository: its installed examples, the
// examples the page will install or remove when applied, and what the download service is
// doing with them or how their last round ended. Each input is set on its own; a change
// updates, inserts or removes only the rows it concerns.
class ExampleListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum class State {
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
    Q_ENUM(State)
    enum Role {
        // The folder of an installed example, or the web page of one that is not installed.
        LocationRole = Qt::UserRole,
        NameRole,
        StateRole,
        ChangedLocallyRole,
    };
    // The page's edits of one repository, not applied yet.
    struct Edits
    {
        QSet<QString> toInstall;
        QSet<QString> toRemove;
        // Failed examples the user took out of the list.
        QSet<QString> dismissed;

        bool operator==(const Edits &other) const = default;
    };

    explicit ExampleListModel(QObject *parent = nullptr);

    // Shows another repository; the list starts over.
    void setRepository(const QString &name,
                       const InstalledExamples &installed,
                       const RepositoryState &state,
                       const QList<QSharedPointer<Example>> &online,
                       const Edits &edits);
    QString repository() const { return m_repository; }
    void setInstalled(const InstalledExamples &installed);
    void setInstalledExample(const QString &name, const std::optional<InstalledExample> &example);
    void setState(const RepositoryState &state);
    void setOnline(const QList<QSharedPointer<Example>> &online);
    void setEdits(const Edits &edits);
    const InstalledExamples &installed() const { return m_installed; }

    int rowCount(const QModelIndex &parent = {}) const final;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const final;
    QHash<int, QByteArray> roleNames() const final;

    // The row of example 'name', or -1.
    int rowOf(const QString &name) const { return m_rowOf.value(name, -1); }

    static bool canRemove(State state);
    static bool canUpdate(State state);

private:
    struct Online
    {
        QString url;
        QDateTime lastActivity;
    };
    struct Row
    {
        QString name;
        State state = State::Installed;
        QString reason;
        bool changedLocally = false;

        bool operator==(const Row &other) const = default;
    };

    std::optional<Row> rowFor(const QString &name) const;
    // Brings the rows in line with the inputs, touching only those that differ.
    void refresh();
    QString text(const Row &row) const;
    QString stateText(const Row &row) const;
    QString toolTip(const Row &row) const;
    QString location(const Row &row) const;
    // The folder or its manifest's time changed: the tool tip and location of its row.
    void emitFolderChanged(const QString &name);

    QString m_repository;
    InstalledExamples m_installed;
    RepositoryState m_state;
    QSet<QString> m_failed;
    QList<QSharedPointer<Example>> m_onlineList;
    QHash<QString, Online> m_online;
    Edits m_edits;
    QList<Row> m_rows;
    QHash<QString, int> m_rowOf;
};

} // namespace Brindle::Internal
