// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "accesstokendialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Brindle::Internal {

// GitLab's tokens are one word of printable characters; anything else is a paste gone wrong
// and would only fail at the server.
static bool isUsableToken(const QString &token)
{
    return std::none_of(token.cbegin(), token.cend(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control;
    });
}

AccessTokenDialog::AccessTokenDialog(const QString &repositoryName,
                                     Current current,
                                     QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Access Token"));
    setMinimumWidth(420);

    auto intro = new QLabel(
        tr("GitLab access token for repository \"%1\". It needs the scopes read_api and "
           "read_repository and is kept in the system keychain, never in the settings file.")
            .arg(repositoryName));
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);

    m_tokenEdit = new QLineEdit;
    m_tokenEdit->setObjectName("tokenLineEdit");
    m_tokenEdit->setEchoMode(QLineEdit::Password);
    m_tokenEdit->setAccessibleName(tr("Access token"));
    m_tokenEdit->setPlaceholderText(current != Current::None
                                        ? tr("Enter a new token to replace the current one")
                                        : tr("Access token"));
    // Neither the text nor a guess at it should reach input methods or the clipboard.
    m_tokenEdit->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData
                                     | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);

    auto showToken = new QCheckBox(tr("Show token"));
    showToken->setObjectName("showTokenCheckBox");
    connect(showToken, &QCheckBox::toggled, m_tokenEdit, [this](bool on) {
        m_tokenEdit->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });

    QLabel *unknown = nullptr;
    if (current == Current::Unknown) {
        unknown = new QLabel(tr("The system keychain has not said yet whether the repository "
                                "has a token."));
        unknown->setObjectName("unknownLabel");
        unknown->setWordWrap(true);
    }

    m_problemLabel = new QLabel(tr("An access token cannot contain spaces or control characters."));
    m_problemLabel->setObjectName("problemLabel");
    m_problemLabel->setWordWrap(true);
    m_problemLabel->hide();

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_clearButton = m_buttons->addButton(tr("Clear"), QDialogButtonBox::DestructiveRole);
    m_clearButton->setObjectName("clearButton");
    m_clearButton->setToolTip(tr("Remove the repository's access token when the page is applied"));
    // Not yet known is not none: there may be a token to clear.
    m_clearButton->setEnabled(current != Current::None);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    if (unknown)
        layout->addWidget(unknown);
    layout->addWidget(m_tokenEdit);
    layout->addWidget(showToken);
    layout->addWidget(m_problemLabel);
    layout->addWidget(m_buttons);

    connect(m_tokenEdit, &QLineEdit::textChanged, this, &AccessTokenDialog::validate);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &AccessTokenDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &AccessTokenDialog::reject);
    connect(m_clearButton, &QPushButton::clicked, this, [this] {
        m_tokenEdit->clear();
        m_choice = Choice::Clear;
        QDialog::accept();
    });
    validate();
}

AccessTokenDialog::~AccessTokenDialog() = default;

QString AccessTokenDialog::token() const
{
    return m_choice == Choice::Set ? m_tokenEdit->text().trimmed() : QString();
}

void AccessTokenDialog::accept()
{
    const QString entered = m_tokenEdit->text().trimmed();
    if (entered.isEmpty() || !isUsableToken(entered))
        return;
    m_choice = Choice::Set;
    QDialog::accept();
}

void AccessTokenDialog::validate()
{
    const QString entered = m_tokenEdit->text().trimmed();
    const bool usable = isUsableToken(entered);
    if (m_problemLabel->isVisibleTo(this) == usable) {
        m_problemLabel->setVisible(!usable);
        fitHeight();
    }
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(usable && !entered.isEmpty());
}

void AccessTokenDialog::fitHeight()
{
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > 0 && needed != minimumHeight())
        setMinimumHeight(needed);
}

void AccessTokenDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    fitHeight();
}

} // namespace Brindle::Internal
