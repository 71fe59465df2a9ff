// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// An IDE in miniature for tst_hostcore: unpacks <archive> into <folder> with the host's
// unarchiver, says "started" on stdout once the tool runs, and waits to be killed. Once the
// tool is chosen, the archive becomes an empty named pipe, in which the tool waits.

#include <utils/unarchiver.h>

#include <QCoreApplication>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const auto sourceAndCommand = Utils::Unarchiver::sourceAndCommand(
        Utils::FilePath::fromString(QString::fromLocal8Bit(argv[1])));
    if (!sourceAndCommand || ::unlink(argv[1]) != 0 || ::mkfifo(argv[1], 0600) != 0)
        return 3;
    Utils::Unarchiver unarchiver;
    unarchiver.setSourceAndCommand(*sourceAndCommand);
    unarchiver.setDestDir(Utils::FilePath::fromString(QString::fromLocal8Bit(argv[2])));
    QObject::connect(
        &unarchiver, &Utils::Unarchiver::done, &app, [] { QCoreApplication::exit(4); });
    unarchiver.start();
    std::puts("started");
    std::fflush(stdout);
    return app.exec();
}
