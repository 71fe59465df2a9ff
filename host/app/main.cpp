// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "hostapplication.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    Brindle::Host::HostApplication::preparePlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brindle-host"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_HOST_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brindlehost/images/brindle-host.png")));

    int result = 0;
    {
        Brindle::Host::HostApplication host;
        result = host.start(app.arguments());
        if (result < 0)
            result = app.exec();
        host.shutdown();
        // A check whose private folder stays behind did not end cleanly.
        if (!host.isCleanedUp() && result < 2)
            result = 2;
    }
    return result;
}
