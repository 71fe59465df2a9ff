// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "settings.h"

#include "constants.h"
#include "logging.h"

#include <coreplugin/helpmanager.h>
#include <hovri/sdk.h>
#include <utils/qtcsettings.h>

#include <QDebug>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace Brindle::Internal {

namespace {

const QChar SEPARATOR = u'|';
const char DATE_FORMAT[] = "dd.MM.yyyy";

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

void Settings::load(Utils::QtcSettings *settings)
{
    qDebug() << "Settings:" << settings->fileName();

    updatesCheckTimeoutDays = 1;
    serviceRestartTimeoutSeconds = 60;
    repositories.clear();

    settings->beginGroup(Constants::SETTINGS_GROUP);
    if (settings->contains(Constants::UPDATES_CHECKED)) {
        lastCheckedDates = lastCheckedDateFromStringList(
            settings->value(Constants::UPDATES_CHECKED).toStringList());
    }
    if (settings->contains(Constants::UPDATES_TIMEOUT))
        updatesCheckTimeoutDays = settings->value(Constants::UPDATES_TIMEOUT).toUInt();
    if (settings->contains(Constants::SERVICE_RESTART_TIMEOUT))
        serviceRestartTimeoutSeconds = settings->value(Constants::SERVICE_RESTART_TIMEOUT).toUInt();

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

void Settings::saveUserChoices(Utils::QtcSettings *settings) const
{
    settings->beginGroup(Constants::SETTINGS_GROUP);
    // Works on the stored items one by one: rows this copy does not know, and items the
    // reader would drop, stay exactly as they are, in their place.
    if (settings->contains(Constants::REPOSITORIES)) {
        QStringList items = settings->value(Constants::REPOSITORIES).toStringList();
        QSet<QString> done;
        for (QString &item : items) {
            const QStringList fields = item.split(SEPARATOR);
            if (fields.size() < 2)
                continue;
            const QString &name = fields.at(0);
            const auto row = repositories.constFind(name);
            if (row == repositories.cend() || done.contains(name))
                continue;
            done.insert(name);
            item = encodeRepository(name, fields.at(1), row->removedExamples);
        }
        settings->setValue(Constants::REPOSITORIES, items);
    }
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

QString Settings::repositoryPath(const QString &name)
{
    // Appended, never substituted: a name holding "%1" must not be expanded again, and
    // neither may a "%1" inside the data location itself.
    return location().chopped(2) + name;
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
    QList<QUrl> takenUrls;
    for (const QString &item : list) {
        if (item.isEmpty())
            continue;
        const QStringList fields = item.split(SEPARATOR);
        // The name becomes a directory name below the data location, so it has to be one
        // harmless path component.
        if (fields.size() < 2 || !isSafePathComponent(fields.at(0)) || fields.at(1).isEmpty()) {
            qCDebug(Log::main) << "Skipping wrong setting in item:" << item;
            continue;
        }
        const QString &name = fields.at(0);
        if (repositories.contains(name)) {
            qCDebug(Log::main) << "Skipping duplicated repository name in item:" << item;
            continue;
        }
        const QUrl url(fields.at(1), QUrl::TolerantMode);
        if (takenUrls.contains(url)) {
            qCDebug(Log::main) << "Skipping duplicated repository url in item:" << item;
            continue;
        }
        takenUrls.append(url);

        Settings::RepositoryInfo &info = repositories[name];
        info.url = url;
        for (qsizetype i = 2; i < fields.size(); ++i)
            info.removedExamples.insert(fields.at(i));
    }
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
            qCDebug(Log::main) << "Skipping wrong setting in item:" << item;
            continue;
        }
        if (dates.contains(fields.at(0))) {
            qCDebug(Log::main) << "Skipping duplicated repository name in item:" << item;
            continue;
        }
        const QDate date = QDate::fromString(fields.at(1), QString::fromLatin1(DATE_FORMAT));
        dates.insert(fields.at(0), date);
    }
    return dates;
}

} // namespace Brindle::Internal
