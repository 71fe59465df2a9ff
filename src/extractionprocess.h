// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Brindle::Internal {

// A running process, told apart from any later one that is given its id: the id, the time it
// started (clock ticks after boot, from /proc/<id>/stat) and the program it runs. The lock file
// of an unpack folder records the extraction started in it, so that a sweep after the IDE died
// stops that extraction and nothing else.
class ExtractionProcess
{
public:
    qint64 pid = 0;
    quint64 startTime = 0;
    QString program; // the executable, as /proc/<id>/exe names it

    // The process 'pid' as it runs now; nothing when there is none, or it cannot be read
    // (another user's process).
    static std::optional<ExtractionProcess> running(qint64 pid);
    // A process this one started that runs an unarchiving tool in 'folder': its child, or
    // the child of its child (Qt Creator starts tools through a launcher process).
    static std::optional<ExtractionProcess> childWorkingIn(const QString &folder);

    // The record's text, and back; a record that is not one reads as nothing.
    QByteArray toRecord() const;
    static std::optional<ExtractionProcess> fromRecord(const QByteArray &record);

    // The program is one of the tools the unarchiver runs for a .tar.gz: cmake or tar.
    bool runsUnarchiverTool() const;
    // The same process is still running: same id, start time and program.
    bool isRunning() const;

    bool operator==(const ExtractionProcess &other) const = default;
};

} // namespace Brindle::Internal
