// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "samplesloader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace GitLab::Internal {

namespace {

const char GroupFile[] = "group.json";
const char ProjectFile[] = "project.json";
const char FilesFolder[] = "files";
constexpr qint64 MaxSampleFileSize = 16 * 1024 * 1024;

bool readFile(const QString &fileName, QByteArray *contents, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (file.size() > MaxSampleFileSize) {
        *error = QStringLiteral("%1: larger than %2 bytes").arg(fileName).arg(MaxSampleFileSize);
        return false;
    }
    *contents = file.readAll();
    return true;
}

bool readJsonObject(const QString &fileName, QJsonObject *object, QString *error)
{
    QByteArray contents;
    if (!readFile(fileName, &contents, error))
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("%1: not a JSON object (%2 at offset %3)")
                     .arg(fileName, parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    *object = document.object();
    return true;
}

// "visibility": "public" or "private"; the older "public": bool still works.
bool readVisibility(const QJsonObject &object, bool *isPublic)
{
    const QJsonValue visibility = object.value("visibility");
    if (visibility.isUndefined()) {
        *isPublic = object.value("public").toBool(true);
        return true;
    }
    if (visibility != "public" && visibility != "private")
        return false;
    *isPublic = visibility == "public";
    return true;
}

bool isValidSlug(const QString &path)
{
    static const QRegularExpression slug("^[A-Za-z0-9_][A-Za-z0-9_.\\-]*$");
    return slug.match(path).hasMatch() && !path.endsWith(".git") && !path.endsWith(".atom");
}

} // namespace

SamplesLoader::SamplesLoader(Server *server)
    : m_server(server)
{}

bool SamplesLoader::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool SamplesLoader::load(const QString &directory, QString *error)
{
    m_groups.clear();
    m_projects.clear();
    const QFileInfo root(directory);
    bool ok = root.isDir() ? visit(root.absoluteFilePath(), {})
                           : fail(QStringLiteral("%1: not a directory").arg(directory));
    if (ok && m_projects.isEmpty())
        ok = fail(QStringLiteral("%1: no projects found").arg(directory));
    if (!ok) {
        if (error)
            *error = m_error;
        return false;
    }

    for (const GroupEntry &group : std::as_const(m_groups)) {
        m_server->addGroup(group.fullPath, group.name, group.isPublic);
        m_server->setGroupDescription(group.fullPath, group.description);
    }
    for (const ProjectEntry &entry : std::as_const(m_projects))
        m_server->addProject(entry.groupPath, entry.project);
    return true;
}

bool SamplesLoader::visit(const QString &directory, const QString &groupPath)
{
    const QFileInfoList children
        = QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &child : children) {
        const QString childPath = child.absoluteFilePath();
        if (QFileInfo::exists(childPath + '/' + ProjectFile)) {
            if (groupPath.isEmpty())
                return fail(
                    QStringLiteral("%1: projects must lie in a group folder").arg(childPath));
            if (!readProject(childPath, groupPath))
                return false;
            continue;
        }
        if (!isValidSlug(child.fileName()))
            return fail(QStringLiteral("%1: not a valid group path").arg(childPath));
        const QString fullPath
            = groupPath.isEmpty() ? child.fileName() : groupPath + '/' + child.fileName();
        if (!readGroup(childPath, fullPath) || !visit(childPath, fullPath))
            return false;
    }
    return true;
}

bool SamplesLoader::readGroup(const QString &directory, const QString &fullPath)
{
    GroupEntry group;
    group.fullPath = fullPath;
    group.name = fullPath.section('/', -1);
    const QString fileName = directory + '/' + GroupFile;
    if (QFileInfo::exists(fileName)) {
        QJsonObject object;
        if (!readJsonObject(fileName, &object, &m_error))
            return false;
        group.name = object.value("name").toString(group.name);
        group.description = object.value("description").toString();
        if (!readVisibility(object, &group.isPublic))
            return fail(QStringLiteral("%1: \"visibility\" must be \"public\" or \"private\"")
                            .arg(fileName));
    }
    m_groups.append(group);
    return true;
}

bool SamplesLoader::readProject(const QString &directory, const QString &groupPath)
{
    const QString metadataFile = directory + '/' + ProjectFile;
    QJsonObject object;
    if (!readJsonObject(metadataFile, &object, &m_error))
        return false;

    Project project;
    project.path = QFileInfo(directory).fileName();
    if (!isValidSlug(project.path))
        return fail(QStringLiteral("%1: not a valid project path").arg(directory));
    for (const ProjectEntry &other : std::as_const(m_projects)) {
        if (other.groupPath == groupPath
            && other.project.path.compare(project.path, Qt::CaseInsensitive) == 0) {
            return fail(QStringLiteral("%1: project path taken twice").arg(directory));
        }
    }

    const QJsonValue name = object.value("name");
    if (!name.isString() || name.toString().trimmed().isEmpty())
        return fail(QStringLiteral("%1: \"name\" must be a non-empty string").arg(metadataFile));
    project.name = name.toString();

    const QJsonValue description = object.value("description");
    if (description.isString())
        project.description = description.toString();
    else if (!description.isNull() && !description.isUndefined())
        return fail(
            QStringLiteral("%1: \"description\" must be a string or null").arg(metadataFile));

    const QJsonValue topics = object.value("topics");
    if (!topics.isUndefined() && !topics.isArray())
        return fail(QStringLiteral("%1: \"topics\" must be an array").arg(metadataFile));
    for (const QJsonValue &topic : topics.toArray()) {
        if (!topic.isString())
            return fail(QStringLiteral("%1: topics must be strings").arg(metadataFile));
        project.topics.append(topic.toString());
    }

    const QString activity = object.value("last_activity_at").toString();
    project.lastActivity = QDateTime::fromString(activity, Qt::ISODateWithMs);
    if (!project.lastActivity.isValid()) {
        return fail(
            QStringLiteral("%1: \"last_activity_at\" must be an ISO 8601 time").arg(metadataFile));
    }
    project.lastActivity = project.lastActivity.toUTC();
    project.ref = object.value("ref").toString("main");
    if (!readVisibility(object, &project.isPublic))
        return fail(QStringLiteral("%1: \"visibility\" must be \"public\" or \"private\"")
                        .arg(metadataFile));

    const QString avatar = object.value("avatar").toString();
    if (!avatar.isEmpty()) {
        if (avatar.contains('/') || avatar.startsWith('.'))
            return fail(
                QStringLiteral("%1: \"avatar\" must name a file beside it").arg(metadataFile));
        if (!readFile(directory + '/' + avatar, &project.avatar, &m_error))
            return false;
        project.avatarFileName = avatar;
    }

    const QString filesRoot = directory + '/' + FilesFolder;
    QDirIterator it(
        filesRoot, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString fileName = it.next();
        QByteArray contents;
        if (!readFile(fileName, &contents, &m_error))
            return false;
        project.files.insert(QDir(filesRoot).relativeFilePath(fileName), contents);
    }

    m_projects.append({groupPath, project});
    return true;
}

} // namespace GitLab::Internal
