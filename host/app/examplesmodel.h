// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "examplesparser.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPixmap>
#include <QSortFilterProxyModel>

namespace Brindle::Host {

class ExamplesModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { ExampleRole = Qt::UserRole + 1, TagsRole, ProjectPathRole, ImageRole };

    explicit ExamplesModel(QObject *parent = nullptr);

    void setExamples(const QList<ExampleItem> &examples);
    QList<ExampleItem> examples() const { return m_examples; }
    ExampleItem example(int row) const { return m_examples.value(row); }

    int rowCount(const QModelIndex &parent = {}) const final;
    QVariant data(const QModelIndex &index, int role) const final;

private:
    QPixmap image(const ExampleItem &example) const;

    QList<ExampleItem> m_examples;
    mutable QHash<QString, QPixmap> m_images;
};

// Every word of the filter must occur, case-insensitively, in the title, the description
// or one of the tags.
class ExamplesFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ExamplesFilterModel(QObject *parent = nullptr);

    void setFilterText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const final;

private:
    QStringList m_words;
};

} // namespace Brindle::Host

Q_DECLARE_METATYPE(Brindle::Host::ExampleItem)
