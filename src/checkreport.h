// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "manifestwriter.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace Brindle::Internal {

// One thing the maintainers' check found: an error keeps the example from being installed, a
// warning means it installs but looks wrong on the Welcome screen.
struct CheckFinding
{
    enum class Kind {
        // errors
        UnsafeName,
        DamagedArchive,
        DownloadFailed,
        SizeLimit,
        PathTooLong,
        UnsafeArchive,
        NoProjectFile,
        NotInstalled,
        NotFinished,
        // warnings
        NoDescription,
        NoImage,
        NamesDifferInCase,
        HugeAvatar,
        LargeArchive,
        LargeUnpacked,
        LookAlikeGroups,
        NoProjects,
    };
    enum class Severity { Warning, Error };

    Kind kind = Kind::NotInstalled;
    QString message; // a phrase for the maintainer, translated

    Severity severity() const;
    // A stable name for scripts: "unsafe-name", "no-description", ...
    static QString keyOf(Kind kind);

    bool operator==(const CheckFinding &other) const = default;
};

// What the check found out about one project of the group, and what the IDE would show of it.
struct ProjectCheck
{
    qint64 id = 0;
    QString name; // the project's path, the example's folder name
    QString title;
    QString description;
    QStringList tags;
    bool installed = false;
    // Known once installed.
    ManifestContent manifest;
    // From the archive's check; -1 when the archive was never looked at.
    qint64 archiveBytes = -1;
    qint64 unpackedBytes = -1;
    QList<CheckFinding> findings;

    void add(CheckFinding::Kind kind, const QString &message) { findings.append({kind, message}); }
    bool has(CheckFinding::Kind kind) const;
    int count(CheckFinding::Severity severity) const;
};

// The outcome of checking one group as the plugin would install it.
struct CheckReport
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::CheckReport)

public:
    QString url; // without user information
    QString group;
    bool reachable = false; // the group was found and listed
    QString failure;        // why not, when it was not
    QList<CheckFinding> groupFindings;
    QList<ProjectCheck> projects;

    int count(CheckFinding::Severity severity) const;
    // 0 clean, 1 warnings only, 2 any error (also one of this machine), 3 the group could not
    // be reached.
    int exitCode() const;
    QJsonObject toJson() const;

    static QString imageSourceKey(ManifestContent::ImageSource source);
};

} // namespace Brindle::Internal
