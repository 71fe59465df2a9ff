// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Brindle::Internal;

static QJsonObject project(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

static QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class tst_Example : public QObject
{
    Q_OBJECT

private slots:
    void validity_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");

        QTest::newRow("id as text") << project(R"({"id": "42", "name": "A", "web_url": "u"})")
                                    << qint64(0) << "" << false;
        QTest::newRow("only the three keys")
            << project(R"({"id": 42, "name": "A", "web_url": "u"})") << qint64(42) << "" << true;
        QTest::newRow("fraction truncated")
            << project(R"({"id": -7.9, "name": "A", "web_url": "u", "path": "a"})") << qint64(-7)
            << "a" << true;
        QTest::newRow("empty name") << project(R"({"id": 42, "name": "", "web_url": "u"})")
                                    << qint64(42) << "" << false;
        QTest::newRow("empty web_url") << project(R"({"id": 42, "name": "A", "web_url": ""})")
                                       << qint64(42) << "" << false;
        QTest::newRow("path not text")
            << project(R"({"id": 1, "name": "A", "web_url": "u", "path": 5})") << qint64(1) << ""
            << true;
    }
    void validity()
    {
        QFETCH(QJsonObject, object);
        QFETCH(qint64, id);
        QFETCH(QString, name);
        QFETCH(bool, valid);

        const Example example(object);
        QCOMPARE(example.id(), id);
        QCOMPARE(example.name(), name);
        QCOMPARE(example.isValid(), valid);
    }

    void tags_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<QStringList>("tags");

        QTest::newRow("non-text element kept empty")
            << project(R"({"tag_list": ["qml", 5, "demo"]})") << QStringList{"qml", "", "demo"};
        QTest::newRow("empty list") << project(R"({"tag_list": []})")
                                    << QStringList{"Qt", "example"};
        QTest::newRow("missing") << project("{}") << QStringList{"Qt", "example"};
    }
    void tags()
    {
        QFETCH(QJsonObject, object);
        QFETCH(QStringList, tags);
        QCOMPARE(Example(object).tags(), tags);
    }

    void textAccessors()
    {
        const Example example(project("{\"name\": \"Demo\", \"description\": \"<b>&</b>\","
                                      "\"web_url\": \"https://git.example.org/g/demo\","
                                      "\"avatar_url\": \"https://a/x.png\","
                                      "\"last_activity_at\": \"2026-12-05T10:20:30.123Z\"}"));
        QCOMPARE(example.displayName(), QString("Demo"));
        QCOMPARE(example.description(), QString("<b>&</b>"));
        QCOMPARE(example.url(), QString("https://git.example.org/g/demo"));
        QCOMPARE(example.imageUrl(), QString("https://a/x.png"));
        const QDateTime activity = example.lastActivity();
        QCOMPARE(activity, QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30, 123), Qt::UTC));
        QCOMPARE(activity.timeSpec(), Qt::UTC);
        QVERIFY(!Example(project("{}")).lastActivity().isValid());

        QString printed;
        QDebug(&printed) << example;
        QVERIFY2(printed.startsWith("QMap(") && printed.contains("\"web_url\""),
                 qPrintable(printed));
    }

    void imageIsScaledToFitPreview_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");

        QTest::newRow("wide reduced") << png(300, 150) << QSize(128, 64);
        QTest::newRow("small enlarged") << png(32, 32) << QSize(128, 128);
        QTest::newRow("tall") << png(100, 400) << QSize(32, 128);
        QTest::newRow("not an image") << QByteArray("GIF89a but not really") << QSize();
    }
    void imageIsScaledToFitPreview()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);

        Example example(project("{}"));
        QVERIFY(example.image().isNull());
        example.setImage(bytes);
        const QImage image = example.image();
        QCOMPARE(image.isNull(), !size.isValid());
        if (image.isNull())
            return;
        QCOMPARE(image.size(), size);
        QVERIFY(image.text("Description").startsWith("This file is used by SDK"));
    }

    void archiveBytesCanBeReleased()
    {
        Example example(project("{}"));
        QVERIFY(example.data().isEmpty());
        example.setData("archive");
        QCOMPARE(example.data(), QByteArray("archive"));
        example.clearData();
        QVERIFY(example.data().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_Example)

#include "tst_example.moc"
