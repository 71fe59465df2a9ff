// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>

namespace Brindle::Internal {

// The folder that holds this IDE's temporary archives while they download and wait to be
// unpacked: "brindle-archives-XXXXXX" in the temporary folder, private to the user. It is made
// on first use and locked for as long as the IDE runs; the kernel lets go of the lock however
// the IDE ends. Nothing outside such folders is ever swept, so files of other programs in the
// temporary folder are never touched, and an IDE never sweeps another one's queue.
class ArchiveFolder
{
public:
    // This IDE's folder in the temporary folder as it is now, made and locked on the first
    // call. When it cannot be made, the temporary folder itself, where nothing is ever swept.
    static QString path();

    // Removes this IDE's folders that hold nothing any more; path() makes a new one when
    // it is asked again. Called when the installer ends, so that a clean end leaves nothing.
    static void removeIfEmpty();

    // Removes the folders of IDEs that are gone: those whose lock can be taken, with the
    // archives in them. Folders of other users, links and folders in use are left alone.
    static void sweep();

    // True for the name of such a folder.
    static bool isFolderName(const QString &fileName);
};

} // namespace Brindle::Internal
