// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "unarchiver.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
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
    QStringList arguments; // %{src}: the archive, %{dest}: the destination
    QStringList mimeTypes;
};

// Qt Creator's tools in its order, but for Windows' PowerShell. "cmake -E tar" comes before tar,
// and it reports some damage without failing: a truncated .tar.gz unpacks in part with exit
// code 0. gzip stays last, or it would take .tar.gz files, which are gzip files too.
const QList<Tool> &tools()
{
    static const QList<Tool> theTools = {
        {"unzip", {"-o", "%{src}", "-d", "%{dest}"}, {"application/zip"}},
        {"7z",
         {"x", "-o%{dest}", "-y", "-bb", "%{src}"},
         {"application/zip", "application/x-7z-compressed"}},
        {"cmake",
         {"-E", "tar", "xvf", "%{src}"},
         {"application/zip", "application/x-tar", "application/x-7z-compressed"}},
        {"cmake", {"-E", "tar", "xvzf", "%{src}"}, {"application/x-compressed-tar"}},
        {"cmake", {"-E", "tar", "xvJf", "%{src}"}, {"application/x-xz-compressed-tar"}},
        {"cmake", {"-E", "tar", "xvjf", "%{src}"}, {"application/x-bzip-compressed-tar"}},
        {"tar",
         {"xvf", "%{src}"},
         {"application/zip", "application/x-tar", "application/x-7z-compressed"}},
        {"tar", {"xvzf", "%{src}"}, {"application/x-compressed-tar"}},
        {"tar", {"xvJf", "%{src}"}, {"application/x-xz-compressed-tar"}},
        {"tar", {"xvjf", "%{src}"}, {"application/x-bzip-compressed-tar"}},
        {"gzip", {"-d", "%{src}", "-c"}, {"application/gzip"}},
    };
    return theTools;
}

bool handles(const Tool &tool, const QMimeType &mimeType)
{
    for (const QString &name : tool.mimeTypes) {
        if (mimeType.inherits(name))
            return true;
    }
    return false;
}

// Qt Creator's quoting for a Unix shell, which its "Running" line shows.
QString quoted(const QString &argument)
{
    if (argument.isEmpty())
        return "''";
    static const QString special = "\\'\"$`<>|;&(){}*?#!~[]";
    const bool plain = std::none_of(argument.cbegin(), argument.cend(), [](QChar c) {
        return c.unicode() <= 32 || special.contains(c);
    });
    if (plain || argument == "&&" || argument == "||" || argument == "&" || argument == ";")
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
    // With a file, the tool's standard output goes there and its errors are its output.
    LaunchedProcess(const QString &program,
                    const QStringList &arguments,
                    const QString &workDir,
                    const std::shared_ptr<QFile> &outputFile)
        : m_program(program)
        , m_arguments(arguments)
        , m_workDir(workDir)
        , m_outputFile(outputFile)
    {}

    void start()
    {
        // Creating a folder waits for its parent's lock, which renames and extractions next
        // to it hold: up to 40 ms in the GUI thread while a thousand examples were installed.
        // A folder that cannot be made fails the start, as in Qt Creator, which does not look.
        QDir().mkpath(m_workDir);
        m_process = new QProcess(this);
        m_process->setWorkingDirectory(m_workDir);
        if (m_outputFile) {
            connect(m_process, &QProcess::readyReadStandardOutput, this, &LaunchedProcess::save);
            connect(m_process, &QProcess::readyReadStandardError, this, [this] {
                emit output(m_process->readAllStandardError());
            });
        } else {
            m_process->setProcessChannelMode(QProcess::MergedChannels);
            connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
                emit output(m_process->readAllStandardOutput());
            });
        }
        connect(m_process,
                &QProcess::finished,
                this,
                [this](int exitCode, QProcess::ExitStatus status) {
                    // All of the output goes before the end.
                    if (m_outputFile) {
                        save();
                        emit output(m_process->readAllStandardError());
                    } else {
                        emit output(m_process->readAllStandardOutput());
                    }
                    emit finished(status == QProcess::NormalExit && exitCode == 0);
                });
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            // Crashes and other errors end in finished(); only a failed start does not.
            if (error == QProcess::FailedToStart)
                emit finished(false);
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
    void writeFailed();

private:
    void save()
    {
        const QByteArray data = m_process->readAllStandardOutput();
        if (m_outputFile->write(data) != data.size())
            emit writeFailed();
    }

    QString m_program;
    QStringList m_arguments;
    QString m_workDir;
    std::shared_ptr<QFile> m_outputFile;
    QProcess *m_process = nullptr;
};

} // namespace Internal

Unarchiver::Unarchiver(QObject *parent)
    : QObject(parent)
    , m_decoder(QStringDecoder::System)
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
    // By name and content, as Qt Creator: a named pipe is no archive, whatever its name.
    const QMimeType mimeType = QMimeDatabase().mimeTypeForFile(sourceFile.toFSPathString());
    QStringList candidates;
    for (const Tool &tool : tools()) {
        if (!handles(tool, mimeType))
            continue;
        candidates.append(tool.program);
        // Looked up in PATH as it is now, where Qt Creator takes the one it started with:
        // tests change PATH to choose the tool.
        const QString program = QStandardPaths::findExecutable(tool.program);
        if (!program.isEmpty())
            return SourceAndCommand(sourceFile, program, tool.arguments);
    }
    if (candidates.isEmpty())
        return make_unexpected(tr("File format not supported."));
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

void Unarchiver::setGZipFileDestName(const QString &gzipFileDestName)
{
    m_gzipFileDestName = gzipFileDestName;
}

void Unarchiver::start()
{
    if (m_process) {
        qWarning("SOFT ASSERT: \"!m_process\" in Unarchiver::start");
        emit done(Tasking::DoneResult::Error);
        return;
    }
    if (!m_sourceAndCommand) {
        emit outputReceived(tr("No source file set."));
        emit done(Tasking::DoneResult::Error);
        return;
    }
    if (m_destDir.isEmpty()) {
        emit outputReceived(tr("No destination directory set."));
        emit done(Tasking::DoneResult::Error);
        return;
    }

    // The archive's path as given: the tool runs in the destination, where a relative one
    // means another file.
    QStringList arguments;
    QStringList shown{m_sourceAndCommand->m_program};
    for (QString argument : m_sourceAndCommand->m_argumentTemplate) {
        argument.replace("%{src}", m_sourceAndCommand->m_sourceFile.path())
            .replace("%{dest}", m_destDir.path());
        arguments.append(argument);
        shown.append(quoted(argument));
    }

    // gzip unpacks one file, into the destination, under the name set for it.
    m_gzipOutput.reset();
    if (QFileInfo(m_sourceAndCommand->m_program).fileName() == "gzip") {
        QDir().mkpath(m_destDir.path());
        m_gzipOutput
            = std::make_shared<QFile>(m_destDir.toFSPathString() + '/' + m_gzipFileDestName);
        if (!m_gzipOutput->open(QIODevice::WriteOnly)) {
            m_gzipOutput.reset();
            emit outputReceived(tr("Failed to open output file."));
            emit done(Tasking::DoneResult::Error);
            return;
        }
    }

    m_decoder.resetState();
    m_process = new Internal::LaunchedProcess(
        m_sourceAndCommand->m_program, arguments, m_destDir.path(), m_gzipOutput);
    m_process->moveToThread(launcherThread());
    connect(m_process, &Internal::LaunchedProcess::output, this, [this](const QByteArray &data) {
        // As Qt Creator's Process, whatever came at once, not line by line.
        if (!data.isEmpty())
            emit outputReceived(m_decoder.decode(data));
    });
    connect(m_process, &Internal::LaunchedProcess::finished, this, &Unarchiver::onFinished);
    connect(m_process, &Internal::LaunchedProcess::writeFailed, this, [this] {
        // The tool goes on, and its end is reported again, as in Qt Creator.
        emit outputReceived(tr("Failed to write output file."));
        emit done(Tasking::DoneResult::Error);
    });

    emit outputReceived(tr("Running %1\nin \"%2\".\n\n", "Running <cmd> in <workingdirectory>")
                            .arg(shown.join(' '), m_destDir.toUserOutput()));

    QMetaObject::invokeMethod(m_process, &Internal::LaunchedProcess::start, Qt::QueuedConnection);
}

void Unarchiver::onFinished(bool ok)
{
    disconnect(m_process, nullptr, this, nullptr);
    std::exchange(m_process, nullptr)->deleteLater();
    if (m_gzipOutput) {
        // The launcher thread has written its last.
        m_gzipOutput->close();
        if (!ok)
            m_gzipOutput->remove();
        m_gzipOutput.reset();
    }
    if (!ok) {
        QPointer<Unarchiver> guard(this);
        emit outputReceived(tr("Command failed."));
        if (!guard)
            return;
    }
    // Receivers may delete this object, so nothing may follow.
    emit done(ok ? Tasking::DoneResult::Success : Tasking::DoneResult::Error);
}

} // namespace Utils

#include "unarchiver.moc"
