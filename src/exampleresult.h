// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QCoreApplication>
#include <QMetaType>
#include <QString>

namespace Brindle::Internal {

// How one example's part in a round ended: sent by whoever knows it (the REST client for a
// download, the installer for unpacking and removal), never read back from files or texts.
struct ExampleResult
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::ExampleResult)

public:
    enum class Outcome {
        Installed,     // it was not there before
        Updated,       // a copy was there and has been replaced
        Skipped,       // not tried after all: removed meanwhile, or superseded by a later request
        Failed,        // not installed; an installed copy, if any, is unchanged
        Removed,       // its folder is gone
        RemovalFailed, // its folder, or part of it, is still there
    };
    enum class Failure {
        None,
        Download,
        DamagedArchive,
        Unpacking,
        SizeLimit,
        Disk,
        NoProjectFile // unpacked, but without a project file the IDE could open
    };

    Outcome outcome = Outcome::Skipped;
    Failure failure = Failure::None;
    // For the user: why it failed or was skipped, a phrase without a final full stop
    // ("HTTP 500", "the archive is damaged: the gzip stream ends early").
    QString reason;

    static ExampleResult installed(bool updated);
    static ExampleResult failed(Failure failure, const QString &reason);
    static ExampleResult skipped(const QString &reason = {});
    static ExampleResult removed();
    static ExampleResult removalFailed(const QString &reason);

    bool isFailure() const
    {
        return outcome == Outcome::Failed || outcome == Outcome::RemovalFailed;
    }
    bool isInstalled() const
    {
        return outcome == Outcome::Installed || outcome == Outcome::Updated;
    }
    // One sentence for the user: "launcher-icon could not be installed: HTTP 500."
    QString sentence(const QString &exampleName) const;

    bool operator==(const ExampleResult &other) const = default;
};

} // namespace Brindle::Internal

Q_DECLARE_METATYPE(Brindle::Internal::ExampleResult)
