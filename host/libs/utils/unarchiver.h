// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include "expected.h"
#include "filepath.h"

#include <solutions/tasking/tasktree.h>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <memory>
#include <optional>

namespace Utils {

// Unpacks an archive with an external tool (tar, unzip or "cmake -E tar") found in PATH.
// Asynchronous: start() returns at once, the result comes through done().
namespace Internal {
class LaunchedProcess;
}

class QTCREATOR_UTILS_EXPORT Unarchiver final : public QObject
{
    Q_OBJECT

public:
    class SourceAndCommand
    {
    public:
        FilePath sourceFile() const { return m_sourceFile; }
        QString program() const { return m_program; }
        QStringList arguments() const { return m_arguments; }

    private:
        friend class Unarchiver;
        SourceAndCommand(const FilePath &sourceFile,
                         const QString &program,
                         const QStringList &arguments)
            : m_sourceFile(sourceFile)
            , m_program(program)
            , m_arguments(arguments)
        {}

        FilePath m_sourceFile;
        QString m_program;
        QStringList m_arguments;
    };

    explicit Unarchiver(QObject *parent = nullptr);
    ~Unarchiver() override;

    static expected_str<SourceAndCommand> sourceAndCommand(const FilePath &sourceFile);

    void setSourceAndCommand(const SourceAndCommand &data);
    void setDestDir(const FilePath &destDir);
    void start();

signals:
    void outputReceived(const QString &output);
    void done(Tasking::DoneResult result);

private:
    void onOutput(const QByteArray &output);
    void emitLine(const QByteArray &line);
    void flushOutput();
    void finish(Tasking::DoneResult result);
    void onFinished(bool ok);
    void onFailedToStart(const QString &errorString);

    std::optional<SourceAndCommand> m_sourceAndCommand;
    FilePath m_destDir;
    // Lives in the launcher thread; deleted only through deleteLater.
    Internal::LaunchedProcess *m_process = nullptr;
    QByteArray m_pendingOutput;
};

} // namespace Utils
