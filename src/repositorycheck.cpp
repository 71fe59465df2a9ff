// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "repositorycheck.h"

#include "apiclient.h"
#include "example.h"
#include "exampleinstaller.h"
#include "logging.h"
#include "settings.h"
#include "urlredaction.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

namespace Brindle::Internal {

namespace {

using Kind = CheckFinding::Kind;

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeIecFormat);
}

} // namespace

RepositoryCheck::RepositoryCheck(QObject *parent)
    : QObject(parent)
{}

RepositoryCheck::~RepositoryCheck()
{
    stopWork();
}

bool RepositoryCheck::start(const QUrl &url, const QString &accessToken)
{
    if (running)
        return false;
    stopWork();
    m_report = {};
    indexById.clear();
    pending = 0;
    m_report.url = redactedUrl(url);
    m_report.group = printableText(url.path(QUrl::FullyDecoded)).remove(0, 1);
    while (m_report.group.endsWith(u'/'))
        m_report.group.chop(1);
    running = true;

    // A folder of its own beside the repositories' folders: the same file system and the same
    // path lengths as a real installation, and nothing shared with one.
    QDir().mkpath(QFileInfo(Settings::repositoryPath(QStringLiteral("x"))).absolutePath());
    folder = std::make_unique<QTemporaryDir>(
        Settings::repositoryPath(QStringLiteral(".brindle-check-XXXXXX")));
    if (!folder->isValid()) {
        // Nothing was asked of the server: an error of this machine, not an unreachable group.
        m_report.groupFindings.append(
            {Kind::NotInstalled,
             tr("no folder could be made to install the examples into: %1")
                 .arg(folder->errorString())});
        QMetaObject::invokeMethod(this, &RepositoryCheck::finish, Qt::QueuedConnection);
        return true;
    }
    repositoryName = QFileInfo(folder->path()).fileName();
    qCDebug(Log::service) << "Checking" << m_report.url << "in" << folder->path();

    installer = new ExampleInstaller(this);
    connect(installer,
            &ExampleInstaller::finished,
            this,
            [this](const QSharedPointer<Example> &example,
                   const QString &,
                   const ExampleResult &result) { onInstalled(example, result); });

    client = new ApiClient(url, this);
    client->setAccessToken(accessToken);
    client->setRepositoryName(m_report.group);
    connect(client, &ApiClient::ready, client, &ApiClient::fetch);
    connect(client, &ApiClient::failed, this, &RepositoryCheck::onLookupFailed);
    connect(client, &ApiClient::fetched, this, &RepositoryCheck::onFetched);
    connect(client,
            &ApiClient::exampleDownloaded,
            this,
            [this](const QSharedPointer<Example> &example) {
                installer->install(example, repositoryName);
            });
    connect(client, &ApiClient::exampleFailed, this, &RepositoryCheck::onDownloadFailed);
    return true;
}

void RepositoryCheck::cancel()
{
    if (!running)
        return;
    for (ProjectCheck &project : m_report.projects) {
        if (!project.installed && project.count(CheckFinding::Severity::Error) == 0)
            project.add(Kind::NotFinished, tr("the check ended before this project was done"));
    }
    if (!m_report.reachable && m_report.failure.isEmpty())
        m_report.failure = tr("the check ended before the group was listed");
    finish();
}

void RepositoryCheck::onLookupFailed(RepositoryState::Problem problem, const QString &reason)
{
    Q_UNUSED(problem)
    m_report.failure = reason;
    QMetaObject::invokeMethod(this, &RepositoryCheck::finish, Qt::QueuedConnection);
}

void RepositoryCheck::onFetched(const Repository::Examples &examples)
{
    m_report.reachable = true;
    const QStringList lookAlikes = client->groupLookAlikes();
    if (!lookAlikes.isEmpty()) {
        m_report.groupFindings.append(
            {Kind::LookAlikeGroups,
             tr("the group search returns other groups before this one: %1; the plugin skips "
                "them, but each costs a request, and a group that anyone names so could push "
                "this one beyond the pages searched")
                 .arg(lookAlikes.join(QLatin1String(", ")))});
    }
    if (examples.isEmpty())
        m_report.groupFindings.append({Kind::NoProjects, tr("the group has no public projects")});

    // Folders that differ only in case are one folder on a file system that ignores case.
    QHash<QString, QStringList> byFoldedName;
    for (const QSharedPointer<Example> &example : examples)
        byFoldedName[example->name().toCaseFolded()].append(example->name());

    Repository::Examples wanted;
    for (const QSharedPointer<Example> &example : examples) {
        indexById.insert(example->id(), m_report.projects.size());
        ProjectCheck project;
        project.id = example->id();
        project.name = printableText(example->name());
        project.title = example->displayName();
        project.description = example->description();
        project.tags = example->tags();
        if (project.description.trimmed().isEmpty()) {
            project.add(Kind::NoDescription,
                        tr("it has no description; Qt Creator logs a warning for it"));
        }
        QStringList others = byFoldedName.value(example->name().toCaseFolded());
        others.removeOne(example->name());
        if (!others.isEmpty()) {
            project.add(Kind::NamesDifferInCase,
                        tr("its name differs only in case from %1: one folder on a file system "
                           "that ignores case")
                            .arg(printableText(others.join(QLatin1String(", ")))));
        }
        if (!isSafeExampleName(example->name())) {
            project.add(Kind::UnsafeName,
                        tr("its name \"%1\" cannot be a folder name: the plugin skips it")
                            .arg(project.name));
        } else {
            wanted.append(example);
        }
        m_report.projects.append(project);
    }
    pending = int(wanted.size());
    if (pending == 0) {
        QMetaObject::invokeMethod(this, &RepositoryCheck::finish, Qt::QueuedConnection);
        return;
    }
    client->download(wanted);
}

ProjectCheck *RepositoryCheck::projectOf(const Example &example)
{
    const auto it = indexById.constFind(example.id());
    return it == indexById.cend() ? nullptr : &m_report.projects[*it];
}

void RepositoryCheck::recordArchive(ProjectCheck &project, const Example &example)
{
    const std::optional<ArchiveCheck> check = example.archiveCheck();
    if (!check || check->outcome == ArchiveCheck::Outcome::Canceled)
        return;
    project.archiveBytes = check->compressedBytes;
    project.unpackedBytes = check->unpackedBytes;
    if (!check->isIntact())
        return;
    if (check->compressedBytes > LARGE_ARCHIVE_BYTES) {
        project.add(Kind::LargeArchive,
                    tr("its archive is %1, more than %2: every user downloads it")
                        .arg(sizeText(check->compressedBytes), sizeText(LARGE_ARCHIVE_BYTES)));
    }
    if (check->unpackedBytes > LARGE_UNPACKED_BYTES) {
        project.add(Kind::LargeUnpacked,
                    tr("it unpacks to %1, more than %2")
                        .arg(sizeText(check->unpackedBytes), sizeText(LARGE_UNPACKED_BYTES)));
    }
}

void RepositoryCheck::recordAvatar(ProjectCheck &project, const Example &example)
{
    const AvatarCheck avatar = example.avatarCheck();
    if (avatar.outcome == AvatarCheck::Outcome::TooLarge) {
        project.add(Kind::HugeAvatar,
                    tr("its avatar is too large to be shown (%1); keep it below 1 MiB and "
                       "2048 x 2048 pixels")
                        .arg(avatar.reason));
    }
}

void RepositoryCheck::recordFailure(ProjectCheck &project,
                                    const Example &example,
                                    const ExampleResult &result)
{
    using Failure = ExampleResult::Failure;
    const std::optional<ArchiveCheck> check = example.archiveCheck();
    const ArchiveCheck::Outcome outcome = check ? check->outcome : ArchiveCheck::Outcome::Canceled;
    switch (result.failure) {
    case Failure::DamagedArchive:
        project.add(Kind::DamagedArchive, result.reason);
        return;
    case Failure::Download:
        project.add(Kind::DownloadFailed,
                    tr("its archive could not be downloaded: %1").arg(result.reason));
        return;
    case Failure::SizeLimit:
        if (outcome == ArchiveCheck::Outcome::PathTooLong
            || outcome == ArchiveCheck::Outcome::TooDeep) {
            project.add(Kind::PathTooLong, result.reason);
        } else {
            project.add(Kind::SizeLimit, result.reason);
        }
        return;
    case Failure::Unpacking:
        if (outcome == ArchiveCheck::Outcome::Unsafe)
            project.add(Kind::UnsafeArchive, result.reason);
        else
            project.add(Kind::NotInstalled, result.reason);
        return;
    case Failure::NoProjectFile:
        project.add(Kind::NoProjectFile, result.reason);
        return;
    case Failure::None:
    case Failure::Disk:
        break;
    }
    project.add(Kind::NotInstalled,
                result.reason.isEmpty() ? tr("it was not installed") : result.reason);
}

void RepositoryCheck::onDownloadFailed(const QSharedPointer<Example> &example,
                                       const ExampleResult &result)
{
    if (ProjectCheck *project = projectOf(*example)) {
        recordArchive(*project, *example);
        recordFailure(*project, *example, result);
    }
    projectDone();
}

void RepositoryCheck::onInstalled(const QSharedPointer<Example> &example,
                                  const ExampleResult &result)
{
    ProjectCheck *project = projectOf(*example);
    if (!project) {
        projectDone();
        return;
    }
    recordArchive(*project, *example);
    recordAvatar(*project, *example);
    const std::optional<ManifestContent> manifest = example->manifest();
    if (result.isInstalled() && manifest) {
        project->installed = true;
        project->manifest = *manifest;
        // Named as it is found in the example's folder, wherever that is going to be.
        const QString installedDir
            = Settings::repositoryPath(repositoryName) + u'/' + example->name() + u'/';
        if (project->manifest.imageUrl.startsWith(installedDir))
            project->manifest.imageUrl.remove(0, installedDir.size());
        if (manifest->imageSource == ManifestContent::ImageSource::Default
            && !project->has(Kind::HugeAvatar)) {
            project->add(Kind::NoImage,
                         tr("it has neither an avatar nor a 128x128 picture in an icons folder: "
                            "the Welcome screen shows the default picture"));
        }
    } else {
        recordFailure(*project, *example, result);
    }
    projectDone();
}

void RepositoryCheck::projectDone()
{
    // Not while the client or the installer is still telling of the example: finishing
    // deletes both.
    if (--pending == 0)
        QMetaObject::invokeMethod(this, &RepositoryCheck::finish, Qt::QueuedConnection);
}

void RepositoryCheck::stopWork()
{
    if (client) {
        client->shutdown();
        client->deleteLater();
    }
    if (installer) {
        installer->shutdown();
        // Waits for its pool threads, which may still work in the folder.
        delete installer.data();
    }
    folder.reset();
}

void RepositoryCheck::finish()
{
    if (!running)
        return;
    running = false;
    stopWork();
    qCDebug(Log::service) << "Check done:" << m_report.url << "exit code" << m_report.exitCode();
    emit finished();
}

} // namespace Brindle::Internal
