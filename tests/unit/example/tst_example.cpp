// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QTest>
#include <QThreadPool>

using namespace Brindle::Internal;

static Example example(const QByteArray &json)
{
    return Example(QJsonDocument::fromJson(json).object());
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
    void convertsProjectObject_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QString>("activity"); // in UTC, with milliseconds

        const QStringList defaultTags{"Qt", "example"};
        // clang-format off
        QTest::newRow("three keys suffice") << QByteArray(R"({"id": 42, "name": "A", "web_url": "u", "last_activity_at": "2026-12-05T10:20:30.123Z"})") << qint64(42) << "" << true << defaultTags << "2026-12-05T10:20:30.123Z";
        QTest::newRow("id as text") << QByteArray(R"({"id": "42", "name": "A", "web_url": "u"})") << qint64(0) << "" << false << defaultTags << "";
        QTest::newRow("fraction truncated") << QByteArray(R"({"id": -7.9, "name": "A", "web_url": "u", "path": "a"})") << qint64(-7) << "a" << true << defaultTags << "";
        QTest::newRow("empty name") << QByteArray(R"({"id": 42, "name": "", "web_url": "u"})") << qint64(42) << "" << false << defaultTags << "";
        QTest::newRow("empty web_url") << QByteArray(R"({"id": 42, "name": "A", "web_url": ""})") << qint64(42) << "" << false << defaultTags << "";
        QTest::newRow("path not text") << QByteArray(R"({"id": 1, "name": "A", "web_url": "u", "path": 5})") << qint64(1) << "" << true << defaultTags << "";
        QTest::newRow("tags, non-text kept empty") << QByteArray(R"({"tag_list": ["qml", 5, "demo"]})") << qint64(0) << "" << false << QStringList{"qml", "", "demo"} << "";
        QTest::newRow("empty tag list") << QByteArray(R"({"tag_list": []})") << qint64(0) << "" << false << defaultTags << "";
        // clang-format on
    }
    void convertsProjectObject()
    {
        QFETCH(QByteArray, json);
        const Example record = example(json);
        QTEST(record.id(), "id");
        QTEST(record.name(), "name");
        QTEST(record.isValid(), "valid");
        QTEST(record.tags(), "tags");
        QTEST(record.lastActivity().toString(Qt::ISODateWithMs), "activity");
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

        Example record = example("{}");
        record.setImage(bytes);
        QCOMPARE(record.image().size(), size.isValid() ? size : QSize(0, 0));
        if (size.isValid())
            QVERIFY(record.image().text("Description").startsWith("This file is used by SDK"));
    }

    void previewRefusesTooManyPixels()
    {
        // Refused from the size in the header, before any pixel is decoded; in a pool thread,
        // where the client decodes avatars.
        const QByteArray bytes = png(300, 150);
        QThreadPool pool;
        std::pair<QImage, QString> refused, atLimit, broken;
        pool.start([&] {
            refused.first = Example::previewImage(bytes, 300 * 150 - 1, &refused.second);
            atLimit.first = Example::previewImage(bytes, 300 * 150, &atLimit.second);
            broken.first = Example::previewImage(bytes.left(40), 300 * 150, &broken.second);
        });
        QVERIFY(pool.waitForDone(30000));
        QVERIFY(refused.first.isNull());
        QCOMPARE(refused.second, "image of 300 x 150 pixels, more than 44999");
        QCOMPARE(atLimit.first.size(), QSize(128, 64));
        QCOMPARE(atLimit.second, QString());
        QVERIFY(broken.first.isNull());
        QVERIFY2(broken.second.startsWith("not an image"), qPrintable(broken.second));
    }
};

QTEST_GUILESS_MAIN(tst_Example)

#include "tst_example.moc"
