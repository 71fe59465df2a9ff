// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include <QLineEdit>

QT_BEGIN_NAMESPACE
class QAbstractButton;
class QToolButton;
QT_END_NAMESPACE

namespace Utils {

class QTCREATOR_UTILS_EXPORT FancyLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    enum Side { Left = 0, Right = 1 };

    explicit FancyLineEdit(QWidget *parent = nullptr);
    ~FancyLineEdit() override;

    // Turns the edit into a filter field: placeholder "Filter" and a clear button on the
    // right that is shown only while there is text.
    void setFiltering(bool on);
    bool isFiltering() const { return m_filtering; }

    // Only the right side carries a button; Left gives nullptr.
    QAbstractButton *button(Side side) const;

signals:
    void filterChanged(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateClearButton();
    void placeClearButton();

    QToolButton *m_clearButton = nullptr;
    bool m_filtering = false;
};

} // namespace Utils
