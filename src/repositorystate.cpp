// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "repositorystate.h"

#include <QLocale>

#include <algorithm>

namespace Brindle::Internal {

namespace {

// The reasons spelled out on the page; the rest are counted.
const int SHOWN_REASONS = 3;

} // namespace

QString asSentence(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return trimmed;
    const QChar last = trimmed.back();
    if (last == u'.' || last == u'!' || last == u'?' || last == u'…')
        return trimmed;
    return trimmed + u'.';
}

QStringList RepositoryState::failedExamples() const
{
    QStringList names;
    for (auto it = results.cbegin(); it != results.cend(); ++it) {
        if (it->isFailure())
            names.append(it.key());
    }
    names.sort();
    return names;
}

bool RepositoryState::isUpToDate() const
{
    return phase == Phase::Idle && problem == Problem::None && !updatesOff && lastChecked.isValid()
           && failedExamples().isEmpty();
}

RepositoryState::Tone RepositoryState::tone() const
{
    if (isBusy() || phase == Phase::Unknown)
        return Tone::Busy;
    switch (problem) {
    case Problem::None:
        break;
    case Problem::TokenNeeded:
        return Tone::Warning;
    case Problem::Failed:
    case Problem::AccessDenied:
        return Tone::Error;
    }
    if (!failedExamples().isEmpty())
        return Tone::Error;
    return isUpToDate() ? Tone::Ok : Tone::Information;
}

QString RepositoryState::summary() const
{
    QString checked;
    const QLocale locale;
    if (lastChecked.isValid())
        checked = locale.toString(lastChecked, QLocale::ShortFormat);
    else if (lastCheckDay.isValid())
        checked = locale.toString(lastCheckDay, QLocale::ShortFormat);
    const QString lastCheck
        = checked.isEmpty() ? QString() : u' ' + tr("Last checked on %1.").arg(checked);

    switch (phase) {
    case Phase::Unknown:
    case Phase::LookingUp:
    case Phase::Listing:
        return tr("Checking the repository for examples...");
    case Phase::Downloading:
        return tr("Downloading and installing examples...");
    case Phase::Idle:
        break;
    }

    switch (problem) {
    case Problem::TokenNeeded:
        return tr("This repository is a private group: it needs an access token.");
    case Problem::AccessDenied:
        return tr("Access denied: check the access token of this repository.");
    case Problem::Failed:
        return tr("Update failed: %1")
                   .arg(asSentence(failure.isEmpty()
                                       ? tr("check your online connection and try again later")
                                       : failure))
               + lastCheck;
    case Problem::None:
        break;
    }

    const QStringList failed = failedExamples();
    if (!failed.isEmpty()) {
        int tried = 0;
        int done = 0;
        for (const ExampleResult &result : results) {
            if (result.outcome == ExampleResult::Outcome::Skipped
                || result.outcome == ExampleResult::Outcome::Removed
                || result.outcome == ExampleResult::Outcome::RemovalFailed) {
                continue;
            }
            ++tried;
            if (result.isInstalled())
                ++done;
        }
        QStringList parts;
        if (tried > 0)
            parts.append(tr("%1 of %2 examples were installed or updated.").arg(done).arg(tried));
        for (qsizetype i = 0; i < failed.size() && i < SHOWN_REASONS; ++i)
            parts.append(results.value(failed.at(i)).sentence(failed.at(i)));
        if (failed.size() > SHOWN_REASONS)
            parts.append(tr("%n more failed.", nullptr, int(failed.size() - SHOWN_REASONS)));
        return parts.join(u' ') + lastCheck;
    }

    if (updatesOff)
        return tr("Automatic updates are off.") + lastCheck;
    if (!lastChecked.isValid())
        return tr("Checking the repository for examples...");
    return tr("Up to date.") + lastCheck;
}

QStringList RepositoryState::failureLines() const
{
    QStringList lines;
    switch (problem) {
    case Problem::None:
        break;
    case Problem::TokenNeeded:
        lines.append(failure.isEmpty()
                         ? tr("the group is private or not found, and no access token is set")
                         : failure);
        break;
    case Problem::AccessDenied:
        lines.append(failure.isEmpty() ? tr("the server refused the access token") : failure);
        break;
    case Problem::Failed:
        lines.append(failure.isEmpty() ? tr("the lookup or listing failed") : failure);
        break;
    }
    for (const QString &name : failedExamples())
        lines.append(QStringLiteral("%1: %2").arg(name, results.value(name).reason));
    return lines;
}

} // namespace Brindle::Internal
