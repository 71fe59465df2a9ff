// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// tokenreader <repository URL>: prints "token:<token>" or "failed:<message>".

#include "tokenstore.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

using namespace Brindle::Internal;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 2;

    TokenStore store;
    QTextStream out(stdout);
    QObject::connect(&store, &TokenStore::tokenRead, &app, [&](const QUrl &, const QString &token) {
        out << "token:" << token << Qt::endl;
        app.exit(store.isPersistent() ? 0 : 3);
    });
    QObject::connect(
        &store, &TokenStore::readFailed, &app, [&](const QUrl &, const QString &message) {
            out << "failed:" << message << Qt::endl;
            app.exit(1);
        });
    QTimer::singleShot(0, &store, [&] { store.read(QUrl(app.arguments().at(1))); });
    return app.exec();
}
