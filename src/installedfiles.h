// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace Brindle::Internal {

// What an installation put into an example's folder: every file, link and folder below it,
// files and links with their size and modification time. Kept in a file of the plugin's own,
// so that an update can tell whether the user changed the example before it replaces it.
// Nothing is ever read of the files themselves: an example of a thousand files is compared
// in a few milliseconds.
class InstalledFiles
{
public:
    // Walks 'dir' without following links. Nothing when it cannot be walked completely.
    static std::optional<InstalledFiles> scan(const QString &dir);
    // Nothing when the record is missing, damaged, too large or not one of ours.
    static std::optional<InstalledFiles> read(const QString &recordPath);
    bool write(const QString &recordPath) const;

    // What differs in 'current' from this record: the paths relative to the folder, sorted;
    // a folder that was added or removed as a whole is named once, with a trailing "/".
    // With 'addedOnly', only what 'current' holds and this record does not.
    QStringList changesIn(const InstalledFiles &current, bool addedOnly = false) const;

    // What the user changed, added or removed in the installed example 'dir' since it was
    // installed, compared with its record at 'recordPath'; a folder that cannot be walked
    // names all of its entries. Nothing when there is no usable record of this folder: the
    // example was installed before records were kept, or the record's manifest is not the
    // one in the folder (the folder was made anew since), and what was changed cannot be
    // told.
    static std::optional<QStringList> localChanges(const QString &dir, const QString &recordPath);
    // All entries at the top of 'dir', folders with a trailing "/".
    static QStringList everythingIn(const QString &dir);

    qsizetype count() const { return entries.size(); }

private:
    struct Entry
    {
        char type = 'f'; // 'd' folder, 'f' file, 'l' link, 'o' anything else
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds since the epoch
        bool operator==(const Entry &other) const = default;
    };
    static bool scanAt(int dirFd, const QByteArray &prefix, int depth, InstalledFiles &files);

    // By the path relative to the folder, as the file system spells it.
    QHash<QByteArray, Entry> entries;
};

} // namespace Brindle::Internal
