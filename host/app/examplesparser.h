// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Utils {
class QtcSettings;
}

namespace Brindle::Host {

// One entry of "Help/InstalledExamples": displayName|manifestPath|examplesPath
class ExampleSet
{
public:
    QString displayName;
    QString manifestPath;
    QString examplesPath;

    friend bool operator==(const ExampleSet &, const ExampleSet &) = default;
};

class ExampleItem
{
public:
    QString name;
    QString description;
    QString projectPath; // absolute
    QString imageUrl;    // as written in the manifest
    QString docUrl;
    QStringList tags;
    QStringList platforms;
    QStringList filesToOpen; // absolute
    bool isHighlighted = false;
    QString manifestFile;
};

class ManifestResult
{
public:
    QList<ExampleItem> examples;
    QString error; // a manifest that is not well-formed gives no examples at all
};

// Entries with fewer than three fields or whose manifest path is no existing directory
// are left out, in the order given.
QList<ExampleSet> exampleSetsFromEntries(const QStringList &entries);
QList<ExampleSet> readExampleSets(Utils::QtcSettings *settings);

// Reads the <example> elements of one manifest. Paths are resolved against the manifest's
// folder (absolute ones stay); examples whose project file does not exist are dropped.
ManifestResult parseManifest(const QString &manifestFile);

// The manifests "examples-manifest.xml" directly inside each immediate subfolder of the
// set's manifest path, sorted by folder name. Errors of broken manifests go to errors.
QList<ExampleItem> readExamples(const ExampleSet &set, QStringList *errors = nullptr);

// The image file to show for an example, or an empty string when imageUrl names none.
QString imageFilePath(const ExampleItem &example);

} // namespace Brindle::Host
