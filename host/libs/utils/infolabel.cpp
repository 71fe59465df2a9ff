// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "infolabel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace Utils {

static const int ICON_SIZE = 16;

static QIcon iconFor(InfoLabel::InfoType type)
{
    QStyle *style = QApplication::style();
    switch (type) {
    case InfoLabel::Information:
        return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case InfoLabel::Warning:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case InfoLabel::Error:
    case InfoLabel::NotOk:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case InfoLabel::Ok:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case InfoLabel::None:
        break;
    }
    return {};
}

static QColor fillColor(InfoLabel::InfoType type, const QPalette &palette)
{
    switch (type) {
    case InfoLabel::Warning:
        return QColor(0xff, 0xc0, 0x00, 0x40);
    case InfoLabel::Error:
    case InfoLabel::NotOk:
        return QColor(0xff, 0x00, 0x00, 0x40);
    case InfoLabel::Ok:
        return QColor(0x00, 0xc0, 0x00, 0x40);
    default:
        return palette.color(QPalette::AlternateBase);
    }
}

InfoLabel::InfoLabel(QWidget *parent)
    : InfoLabel({}, Information, parent)
{}

InfoLabel::InfoLabel(const QString &text, InfoType type, QWidget *parent)
    : ElidingLabel(text, parent)
{
    setType(type);
}

InfoLabel::InfoType InfoLabel::type() const
{
    return m_type;
}

void InfoLabel::setType(InfoType type)
{
    m_type = type;
    // The text starts right of the icon.
    setContentsMargins(type == None ? 0 : ICON_SIZE + 2, 0, 0, 0);
    update();
}

bool InfoLabel::filled() const
{
    return m_filled;
}

void InfoLabel::setFilled(bool filled)
{
    m_filled = filled;
    update();
}

QSize InfoLabel::minimumSizeHint() const
{
    QSize size = ElidingLabel::minimumSizeHint();
    size.setHeight(std::max(size.height(), ICON_SIZE));
    return size;
}

void InfoLabel::paintEvent(QPaintEvent *event)
{
    if (m_filled) {
        QPainter painter(this);
        painter.fillRect(rect(), fillColor(m_type, palette()));
    }
    if (m_type != None) {
        QPainter painter(this);
        const QIcon icon = iconFor(m_type);
        const int top = wordWrap() ? 0 : (height() - ICON_SIZE) / 2;
        icon.paint(&painter, QRect(0, top, ICON_SIZE, ICON_SIZE));
    }
    ElidingLabel::paintEvent(event);
}

} // namespace Utils
