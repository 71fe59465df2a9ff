// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "exampleresult.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace Brindle::Internal {

// Everything known of one repository's rounds: what it is doing, when it last succeeded,
// why it last failed and how each example of its last rounds ended. Kept by the download
// service; the options page and the host's --sync read it and parse no texts.
struct RepositoryState
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::RepositoryState)

public:
    enum class Phase {
        Unknown,     // no such repository
        Idle,        // nothing under way; see the results and the problem
        LookingUp,   // waiting for its access token, or looking the group up
        Listing,     // listing the group's projects
        Downloading, // downloading or installing examples
    };
    // Why the last lookup or listing failed.
    enum class Problem {
        None,
        Failed,       // the server could not be reached, or answered wrongly; see 'failure'
        TokenNeeded,  // a private group, asked for without an access token
        AccessDenied, // the server refused the access token
    };

    Phase phase = Phase::Unknown;
    Problem problem = Problem::None;
    QString failure; // a phrase without a final full stop
    bool updatesOff = false;
    // The last successful listing of this session, or else the day of the last stored check.
    QDateTime lastChecked;
    QDate lastCheckDay;
    // The latest result of each example of the rounds of this session; a result stays until
    // the example's next one.
    QHash<QString, ExampleResult> results;
    // Examples being downloaded, installed or removed now.
    QSet<QString> installing;
    QSet<QString> removing;
    // Examples whose installed files the user has changed, added to or removed from.
    QSet<QString> changedLocally;

    bool isBusy() const { return phase != Phase::Idle && phase != Phase::Unknown; }
    // Names whose latest result is a failure, sorted.
    QStringList failedExamples() const;
    // The last round did everything it tried, and nothing failed since.
    bool isUpToDate() const;

    enum class Tone { Busy, Ok, Information, Warning, Error };
    Tone tone() const;
    // Whole sentences for the user: what the repository is doing, or how its last round
    // ended, with the first reasons of its failures.
    QString summary() const;
    // One line per failure, "<example>: <reason>", or the repository's own failure.
    QStringList failureLines() const;

    bool operator==(const RepositoryState &other) const = default;
};

// Ends a phrase as a sentence: adds a full stop unless it ends in one already.
QString asSentence(const QString &text);

} // namespace Brindle::Internal
