// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "repositoryconfig.h"

#include <hovri/sdk.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace Brindle::Host {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Brindle::Host::RepositoryConfig", text);
}

// The plugin turns the name into a folder name and stores it in "|"-separated fields.
bool isUsableName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('|')
            || c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

QString firstField(const QString &entry)
{
    return entry.section(QLatin1Char('|'), 0, 0);
}

// Text that was meant to be a URL, as it may be printed.
QString displayText(const QString &text)
{
    return RepositoryConfig::displayUrl(QUrl(text, QUrl::TolerantMode));
}

} // namespace

QString RepositoryConfig::displayUrl(const QUrl &url)
{
    const QString text
        = url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    if (!url.host().isEmpty())
        return text;
    // Without "//", "user:password@host/group" parses as a scheme and a path, with the user
    // info still in it.
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? text : text.mid(at + 1);
}

QString RepositoryConfig::parse(const QString &argument, QString *name, QUrl *url)
{
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    // A URL without a name may still hold a "=", in its query.
    if (equals < 0 || argument.left(equals).contains(QLatin1String("://")))
        return tr("Expected NAME=URL, got \"%1\".").arg(displayText(argument));
    *name = argument.left(equals).trimmed();
    const QString urlText = argument.mid(equals + 1).trimmed();
    if (!isUsableName(*name)) {
        return tr("\"%1\" cannot be a repository name: it must be usable as a folder name and "
                  "must not contain \"|\".")
            .arg(*name);
    }
    *url = QUrl(urlText, QUrl::StrictMode);
    const QString path = url->path();
    if (!url->isValid()
        || (url->scheme() != QLatin1String("http") && url->scheme() != QLatin1String("https"))
        || url->host().isEmpty() || path.isEmpty() || path == QLatin1String("/")
        || urlText.contains(QLatin1Char('|'))) {
        return tr("\"%1\" is not the http(s) address of a GitLab group, such as "
                  "https://gitlab.example.com/palvexos/examples.")
            .arg(displayText(urlText));
    }
    return {};
}

QString RepositoryConfig::dataDirectory(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
           + std::get<2>(Hovri::Sdk::releaseInfo()) + QLatin1Char('/') + name;
}

QString RepositoryConfig::add(Utils::QtcSettings *settings, const QString &name, const QUrl &url)
{
    QStringList repositories = settings->value("Brindle/Repositories").toStringList();
    qsizetype sameName = -1;
    for (qsizetype i = 0; i < repositories.size(); ++i) {
        const QStringList fields = repositories.at(i).split(QLatin1Char('|'));
        if (fields.size() < 2)
            continue;
        const bool sameUrl = QUrl(fields.at(1), QUrl::TolerantMode) == url;
        if (fields.at(0) == name) {
            if (sameName < 0)
                sameName = i;
        } else if (sameUrl) {
            return tr("%1 is already configured as repository \"%2\".")
                .arg(displayUrl(url), fields.at(0));
        }
    }
    const QString entry = name + QLatin1Char('|') + url.toString() + QLatin1Char('|');
    if (sameName < 0) {
        repositories.append(entry);
    } else {
        const QStringList fields = repositories.at(sameName).split(QLatin1Char('|'));
        // The same repository again keeps the examples the user removed from it.
        if (QUrl(fields.at(1), QUrl::TolerantMode) != url)
            repositories[sameName] = entry;
    }

    const QString directory = dataDirectory(name);
    const QString set = name + QLatin1Char('|') + directory + QLatin1Char('|') + directory;
    QStringList sets = settings->value("Help/InstalledExamples").toStringList();
    bool replaced = false;
    for (QString &existing : sets) {
        if (firstField(existing) == name) {
            existing = set;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        sets.append(set);

    if (!QDir().mkpath(directory))
        return tr("Cannot create the folder %1.").arg(QDir::toNativeSeparators(directory));

    settings->setValue("Brindle/Repositories", repositories);
    settings->setValue("Help/InstalledExamples", sets);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        return tr("Cannot write the settings file %1.").arg(settings->fileName());
    return {};
}

} // namespace Brindle::Host
