// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "updatedecision.h"

#include "logging.h"

namespace Brindle::Internal {

UpdateDecision UpdateDecision::decide(const Input &input)
{
    UpdateDecision decision;
    if (input.intervalDays == 0) {
        qCDebug(Log::service) << "Automatic updates disabled";
        return decision;
    }

    const QSet<QString> folders(input.folders.cbegin(), input.folders.cend());
    if (input.lastCheck.isValid() && input.lastCheck.daysTo(input.today) <= input.intervalDays) {
        // Hidden folders are never examples: the installation's own work folders are hidden.
        const qsizetype installed
            = std::count_if(input.folders.cbegin(),
                            input.folders.cend(),
                            [](const QString &folder) { return !folder.startsWith(u'.'); });
        if (installed >= input.listed.size())
            return decision;
    }

    qCDebug(Log::service) << "Updating examples:" << input.listed.size();
    decision.due = true;
    decision.checkedDate = input.today;

    // What was active on the day of the previous check or later may have changed since.
    for (const Listed &example : input.listed) {
        const bool skip = input.removed.contains(example.name)
                          || (!mayHaveChanged(example.lastActivity, input.lastCheck)
                              && folders.contains(example.name));
        if (skip) {
            qCDebug(Log::service) << "Skip example:" << example.title;
            continue;
        }
        decision.toDownload.insert(example.name);
    }
    return decision;
}

bool UpdateDecision::mayHaveChanged(const QDateTime &lastActivity, const QDate &lastCheck)
{
    return !(lastActivity.secsTo(lastCheck.startOfDay()) > 0);
}

} // namespace Brindle::Internal
