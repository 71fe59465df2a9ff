// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesparser.h"

#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>

namespace Brindle::Host {

namespace {

const char MANIFEST_FILE[] = "examples-manifest.xml";

QStringList splitList(const QString &text)
{
    QStringList result;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QString item = part.trimmed();
        if (!item.isEmpty())
            result.append(item);
    }
    return result;
}

QString resolve(const QDir &base, const QString &path)
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(base.absoluteFilePath(path));
}

ExampleItem readExample(QXmlStreamReader &reader, const QDir &base)
{
    ExampleItem item;
    const QXmlStreamAttributes attributes = reader.attributes();
    item.name = attributes.value(QLatin1String("name")).toString();
    item.projectPath = resolve(base, attributes.value(QLatin1String("projectPath")).toString());
    item.imageUrl = attributes.value(QLatin1String("imageUrl")).toString();
    item.docUrl = attributes.value(QLatin1String("docUrl")).toString();
    item.isHighlighted = attributes.value(QLatin1String("isHighlighted")) == QLatin1String("true");

    while (reader.readNextStartElement()) {
        const auto element = reader.name();
        if (element == QLatin1String("description")) {
            item.description
                = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (element == QLatin1String("tags")) {
            item.tags = splitList(reader.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (element == QLatin1String("platforms")) {
            item.platforms = splitList(reader.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (element == QLatin1String("fileToOpen")) {
            const QString file
                = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            if (!file.isEmpty())
                item.filesToOpen.append(resolve(base, file));
        } else {
            reader.skipCurrentElement();
        }
    }
    return item;
}

} // namespace

QList<ExampleSet> exampleSetsFromEntries(const QStringList &entries)
{
    QList<ExampleSet> sets;
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char('|'));
        if (fields.size() < 3)
            continue;
        if (!QFileInfo(fields.at(1)).isDir())
            continue;
        sets.append({fields.at(0), fields.at(1), fields.at(2)});
    }
    return sets;
}

QList<ExampleSet> readExampleSets(Utils::QtcSettings *settings)
{
    return exampleSetsFromEntries(settings->value("Help/InstalledExamples").toStringList());
}

ManifestResult parseManifest(const QString &manifestFile)
{
    ManifestResult result;
    QFile file(manifestFile);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error
            = QCoreApplication::translate("Brindle::Host::ExamplesParser", "Cannot read %1: %2")
                  .arg(QDir::toNativeSeparators(manifestFile), file.errorString());
        return result;
    }

    const QDir base = QFileInfo(manifestFile).absoluteDir();
    QXmlStreamReader reader(&file);
    QList<ExampleItem> examples;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("example")) {
            ExampleItem item = readExample(reader, base);
            item.manifestFile = QFileInfo(manifestFile).absoluteFilePath();
            // The IDE does not offer an example it could not open.
            if (QFileInfo(item.projectPath).isFile())
                examples.append(item);
        }
    }
    if (reader.hasError()) {
        result.error = QCoreApplication::translate("Brindle::Host::ExamplesParser", "%1:%2:%3: %4")
                           .arg(QDir::toNativeSeparators(manifestFile))
                           .arg(reader.lineNumber())
                           .arg(reader.columnNumber())
                           .arg(reader.errorString());
        return result;
    }
    result.examples = examples;
    return result;
}

QList<ExampleItem> readExamples(const ExampleSet &set, QStringList *errors)
{
    QList<ExampleItem> examples;
    const QDir root(set.manifestPath);
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &folder : folders) {
        const QString manifest = root.absoluteFilePath(folder + QLatin1Char('/') + MANIFEST_FILE);
        if (!QFileInfo(manifest).isFile())
            continue;
        const ManifestResult result = parseManifest(manifest);
        if (!result.error.isEmpty() && errors)
            errors->append(result.error);
        examples.append(result.examples);
    }
    return examples;
}

QString imageFilePath(const ExampleItem &example)
{
    QString path = example.imageUrl;
    const QUrl url(path);
    if (url.isLocalFile())
        path = url.toLocalFile();
    if (!QDir::isAbsolutePath(path) || !QFileInfo(path).isFile())
        return {};
    return path;
}

} // namespace Brindle::Host
