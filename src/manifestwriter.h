// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QImage>
#include <QString>

namespace Brindle::Internal {

// What the Welcome screen is going to show of an example, as its manifest names it.
struct ManifestContent
{
    // Where the example's picture comes from: the project's avatar, a 128x128 icon of the
    // project's own icons folder, or the IDE's default picture.
    enum class ImageSource { Avatar, IconsFolder, Default };

    QString projectPath; // relative to the example's folder
    QString fileToOpen;  // relative to the example's folder
    QString imageUrl;    // as the manifest names it
    ImageSource imageSource = ImageSource::Default;

    bool operator==(const ManifestContent &other) const = default;
};

// Writes an example's "examples-manifest.xml": finds the example's project file, image and
// file to open, and fills the manifest template with them and the example's details.
class ManifestWriter
{
public:
    QString module; // the repository's name
    QString displayName;
    QString description;
    QString tags; // comma-separated
    QImage image; // the project's avatar, null when it has none

    struct Result
    {
        enum class Problem { None, NoProjectFile, NotWritten };

        Problem problem = Problem::NotWritten;
        ManifestContent content; // what was written; only when there is no problem

        explicit operator bool() const { return problem == Problem::None; }
    };

    // Writes the manifest, and the avatar as "example-icon.png", into the example unpacked
    // in 'dir', which is going to be installed as 'installedDir'. Fails when the example has
    // no project file or the manifest cannot be written.
    Result write(const QString &dir, const QString &installedDir) const;

    // The project file at the top of 'dir', the most recently modified one first.
    static QString findProject(const QString &dir);
    // The file the IDE opens with the example, relative to 'dir'.
    static QString findFileToOpen(const QString &dir);
    // The example's largest 128x128 icon as it will be found in 'installedDir', or the
    // placeholder name.
    static QString findIcon(const QString &dir, const QString &installedDir);
};

} // namespace Brindle::Internal
