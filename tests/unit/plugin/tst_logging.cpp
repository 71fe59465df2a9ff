// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "logging.h"

#include <QTest>

using namespace Brindle;

static QStringList messages;

static void collect(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    messages.append(QString::fromLatin1(context.category) + ": " + message);
}

static void writeToAllCategories()
{
    qCDebug(Log::api) << "api";
    qCDebug(Log::arch) << "arch";
    qCDebug(Log::main) << "main";
    qCDebug(Log::repository) << "repository";
    qCDebug(Log::service) << "service";
    qCWarning(Log::service) << "warning";
}

class tst_Logging : public QObject
{
    Q_OBJECT

private slots:
    void categoriesFollowTheRules_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("default") << QString() << QStringList{"oskel.brindle.plugin.service: warning"};
        QTest::newRow("service only")
            << "oskel.brindle.plugin.service.debug=true"
            << QStringList{"oskel.brindle.plugin.service: service",
                           "oskel.brindle.plugin.service: warning"};
        QTest::newRow("all") << "oskel.brindle.plugin*.debug=true"
                             << QStringList{"oskel.brindle.plugin.api: api",
                                            "oskel.brindle.plugin.archive: arch",
                                            "oskel.brindle.plugin: main",
                                            "oskel.brindle.plugin.repository: repository",
                                            "oskel.brindle.plugin.service: service",
                                            "oskel.brindle.plugin.service: warning"};
    }
    void categoriesFollowTheRules()
    {
        QFETCH(QString, rules);
        QFETCH(QStringList, shown);

        QLoggingCategory::setFilterRules(rules);
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        writeToAllCategories();
        qInstallMessageHandler(previous);
        QCOMPARE(messages, shown);
    }
};

QTEST_GUILESS_MAIN(tst_Logging)

#include "tst_logging.moc"
