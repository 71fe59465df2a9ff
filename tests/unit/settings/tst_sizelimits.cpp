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
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>
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
        QTest::addColumn<QStringList>("unusable"); // what is logged as not used as it stands

        const qint64 MiB = 1024 * 1024;
        const qint64 most = MiB << 39; // 512 PiB
        const QString archiveAs = "Setting MaxArchiveMegabytes holds \"%1\" read as 256 MiB";
        const QString unpackedAs = "Setting MaxUnpackedMegabytes holds \"%1\" read as %2 MiB";
        // clang-format off
        QTest::newRow("not stored") << QVariant() << QVariant() << 256 * MiB << 1024 * MiB << 0 << QStringList();
        QTest::newRow("stored") << QVariant(3) << QVariant(100) << 3 * MiB << 100 * MiB << 0 << QStringList();
        QTest::newRow("unpacked follows archive") << QVariant(3) << QVariant() << 3 * MiB << 12 * MiB << 0 << QStringList();
        QTest::newRow("no positive number") << QVariant("abc") << QVariant(-1) << 256 * MiB << 1024 * MiB << 0 << QStringList{archiveAs.arg("abc"), unpackedAs.arg("-1").arg(1024)};
        QTest::newRow("zero") << QVariant(3) << QVariant(0) << 3 * MiB << 12 * MiB << 0 << QStringList{unpackedAs.arg("0").arg(12)};
        // Each value once: the limits are read for every download.
        for (const char *text : {"2MB", "2.0", "0x2", "1e0", "2,0", ""})
            QTest::addRow("archive \"%s\"", text) << QVariant(text) << QVariant() << 256 * MiB << 1024 * MiB << 0 << QStringList{archiveAs.arg(text)};
        QTest::newRow("list in the ini file") << QVariant(QStringList{"2", "1"}) << QVariant(QStringList{"5", "0"}) << 256 * MiB << 1024 * MiB << 0 << QStringList{archiveAs.arg("2,1"), unpackedAs.arg("5,0").arg(1024)};
        QTest::newRow("512 PiB is kept") << QVariant(Q_INT64_C(1) << 39) << QVariant() << most << 4 * most << 0 << QStringList();
        QTest::newRow("2^43 MiB") << QVariant(Q_INT64_C(1) << 43) << QVariant() << most << 4 * most << 1 << QStringList();
        QTest::newRow("largest number") << QVariant("9223372036854775807") << QVariant("9223372036854775807") << most << most << 2 << QStringList();
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
        QTEST(messages.filter(QRegularExpression("^Setting \\S+ holds")), "unusable");
    }

    void freeSpaceFloor_data()
    {
        QTest::addColumn<qint64>("fileSystem");
        QTest::addColumn<qint64>("floor");

        const qint64 GiB = Q_INT64_C(1) << 30;
        QTest::newRow("unknown") << qint64(0) << qint64(0);
        QTest::newRow("8 GiB card") << 8 * GiB << 8 * GiB / 20;
        QTest::newRow("20 GiB") << 20 * GiB << GiB;
        QTest::newRow("2 TiB disk") << 2048 * GiB << GiB;
    }
    void freeSpaceFloor()
    {
        QFETCH(qint64, fileSystem);
        QTEST(Settings::minimumFreeDiskBytes(fileSystem), "floor");
    }

    void installationLeavesTheFloorFree_data()
    {
        QTest::addColumn<QString>("below"); // the folder to write, below a new temporary one
        QTest::addColumn<int>("bytes");     // 0: none, 1: all the free space, 2: the most
        QTest::addColumn<bool>("enough");

        QTest::newRow("nothing to write") << "" << 0 << true;
        QTest::newRow("folder not made yet") << "a/b" << 0 << true;
        QTest::newRow("all the free space") << "" << 1 << false;
        QTest::newRow("more than bytes can add") << "a/b" << 2 << false;
    }
    void installationLeavesTheFloorFree()
    {
        QFETCH(QString, below);
        QFETCH(int, bytes);
        QFETCH(bool, enough);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QStorageInfo storage(dir.path());
        const qint64 floor = Settings::minimumFreeDiskBytes(storage.bytesTotal());
        if (storage.bytesAvailable() < 2 * floor)
            QSKIP("The disk of the temporary folder is nearly full");
        const qint64 toWrite = bytes == 0   ? 0
                               : bytes == 1 ? storage.bytesAvailable()
                                            : std::numeric_limits<qint64>::max();
        QString why;
        QCOMPARE(Settings::leavesEnoughFreeSpace(dir.filePath(below), toWrite, &why), enough);
        QCOMPARE(why.isEmpty(), enough);
        if (!enough)
            QVERIFY2(why.contains(dir.path()), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(tst_SizeLimits)

#include "tst_sizelimits.moc"
