// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "settings.h"

#include "archivefolder.h"
#include "constants.h"
#include "logging.h"
#include "urlredaction.h"

#include <coreplugin/helpmanager.h>
#include <hovri/sdk.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>

namespace Brindle::Internal {

namespace {

const QChar SEPARATOR = u'|';
const char MAX_ARCHIVE_MEGABYTES[] = "MaxArchiveMegabytes";
const char MAX_UNPACKED_MEGABYTES[] = "MaxUnpackedMegabytes";
const qint64 MEBIBYTE = 1024 * 1024;
// An example project is a few MB; the room above that is for media and generated files.
const qint64 DEFAULT_ARCHIVE_MEGABYTES = 256;
const qint64 UNPACKED_PER_ARCHIVE = 4;
// 512 PiB: no limit in practice, and small enough that neither the limit in bytes nor eight
// times of it can overflow.
const qint64 MAX_MEGABYTES = Q_INT64_C(1) << 39;
const char DATE_FORMAT[] = "dd.MM.yyyy";
const quint32 DEFAULT_INTERVAL_DAYS = 1;
const quint32 DEFAULT_RESTART_SECONDS = 60;
// Every retry replaces the clients of the repositories that are not ready, so a shorter one
// would have the plugin hammer a server that is down.
const quint32 MIN_RESTART_SECONDS = 10;
const qint64 MIN_FREE_BYTES = Q_INT64_C(1) << 30;
// A small file system, a build machine's or a card's, would otherwise take no example at all.
const qint64 MIN_FREE_PER_FILE_SYSTEM = 20;


struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::Settings)
};

// Used when the SDK reports a release name that cannot serve as one directory name: the
// examples must still land below the data location and nowhere else.
const char FALLBACK_RELEASE_DIR[] = "sdk-release";

QString computeLocation()
{
    QString release = std::get<2>(Hovri::Sdk::releaseInfo());
    if (!isSafePathComponent(release)) {
        qCDebug(Log::main) << "SDK release is not usable as a directory name:" << release
                           << "using:" << FALLBACK_RELEASE_DIR;
        release = QString::fromLatin1(FALLBACK_RELEASE_DIR);
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + release
           + QStringLiteral("/%1");
}

// A stored item as it may be logged: its URL without user information.
QString redactedItem(const QString &item)
{
    QStringList fields = item.split(SEPARATOR);
    if (fields.size() > 1)
        fields[1] = redactedUrl(QUrl(fields.at(1)));
    return fields.join(SEPARATOR);
}

QString firstField(const QString &item)
{
    const qsizetype separator = item.indexOf(SEPARATOR);
    return separator < 0 ? item : item.left(separator);
}

QString encodeRepository(const QString &name, const QString &url, const QSet<QString> &removed)
{
    const QStringList names(removed.cbegin(), removed.cend());
    return name + SEPARATOR + url + SEPARATOR + names.join(SEPARATOR);
}

// Walks the stored repository items as the reader sees them and hands each item it keeps,
// with its position in the list and its fields, to accepted. The reader and the writer of
// the page's choices both go through here, so that a choice lands in the very row that is
// read back.
template<typename Accepted>
void forEachAcceptedRepository(const QStringList &list, bool log, Accepted accepted)
{
    QSet<QString> takenNames;
    QList<QUrl> takenUrls;
    for (qsizetype index = 0; index < list.size(); ++index) {
        const QString &item = list.at(index);
        if (item.isEmpty())
            continue;
        const QStringList fields = item.split(SEPARATOR);
        // The name becomes a directory name below the data location, so it has to be one
        // harmless path component.
        if (fields.size() < 2 || !isSafePathComponent(fields.at(0)) || fields.at(1).isEmpty()) {
            if (log)
                qCDebug(Log::main) << "Skipping wrong setting in item:" << redactedItem(item);
            continue;
        }
        if (takenNames.contains(fields.at(0))) {
            if (log)
                qCDebug(Log::main) << "Skipping duplicated repository name in item:" << redactedItem(item);
            continue;
        }
        const QUrl url(fields.at(1), QUrl::TolerantMode);
        if (takenUrls.contains(url)) {
            if (log)
                qCDebug(Log::main) << "Skipping duplicated repository url in item:" << redactedItem(item);
            continue;
        }
        takenNames.insert(fields.at(0));
        takenUrls.append(url);
        accepted(index, fields);
    }
}

// What the store holds, as the text in the ini file: "2,0" reads back as a list.
QString storedText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

// True the first time a key holds this text: the limits are read for every download and
// every holder loads the settings, so a value that is not used as it stands is logged once.
bool firstReport(const char *key, const QString &text)
{
    static QMutex mutex;
    static QHash<QByteArray, QString> reported;
    const QMutexLocker locker(&mutex);
    const auto it = reported.constFind(key);
    if (it != reported.cend() && *it == text)
        return false;
    reported.insert(key, text);
    return true;
}

void reportUnusable(const char *key, const QString &text, const QString &readAs)
{
    if (firstReport(key, text))
        qCDebug(Log::main) << "Setting" << key << "holds" << text << "read as"
                           << qPrintable(readAs);
}

// A size limit in MiB from the store: a positive number, clamped to MAX_MEGABYTES;
// defaultMegabytes when the key is absent or holds anything else.
qint64 megabytesValue(Utils::QtcSettings *settings, const char *key, qint64 defaultMegabytes)
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    const QVariant value = settings->value(Utils::Key(QByteArray(key)));
    settings->endGroup();
    if (!value.isValid())
        return defaultMegabytes;
    const QString text = storedText(value);
    bool ok = false;
    const qint64 megabytes = text.toLongLong(&ok);
    if (!ok || megabytes <= 0) {
        reportUnusable(key, text, QString::number(defaultMegabytes) + QLatin1String(" MiB"));
        return defaultMegabytes;
    }
    if (megabytes > MAX_MEGABYTES) {
        if (firstReport(key, text)) {
            qCDebug(Log::main) << "Setting too large, clamped:" << key << megabytes << "MiB to"
                               << MAX_MEGABYTES << "MiB";
        }
        return MAX_MEGABYTES;
    }
    return megabytes;
}

// Within the settings group. Anything but a number of days reads as 0, automatic updates off,
// as it always did: a user who wrote "never" meant that.
quint32 intervalValue(Utils::QtcSettings *settings)
{
    const QVariant value = settings->value(Constants::UPDATES_TIMEOUT);
    if (!value.isValid())
        return DEFAULT_INTERVAL_DAYS;
    const QString text = storedText(value);
    bool ok = false;
    const quint32 days = text.toUInt(&ok);
    if (!ok)
        reportUnusable(
            Constants::UPDATES_TIMEOUT, text, QLatin1String("0 (automatic updates off)"));
    return ok ? days : 0;
}

// Within the settings group.
quint32 restartValue(Utils::QtcSettings *settings)
{
    const QVariant value = settings->value(Constants::SERVICE_RESTART_TIMEOUT);
    if (!value.isValid())
        return DEFAULT_RESTART_SECONDS;
    const QString text = storedText(value);
    bool ok = false;
    const quint32 seconds = text.toUInt(&ok);
    if (ok && seconds >= MIN_RESTART_SECONDS)
        return seconds;
    reportUnusable(Constants::SERVICE_RESTART_TIMEOUT,
                   text,
                   QString::number(MIN_RESTART_SECONDS) + QLatin1String(" seconds"));
    return MIN_RESTART_SECONDS;
}

} // namespace

bool isSafePathComponent(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool isSafeExampleName(const QString &name)
{
    return isSafePathComponent(name) && !name.startsWith(u'.');
}

QString temporaryArchiveTemplate(qint64 projectId, const char *extension)
{
    return ArchiveFolder::path() + QStringLiteral("/brindle-%1-XXXXXX").arg(projectId)
           + QLatin1String(extension);
}

bool isTemporaryArchiveName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^brindle-.+-[A-Za-z0-9]{6}(%1|%2)$")
            .arg(QRegularExpression::escape(QLatin1String(Constants::ARCHIVE_EXTENSION)),
                 QRegularExpression::escape(QLatin1String(Constants::TAR_EXTENSION))));
    return pattern.match(fileName).hasMatch();
}

void Settings::load(Utils::QtcSettings *settings)
{
    // Categorised like every message of the plugin: a plain qDebug() would be printed in every
    // IDE session.
    qCDebug(Log::main) << "Settings:" << settings->fileName();

    updatesCheckTimeoutDays = DEFAULT_INTERVAL_DAYS;
    serviceRestartTimeoutSeconds = DEFAULT_RESTART_SECONDS;
    repositories.clear();

    settings->beginGroup(Constants::SETTINGS_GROUP);
    if (settings->contains(Constants::UPDATES_CHECKED)) {
        lastCheckedDates = lastCheckedDateFromStringList(
            settings->value(Constants::UPDATES_CHECKED).toStringList());
    }
    updatesCheckTimeoutDays = intervalValue(settings);
    serviceRestartTimeoutSeconds = restartValue(settings);

    if (!settings->contains(Constants::REPOSITORIES)) {
        qCDebug(Log::main) << "Settings does not contain variable:" << Constants::REPOSITORIES;
    } else {
        repositories = fromStringList(settings->value(Constants::REPOSITORIES).toStringList());
        if (repositories.isEmpty()) {
            qCDebug(Log::main) << "Empty or invalid settings. Check variable:"
                               << Constants::REPOSITORIES;
        }
    }
    settings->endGroup();
}

void Settings::save(Utils::QtcSettings *settings) const
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    settings->setValue(Constants::UPDATES_CHECKED, lastUpdateTimeToStringList(lastCheckedDates));
    settings->setValue(Constants::UPDATES_TIMEOUT, updatesCheckTimeoutDays);
    settings->setValue(Constants::SERVICE_RESTART_TIMEOUT, serviceRestartTimeoutSeconds);
    settings->setValue(Constants::REPOSITORIES, toStringList(repositories));
    settings->endGroup();
    settings->sync();
}

void Settings::saveCheckedDate(Utils::QtcSettings *settings, const QString &name, const QDate &date)
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    QHash<QString, QDate> dates = lastCheckedDateFromStringList(
        settings->value(Constants::UPDATES_CHECKED).toStringList());
    dates.insert(name, date);
    settings->setValue(Constants::UPDATES_CHECKED, lastUpdateTimeToStringList(dates));
    settings->endGroup();
    settings->sync();
}

void Settings::saveUserChoices(Utils::QtcSettings *settings, bool intervalChanged) const
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    // Only the rows the reader keeps are rewritten: rows this copy does not know, and items
    // the reader drops, stay exactly as they are, in their place.
    if (settings->contains(Constants::REPOSITORIES)) {
        QStringList items = settings->value(Constants::REPOSITORIES).toStringList();
        forEachAcceptedRepository(items, false, [&](qsizetype index, const QStringList &fields) {
            const auto row = repositories.constFind(fields.at(0));
            if (row != repositories.cend())
                items[index] = encodeRepository(fields.at(0), fields.at(1), row->removedExamples);
        });
        settings->setValue(Constants::REPOSITORIES, items);
    }
    if (intervalChanged)
        settings->setValue(Constants::UPDATES_TIMEOUT, updatesCheckTimeoutDays);
    settings->endGroup();
    settings->sync();
}

QString Settings::findName(const QUrl &url) const
{
    for (auto it = repositories.cbegin(); it != repositories.cend(); ++it) {
        if (it->url == url)
            return it.key();
    }
    return {};
}

qint64 Settings::maxArchiveBytes(Utils::QtcSettings *settings)
{
    return megabytesValue(settings, MAX_ARCHIVE_MEGABYTES, DEFAULT_ARCHIVE_MEGABYTES) * MEBIBYTE;
}

qint64 Settings::maxUnpackedBytes(Utils::QtcSettings *settings)
{
    const qint64 archiveMegabytes = maxArchiveBytes(settings) / MEBIBYTE;
    return megabytesValue(settings, MAX_UNPACKED_MEGABYTES, UNPACKED_PER_ARCHIVE * archiveMegabytes)
           * MEBIBYTE;
}

qint64 Settings::minimumFreeDiskBytes(qint64 fileSystemBytes)
{
    return qBound(qint64(0), fileSystemBytes / MIN_FREE_PER_FILE_SYSTEM, MIN_FREE_BYTES);
}

bool Settings::leavesEnoughFreeSpace(const QString &path, qint64 bytesToWrite, QString *why)
{
    // The folder may not exist yet; it will be made on the file system of its nearest
    // existing parent.
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            break;
        existing = parent;
    }
    const QStorageInfo storage(existing);
    if (!storage.isValid() || !storage.isReady()) {
        // Writing fails on its own when the disk is full; not knowing must not stop it.
        qCDebug(Log::main) << "Free space unknown at:" << existing;
        return true;
    }
    const qint64 floor = minimumFreeDiskBytes(storage.bytesTotal());
    const qint64 available = storage.bytesAvailable();
    if (qMax(bytesToWrite, qint64(0)) <= available - floor)
        return true;
    qCDebug(Log::main) << "Not enough free space at:" << existing << "needed:" << bytesToWrite
                       << "available:" << available << "to keep free:" << floor;
    if (why) {
        const QLocale locale;
        *why = Tr::tr("it needs up to %1, and %2 is free on the disk of %3, of which %4 must "
                      "stay free")
                   .arg(locale.formattedDataSize(bytesToWrite),
                        locale.formattedDataSize(available),
                        QDir::toNativeSeparators(existing),
                        locale.formattedDataSize(floor));
    }
    return false;
}

quint32 Settings::storedUpdatesInterval(Utils::QtcSettings *settings)
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    const quint32 days = intervalValue(settings);
    settings->endGroup();
    return days;
}

QString Settings::repositoryPath(const QString &name)
{
    // Appended, never substituted: a name holding "%1" must not be expanded again, and
    // neither may a "%1" inside the data location itself.
    return location().chopped(2) + name;
}

QString Settings::ownDataPath()
{
    // Outside the release's folder, which holds the repositories' folders only, and on the
    // same disk, so that a copy is moved there, never copied.
    const QString releaseFolder = location().chopped(3);
    const qsizetype slash = releaseFolder.lastIndexOf(u'/');
    return releaseFolder.left(slash) + QStringLiteral("/brindle/") + releaseFolder.mid(slash + 1);
}

QString Settings::installedRecordPath(const QString &repository, const QString &example)
{
    return ownDataPath() + QStringLiteral("/installed/") + repository + u'/' + example;
}

QString Settings::keptChangesPath(const QString &repository)
{
    return ownDataPath() + QStringLiteral("/kept/") + repository;
}

QString Settings::location()
{
    // Computed once per process: the first call happens while the library loads, and the
    // examples must keep one home for the whole session.
    static const QString cacheLocation = [] {
        const QString location = computeLocation();
        qCDebug(Log::main) << "Data location" << location;
        return location;
    }();
    return cacheLocation;
}

void Settings::updateInstalledExamplesValue(Utils::QtcSettings *settings)
{
    QStringList list = settings->value(Constants::INSTALLED_EXAMPLES).toStringList();

    Settings current;
    current.load(settings);

    bool changed = false;
    bool rewrite = false;
    for (auto it = current.repositories.cbegin(); it != current.repositories.cend(); ++it) {
        const QString &name = it.key();
        const QString path = Settings::repositoryPath(name);
        // Whole first field only: "examples" must not take over the set "examples-old".
        const auto item = std::find_if(list.begin(), list.end(), [&name](const QString &entry) {
            return firstField(entry) == name;
        });
        if (item == list.end())
            continue;
        const QString entry = name + SEPARATOR + path + SEPARATOR + path;
        rewrite = rewrite || *item != entry;
        *item = entry;
        QDir().mkpath(path);
        changed = true;
    }

    if (changed) {
        // Writing the store locks and flushes two files to disk, which took up to tens of
        // milliseconds of the IDE's start-up on every run; an unchanged list is not written.
        if (rewrite) {
            settings->setValue(Constants::INSTALLED_EXAMPLES, list);
            settings->sync();
        }
        emit Core::HelpManager::Signals::instance()->setupFinished();
    }
}

QStringList toStringList(const QHash<QString, Settings::RepositoryInfo> &repositories)
{
    QStringList list;
    list.reserve(repositories.size());
    for (auto it = repositories.cbegin(); it != repositories.cend(); ++it)
        list.append(encodeRepository(it.key(), it->url.toString(), it->removedExamples));
    return list;
}

QHash<QString, Settings::RepositoryInfo> fromStringList(const QStringList &list)
{
    QHash<QString, Settings::RepositoryInfo> repositories;
    forEachAcceptedRepository(list, true, [&repositories](qsizetype, const QStringList &fields) {
        Settings::RepositoryInfo &info = repositories[fields.at(0)];
        info.url = QUrl(fields.at(1), QUrl::TolerantMode);
        for (qsizetype i = 2; i < fields.size(); ++i)
            info.removedExamples.insert(fields.at(i));
    });
    return repositories;
}

QStringList lastUpdateTimeToStringList(const QHash<QString, QDate> &dates)
{
    QStringList list;
    list.reserve(dates.size());
    for (auto it = dates.cbegin(); it != dates.cend(); ++it)
        list.append(it.key() + SEPARATOR + it->toString(QString::fromLatin1(DATE_FORMAT)));
    return list;
}

QHash<QString, QDate> lastCheckedDateFromStringList(const QStringList &list)
{
    QHash<QString, QDate> dates;
    for (const QString &item : list) {
        if (item.isEmpty())
            continue;
        const QStringList fields = item.split(SEPARATOR);
        if (fields.size() != 2) {
            qCDebug(Log::main) << "Skipping wrong setting in item:" << redactedItem(item);
            continue;
        }
        if (dates.contains(fields.at(0))) {
            qCDebug(Log::main) << "Skipping duplicated repository name in item:" << redactedItem(item);
            continue;
        }
        const QDate date = QDate::fromString(fields.at(1), QString::fromLatin1(DATE_FORMAT));
        dates.insert(fields.at(0), date);
    }
    return dates;
}

} // namespace Brindle::Internal
