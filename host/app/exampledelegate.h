// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QStyledItemDelegate>

namespace Brindle::Host {

// Paints an example as a tile: image (or a placeholder), title and tags.
class ExampleDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ExampleDelegate(QObject *parent = nullptr);

    static QSize tileSize();

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const final;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const final;
};

} // namespace Brindle::Host
