// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "checkreportformat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using Brindle::Host::CheckReportFormat;

class tst_CheckReportFormat : public QObject
{
    Q_OBJECT

private slots:
    // The exit code is what a CI job acts on: a report that does not say clearly that all is
    // well never gives 0 or 1.
    void exitCodeNeverTakesAnUnclearReportForSuccess_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("clean") << QByteArray(
            "{\"reachable\":true,\"summary\":{\"errors\":0,\"warnings\":0}}")
                               << 0;
        QTest::newRow("warnings only")
            << QByteArray("{\"reachable\":true,\"summary\":{\"errors\":0,\"warnings\":3}}") << 1;
        QTest::newRow("errors and warnings")
            << QByteArray("{\"reachable\":true,\"summary\":{\"errors\":1,\"warnings\":3}}") << 2;
        QTest::newRow("unreachable")
            << QByteArray("{\"reachable\":false,\"summary\":{\"errors\":0,\"warnings\":0}}") << 3;
        QTest::newRow("unreachable after an error of this machine")
            << QByteArray("{\"reachable\":false,\"summary\":{\"errors\":1,\"warnings\":0}}") << 2;
        QTest::newRow("no report") << QByteArray("{}") << 2;
        QTest::newRow("no summary") << QByteArray("{\"reachable\":true}") << 2;
        QTest::newRow("counts that are no numbers")
            << QByteArray("{\"reachable\":true,\"summary\":{\"errors\":\"0\",\"warnings\":0}}")
            << 2;
    }
    void exitCodeNeverTakesAnUnclearReportForSuccess()
    {
        QFETCH(QByteArray, report);
        QFETCH(int, exitCode);
        QCOMPARE(CheckReportFormat::exitCode(QJsonDocument::fromJson(report).object()), exitCode);
    }

    // One line per project, its findings below it and on no other project's.
    void findingsStayWithTheirProject()
    {
        const QByteArray report
            = "{\"group\":\"g\",\"url\":\"http://h/g\",\"reachable\":true,\n"
              "\"findings\":[],\n"
              "\"projects\":[\n"
              "{\"name\":\"a\",\"title\":\"A\",\"description\":\"first "
              "line\\nsecond\",\"tags\":[\"x\",\"y\"],\n"
              "\"installed\":true,\"image\":\"dummy.png\",\"imageSource\":\"default\",\n"
              "\"projectFile\":\"CMakeLists.txt\",\"fileToOpen\":\"main.cpp\",\n"
              "\"archiveBytes\":2048,\"unpackedBytes\":4096,\n"
              "\"findings\":[{\"kind\":\"no-image\",\"severity\":\"warning\",\"message\":\"no "
              "picture\"}]},\n"
              "{\"name\":\"b\",\"title\":\"B\",\"description\":\"\",\"tags\":[],\"installed\":"
              "false,\n"
              "\"findings\":[{\"kind\":\"no-project-file\",\"severity\":\"error\",\"message\":\"no "
              "project\"}]}],\n"
              "\"summary\":{\"errors\":1,\"warnings\":1}}";
        const QString text = CheckReportFormat::text(QJsonDocument::fromJson(report).object());
        QCOMPARE(text,
                 QString("Group g (http://h/g)\n"
                         "a: \"A\" | first line | tags: x, y | image: default (dummy.png) | "
                         "project: CMakeLists.txt | opens: main.cpp | archive: 2.0 KiB | "
                         "unpacked: 4.0 KiB\n"
                         "  warning: no picture [no-image]\n"
                         "b: \"B\" | no description | tags:  | not installed | archive: ? | "
                         "unpacked: ?\n"
                         "  error: no project [no-project-file]\n"
                         "2 projects: 0 clean, 1 with warnings, 1 with errors; 1 errors, 1 "
                         "warnings in all\n"));
    }
};

QTEST_GUILESS_MAIN(tst_CheckReportFormat)
#include "tst_checkreportformat.moc"
