// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "elidinglabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace Utils {

ElidingLabel::ElidingLabel(QWidget *parent)
    : ElidingLabel({}, parent)
{}

ElidingLabel::ElidingLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    // Never wider than the room it is given: the text is elided instead.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

Qt::TextElideMode ElidingLabel::elideMode() const
{
    return m_elideMode;
}

void ElidingLabel::setElideMode(const Qt::TextElideMode &elideMode)
{
    m_elideMode = elideMode;
    update();
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    const int m = margin();
    QRect contents = contentsRect().adjusted(m, m, -m, -m);
    QFontMetrics fm = fontMetrics();
    QString txt = text();
    if (m_elideMode != Qt::ElideNone && !wordWrap() && txt.length() > 4
        && fm.horizontalAdvance(txt) > contents.width()) {
        setToolTip(txt);
        txt = fm.elidedText(txt, m_elideMode, contents.width());
    } else {
        setToolTip({});
    }
    const int flags = QStyle::visualAlignment(layoutDirection(), alignment())
                      | (wordWrap() ? Qt::TextWordWrap : 0) | Qt::TextSingleLine * !wordWrap();
    QPainter painter(this);
    drawFrame(&painter);
    painter.drawText(contents, flags, txt);
}

} // namespace Utils
