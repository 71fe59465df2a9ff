// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "unarchiver.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

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

// Qt Creator starts its tools through its process launcher, a process of its own, so its GUI
// thread never forks. Here a thread of its own stands in for it: QProcess clones with vfork
// semantics, and the cloning thread waits until the child has exec'ed the tool, which on a busy
// machine took the event loop 50 to 130 ms a time. The thread runs until the process ends, so
// that the tools' death signal (sent when the thread that started them ends) comes with the
// IDE's end and not before.
QThread *launcherThread()
{
    static QThread *thread = [] {
        auto launcher = new QThread;
        launcher->setObjectName("Process launcher");
        launcher->start();
        return launcher;
    }();
    return thread;
}

} // namespace

namespace Internal {

// The tool's process, in the launcher thread; reports through queued signals.
class LaunchedProcess final : public QObject
{
    Q_OBJECT

public:
    LaunchedProcess(const QString &program, const QStringList &arguments, const QString &workDir)
        : m_program(program)
        , m_arguments(arguments)
        , m_workDir(workDir)
    {}

    void start()
    {
        // Creating a folder waits for its parent's lock, which renames and extractions next
        // to it hold: up to 40 ms in the GUI thread while a thousand examples were installed.
        if (!QDir().mkpath(m_workDir)) {
            emit destinationFailed();
            return;
        }
        m_process = new QProcess(this);
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->setWorkingDirectory(m_workDir);
        connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
            emit output(m_process->readAllStandardOutput());
        });
        connect(m_process,
                &QProcess::finished,
                this,
                [this](int exitCode, QProcess::ExitStatus status) {
                    // All of the output goes before the end.
                    emit output(m_process->readAllStandardOutput());
                    emit finished(status == QProcess::NormalExit && exitCode == 0);
                });
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            // Crashes and other errors end in finished(); only a failed start does not.
            if (error == QProcess::FailedToStart)
                emit failedToStart(m_process->errorString());
        });
#ifdef Q_OS_LINUX
        // The tool dies with the IDE. Left running by an IDE that was killed, it would go on
        // filling the disk, and nobody would remove what it writes. The IDE's own Process
        // gets there another way: its process launcher stops the tools once the IDE's end of
        // their connection closes.
        const pid_t parent = ::getpid();
        m_process->setChildProcessModifier([parent] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            // The IDE may have gone before the line above took effect.
            if (::getppid() != parent)
                ::_exit(127);
        });
#endif
        m_process->start(m_program, m_arguments);
    }

    // Ends the tool before it returns, so that nothing writes into its folder afterwards.
    void stop()
    {
        if (!m_process)
            return;
        disconnect(m_process, nullptr, this, nullptr);
        m_process->kill();
        m_process->waitForFinished();
    }

signals:
    void output(const QByteArray &output);
    void finished(bool ok);
    void failedToStart(const QString &errorString);
    void destinationFailed();

private:
    QString m_program;
    QStringList m_arguments;
    QString m_workDir;
    QProcess *m_process = nullptr;
};

} // namespace Internal

Unarchiver::Unarchiver(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Tasking::DoneResult>();
}

Unarchiver::~Unarchiver()
{
    if (m_process) {
        disconnect(m_process, nullptr, this, nullptr);
        QMetaObject::invokeMethod(
            m_process, &Internal::LaunchedProcess::stop, Qt::BlockingQueuedConnection);
        m_process->deleteLater();
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
    if (m_destDir.isEmpty()) {
        emit outputReceived(
            tr("Could not create the destination directory \"%1\".").arg(m_destDir.toUserOutput()));
        finish(Tasking::DoneResult::Error);
        return;
    }

    m_pendingOutput.clear();
    m_process = new Internal::LaunchedProcess(
        m_sourceAndCommand->program(), m_sourceAndCommand->arguments(), m_destDir.path());
    m_process->moveToThread(launcherThread());
    connect(m_process, &Internal::LaunchedProcess::output, this, &Unarchiver::onOutput);
    connect(m_process, &Internal::LaunchedProcess::finished, this, &Unarchiver::onFinished);
    connect(
        m_process, &Internal::LaunchedProcess::failedToStart, this, &Unarchiver::onFailedToStart);
    connect(m_process, &Internal::LaunchedProcess::destinationFailed, this, [this] {
        emit outputReceived(
            tr("Could not create the destination directory \"%1\".").arg(m_destDir.toUserOutput()));
        finish(Tasking::DoneResult::Error);
    });

    QStringList commandLine{quoted(m_sourceAndCommand->program())};
    for (const QString &argument : m_sourceAndCommand->arguments())
        commandLine.append(quoted(argument));
    emit outputReceived(tr("Running %1").arg(commandLine.join(' ')));

    QMetaObject::invokeMethod(m_process, &Internal::LaunchedProcess::start, Qt::QueuedConnection);
}

void Unarchiver::onOutput(const QByteArray &output)
{
    m_pendingOutput.append(output);
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
    if (!m_pendingOutput.isEmpty()) {
        const QByteArray rest = m_pendingOutput;
        m_pendingOutput.clear();
        emitLine(rest);
    }
}

void Unarchiver::onFinished(bool ok)
{
    finish(ok ? Tasking::DoneResult::Success : Tasking::DoneResult::Error);
}

void Unarchiver::onFailedToStart(const QString &errorString)
{
    if (!m_process)
        return;
    emit outputReceived(
        tr("Could not start %1: %2").arg(m_sourceAndCommand->program(), errorString));
    finish(Tasking::DoneResult::Error);
}

void Unarchiver::finish(Tasking::DoneResult result)
{
    QPointer<Unarchiver> guard(this);
    flushOutput();
    if (!guard)
        return;
    if (m_process) {
        disconnect(m_process, nullptr, this, nullptr);
        std::exchange(m_process, nullptr)->deleteLater();
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

#include "unarchiver.moc"
