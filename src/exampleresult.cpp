// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "exampleresult.h"

namespace Brindle::Internal {

ExampleResult ExampleResult::installed(bool updated)
{
    ExampleResult result;
    result.outcome = updated ? Outcome::Updated : Outcome::Installed;
    return result;
}

ExampleResult ExampleResult::failed(Failure failure, const QString &reason)
{
    ExampleResult result;
    result.outcome = Outcome::Failed;
    result.failure = failure;
    result.reason = reason;
    return result;
}

ExampleResult ExampleResult::skipped(const QString &reason)
{
    ExampleResult result;
    result.outcome = Outcome::Skipped;
    result.reason = reason;
    return result;
}

ExampleResult ExampleResult::removed()
{
    ExampleResult result;
    result.outcome = Outcome::Removed;
    return result;
}

ExampleResult ExampleResult::removalFailed(const QString &reason)
{
    ExampleResult result;
    result.outcome = Outcome::RemovalFailed;
    result.reason = reason;
    return result;
}

QString ExampleResult::sentence(const QString &exampleName) const
{
    switch (outcome) {
    case Outcome::Installed:
        return tr("%1 was installed.").arg(exampleName);
    case Outcome::Updated:
        return tr("%1 was updated.").arg(exampleName);
    case Outcome::Skipped:
        return reason.isEmpty() ? tr("%1 was skipped.").arg(exampleName)
                                : tr("%1 was skipped: %2.").arg(exampleName, reason);
    case Outcome::Failed:
        return tr("%1 could not be installed: %2.").arg(exampleName, reason);
    case Outcome::Removed:
        return tr("%1 was removed.").arg(exampleName);
    case Outcome::RemovalFailed:
        return tr("%1 could not be removed: %2.").arg(exampleName, reason);
    }
    return {};
}

} // namespace Brindle::Internal
