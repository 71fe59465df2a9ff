// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "unarchiver.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace Utils {

namespace {

struct Tool
{
    QString program;
    QStringList arguments; // the archive follows
    QStringList mimeTypes;
};

// Preferred tools first. GNU tar cannot read zip files, so zip goes to unzip or cmake.
const QList<Tool> &tools()
{
    static const QList<Tool> theTools = {
        {"tar", {"xvzf"}, {"application/x-compressed-tar"}},
        {"tar",
         {"xvjf"},
         {"application/x-bzip-compressed-tar", "application/x-bzip2-compressed-tar"}},
        {"tar", {"xvJf"}, {"application/x-xz-compressed-tar"}},
        {"tar", {"xvf"}, {"application/x-tar"}},
        {"unzip", {"-o"}, {"application/zip"}},
        {"cmake", {"-E", "tar", "xvzf"}, {"application/x-compressed-tar"}},
        {"cmake",
         {"-E", "tar", "xvjf"},
         {"application/x-bzip-compressed-tar", "application/x-bzip2-compressed-tar"}},
        {"cmake", {"-E", "tar", "xvJf"}, {"application/x-xz-compressed-tar"}},
        {"cmake", {"-E", "tar", "xvf"}, {"application/x-tar", "application/zip"}},
    };
    return theTools;
}

bool handles(const Tool &tool, const QMimeType &mimeType)
{
    for (const QString &name : tool.mimeTypes) {
        if (mimeType.name() == name || mimeType.aliases().contains(name))
            return true;
    }
    return false;
}

QString quoted(const QString &argument)
{
    static const QRegularExpression plain("^[A-Za-z0-9_./@%+=:,-]+$");
    if (plain.match(argument).hasMatch())
        return argument;
    QString escaped = argument;
    escaped.replace('\'', "'\\''");
    return '\'' + escaped + '\'';
}

} // namespace

Unarchiver::Unarchiver(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Tasking::DoneResult>();
}

Unarchiver::~Unarchiver()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished();
    }
}

expected_str<Unarchiver::SourceAndCommand> Unarchiver::sourceAndCommand(const FilePath &sourceFile)
{
    const QMimeType mimeType
        = QMimeDatabase().mimeTypeForFile(sourceFile.path(), QMimeDatabase::MatchExtension);
    QStringList candidates;
    for (const Tool &tool : tools()) {
        if (!handles(tool, mimeType))
            continue;
        candidates.append(tool.program);
        const QString program = QStandardPaths::findExecutable(tool.program);
        if (program.isEmpty())
            continue;
        // The tool runs in the destination directory, so a relative archive path would
        // resolve there; an absolute one also cannot be mistaken for an option.
        const FilePath archive
            = FilePath::fromString(QFileInfo(sourceFile.path()).absoluteFilePath());
        return SourceAndCommand(
            archive, program, QStringList(tool.arguments) << archive.toFSPathString());
    }
    if (candidates.isEmpty())
        return make_unexpected(tr("File format not supported."));
    candidates.removeDuplicates();
    return make_unexpected(
        tr("Could not find any unarchiving executable in PATH (%1).").arg(candidates.join(", ")));
}

void Unarchiver::setSourceAndCommand(const SourceAndCommand &data)
{
    m_sourceAndCommand = data;
}

void Unarchiver::setDestDir(const FilePath &destDir)
{
    m_destDir = destDir;
}

void Unarchiver::start()
{
    if (m_process) {
        qWarning("Unarchiver::start: already running");
        return;
    }
    if (!m_sourceAndCommand) {
        emit outputReceived(tr("No archive to extract."));
        finish(Tasking::DoneResult::Error);
        return;
    }
    if (m_destDir.isEmpty() || !QDir().mkpath(m_destDir.path())) {
        emit outputReceived(
            tr("Could not create the destination directory \"%1\".").arg(m_destDir.toUserOutput()));
        finish(Tasking::DoneResult::Error);
        return;
    }

    m_pendingOutput.clear();
    m_process = std::make_unique<QProcess>();
    QProcess *process = m_process.get();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setWorkingDirectory(m_destDir.path());
    connect(process, &QProcess::readyReadStandardOutput, this, &Unarchiver::readOutput);
    connect(process, &QProcess::finished, this, &Unarchiver::onFinished);
    connect(process, &QProcess::errorOccurred, this, &Unarchiver::onErrorOccurred);

    QStringList commandLine{quoted(m_sourceAndCommand->program())};
    for (const QString &argument : m_sourceAndCommand->arguments())
        commandLine.append(quoted(argument));
    emit outputReceived(tr("Running %1").arg(commandLine.join(' ')));

#ifdef Q_OS_LINUX
    // The tool dies with the IDE. Left running by an IDE that was killed, it would go on
    // filling the disk, and nobody would remove what it writes. The IDE's own Process gets
    // there another way: it starts its tools through its process launcher, which stops them
    // once the IDE's end of their connection closes.
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The IDE may have gone before the line above took effect.
        if (::getppid() != parent)
            ::_exit(127);
    });
#endif

    // A failure to start may be reported from within start(); 'process' stays valid until
    // the event loop runs, but m_process may already be released.
    process->start(m_sourceAndCommand->program(), m_sourceAndCommand->arguments());
}

void Unarchiver::readOutput()
{
    if (!m_process)
        return;
    m_pendingOutput.append(m_process->readAllStandardOutput());
    QPointer<Unarchiver> guard(this);
    qsizetype newline;
    while ((newline = m_pendingOutput.indexOf('\n')) >= 0) {
        const QByteArray line = m_pendingOutput.left(newline);
        m_pendingOutput.remove(0, newline + 1);
        emitLine(line);
        if (!guard)
            return;
    }
}

void Unarchiver::emitLine(const QByteArray &line)
{
    QByteArray text = line;
    if (text.endsWith('\r'))
        text.chop(1);
    emit outputReceived(QString::fromLocal8Bit(text));
}

void Unarchiver::flushOutput()
{
    readOutput();
    if (!m_pendingOutput.isEmpty()) {
        const QByteArray rest = m_pendingOutput;
        m_pendingOutput.clear();
        emitLine(rest);
    }
}

void Unarchiver::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    const bool ok = exitStatus == QProcess::NormalExit && exitCode == 0;
    finish(ok ? Tasking::DoneResult::Success : Tasking::DoneResult::Error);
}

void Unarchiver::onErrorOccurred(QProcess::ProcessError error)
{
    // Crashes and other errors end in finished(); only a failed start does not.
    if (error != QProcess::FailedToStart || !m_process)
        return;
    emit outputReceived(
        tr("Could not start %1: %2").arg(m_sourceAndCommand->program(), m_process->errorString()));
    finish(Tasking::DoneResult::Error);
}

void Unarchiver::finish(Tasking::DoneResult result)
{
    QPointer<Unarchiver> guard(this);
    flushOutput();
    if (!guard)
        return;
    if (m_process) {
        m_process->disconnect(this);
        m_process.release()->deleteLater();
    }
    if (result == Tasking::DoneResult::Error) {
        emit outputReceived(tr("Command failed."));
        if (!guard)
            return;
    }
    // Receivers may delete this object, so nothing may follow.
    emit done(result);
}

} // namespace Utils
