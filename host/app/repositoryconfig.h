// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>
#include <QUrl>

namespace Utils {
class QtcSettings;
}

namespace Brindle::Host {

// What the SDK's installer does for an example repository: the plugin's repository entry
// "Brindle/Repositories" (NAME|URL|) and the Welcome screen's example set
// "Help/InstalledExamples" (NAME|<data dir>|<data dir>), both merged into what is stored.
class RepositoryConfig final
{
public:
    // NAME=URL; an empty return value means success, otherwise it says what is wrong.
    static QString parse(const QString &argument, QString *name, QUrl *url);

    // The plugin's folder for a repository: the generic data location, the SDK release id
    // and the repository name.
    static QString dataDirectory(const QString &name);

    // A URL as the host prints it: without user name, password, query and fragment, where
    // credentials such as "?private_token=" travel.
    static QString displayUrl(const QUrl &url);

    static QString add(Utils::QtcSettings *settings, const QString &name, const QUrl &url);
};

} // namespace Brindle::Host
