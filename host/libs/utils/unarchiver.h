// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "utils_global.h"

#include "expected.h"
#include "filepath.h"

#include <solutions/tasking/tasktree.h>

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStringDecoder>
#include <QStringList>

#include <memory>
#include <optional>

namespace Utils {

namespace Internal {
class LaunchedProcess;
}

// Unpacks an archive with the first tool for its type that is found in PATH: Qt Creator's
// choice and order of tools, command lines, messages and rule of success (the tool's exit
// code). Asynchronous: start() returns at once, the result comes through done().
class QTCREATOR_UTILS_EXPORT Unarchiver final : public QObject
{
    Q_OBJECT

public:
    // As in Qt Creator, opaque: only the unarchiver reads it.
    class SourceAndCommand
    {
    private:
        friend class Unarchiver;
        SourceAndCommand(const FilePath &sourceFile,
                         const QString &program,
                         const QStringList &argumentTemplate)
            : m_sourceFile(sourceFile)
            , m_program(program)
            , m_argumentTemplate(argumentTemplate)
        {}

        FilePath m_sourceFile;
        QString m_program;
        QStringList m_argumentTemplate; // %{src} and %{dest} stand for archive and folder
    };

    explicit Unarchiver(QObject *parent = nullptr);
    ~Unarchiver() override;

    static expected_str<SourceAndCommand> sourceAndCommand(const FilePath &sourceFile);

    void setSourceAndCommand(const SourceAndCommand &data);
    void setDestDir(const FilePath &destDir);
    void setGZipFileDestName(const QString &gzipFileDestName);
    void start();

signals:
    void outputReceived(const QString &output);
    void done(Tasking::DoneResult result);

private:
    void onFinished(bool ok);

    std::optional<SourceAndCommand> m_sourceAndCommand;
    FilePath m_destDir;
    QString m_gzipFileDestName;
    // Lives in the launcher thread; deleted only through deleteLater.
    Internal::LaunchedProcess *m_process = nullptr;
    std::shared_ptr<QFile> m_gzipOutput;
    QStringDecoder m_decoder;
};

} // namespace Utils
