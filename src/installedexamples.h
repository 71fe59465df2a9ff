// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

namespace Brindle::Internal {

// An example found on disk: its folder holds a readable manifest.
struct InstalledExample
{
    QString folder;     // canonical path
    QDateTime modified; // the manifest's last modification

    bool operator==(const InstalledExample &other) const = default;
};

// By example name, that is by folder name.
using InstalledExamples = QHash<QString, InstalledExample>;

// The examples of one repository folder, read as the IDE's Welcome screen reads them: a
// manifest directly inside each visible immediate subfolder, nothing deeper. Touches the
// disk: meant for a pool thread.
InstalledExamples scanInstalledExamples(const QString &repositoryFolder);
// The one example 'name' of that folder, if it is installed.
std::optional<InstalledExample> scanInstalledExample(const QString &repositoryFolder,
                                                     const QString &name);

} // namespace Brindle::Internal
