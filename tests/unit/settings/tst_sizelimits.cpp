// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The size limits a user may set by hand in the store. A run of its own: reading the limit
// the way a download does brings the whole library along, whose loading computes the data
// location before tst_settings can watch it.

#include "apirequest.h"
#include "settings.h"

#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QLoggingCategory>
#include <QTest>

using namespace Brindle::Internal;

static QStringList messages;

class tst_SizeLimits : public QObject
{
    Q_OBJECT

    Utils::QtcSettings *store = nullptr;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            messages.append(message);
        });
        store = Core::ICore::settings();
    }
    void init()
    {
        messages.clear();
        store->clear();
    }

    // A size limit that does not fit in bytes once multiplied overflowed to a negative one,
    // and then no archive could be downloaded at all.
    void sizeLimitsAreClampedToWhatBytesCanHold_data()
    {
        QTest::addColumn<QVariant>("archive");  // MaxArchiveMegabytes; invalid: not stored
        QTest::addColumn<QVariant>("unpacked"); // MaxUnpackedMegabytes
        QTest::addColumn<qint64>("archiveBytes");
        QTest::addColumn<qint64>("unpackedBytes");
        QTest::addColumn<int>("clampMessages");

        const qint64 MiB = 1024 * 1024;
        const qint64 most = MiB << 39; // 512 PiB
        // clang-format off
        QTest::newRow("not stored") << QVariant() << QVariant() << 2048 * MiB << 8 * 2048 * MiB << 0;
        QTest::newRow("stored") << QVariant(3) << QVariant(100) << 3 * MiB << 100 * MiB << 0;
        QTest::newRow("unpacked follows archive") << QVariant(3) << QVariant() << 3 * MiB << 24 * MiB << 0;
        QTest::newRow("no positive number") << QVariant("abc") << QVariant(-1) << 2048 * MiB << 8 * 2048 * MiB << 0;
        QTest::newRow("512 PiB is kept") << QVariant(Q_INT64_C(1) << 39) << QVariant() << most << 8 * most << 0;
        QTest::newRow("2^43 MiB") << QVariant(Q_INT64_C(1) << 43) << QVariant() << most << 8 * most << 1;
        QTest::newRow("largest number") << QVariant("9223372036854775807") << QVariant("9223372036854775807") << most << most << 2;
        // clang-format on
    }
    void sizeLimitsAreClampedToWhatBytesCanHold()
    {
        QFETCH(QVariant, archive);
        QFETCH(QVariant, unpacked);
        QFETCH(qint64, archiveBytes);
        QFETCH(qint64, unpackedBytes);
        QFETCH(int, clampMessages);
        if (archive.isValid())
            store->setValue("Brindle/MaxArchiveMegabytes", archive);
        if (unpacked.isValid())
            store->setValue("Brindle/MaxUnpackedMegabytes", unpacked);

        QCOMPARE(ApiRequest::sizeLimit(ApiRequest::Kind::Archive), archiveBytes);
        QCOMPARE(Settings::maxArchiveBytes(store), archiveBytes);
        QCOMPARE(Settings::maxUnpackedBytes(store), unpackedBytes);
        QCOMPARE(messages.filter("Setting too large, clamped:").size(), clampMessages);
    }
};

QTEST_GUILESS_MAIN(tst_SizeLimits)

#include "tst_sizelimits.moc"
