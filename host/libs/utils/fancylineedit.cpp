// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "fancylineedit.h"

#include <QStyle>
#include <QToolButton>

namespace Utils {

FancyLineEdit::FancyLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    m_clearButton = new QToolButton(this);
    m_clearButton->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
    m_clearButton->setToolTip(tr("Clear text"));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setCursor(Qt::ArrowCursor);
    m_clearButton->setFocusPolicy(Qt::NoFocus);
    m_clearButton->hide();

    connect(m_clearButton, &QToolButton::clicked, this, &QLineEdit::clear);
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        updateClearButton();
        if (m_filtering)
            emit filterChanged(text);
    });
}

FancyLineEdit::~FancyLineEdit() = default;

void FancyLineEdit::setFiltering(bool on)
{
    if (on == m_filtering)
        return;
    m_filtering = on;
    setPlaceholderText(on ? tr("Filter") : QString());
    // Keeps typed text from running under the button.
    const int buttonWidth = on ? m_clearButton->sizeHint().width() : 0;
    QMargins margins = textMargins();
    margins.setRight(buttonWidth);
    setTextMargins(margins);
    placeClearButton();
    updateClearButton();
}

QAbstractButton *FancyLineEdit::button(Side side) const
{
    return side == Right ? m_clearButton : nullptr;
}

void FancyLineEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    placeClearButton();
}

void FancyLineEdit::updateClearButton()
{
    m_clearButton->setVisible(m_filtering && !text().isEmpty());
}

void FancyLineEdit::placeClearButton()
{
    const QSize size = m_clearButton->sizeHint();
    const int height = qMin(size.height(), rect().height());
    m_clearButton->setGeometry(
        rect().right() - size.width(), (rect().height() - height) / 2, size.width(), height);
}

} // namespace Utils
