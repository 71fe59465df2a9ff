// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace Brindle::Internal {

// Decides after a listing whether a repository's examples are due for an update, and which
// of them to download. A function of plain values: what is stored, what the server lists,
// which folders are on disk and today's date.
class UpdateDecision
{
public:
    struct Listed
    {
        QString name;
        QDateTime lastActivity; // invalid when the server sent none that could be read
        QString title;          // the project's "name", for the log
    };

    struct Input
    {
        quint32 intervalDays = 1; // 0: automatic updates are off
        QDate lastCheck;          // invalid when never checked
        QSet<QString> removed;    // examples the user removed
        QList<Listed> listed;
        QStringList folders; // the folders in the repository's directory
        QDate today;
    };

    bool due = false;
    QSet<QString> toDownload;
    QDate checkedDate; // the date to store as the repository's last check; invalid: none

    static UpdateDecision decide(const Input &input);
    // Whether an example active at 'lastActivity' may have changed since the check of the
    // day 'lastCheck': what was active on that day or later is fetched again.
    static bool mayHaveChanged(const QDateTime &lastActivity, const QDate &lastCheck);
};

} // namespace Brindle::Internal
