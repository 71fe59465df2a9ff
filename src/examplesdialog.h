// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSharedPointer>
#include <QString>

namespace Brindle::Internal {

class Example;
class Ui_ExamplesDialog;

// Lets the user pick examples of one repository to install. The list is the one given at
// construction; the dialog installs nothing itself.
class ExamplesDialog final : public QDialog
{
    Q_OBJECT

public:
    // How an example is already known to the page: installed, or waiting to be installed.
    enum class Mark { Installed, Pending };
    static constexpr int NameRole = Qt::UserRole + 1;
    static constexpr int TitleRole = Qt::UserRole + 2;

    ExamplesDialog(const QList<QSharedPointer<Example>> &examples, QWidget *parent);
    ExamplesDialog(const QList<QSharedPointer<Example>> &examples,
                   const QHash<QString, Mark> &marks,
                   QWidget *parent);
    ~ExamplesDialog() override;

    // Names of the chosen examples; empty unless the dialog was accepted.
    QSet<QString> selectedExamples() const { return m_selectedExamples; }

public slots:
    void accept() final;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void filterExamples(const QString &text);
    QSet<QString> visibleSelection() const;
    // OK chooses the visible selection: there must be one.
    void updateOkButton();

    Ui_ExamplesDialog *ui = nullptr;
    QSet<QString> m_selectedExamples;
};

} // namespace Brindle::Internal
