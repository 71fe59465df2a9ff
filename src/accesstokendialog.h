// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
QT_END_NAMESPACE

namespace Brindle::Internal {

// Asks for the GitLab access token of one repository. The entry is masked; the dialog
// stores nothing itself: the options page takes the choice and applies it with its Apply.
class AccessTokenDialog final : public QDialog
{
    Q_OBJECT

public:
    enum class Choice { Keep, Set, Clear };

    // Whether the repository has a token now, or one is waiting for Apply; Unknown while
    // the keychain has not answered yet.
    enum class Current { None, Set, Unknown };

    AccessTokenDialog(const QString &repositoryName, Current current, QWidget *parent);
    ~AccessTokenDialog() override;

    // Keep unless the dialog was accepted with a token (Set) or closed with Clear.
    Choice choice() const { return m_choice; }
    // The token entered, without leading and trailing white space; empty unless Set.
    QString token() const;

public slots:
    void accept() final;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void validate();
    // Wrapped texts need more height at a smaller width: the dialog is kept tall enough for
    // all of them at its width.
    void fitHeight();

    QLineEdit *m_tokenEdit = nullptr;
    QLabel *m_problemLabel = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QPushButton *m_clearButton = nullptr;
    Choice m_choice = Choice::Keep;
};

} // namespace Brindle::Internal
