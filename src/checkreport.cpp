// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "checkreport.h"

#include <QJsonArray>

#include <algorithm>

namespace Brindle::Internal {

namespace {

QJsonArray findingsToJson(const QList<CheckFinding> &findings)
{
    QJsonArray array;
    for (const CheckFinding &finding : findings) {
        array.append(QJsonObject{
            {QStringLiteral("kind"), CheckFinding::keyOf(finding.kind)},
            {QStringLiteral("severity"),
             finding.severity() == CheckFinding::Severity::Error ? QStringLiteral("error")
                                                                 : QStringLiteral("warning")},
            {QStringLiteral("message"), finding.message},
        });
    }
    return array;
}

int countIn(const QList<CheckFinding> &findings, CheckFinding::Severity severity)
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [severity](const auto &finding) {
        return finding.severity() == severity;
    }));
}

} // namespace

CheckFinding::Severity CheckFinding::severity() const
{
    return kind < Kind::NoDescription ? Severity::Error : Severity::Warning;
}

QString CheckFinding::keyOf(Kind kind)
{
    switch (kind) {
    case Kind::UnsafeName:
        return QStringLiteral("unsafe-name");
    case Kind::DamagedArchive:
        return QStringLiteral("damaged-archive");
    case Kind::DownloadFailed:
        return QStringLiteral("download-failed");
    case Kind::SizeLimit:
        return QStringLiteral("size-limit");
    case Kind::PathTooLong:
        return QStringLiteral("path-too-long");
    case Kind::UnsafeArchive:
        return QStringLiteral("unsafe-archive");
    case Kind::NoProjectFile:
        return QStringLiteral("no-project-file");
    case Kind::NotInstalled:
        return QStringLiteral("not-installed");
    case Kind::NotFinished:
        return QStringLiteral("not-finished");
    case Kind::NoDescription:
        return QStringLiteral("no-description");
    case Kind::NoImage:
        return QStringLiteral("no-image");
    case Kind::NamesDifferInCase:
        return QStringLiteral("names-differ-in-case");
    case Kind::HugeAvatar:
        return QStringLiteral("huge-avatar");
    case Kind::LargeArchive:
        return QStringLiteral("large-archive");
    case Kind::LargeUnpacked:
        return QStringLiteral("large-unpacked");
    case Kind::LookAlikeGroups:
        return QStringLiteral("look-alike-groups");
    case Kind::NoProjects:
        return QStringLiteral("no-projects");
    }
    return {};
}

bool ProjectCheck::has(CheckFinding::Kind kind) const
{
    return std::any_of(findings.cbegin(), findings.cend(), [kind](const CheckFinding &finding) {
        return finding.kind == kind;
    });
}

int ProjectCheck::count(CheckFinding::Severity severity) const
{
    return countIn(findings, severity);
}

int CheckReport::count(CheckFinding::Severity severity) const
{
    int total = countIn(groupFindings, severity);
    for (const ProjectCheck &project : projects)
        total += project.count(severity);
    return total;
}

int CheckReport::exitCode() const
{
    if (count(CheckFinding::Severity::Error) > 0)
        return 2;
    if (!reachable)
        return 3;
    return count(CheckFinding::Severity::Warning) > 0 ? 1 : 0;
}

QString CheckReport::imageSourceKey(ManifestContent::ImageSource source)
{
    switch (source) {
    case ManifestContent::ImageSource::Avatar:
        return QStringLiteral("avatar");
    case ManifestContent::ImageSource::IconsFolder:
        return QStringLiteral("icons");
    case ManifestContent::ImageSource::Default:
        return QStringLiteral("default");
    }
    return {};
}

QJsonObject CheckReport::toJson() const
{
    QJsonArray projectArray;
    for (const ProjectCheck &project : projects) {
        QJsonObject object{
            {QStringLiteral("id"), double(project.id)},
            {QStringLiteral("name"), project.name},
            {QStringLiteral("title"), project.title},
            {QStringLiteral("description"), project.description},
            {QStringLiteral("tags"), QJsonArray::fromStringList(project.tags)},
            {QStringLiteral("installed"), project.installed},
            {QStringLiteral("findings"), findingsToJson(project.findings)},
        };
        if (project.installed) {
            object.insert(QStringLiteral("image"), project.manifest.imageUrl);
            object.insert(QStringLiteral("imageSource"),
                          imageSourceKey(project.manifest.imageSource));
            object.insert(QStringLiteral("projectFile"), project.manifest.projectPath);
            object.insert(QStringLiteral("fileToOpen"), project.manifest.fileToOpen);
        }
        if (project.archiveBytes >= 0)
            object.insert(QStringLiteral("archiveBytes"), double(project.archiveBytes));
        if (project.unpackedBytes >= 0)
            object.insert(QStringLiteral("unpackedBytes"), double(project.unpackedBytes));
        projectArray.append(object);
    }
    const int errors = count(CheckFinding::Severity::Error);
    const int warnings = count(CheckFinding::Severity::Warning);
    return {
        {QStringLiteral("url"), url},
        {QStringLiteral("group"), group},
        {QStringLiteral("reachable"), reachable},
        {QStringLiteral("failure"), failure},
        {QStringLiteral("findings"), findingsToJson(groupFindings)},
        {QStringLiteral("projects"), projectArray},
        {QStringLiteral("summary"),
         QJsonObject{{QStringLiteral("projects"), int(projects.size())},
                     {QStringLiteral("errors"), errors},
                     {QStringLiteral("warnings"), warnings},
                     {QStringLiteral("exitCode"), exitCode()}}},
    };
}

} // namespace Brindle::Internal
