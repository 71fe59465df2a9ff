// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>
#include <QStringList>

namespace Brindle::Internal {

// Several checked archives joined into one tar stream, each under a folder of its own named
// after its place in the list ("0/", "1/", ...), so that one run of the IDE's unarchiver
// unpacks them all: starting the tool costs more than unpacking a small example. The members
// are copied as they were read, headers and data, with only their paths (and the targets of
// hard links) moved into that folder.
class BatchArchive
{
public:
    // Writes the archives at 'sources' (tar, or tar inside gzip) into 'target'. Returns why
    // that failed, or an empty string.
    static QString write(const QStringList &sources, const QString &target);

    // The folder of the archive at 'index' in the joined stream.
    static QString folderOf(int index) { return QString::number(index); }
};

} // namespace Brindle::Internal
