// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archivefolder.h"
#include "damagedarchive.h"
#include "exampleinstaller.h"
#include "settings.h"
#include "tarwriter.h"
#include "testfiles.h"

#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

#include <memory>

#include <unistd.h>

using namespace Brindle::Internal;
using namespace TestFiles;
using Failure = ExampleResult::Failure;
using GitLab::ArchiveDamage;

namespace {

const int TIMEOUT = 60000;
const QByteArray TOP = "demo-main-0123456789abcdef/";

QString repositoryDir()
{
    return Settings::repositoryPath("examples");
}

QString outsideDir()
{
    return QDir::tempPath() + "/outside";
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// The .tar.gz that GNU tar makes of 'dir'/<top folder>, with the extra options given.
QByteArray tarGzOf(const QString &dir, const QStringList &options = {})
{
    QProcess tar;
    tar.setWorkingDirectory(dir);
    tar.start("tar", options + QStringList{"-czf", "-", TOP});
    if (!tar.waitForFinished(TIMEOUT) || tar.exitCode() != 0)
        return {};
    return tar.readAllStandardOutput();
}

// A million empty files: half a gigabyte of tar headers, deflated as they are made.
QByteArray millionEmptyFiles()
{
    z_stream zs{};
    if (deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out;
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    const auto deflateAll = [&](const QByteArray &in, int flush) {
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        zs.avail_in = uInt(in.size());
        do {
            zs.next_out = reinterpret_cast<Bytef *>(buffer.data());
            zs.avail_out = uInt(buffer.size());
            deflate(&zs, flush);
            out.append(buffer.constData(), buffer.size() - zs.avail_out);
        } while (zs.avail_out == 0);
    };
    QByteArray batch = GitLab::makeTarHeader({TOP, {}, '5', {}, 0755}, 0);
    for (int i = 0; i < 1000000; ++i) {
        batch += GitLab::makeTarHeader({TOP + 'f' + QByteArray::number(i)}, 0);
        if (batch.size() >= 1024 * 1024) {
            deflateAll(batch, Z_NO_FLUSH);
            batch.clear();
        }
    }
    deflateAll(batch + QByteArray(10240, '\0'), Z_FINISH);
    deflateEnd(&zs);
    return out;
}

} // namespace

class tst_ArchiveRefusal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusedBeforeAnythingIsWritten_data();
    void refusedBeforeAnythingIsWritten();

private:
    std::unique_ptr<ExampleInstaller> installer;
};

void tst_ArchiveRefusal::init()
{
    const QString sandbox = testRoot();
    for (const QString &path : {Settings::location(), QDir::tempPath()})
        QVERIFY2(path.startsWith(sandbox),
                 qPrintable("Run this test through ctest, not on " + path));
    QVERIFY(removeAll(Settings::location().chopped(3)));
    QVERIFY(writeFile(repositoryDir() + "/demo/CMakeLists.txt", "project(old)\n"));
    QVERIFY(removeAll(outsideDir()));
    QVERIFY(writeFile(outsideDir() + "/victim.txt", "keep"));
    installer = std::make_unique<ExampleInstaller>();
}

void tst_ArchiveRefusal::cleanup()
{
    installer.reset();
    Core::ICore::settings()->remove("Brindle/MaxUnpackedMegabytes");
}

void tst_ArchiveRefusal::refusedBeforeAnythingIsWritten_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<int>("limitMiB");    // 0: the default
    QTest::addColumn<Failure>("failure"); // None: it installs
    QTest::addColumn<QString>("status");  // empty: the only one is that it unpacks

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString top = dir.filePath(TOP);
    QVERIFY(writeFile(top + "CMakeLists.txt", "project(new)\n"));
    QVERIFY(writeFile(top + "main.cpp", "int main() { return 0; }\n"));
    QVERIFY(writeFile(top + "data.bin", randomBytes(256 * 1024)));
    QVERIFY(writeFile(top + "README.md", "# Demo\n"));
    const QByteArray intact = tarGzOf(dir.path());
    QVERIFY(!intact.isEmpty());
    const auto damaged = [&](ArchiveDamage how) {
        return GitLab::Internal::damagedArchive(intact, how);
    };

    // The same folder, where data.bin now has a thousand more names.
    for (int i = 0; i < 1000; ++i) {
        const QByteArray link = QFile::encodeName(top + "link" + QString::number(i));
        QCOMPARE(::link(QFile::encodeName(top + "data.bin").constData(), link.constData()), 0);
    }
    QVERIFY(writeFile(top + "data.bin", randomBytes(1024 * 1024)));
    const QByteArray farm = tarGzOf(dir.path());
    QVERIFY(!farm.isEmpty());

    QVERIFY(removeAll(top));
    QVERIFY(writeFile(top + "CMakeLists.txt", "project(new)\n"));
    QProcess truncate;
    truncate.start("truncate", {"-s", "1T", top + "disk.img"});
    QVERIFY(truncate.waitForFinished(TIMEOUT) && truncate.exitCode() == 0);
    const QByteArray sparse = tarGzOf(dir.path(), {"-S"});
    QVERIFY(!sparse.isEmpty());

    const QByteArray outside = QFile::encodeName(outsideDir());
    // From the top folder in the unpack folder next to the installed examples up to 'outside'
    const QByteArray up
        = "../../" + QFile::encodeName(QDir(repositoryDir()).relativeFilePath(outsideDir()));
    const auto hostile = [&](const QList<GitLab::TarEntry> &more) {
        return GitLab::makeTarGz(QList<GitLab::TarEntry>{{TOP, {}, '5', {}, 0755},
                                                         {TOP + "CMakeLists.txt", "project(new)\n"}}
                                 + more);
    };

    const QString isDamaged = "^The archive of demo is damaged: ";
    const QString skipped = "^Skip installing example demo - ";
    // clang-format off
    QTest::newRow("intact") << intact << 0 << Failure::None << "";
    QTest::newRow("gzip cut in a member") << damaged(ArchiveDamage::Truncated) << 0 << Failure::DamagedArchive << isDamaged + "the gzip stream ends early$";
    QTest::newRow("flipped byte") << damaged(ArchiveDamage::FlippedByte) << 0 << Failure::DamagedArchive << isDamaged + "its CRC-32 does not match$";
    QTest::newRow("garbage") << damaged(ArchiveDamage::Garbage) << 0 << Failure::DamagedArchive << isDamaged + "it is not a gzip file$";
    QTest::newRow("tar cut at a member") << damaged(ArchiveDamage::TarCutAtMember) << 0 << Failure::DamagedArchive << isDamaged + "the end-of-archive blocks are missing$";
    QTest::newRow("sparse terabyte") << sparse << 0 << Failure::SizeLimit << skipped + "it unpacks to at least 1[.,]00 TiB, more than the .+ allowed$";
    QTest::newRow("million empty files") << millionEmptyFiles() << 0 << Failure::SizeLimit << skipped + "it holds more than the 20.?000 entries allowed$";
    QTest::newRow("hard links count once") << farm << 2 << Failure::None << "";
    QTest::newRow("absolute member") << hostile({{outside + "/absolute.txt", "written"}}) << 0 << Failure::Unpacking << skipped + "member .+ would be written outside its folder$";
    QTest::newRow("dot-dot member") << hostile({{TOP + up + "/dotdot.txt", "written"}}) << 0 << Failure::Unpacking << skipped + "member .+ would be written outside its folder$";
    QTest::newRow("through a link") << hostile({{TOP + "out", {}, '2', outside}, {TOP + "out/through.txt", "written"}}) << 0 << Failure::Unpacking << skipped + "member .+ would be written through the link .+/out$";
    // cmake -E tar makes the hard link a second symbolic link, and writes through it
    QTest::newRow("through a hard link to a link") << hostile({{TOP + "out", {}, '2', outside}, {TOP + "h", {}, '1', TOP + "out"}, {TOP + "h/through.txt", "written"}}) << 0 << Failure::Unpacking << skipped + "member .+ would be written through the link .+$";
    // clang-format on
}

// A refused archive never reaches the unarchiver: whatever it would do to the disk, the tool
// that does it is not run, and the installed copy stays as it was.
void tst_ArchiveRefusal::refusedBeforeAnythingIsWritten()
{
    QFETCH(QByteArray, archive);
    QFETCH(int, limitMiB);
    QFETCH(Failure, failure);
    QFETCH(QString, status);

    if (limitMiB > 0)
        Core::ICore::settings()->setValue("Brindle/MaxUnpackedMegabytes", limitMiB);
    // Stand-ins that leave a mark and hand over to the real tool; cmake only where the host
    // would pick it.
    QTemporaryDir tools;
    QVERIFY(tools.isValid());
    const QString marker = tools.filePath("ran");
    for (const QString tool : {"cmake", "tar"}) {
        const QString real = QStandardPaths::findExecutable(tool);
        if (real.isEmpty())
            continue;
        QVERIFY(writeFile(
            tools.filePath(tool),
            QString("#!/bin/sh\ntouch '%1'\nexec '%2' \"$@\"\n").arg(marker, real).toUtf8()));
        QVERIFY(QFile::setPermissions(tools.filePath(tool), QFile::ReadOwner | QFile::ExeOwner));
    }
    const QByteArray path = qgetenv("PATH");
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    qputenv("PATH", QFile::encodeName(tools.path()) + ':' + path);
    // The archive folder is made with the first archive, and stays.
    const QString archiveFolder = ArchiveFolder::path();
    const QStringList tempBefore = entriesOf(QDir::tempPath());

    auto example = QSharedPointer<Example>::create(
        QJsonObject{{"id", 1}, {"name", "demo"}, {"path", "demo"}});
    example->setData(archive);
    QStringList statuses;
    connect(installer.get(), &ExampleInstaller::statusChanged, this, [&](const QString &text) {
        statuses.append(text);
    });
    QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
    installer->install(example, "examples");
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, TIMEOUT);
    const auto result = finished.first().at(2).value<ExampleResult>();

    if (status.isEmpty())
        QVERIFY2(statuses == QStringList{"Unpacking example: demo"},
                 qPrintable(statuses.join('\n')));
    else
        QVERIFY2(!statuses.filter(QRegularExpression(status)).isEmpty(),
                 qPrintable(statuses.join('\n')));
    QCOMPARE(entriesOf(QDir::tempPath()), tempBefore);
    QCOMPARE(entriesOf(archiveFolder), QStringList());
    QCOMPARE(entriesOf(outsideDir(), QDirIterator::Subdirectories), QStringList{"victim.txt"});
    QCOMPARE(contentOf(outsideDir() + "/victim.txt"), QByteArray("keep"));
    if (failure == Failure::None) {
        QCOMPARE(result.outcome, ExampleResult::Outcome::Updated);
        QVERIFY(QFile::exists(marker));
        QCOMPARE(entriesOf(repositoryDir()), QStringList{"demo"});
        QCOMPARE(contentOf(repositoryDir() + "/demo/CMakeLists.txt"), QByteArray("project(new)\n"));
        return;
    }
    QCOMPARE(result.outcome, ExampleResult::Outcome::Failed);
    QCOMPARE(int(result.failure), int(failure));
    QVERIFY(!QFile::exists(marker));
    QCOMPARE(entriesOf(repositoryDir(), QDirIterator::Subdirectories),
             (QStringList{"demo", "demo/CMakeLists.txt"}));
    QCOMPARE(contentOf(repositoryDir() + "/demo/CMakeLists.txt"), QByteArray("project(old)\n"));
}

QTEST_MAIN(tst_ArchiveRefusal)

#include "tst_archiverefusal.moc"
