// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "manifestwriter.h"

#include "constants.h"
#include "logging.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <optional>

namespace Brindle::Internal {

namespace {

const QString ICON_NAME = QStringLiteral("example-icon.png");
const char DUMMY_IMAGE[] = "dummy.png";
const int ICON_SIZE = 128;
// A source file that names its main window is small; anything larger is an asset, or a sparse
// file an archive of a few kilobytes unpacks to, which would be read for hours.
const qint64 MAX_SEARCHED_FILE_BYTES = 1024 * 1024;

// Whatever the server sends must not break the manifest: XML 1.0 allows no control
// characters other than tab, line feed and carriage return, no lone surrogates and
// neither U+FFFE nor U+FFFF.
QString xmlSafe(const QString &value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < value.size()
            && QChar::isLowSurrogate(value.at(i + 1).unicode())) {
            result.append(value.at(i));
            result.append(value.at(++i));
            continue;
        }
        if (QChar::isSurrogate(c) || c == 0xfffe || c == 0xffff)
            continue;
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            continue;
        result.append(QChar(c));
    }
    return result;
}

// Reads block by block, so that a large asset is never held in memory as a whole and a
// match near the start ends the reading; each block is searched together with the end of
// the one before, so that a match across the boundary is found too. A file that grew since
// its size was checked is read only up to the bound.
bool fileContains(QFile &file, const QByteArray &needle)
{
    const qint64 blockSize = 64 * 1024;
    QByteArray window;
    qint64 bytesLeft = MAX_SEARCHED_FILE_BYTES;
    while (bytesLeft > 0) {
        const QByteArray block = file.read(qMin(blockSize, bytesLeft));
        bytesLeft -= block.size();
        if (block.isEmpty())
            return false;
        window.append(block);
        if (window.contains(needle))
            return true;
        window = window.right(needle.size() - 1);
    }
    return false;
}

// The first file below 'path' matching 'nameFilter' that contains 'content', relative to
// 'path'. The host resolves the file to open against the manifest's folder, and keeps a
// path with a leading "/" as absolute, so the result never starts with one.
QString findFileByContent(const QString &path, const QString &nameFilter, const QString &content)
{
    const QByteArray needle = content.toLatin1();
    // A link may lead out of the example, to a device or to a file of any size.
    QDirIterator it(path,
                    {nameFilter},
                    QDir::Files | QDir::Readable | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString filePath = it.next();
        if (it.fileInfo().size() > MAX_SEARCHED_FILE_BYTES) {
            qCDebug(Log::service) << "Not searched, too large:" << filePath;
            continue;
        }
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        if (fileContains(file, needle))
            return QDir(path).relativeFilePath(filePath);
    }
    return {};
}

// The largest 128x128 icon of the example, as it will be found once the example is in
// place: 'dir' is where it is unpacked now, 'installedDir' where it is going to live. None
// when the example has no such icon of its own.
std::optional<QString> iconOf(const QString &dir, const QString &installedDir)
{
    const QString root = QFileInfo(dir).canonicalFilePath();
    QDirIterator it(
        dir, {QStringLiteral("icons")}, QDir::Dirs | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QDir sizeDir(it.next() + u'/' + QStringLiteral("%1x%1").arg(ICON_SIZE));
        const QFileInfoList files = sizeDir.entryInfoList({QStringLiteral("*.png"),
                                                           QStringLiteral("*.jpeg"),
                                                           QStringLiteral("*.jpg"),
                                                           QStringLiteral("*.bmp")},
                                                          QDir::Files | QDir::Readable,
                                                          QDir::Size);
        if (files.isEmpty())
            continue;
        const QString icon = files.first().canonicalFilePath();
        if (!root.isEmpty() && icon.startsWith(root + u'/'))
            return installedDir + icon.mid(root.size());
    }
    return std::nullopt;
}

struct ManifestValues
{
    QString module;
    QString name;
    QString projectPath;
    QString imageUrl;
    QString description;
    QString tags;
    QString fileToOpen;
};

// Copies the template token by token, with its layout, filling in the values. Returns an
// empty array when the template is not usable.
QByteArray fillTemplate(const QString &text, const ManifestValues &values)
{
    QXmlStreamReader reader(text);
    QString output;
    QXmlStreamWriter writer(&output);
    QStringList path;
    qsizetype copied = 0;
    bool rootFound = false;
    bool exampleFilled = false;
    bool inExample = false;
    QSet<QString> childrenFilled;

    // Outside the root element the reader reports no white space; take it from the text.
    const auto copyPrologue = [&](bool wholeToken) {
        const qsizetype end = reader.characterOffset();
        QStringView gap = QStringView(text).mid(copied, end - copied);
        if (!wholeToken) {
            qsizetype spaces = 0;
            while (spaces < gap.size() && gap.at(spaces).isSpace())
                ++spaces;
            gap = gap.first(spaces);
        }
        output.append(gap);
        copied = end;
    };

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
        case QXmlStreamReader::DTD:
            copyPrologue(true);
            break;
        case QXmlStreamReader::Comment:
            if (path.isEmpty())
                copyPrologue(true);
            else
                writer.writeComment(reader.text().toString());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            if (path.isEmpty())
                copyPrologue(true);
            else
                writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                                  reader.processingInstructionData().toString());
            break;
        case QXmlStreamReader::StartElement: {
            if (path.isEmpty())
                copyPrologue(false);
            const QString name = reader.name().toString();
            QHash<QString, QString> attributes;
            QString content;
            bool fillContent = false;
            if (path.isEmpty() && name == u"instructionals") {
                rootFound = true;
                attributes.insert(QStringLiteral("module"), values.module);
            } else if (!exampleFilled && name == u"example"
                       && path == QStringList{"instructionals", "examples"}) {
                exampleFilled = true;
                inExample = true;
                attributes.insert(QStringLiteral("name"), values.name);
                attributes.insert(QStringLiteral("projectPath"), values.projectPath);
                attributes.insert(QStringLiteral("imageUrl"), values.imageUrl);
            } else if (inExample && path.size() == 3 && !childrenFilled.contains(name)) {
                if (name == u"tags" || name == u"fileToOpen" || name == u"description") {
                    childrenFilled.insert(name);
                    fillContent = true;
                    content = name == u"tags" ? values.tags : values.fileToOpen;
                }
            }
            writer.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                const QString key = attribute.qualifiedName().toString();
                writer.writeAttribute(key, attributes.value(key, attribute.value().toString()));
            }
            // Keeps the template's "<tag></tag>" form instead of an empty-element tag
            writer.writeCharacters(QString());
            if (fillContent) {
                // writeCDATA() splits a "]]>" across adjacent sections, which a reader
                // joins back into the original text
                if (name == u"description")
                    writer.writeCDATA(values.description);
                else
                    writer.writeCharacters(content);
            }
            path.append(name);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (path.size() == 3 && path.last() == u"example")
                inExample = false;
            path.removeLast();
            writer.writeEndElement();
            if (path.isEmpty())
                copied = reader.characterOffset();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        case QXmlStreamReader::EntityReference:
            writer.writeEntityReference(reader.name().toString());
            break;
        case QXmlStreamReader::EndDocument:
            copyPrologue(false);
            break;
        default:
            break;
        }
    }

    if (reader.hasError()) {
        qCDebug(Log::service) << "Internal manifest XML error:" << reader.errorString()
                              << reader.lineNumber() << reader.columnNumber();
        return {};
    }
    if (!rootFound) {
        qCDebug(Log::service)
            << "Internal manifest XML error: element \"instructionals\" not found";
        return {};
    }
    return output.toUtf8();
}

} // namespace

// The project file at the top of the example, the most recently modified one first.
QString ManifestWriter::findProject(const QString &path)
{
    const QStringList names
        = QDir(path).entryList({QStringLiteral("*.pro"), QStringLiteral("CMakeLists.txt")},
                               QDir::Files | QDir::Readable,
                               QDir::Time);
    return names.isEmpty() ? QString() : names.first();
}

QString ManifestWriter::findFileToOpen(const QString &path)
{
    QString file
        = findFileByContent(path, QStringLiteral("*.qml"), QStringLiteral("ApplicationWindow"));
    if (file.isEmpty())
        file = findFileByContent(path, QStringLiteral("*"), QStringLiteral(" main("));
    if (file.isEmpty())
        file = findProject(path);
    return file;
}

QString ManifestWriter::findIcon(const QString &dir, const QString &installedDir)
{
    return iconOf(dir, installedDir).value_or(QString::fromLatin1(DUMMY_IMAGE));
}

ManifestWriter::Result ManifestWriter::write(const QString &dir, const QString &installedDir) const
{
    using Problem = Result::Problem;
    Result result;
    QFile resource(QStringLiteral(":/%1").arg(QLatin1String(Constants::MANIFEST_FILE)));
    if (!resource.open(QIODevice::ReadOnly)) {
        qCDebug(Log::service) << "Internal manifest XML error: file not found";
        return result;
    }
    const QString text = QString::fromUtf8(resource.readAll());
    resource.close();

    ManifestValues values;
    values.module = module;
    values.name = displayName;

    values.projectPath = findProject(dir);
    if (values.projectPath.isEmpty()) {
        qCDebug(Log::service) << "Project file not found";
        result.problem = Problem::NoProjectFile;
        return result;
    }

    bool iconSaved = false;
    if (!image.isNull()) {
        const QString imagePath = dir + u'/' + ICON_NAME;
        // Replaces whatever the archive put there instead of writing through it
        QFile::remove(imagePath);
        iconSaved = image.save(imagePath);
        if (iconSaved) {
            values.imageUrl = installedDir + u'/' + ICON_NAME;
        } else {
            // The manifest must not name an icon that is not there.
            qCDebug(Log::service) << "Unable to save the icon, default image used:" << imagePath;
            QFile::remove(imagePath);
        }
    } else {
        qCDebug(Log::service) << "Repository contains no image for example:" << displayName;
    }
    ManifestContent content;
    content.imageSource = ManifestContent::ImageSource::Avatar;
    if (!iconSaved) {
        const std::optional<QString> icon = iconOf(dir, installedDir);
        values.imageUrl = icon.value_or(QString::fromLatin1(DUMMY_IMAGE));
        content.imageSource = icon ? ManifestContent::ImageSource::IconsFolder
                                   : ManifestContent::ImageSource::Default;
    }

    values.description = description;
    values.tags = tags;
    values.fileToOpen = findFileToOpen(QFileInfo(dir).absoluteFilePath());

    for (QString *value : {&values.module,
                           &values.name,
                           &values.projectPath,
                           &values.imageUrl,
                           &values.description,
                           &values.tags,
                           &values.fileToOpen}) {
        *value = xmlSafe(*value);
    }
    content.projectPath = values.projectPath;
    content.fileToOpen = values.fileToOpen;
    content.imageUrl = values.imageUrl;

    const QByteArray manifest = fillTemplate(text, values);
    if (manifest.isEmpty())
        return result;

    const QString manifestPath = QStringLiteral("%1%2%3").arg(
        dir, QStringLiteral("/"), QLatin1String(Constants::MANIFEST_FILE));
    QFile::remove(manifestPath);
    // A plain write: the directory is private until it is renamed into place, so nobody can
    // see a half-written manifest. QSaveFile's flush to disk made the file system write out
    // the data of all running extractions first, holding the event loop up for up to 200 ms.
    QFile file(manifestPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(manifest) != manifest.size() || !file.flush()) {
        qCDebug(Log::service) << "Unable to save manifest:" << manifestPath;
        return result;
    }
    result.problem = Problem::None;
    result.content = content;
    return result;
}

} // namespace Brindle::Internal
