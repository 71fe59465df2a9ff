// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// bench_localchanges [files]: what comparing an installed example with its record costs.
// Makes an example of 'files' files (1000 unless given) in 50 folders in a temporary folder,
// records it, and prints the best and the median of 50 comparisons, each reading the record
// and walking the folder, as an update does before it replaces an example. Warm caches: the
// figure is the plugin's own work, not the disk's.

#include "installedfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Brindle::Internal;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    if (files <= 0 || !dir.isValid())
        return 2;
    const QString example = dir.filePath("example");
    for (int i = 0; i < files; ++i) {
        const QString folder = example + QStringLiteral("/src/part%1").arg(i % 50);
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/file%1.cpp").arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(QByteArray(100 + i % 4000, 'x'));
    }
    QFile manifest(example + "/examples-manifest.xml");
    if (!manifest.open(QIODevice::WriteOnly))
        return 1;
    manifest.write("<instructionals/>\n");
    manifest.close();
    const QString record = dir.filePath("record");
    if (!InstalledFiles::scan(example)->write(record))
        return 1;

    std::vector<double> times;
    for (int round = 0; round < 50; ++round) {
        QElapsedTimer clock;
        clock.start();
        const auto changes = InstalledFiles::localChanges(example, record);
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (!changes || !changes->isEmpty())
            return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("%d files: best %.2f ms, median %.2f ms per comparison\n",
                files,
                times.front(),
                times[times.size() / 2]);
    return 0;
}
