// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"

#include "constants.h"
#include "logging.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <solutions/tasking/tasktree.h>
#include <utils/filepath.h>
#include <utils/unarchiver.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImage>
#include <QPromise>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QWidget>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <filesystem>
#include <memory>
#include <system_error>

namespace Brindle::Internal {

namespace {

// Installation layout: <data location>/<repository>/<example>, one directory per example
// named after Example::name(). The names are appended, never substituted with arg(): a name
// holding "%1" or "%2" must not be expanded a second time.
const QString TARGET = Settings::location() + QStringLiteral("/%2");
const QString ICON_NAME = QStringLiteral("example-icon.png");
const char ERROR_MESSAGE[] = QT_TRANSLATE_NOOP("QObject", "Unable to cast repository from: %1");

const char DUMMY_IMAGE[] = "dummy.png";
const int ICON_SIZE = 128;

QString repositoryPath(const QString &name)
{
    return TARGET.chopped(5) + name + u'/';
}

QString examplePath(const QString &name, const QString &exampleName)
{
    return repositoryPath(name) + exampleName;
}

QString castErrorMessage(const QObject *sender)
{
    return QCoreApplication::translate("QObject", ERROR_MESSAGE)
        .arg(QString::fromLatin1(sender ? sender->metaObject()->className() : "QObject"));
}

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

bool isInside(const std::filesystem::path &path, const std::filesystem::path &root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

// An archive decides what its members are. GNU tar already strips absolute member paths
// and refuses ".." members and writes through links, but it still creates symbolic links
// that lead anywhere, as well as FIFOs and device nodes. Links that do not resolve inside
// the example, and everything that is neither a file, a directory nor a link, are removed
// before anything reads or writes through them. Directories are opened up for their owner,
// so that the manifest can be written and the tree be removed again.
void secureUnpackedTree(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root = fs::canonical(fs::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);

    QList<fs::path> unwanted;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path entry = it->path();
        const fs::file_status status = fs::symlink_status(entry, error);
        if (error)
            break;
        if (fs::is_directory(status)) {
            fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, error);
            error.clear();
        } else if (fs::is_symlink(status)) {
            std::error_code resolveError;
            const fs::path target = fs::canonical(entry, resolveError);
            if (resolveError || !isInside(target, root))
                unwanted.append(entry);
        } else if (!fs::is_regular_file(status)) {
            unwanted.append(entry);
        }
    }
    for (const fs::path &entry : std::as_const(unwanted)) {
        qCDebug(Log::arch) << "Removing unsafe archive member:"
                           << QFile::decodeName(QByteArray::fromStdString(entry.string()));
        fs::remove(entry, error);
    }
}

// Unpacked directory names belonging to example 'name' in 'path', oldest first. Entries
// that belong to another example with a longer name sharing the prefix are left alone.
QStringList findDirNames(const QString &path, const QString &name, const QStringList &otherNames)
{
    const QStringList entries
        = QDir(path).entryList({name + u'*'},
                               QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden,
                               QDir::Time | QDir::Reversed);
    QStringList result;
    for (const QString &entry : entries) {
        const bool other = std::any_of(
            otherNames.cbegin(), otherNames.cend(), [&name, &entry](const QString &otherName) {
                return otherName.size() > name.size() && entry.startsWith(otherName);
            });
        if (!other)
            result.append(entry);
    }
    return result;
}

// The project file at the top of the example, the most recently modified one first.
QString findProject(const QString &path)
{
    const QStringList names
        = QDir(path).entryList({QStringLiteral("*.pro"), QStringLiteral("CMakeLists.txt")},
                               QDir::Files | QDir::Readable,
                               QDir::Time);
    return names.isEmpty() ? QString() : names.first();
}

// Reads block by block, so that a large asset is never held in memory as a whole and a
// match near the start ends the reading; each block is searched together with the end of
// the one before, so that a match across the boundary is found too.
bool fileContains(QFile &file, const QByteArray &needle)
{
    const qint64 blockSize = 64 * 1024;
    QByteArray window;
    while (true) {
        const QByteArray block = file.read(blockSize);
        if (block.isEmpty())
            return false;
        window.append(block);
        if (window.contains(needle))
            return true;
        window = window.right(needle.size() - 1);
    }
}

// The first file below 'path' matching 'nameFilter' that contains 'content', relative to
// 'path'. The host resolves the file to open against the manifest's folder, and keeps a
// path with a leading "/" as absolute, so the result never starts with one.
QString findFileByContent(const QString &path, const QString &nameFilter, const QString &content)
{
    const QByteArray needle = content.toLatin1();
    QDirIterator it(path, {nameFilter}, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString filePath = it.next();
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        if (fileContains(file, needle))
            return QDir(path).relativeFilePath(filePath);
    }
    return {};
}

QString findFileToOpen(const QString &path)
{
    QString file
        = findFileByContent(path, QStringLiteral("*.qml"), QStringLiteral("ApplicationWindow"));
    if (file.isEmpty())
        file = findFileByContent(path, QStringLiteral("*"), QStringLiteral(" main("));
    if (file.isEmpty())
        file = findProject(path);
    return file;
}

// The largest 128x128 icon of the example, as it will be found once the example is in
// place: 'dir' is where it is unpacked now, 'installedDir' where it is going to live.
QString findIcon(const QString &dir, const QString &installedDir)
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
    return QString::fromLatin1(DUMMY_IMAGE);
}

// Saves an archive and creates the private directory it is going to be unpacked into. Runs in
// a pool thread; on failure nothing is left and the error is the status text to show.
PreparedArchive prepareArchive(const QString &fileTemplate,
                               const QByteArray &data,
                               const QString &displayName,
                               const QString &repositoryName)
{
    PreparedArchive prepared;
    prepared.repositoryName = repositoryName;
    const QString repositoryDir = repositoryPath(repositoryName);
    QTemporaryFile archiveFile(fileTemplate);
    if (!archiveFile.open() || archiveFile.write(data) != data.size() || !archiveFile.flush()) {
        prepared.error = DownloadService::tr("Unable to save the archive of example %1: %2")
                             .arg(displayName, archiveFile.errorString());
        return prepared;
    }
    archiveFile.close();

    // Next to the installed examples (same file system, so the result can be renamed into
    // place), hidden so that it never counts as an installed example.
    QDir().mkpath(repositoryDir);
    auto unpackDir
        = std::make_shared<QTemporaryDir>(repositoryDir + QStringLiteral(".unpack-XXXXXX"));
    if (!unpackDir->isValid()) {
        prepared.error
            = DownloadService::tr("Unable to create a directory in: %1").arg(repositoryDir);
        return prepared;
    }
    archiveFile.setAutoRemove(false);
    prepared.archivePath = archiveFile.fileName();
    prepared.unpackDir = unpackDir;
    return prepared;
}

// Removes the archive and whatever is still in the unpack directory. Runs in a pool thread.
void removeLeftovers(const PreparedArchive &prepared)
{
    QFile::remove(prepared.archivePath);
    prepared.unpackDir->remove();
}

// What installing an unpacked example needs to know of it. Taken in the GUI thread, so that
// the file work can run in a pool thread without touching the example record.
struct InstallJob
{
    QString repositoryName;
    QString exampleName;
    QString displayName;
    QString description;
    QString tags;
    QImage image;
    // The names of the repository's examples, to tell "demo" and "demo-2" apart.
    QStringList otherNames;
    PreparedArchive prepared;
};

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

// Writes the manifest of an example unpacked in 'dir', which is going to be installed as
// the example directory of repository 'name'.
bool createManifest(const InstallJob &job, const QString &dir)
{
    QFile resource(QStringLiteral(":/%1").arg(QLatin1String(Constants::MANIFEST_FILE)));
    if (!resource.open(QIODevice::ReadOnly)) {
        qCDebug(Log::service) << "Internal manifest XML error: file not found";
        return false;
    }
    const QString text = QString::fromUtf8(resource.readAll());
    resource.close();

    const QString installedDir = examplePath(job.repositoryName, job.exampleName);
    ManifestValues values;
    values.module = job.repositoryName;
    values.name = job.displayName;

    values.projectPath = findProject(dir);
    if (values.projectPath.isEmpty()) {
        qCDebug(Log::service) << "Project file not found";
        return false;
    }

    const QImage &image = job.image;
    if (!image.isNull()) {
        const QString imagePath = dir + u'/' + ICON_NAME;
        // Replaces whatever the archive put there instead of writing through it
        QFile::remove(imagePath);
        image.save(imagePath);
        values.imageUrl = installedDir + u'/' + ICON_NAME;
    } else {
        qCDebug(Log::service) << "Repository contains no image for example:" << job.displayName;
        values.imageUrl = findIcon(dir, installedDir);
    }

    values.description = job.description;
    values.tags = job.tags;
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

    const QByteArray manifest = fillTemplate(text, values);
    if (manifest.isEmpty())
        return false;

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
        return false;
    }
    return true;
}

// Moves 'source' to 'target', replacing an existing directory there. The old copy is only
// removed once the new one is in place, and put back when the move fails.
bool replaceDirectory(const QString &source, const QString &target)
{
    const QFileInfo targetInfo(target);
    std::unique_ptr<QTemporaryDir> trash;
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        trash = std::make_unique<QTemporaryDir>(targetInfo.absolutePath()
                                                + QStringLiteral("/.replaced-XXXXXX"));
        if (!trash->isValid() || !QDir().rename(target, trash->filePath(QStringLiteral("old"))))
            return false;
    }
    if (QDir().rename(source, target))
        return true;
    if (trash)
        QDir().rename(trash->filePath(QStringLiteral("old")), target);
    return false;
}

// Moves the example unpacked into 'job.prepared.unpackDir' into place with its manifest. Runs in a
// pool thread; returns the status text of a failure, or nothing. The unpack directory is
// emptied in any case: nothing half unpacked is left behind.
QString installUnpacked(const InstallJob &job)
{
    const auto cleanUp = qScopeGuard([&job] { removeLeftovers(job.prepared); });
    const QString unpackDir = job.prepared.unpackDir->path();

    const QStringList dirs = findDirNames(unpackDir, job.exampleName, job.otherNames);
    if (dirs.isEmpty()) {
        return DownloadService::tr(
                   "Skip registering example %1 - the archive holds no directory of it")
            .arg(job.displayName);
    }
    const QString unpacked = unpackDir + u'/' + dirs.last();
    secureUnpackedTree(unpacked);

    // The manifest is written before the example is moved into place, so that a failure
    // leaves the installed copy, if any, as it was.
    if (!createManifest(job, unpacked))
        return DownloadService::tr("There was an error while creating example mainfest");

    const QString target = examplePath(job.repositoryName, job.exampleName);
    if (!replaceDirectory(unpacked, target)) {
        return DownloadService::tr("Unable to install example %1 into: %2")
            .arg(job.displayName, target);
    }
    return {};
}

} // namespace

DownloadService::DownloadService(QObject *parent)
    : QObject(parent)
{
    settings.load(Core::ICore::settings());

    for (const Settings::RepositoryInfo &info : std::as_const(settings.repositories)) {
        QSharedPointer<Repository> repository(new Repository(info.url, this));
        repositories.append(repository);
        connect(repository.get(),
                &Repository::exampleDownloaded,
                this,
                &DownloadService::onExampleDownloaded);
        connect(
            repository.get(), &Repository::downloadsFinished, this, &DownloadService::onDownloaded);
        connect(repository.get(), &Repository::fetched, this, &DownloadService::onFetched);
    }

    connect(
        &restartTimer,
        &QTimer::timeout,
        &restartTimer,
        [this] { checkRestart(); },
        Qt::DirectConnection);
    // 0 would reset every client on each pass of the event loop, so that no lookup could
    // ever finish; more than this overflows the interval in milliseconds.
    const qint64 seconds
        = qBound(qint64(1), qint64(settings.serviceRestartTimeoutSeconds), qint64(2147483));
    restartTimer.start(std::chrono::milliseconds(seconds * 1000));

    connect(QCoreApplication::instance(),
            &QCoreApplication::aboutToQuit,
            this,
            &DownloadService::shutdown);
}

DownloadService::~DownloadService()
{
    shutdown();
    workers.waitForDone();
    // The shared pointers are the owners: a repository still held elsewhere must not be
    // deleted a second time as a child of this object.
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories))
        repository->setParent(nullptr);
}

QSharedPointer<Repository> DownloadService::findRepository(const QString &name) const
{
    const QUrl url = settings.repositories.value(name).url;
    if (url.isEmpty())
        return {};
    for (const QSharedPointer<Repository> &repository : repositories) {
        if (repository->url() == url)
            return repository;
    }
    return {};
}

QList<QSharedPointer<Example>> DownloadService::examples(const QString &name) const
{
    const QSharedPointer<Repository> repository = findRepository(name);
    return repository ? repository->examples() : QList<QSharedPointer<Example>>();
}

void DownloadService::save(const QString &name, const QSet<QString> &examples)
{
    if (const QSharedPointer<Repository> repository = findRepository(name)) {
        repository->download(examples);
        return;
    }
    emitStatusChanged(
        tr("Skip downloading examples - unable to find repository for name: %1").arg(name));
}

void DownloadService::shutdown()
{
    // A restart after shutdown would bring stopped clients back to life
    restartTimer.stop();
    stopped = true;
    // Saved archives that were waiting for their extraction go; their unpack folders go
    // with the last reference to them.
    for (const auto &[example, prepared] : std::as_const(unpackQueue))
        QFile::remove(prepared.archivePath);
    unpackQueue.clear();
    receivedExamples.clear();
    for (const QSharedPointer<Repository> &repository : std::as_const(repositories))
        repository->shutdown();
}

template<typename Result, typename Work, typename Done>
void DownloadService::runInPool(Work work, Done done, int priority)
{
    auto promise = std::make_shared<QPromise<Result>>();
    // A child of the service: gone with it, and with it every hand-over still to come.
    auto watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    workers.start(
        [promise, work] {
            promise->addResult(work());
            promise->finish();
        },
        priority);
}

void DownloadService::emitStatusChanged(const QString &status)
{
    if (!status.isEmpty())
        qCDebug(Log::service) << "Status:" << status;
    emit statusChanged(status);
}

void DownloadService::checkRestart()
{
    const QList<QSharedPointer<Repository>> current = repositories;
    bool allReady = true;
    for (const QSharedPointer<Repository> &repository : current) {
        if (repository->isReady())
            continue;
        emitStatusChanged(QStringLiteral("%1 (%2)").arg(tr("API client is not ready - restarting"),
                                                        repository->url().toString()));
        repository->reset();
        allReady = false;
    }
    if (allReady)
        restartTimer.stop();
}

void DownloadService::onFetched()
{
    auto repository = qobject_cast<Repository *>(sender());
    if (!repository) {
        emitStatusChanged(castErrorMessage(sender()));
        return;
    }

    emit updated();

    // The options page saves its own copy (removed examples, interval) while the service
    // runs: decide on what is stored now, not on what was loaded at start.
    Settings stored;
    stored.load(Core::ICore::settings());
    settings = stored;

    if (settings.updatesCheckTimeoutDays == 0) {
        qCDebug(Log::service) << "Automatic updates disabled";
        return;
    }

    const QString name = settings.findName(repository->url());
    const QDate lastCheck = settings.lastCheckedDates.value(name);
    const Repository::Examples available = repository->examples();

    if (!name.isEmpty() && lastCheck.isValid()
        && lastCheck.daysTo(QDate::currentDate()) <= settings.updatesCheckTimeoutDays) {
        const qsizetype installed
            = QDir(repositoryPath(name)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        if (installed >= available.size())
            return;
    }

    qCDebug(Log::service) << "Updating examples:" << available.size();

    if (name.isEmpty()) {
        emitStatusChanged(tr("Skip downloading examples - unable to find repository for url: %1")
                              .arg(repository->url().toString()));
        return;
    }

    // Only the check date is written, merged with what is stored, so that nothing the
    // options page saved meanwhile is overwritten.
    const QDate today = QDate::currentDate();
    Settings::saveCheckedDate(Core::ICore::settings(), name, today);
    settings.lastCheckedDates.insert(name, today);

    const QSet<QString> removed = settings.repositories.value(name).removedExamples;
    const QDateTime previousCheck = lastCheck.startOfDay();
    QSet<QString> names;
    for (const QSharedPointer<Example> &example : available) {
        const QString exampleName = example->name();
        const bool skip = removed.contains(exampleName)
                          || (example->lastActivity().secsTo(previousCheck) > 0
                              && QFileInfo(examplePath(name, exampleName)).isDir());
        if (skip) {
            qCDebug(Log::service) << "Skip example:"
                                  << example->value(QLatin1String("name")).toString();
            continue;
        }
        names.insert(exampleName);
    }
    repository->download(names);
}

void DownloadService::onExampleDownloaded(const QSharedPointer<Example> &example)
{
    // Unpacked while the rest of the batch is still downloading: waiting for the whole batch
    // left the processor idle during the downloads and held every archive in memory.
    QObject *source = sender();
    receivedExamples[source].append(example);
    pendingExamples.append(example);
    downloadExample(example, source);
}

void DownloadService::onDownloaded(const Repository::Examples &examples)
{
    QObject *source = sender();
    const QList<QSharedPointer<Example>> received = receivedExamples.take(source);
    // All of the rest is pending before the first one starts: one that cannot start
    // finishes at once and must not end the batch for the others.
    QList<QSharedPointer<Example>> rest;
    for (const QSharedPointer<Example> &example : examples) {
        if (!received.contains(example) && !pendingExamples.contains(example))
            rest.append(example);
    }
    if (rest.isEmpty()) {
        // The examples taken early may all be installed by now; then this ends the batch.
        if (!examples.isEmpty() && pendingExamples.isEmpty() && receivedExamples.isEmpty())
            emitUpdatesWhenNoDialog();
        return;
    }
    pendingExamples.append(rest);
    for (const QSharedPointer<Example> &example : std::as_const(rest))
        downloadExample(example, source);
}

void DownloadService::startUnpacking()
{
    // A few extractions at a time, the next one started when one ends: started all at once
    // they would only compete for the processor and the disk. The archives are saved ahead,
    // as they arrive, so that an extraction can start the moment the one before it ends.
    const int limit = qMax(2, QThread::idealThreadCount());
    while (runningUnpacks < limit && !unpackQueue.isEmpty()) {
        const auto [example, prepared] = unpackQueue.takeFirst();
        startUnarchiver(example, prepared);
    }
}

void DownloadService::downloadExample(const QSharedPointer<Example> &example, QObject *source)
{
    // Every way out without unpacking still finishes the example, after its status text, so
    // that the batch ends and its notification is sent.
    const auto giveUp = [this, &example](const QString &status) {
        emitStatusChanged(status);
        finishRegisterExample(example);
    };

    const QByteArray data = example->data();
    if (data.isEmpty()) {
        giveUp(tr("The data is not downloaded for example: %1").arg(example->displayName()));
        return;
    }

    auto repository = qobject_cast<Repository *>(source);
    if (!repository) {
        giveUp(castErrorMessage(source));
        return;
    }

    const QString name = settings.findName(repository->url());
    if (name.isEmpty()) {
        giveUp(tr("Skip saving example %1 - unable to find repository name for url: %2")
                   .arg(example->displayName(), repository->url().toString()));
        return;
    }

    if (!isSafePathComponent(example->name())) {
        giveUp(tr("Skip saving example %1 - unsafe name: %2")
                   .arg(example->displayName(), example->name()));
        return;
    }

    emitStatusChanged(tr("Unpacking example: %1").arg(example->displayName()));

    // Writing megabytes, and creating files and directories, can wait for the disk while the
    // extractions fill it; that waiting is done in a pool thread, not in the IDE's event loop.
    // The thread holds the bytes until they are written; the record lets go of them now.
    const QString fileTemplate = QStringLiteral("%1%2%3-XXXXXX%4")
                                     .arg(QDir::tempPath(),
                                          QStringLiteral("/"),
                                          example->name(),
                                          QLatin1String(Constants::ARCHIVE_EXTENSION));
    const QString displayName = example->displayName();
    example->clearData();
    runInPool<PreparedArchive>(
        [fileTemplate, data, displayName, name] {
            return prepareArchive(fileTemplate, data, displayName, name);
        },
        [this, example](const PreparedArchive &prepared) {
            if (stopped) {
                QFile::remove(prepared.archivePath);
                return;
            }
            if (!prepared.error.isEmpty()) {
                emitStatusChanged(prepared.error);
                finishRegisterExample(example);
                return;
            }
            qCDebug(Log::service) << "Saved temp file:" << prepared.archivePath;
            unpackQueue.append({example, prepared});
            startUnpacking();
        });
}

void DownloadService::startUnarchiver(const QSharedPointer<Example> &example,
                                      const PreparedArchive &prepared)
{
    const Utils::FilePath archive = Utils::FilePath::fromString(prepared.archivePath);
    const auto sourceAndCommand = Utils::Unarchiver::sourceAndCommand(archive);
    if (!sourceAndCommand) {
        emitStatusChanged(tr("Downloaded file is not an archive"));
        discard(example, prepared);
        return;
    }

    auto unarchiver = new Utils::Unarchiver;
    unarchiver->setSourceAndCommand(*sourceAndCommand);
    unarchiver->setDestDir(Utils::FilePath::fromString(prepared.unpackDir->path()));
    unarchiver->setParent(this);

    connect(unarchiver, &Utils::Unarchiver::outputReceived, this, [](const QString &output) {
        qCDebug(Log::arch) << "Unpacking output:" << output;
    });
    connect(unarchiver,
            &Utils::Unarchiver::done,
            this,
            [this, unarchiver, example, prepared](Tasking::DoneResult result) {
                unarchiver->deleteLater();
                // The next extraction starts now and runs while this one is registered.
                --runningUnpacks;
                startUnpacking();
                if (result == Tasking::DoneResult::Success) {
                    registerExample(example, prepared);
                    return;
                }
                qCDebug(Log::service) << "Unable to unpack example:" << example->name();
                emitStatusChanged(tr("There was an error while unarchiving"));
                discard(example, prepared);
            });
    ++runningUnpacks;
    unarchiver->start();
}

void DownloadService::discard(const QSharedPointer<Example> &example,
                              const PreparedArchive &prepared)
{
    // Whatever was unpacked goes before the example counts as finished: nothing half
    // unpacked is left behind. Finishing examples goes before saving archives ahead.
    runInPool<bool>(
        [prepared] {
            removeLeftovers(prepared);
            return true;
        },
        [this, example](bool) { finishRegisterExample(example); },
        1);
}

void DownloadService::registerExample(const QSharedPointer<Example> &example,
                                      const PreparedArchive &prepared)
{
    const QString name = prepared.repositoryName;
    const auto giveUp = [this, &example, &prepared](const QString &status) {
        emitStatusChanged(status);
        discard(example, prepared);
    };

    const QString exampleName = example->name();
    if (!isSafePathComponent(exampleName)) {
        giveUp(tr("Skip registering example %1 - unsafe name: %2")
                   .arg(example->displayName(), exampleName));
        return;
    }

    const QSharedPointer<Repository> repository = findRepository(name);
    if (!repository) {
        giveUp(tr("Skip registering example %1 - unable to find repository for name: %2")
                   .arg(example->displayName(), name));
        return;
    }

    InstallJob job;
    job.repositoryName = name;
    job.exampleName = exampleName;
    job.displayName = example->displayName();
    job.description = example->description();
    job.tags = example->tags().join(u',');
    job.image = example->image();
    for (const QSharedPointer<Example> &other : repository->examples())
        job.otherNames.append(other->name());
    job.prepared = prepared;

    // Walking the tree, searching its files and writing the manifest and icon take tens of
    // milliseconds an example; in a pool thread they do not hold up the IDE.
    runInPool<QString>([job] { return installUnpacked(job); },
                       [this, example](const QString &status) {
                           if (!status.isEmpty())
                               emitStatusChanged(status);
                           finishRegisterExample(example);
                       },
                       1);
}

void DownloadService::finishRegisterExample(const QSharedPointer<Example> &example)
{
    for (qsizetype i = 0; i < pendingExamples.size(); ++i) {
        if (pendingExamples.at(i).get() == example.get()) {
            pendingExamples.removeAt(i);
            break;
        }
    }
    // The host reloads once all is installed, not each time unpacking catches up with a
    // batch that is still downloading.
    if (pendingExamples.isEmpty() && receivedExamples.isEmpty())
        emitUpdatesWhenNoDialog();
}

void DownloadService::emitUpdatesWhenNoDialog()
{
    if (QWidget *widget = QApplication::activeModalWidget()) {
        deferUpdatesUntilDialogClosed(widget);
        return;
    }
    emit updated();
    emit Core::HelpManager::Signals::instance()->documentationChanged();
}

void DownloadService::deferUpdatesUntilDialogClosed(QWidget *dialog)
{
    if (updatesDeferred && deferredDialog == dialog)
        return;

    updatesDeferred = true;
    deferredDialog = dialog;
    if (!dialog)
        return;
    if (auto modalDialog = qobject_cast<QDialog *>(dialog)) {
        connect(modalDialog,
                &QDialog::finished,
                this,
                &DownloadService::onDeferredDialogClosed,
                Qt::UniqueConnection);
    } else {
        connect(dialog,
                &QObject::destroyed,
                this,
                &DownloadService::onDeferredDialogClosed,
                Qt::UniqueConnection);
    }
}

void DownloadService::onDeferredDialogClosed()
{
    if (!updatesDeferred)
        return;
    updatesDeferred = false;
    deferredDialog = nullptr;
    QTimer::singleShot(0, this, [this] { emitUpdatesWhenNoDialog(); });
}

} // namespace Brindle::Internal
