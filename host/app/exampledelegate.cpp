// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "exampledelegate.h"

#include "examplesmodel.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace Brindle::Host {

namespace {

const int MARGIN = 8;
const int IMAGE_HEIGHT = 150;
const int TILE_WIDTH = 244;
const int TILE_HEIGHT = 232;

} // namespace

ExampleDelegate::ExampleDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{}

QSize ExampleDelegate::tileSize()
{
    return {TILE_WIDTH, TILE_HEIGHT};
}

QSize ExampleDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return tileSize();
}

void ExampleDelegate::paint(QPainter *painter,
                            const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    const QPalette &palette = option.palette;
    const QRect tile = option.rect.adjusted(MARGIN / 2, MARGIN / 2, -MARGIN / 2, -MARGIN / 2);
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;

    QPainterPath frame;
    frame.addRoundedRect(QRectF(tile).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter->fillPath(frame, palette.base());
    painter->setPen(QPen(selected || hovered ? palette.highlight().color() : palette.mid().color(),
                         selected ? 2 : 1));
    painter->drawPath(frame);

    const QRect imageRect(tile.left() + MARGIN,
                          tile.top() + MARGIN,
                          tile.width() - 2 * MARGIN,
                          IMAGE_HEIGHT - MARGIN);
    const QPixmap image = index.data(ExamplesModel::ImageRole).value<QPixmap>();
    const QString title = index.data(Qt::DisplayRole).toString();
    if (!image.isNull()) {
        const QPixmap scaled
            = image.size().boundedTo(imageRect.size()) == image.size()
                  ? image
                  : image.scaled(imageRect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QRect target(QPoint(), scaled.size());
        painter->drawPixmap(target.translated(imageRect.center() - target.center()), scaled);
    } else {
        painter->fillRect(imageRect, palette.alternateBase());
        QFont letterFont = option.font;
        letterFont.setPixelSize(56);
        letterFont.setBold(true);
        painter->setFont(letterFont);
        painter->setPen(palette.mid().color());
        painter->drawText(imageRect, Qt::AlignCenter, title.left(1).toUpper());
    }

    QFont titleFont = option.font;
    titleFont.setBold(true);
    painter->setFont(titleFont);
    painter->setPen(palette.text().color());
    const QFontMetrics titleMetrics(titleFont);
    const QRect titleRect(imageRect.left(),
                          imageRect.bottom() + MARGIN,
                          imageRect.width(),
                          titleMetrics.height() * 2);
    painter->drawText(titleRect,
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      titleMetrics.elidedText(title, Qt::ElideRight, titleRect.width() * 2 - 8));

    const QStringList tags = index.data(ExamplesModel::TagsRole).toStringList();
    if (!tags.isEmpty()) {
        QFont tagFont = option.font;
        tagFont.setPointSizeF(tagFont.pointSizeF() * 0.85);
        painter->setFont(tagFont);
        painter->setPen(palette.placeholderText().color());
        const QFontMetrics tagMetrics(tagFont);
        const QRect tagRect(imageRect.left(),
                            tile.bottom() - MARGIN - tagMetrics.height(),
                            imageRect.width(),
                            tagMetrics.height());
        const QString text = tr("Tags: %1").arg(tags.join(QLatin1String(", ")));
        painter->drawText(tagRect,
                          Qt::AlignLeft | Qt::AlignVCenter,
                          tagMetrics.elidedText(text, Qt::ElideRight, tagRect.width()));
    }
    painter->restore();
}

} // namespace Brindle::Host
