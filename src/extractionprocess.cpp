// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "extractionprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <unistd.h>

namespace Brindle::Internal {

namespace {

// The fields of /proc/<pid>/stat after the program's name, which may hold spaces and
// parentheses itself: [0] is the state, field 3 of the file.
QList<QByteArray> statFields(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.read(4096);
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return {};
    return stat.mid(nameEnd + 1).simplified().split(' ');
}

const int PARENT_FIELD = 1;     // field 4
const int START_TIME_FIELD = 19; // field 22

QByteArray parentOf(qint64 pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return fields.size() > PARENT_FIELD ? fields.at(PARENT_FIELD) : QByteArray();
}

} // namespace

std::optional<ExtractionProcess> ExtractionProcess::running(qint64 pid)
{
    if (pid <= 0)
        return std::nullopt;
    const QList<QByteArray> fields = statFields(pid);
    if (fields.size() <= START_TIME_FIELD)
        return std::nullopt;
    bool ok = false;
    ExtractionProcess process;
    process.pid = pid;
    process.startTime = fields.at(START_TIME_FIELD).toULongLong(&ok);
    process.program = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (!ok || process.program.isEmpty())
        return std::nullopt;
    return process;
}

std::optional<ExtractionProcess> ExtractionProcess::childWorkingIn(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    const QByteArray self = QByteArray::number(qint64(::getpid()));
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        // Cheapest first: most processes work elsewhere.
        if (QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(pid)) != canonical)
            continue;
        const QByteArray parent = parentOf(pid);
        if (parent != self && parentOf(parent.toLongLong()) != self)
            continue;
        const std::optional<ExtractionProcess> process = running(pid);
        if (process && process->runsUnarchiverTool())
            return process;
    }
    return std::nullopt;
}

QByteArray ExtractionProcess::toRecord() const
{
    return "pid=" + QByteArray::number(pid) + "\nstart=" + QByteArray::number(startTime)
           + "\nprogram=" + QFile::encodeName(program) + '\n';
}

std::optional<ExtractionProcess> ExtractionProcess::fromRecord(const QByteArray &record)
{
    ExtractionProcess process;
    bool hasPid = false;
    bool hasStart = false;
    for (const QByteArray &line : record.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "pid")
            process.pid = value.toLongLong(&hasPid);
        else if (key == "start")
            process.startTime = value.toULongLong(&hasStart);
        else if (key == "program")
            process.program = QFile::decodeName(value);
    }
    if (!hasPid || !hasStart || process.pid <= 0 || process.program.isEmpty())
        return std::nullopt;
    return process;
}

bool ExtractionProcess::runsUnarchiverTool() const
{
    const QString name = QFileInfo(program).fileName();
    return name == QLatin1String("cmake") || name == QLatin1String("tar");
}

bool ExtractionProcess::isRunning() const
{
    const std::optional<ExtractionProcess> now = running(pid);
    return now && *now == *this;
}

} // namespace Brindle::Internal
