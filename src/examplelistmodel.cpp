// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplelistmodel.h"

#include "example.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>

namespace Brindle::Internal {

// The rows are the options page's: their texts keep the page's translation context.

// Paths and addresses are escaped before they go into this rich text: a folder or URL
// holding markup must show as text.
static const char TOOLTIP1[] = QT_TRANSLATE_NOOP(
    "Brindle::Internal::OptionsWidget",
    "<table><tbody>"
    "<tr><td style=\"width: 40%;\">Location:&nbsp;</td><td style=\"width: 60%;\">%1</td></tr>"
    "<tr><td style=\"width: 40%;\">Updated:&nbsp;</td><td style=\"width: 60%;\">%2</td></tr>"
    "<tr><td style=\"width: 40%;\">Status:&nbsp;</td><td style=\"width: 60%;\">%3</td></tr>"
    "</tbody></table>");

using State = ExampleListModel::State;

ExampleListModel::ExampleListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

void ExampleListModel::setRepository(const QString &name,
                                     const InstalledExamples &installed,
                                     const RepositoryState &state,
                                     const QList<QSharedPointer<Example>> &online,
                                     const Edits &edits)
{
    beginResetModel();
    m_repository = name;
    m_installed = installed;
    m_rows.clear();
    m_rowOf.clear();
    m_onlineList.clear();
    m_online.clear();
    endResetModel();
    m_edits = edits;
    setOnline(online);
    setState(state);
}

void ExampleListModel::setInstalled(const InstalledExamples &installed)
{
    if (installed == m_installed)
        return;
    QSet<QString> moved;
    for (auto it = installed.cbegin(); it != installed.cend(); ++it) {
        const auto known = m_installed.constFind(it.key());
        if (known != m_installed.cend() && *known != *it)
            moved.insert(it.key());
    }
    m_installed = installed;
    refresh();
    for (const QString &name : std::as_const(moved))
        emitFolderChanged(name);
}

void ExampleListModel::emitFolderChanged(const QString &name)
{
    const int row = rowOf(name);
    if (row >= 0)
        emit dataChanged(index(row), index(row), {Qt::ToolTipRole, LocationRole});
}

void ExampleListModel::setInstalledExample(const QString &name,
                                           const std::optional<InstalledExample> &example)
{
    const auto it = m_installed.constFind(name);
    if (example) {
        if (it != m_installed.cend() && *it == *example)
            return;
        m_installed.insert(name, *example);
    } else {
        if (it == m_installed.cend())
            return;
        m_installed.remove(name);
    }
    refresh();
    emitFolderChanged(name);
}

void ExampleListModel::setState(const RepositoryState &state)
{
    m_state = state;
    const QStringList failed = state.failedExamples();
    m_failed = QSet<QString>(failed.cbegin(), failed.cend());
    refresh();
}

void ExampleListModel::setOnline(const QList<QSharedPointer<Example>> &online)
{
    // The same listing comes with every change of the service's state; its dates are read
    // once.
    if (online == m_onlineList)
        return;
    m_onlineList = online;
    m_online.clear();
    for (const QSharedPointer<Example> &example : online) {
        if (example && !m_online.contains(example->name()))
            m_online.insert(example->name(), {example->url(), example->lastActivity()});
    }
    // Only the tool tips and the locations of rows not installed depend on it.
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {Qt::ToolTipRole, LocationRole});
}

void ExampleListModel::setEdits(const Edits &edits)
{
    if (edits == m_edits)
        return;
    m_edits = edits;
    refresh();
}

std::optional<ExampleListModel::Row> ExampleListModel::rowFor(const QString &name) const
{
    const ExampleResult result = m_state.results.value(name);
    // Installed in this session: on disk, even before its folder has been read.
    const bool installed = m_installed.contains(name) || result.isInstalled();
    const bool installing = m_state.installing.contains(name);
    const bool failed = m_failed.contains(name) && !m_edits.dismissed.contains(name);

    Row row;
    row.name = name;
    if (m_edits.toRemove.contains(name) && (installed || installing))
        row.state = State::WillBeRemoved;
    else if (m_edits.toInstall.contains(name))
        row.state = installed ? State::WillBeUpdated : State::WillBeInstalled;
    else if (installing)
        row.state = State::Installing;
    else if (installed && m_state.removing.contains(name))
        row.state = State::Removing;
    else if (failed && result.outcome == ExampleResult::Outcome::RemovalFailed)
        row.state = State::RemovalFailed;
    else if (!installed && failed)
        row.state = State::Failed;
    else if (!installed)
        return std::nullopt;
    else if (m_state.updatable.contains(name))
        row.state = State::UpdateAvailable;
    else
        row.state = State::Installed;

    if (row.state == State::Failed || row.state == State::RemovalFailed)
        row.reason = result.reason;
    row.changedLocally = installed && m_state.changedLocally.contains(name);
    return row;
}

void ExampleListModel::refresh()
{
    bool removed = false;
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        const std::optional<Row> row = rowFor(m_rows.at(i).name);
        if (!row) {
            beginRemoveRows({}, i, i);
            m_rows.removeAt(i);
            endRemoveRows();
            removed = true;
        } else if (*row != m_rows.at(i)) {
            m_rows[i] = *row;
            emit dataChanged(index(i), index(i));
        }
    }
    if (removed) {
        m_rowOf.clear();
        for (int i = 0; i < m_rows.size(); ++i)
            m_rowOf.insert(m_rows.at(i).name, i);
    }

    QSet<QString> candidates(m_installed.keyBegin(), m_installed.keyEnd());
    candidates.unite(m_edits.toInstall).unite(m_state.installing).unite(m_state.removing);
    candidates.unite(m_failed);
    QList<Row> added;
    for (const QString &name : std::as_const(candidates)) {
        if (m_rowOf.contains(name))
            continue;
        if (std::optional<Row> row = rowFor(name))
            added.append(*row);
    }
    if (added.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(added.size()) - 1);
    for (const Row &row : std::as_const(added)) {
        m_rowOf.insert(row.name, int(m_rows.size()));
        m_rows.append(row);
    }
    endInsertRows();
}

int ExampleListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString ExampleListModel::text(const Row &row) const
{
    const QString base = stateText(row);
    // The user's own changes, whatever else the row says.
    if (!row.changedLocally)
        return base;
    return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "%1 (changed locally)")
        .arg(base);
}

QString ExampleListModel::stateText(const Row &row) const
{
    const QString &name = row.name;
    switch (row.state) {
    case State::Installed:
        break;
    case State::UpdateAvailable:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (update available)")
            .arg(name);
    case State::WillBeInstalled:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (will be installed)")
            .arg(name);
    case State::WillBeUpdated:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (will be updated)")
            .arg(name);
    case State::WillBeRemoved:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (will be removed)")
            .arg(name);
    case State::Installing:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "%1 (installing...)")
            .arg(name);
    case State::Removing:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (being removed...)")
            .arg(name);
    case State::Failed:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (could not be installed: %2)")
            .arg(name, row.reason);
    case State::RemovalFailed:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "%1 (could not be removed: %2)")
            .arg(name, row.reason);
    }
    return name;
}

static QString statusText(State state)
{
    switch (state) {
    case State::Installed:
        break;
    case State::UpdateAvailable:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "Update available");
    case State::WillBeInstalled:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "Will be installed when you apply");
    case State::WillBeUpdated:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "Will be updated when you apply");
    case State::WillBeRemoved:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "Will be removed when you apply");
    case State::Installing:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "Being installed");
    case State::Removing:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "Being removed");
    case State::Failed:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "Could not be installed");
    case State::RemovalFailed:
        return QCoreApplication::translate("Brindle::Internal::OptionsWidget",
                                           "Could not be removed");
    }
    return QCoreApplication::translate("Brindle::Internal::OptionsWidget", "Updated");
}

QString ExampleListModel::location(const Row &row) const
{
    if (const auto installed = m_installed.constFind(row.name); installed != m_installed.cend())
        return installed->folder;
    return m_online.value(row.name).url;
}

QString ExampleListModel::toolTip(const Row &row) const
{
    QString where;
    QDateTime updated;
    if (const auto installed = m_installed.constFind(row.name); installed != m_installed.cend()) {
        where = QDir::toNativeSeparators(installed->folder);
        updated = installed->modified;
    } else if (const auto online = m_online.constFind(row.name); online != m_online.cend()) {
        where = online->url;
        updated = online->lastActivity;
    }
    // One multi-argument call, so that a "%2" inside a value is never substituted.
    return QCoreApplication::translate("Brindle::Internal::OptionsWidget", TOOLTIP1)
        .arg(where.toHtmlEscaped(),
             updated.toLocalTime().toString(Qt::TextDate),
             statusText(row.state).toHtmlEscaped());
}

QVariant ExampleListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(row);
    case Qt::ToolTipRole:
        return toolTip(row);
    case Qt::FontRole: {
        if (row.state == State::Installed || row.state == State::UpdateAvailable)
            return {};
        QFont font;
        font.setItalic(true);
        font.setStrikeOut(row.state == State::WillBeRemoved || row.state == State::Removing);
        return font;
    }
    case LocationRole:
        return location(row);
    case NameRole:
        return row.name;
    case StateRole:
        return QVariant::fromValue(row.state);
    case ChangedLocallyRole:
        return row.changedLocally;
    default:
        return {};
    }
}

QHash<int, QByteArray> ExampleListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(LocationRole, "location");
    names.insert(NameRole, "name");
    names.insert(StateRole, "state");
    names.insert(ChangedLocallyRole, "changedLocally");
    return names;
}

bool ExampleListModel::canRemove(State state)
{
    // One still installing can be withdrawn: its download or extraction stops.
    return state == State::Installed || state == State::UpdateAvailable
           || state == State::WillBeInstalled || state == State::WillBeUpdated
           || state == State::Installing || state == State::Failed;
}

bool ExampleListModel::canUpdate(State state)
{
    // One stuck installing is asked for again.
    return state == State::Installed || state == State::UpdateAvailable
           || state == State::Installing;
}

} // namespace Brindle::Internal
