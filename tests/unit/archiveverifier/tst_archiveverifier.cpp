// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archiveverifier.h"

#include "tarwriter.h"
#include "testfiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace Brindle::Internal;
using Outcome = ArchiveCheck::Outcome;

Q_DECLARE_METATYPE(Brindle::Internal::ArchiveLimits)

namespace Brindle::Internal {

// Names the outcome in a failed comparison.
char *toString(ArchiveCheck::Outcome outcome)
{
    static const char *const names[] = {"Intact",
                                        "Damaged",
                                        "TooLarge",
                                        "TooManyEntries",
                                        "TooDeep",
                                        "PathTooLong",
                                        "Unsafe",
                                        "Unreadable",
                                        "Unsaved",
                                        "Canceled"};
    return qstrdup(names[int(outcome)]);
}

} // namespace Brindle::Internal

namespace {

const qint64 MiB = 1024 * 1024;
const qint64 TiB = MiB * MiB;

bool run(const QString &dir, const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning() << "failed:" << program << arguments;
        return false;
    }
    return true;
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(1, 256)); // no zero bytes: the end of data stays visible
    return bytes;
}

// The header of an empty regular file in ustar format, with its checksum.
void writeUstarHeader(char *h, const QByteArray &name)
{
    std::memset(h, 0, 512);
    std::memcpy(h, name.constData(), qMin<qsizetype>(name.size(), 100));
    std::memcpy(h + 100, "0000644", 7);
    std::memcpy(h + 108, "0000000", 7);
    std::memcpy(h + 116, "0000000", 7);
    std::memcpy(h + 124, "00000000000", 11);
    std::memcpy(h + 136, "14723220000", 11);
    h[156] = '0';
    std::memcpy(h + 257, "ustar", 6);
    std::memcpy(h + 263, "00", 2);
    std::memset(h + 148, ' ', 8);
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i)
        sum += uchar(h[i]);
    std::snprintf(h + 148, 8, "%06o", sum);
    h[155] = ' ';
}

// Writes a gzip file of 'count' empty files and the end blocks, without touching the disk
// for the files themselves.
bool writeManyEntries(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    z_stream zs{};
    if (deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_RLE) != Z_OK)
        return false;
    QByteArray out(256 * 1024, Qt::Uninitialized);
    const auto write = [&](const char *in, qsizetype size, int flush) {
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in));
        zs.avail_in = uInt(size);
        do {
            zs.next_out = reinterpret_cast<Bytef *>(out.data());
            zs.avail_out = uInt(out.size());
            deflate(&zs, flush);
            file.write(out.constData(), out.size() - zs.avail_out);
        } while (zs.avail_out == 0);
    };
    const int perBatch = 2048;
    QByteArray batch(perBatch * 512, Qt::Uninitialized);
    for (int i = 0; i < count; i += perBatch) {
        const int n = qMin(perBatch, count - i);
        for (int j = 0; j < n; ++j)
            writeUstarHeader(batch.data() + j * 512, "many/" + QByteArray::number(i + j));
        write(batch.constData(), n * 512, Z_NO_FLUSH);
    }
    const QByteArray end(10240, '\0');
    write(end.constData(), end.size(), Z_FINISH);
    deflateEnd(&zs);
    return file.error() == QFileDevice::NoError;
}

struct Streamed
{
    ArchiveCheck check;
    int emitted = 0;
    bool inOwnerThread = false;
};

// Feeds the file in uneven chunks, as a download hands them over, and waits for the verdict.
// Without 'end' the verdict must come before the end of input.
Streamed stream(const QString &path,
               const ArchiveLimits &limits,
               bool end = true,
               const QString &tarPath = {})
{
    Streamed result;
    const QByteArray bytes = TestFiles::contentOf(path);
    ArchiveVerifier verifier(limits, tarPath);
    QObject::connect(&verifier, &ArchiveVerifier::finished, [&](const ArchiveCheck &check) {
        result.check = check;
        result.inOwnerThread = QThread::currentThread() == verifier.thread();
    });
    QSignalSpy spy(&verifier, &ArchiveVerifier::finished);
    QRandomGenerator generator(quint32(bytes.size()));
    for (qsizetype offset = 0; offset < bytes.size();) {
        const qsizetype size = generator.bounded(1, 70000);
        verifier.feed(bytes.mid(offset, size));
        offset += size;
    }
    if (end)
        verifier.endOfInput();
    if (!spy.wait(120000))
        return result;
    // A second emission would be queued behind the first.
    QCoreApplication::processEvents();
    result.emitted = int(spy.count());
    if (!verifier.isDone() || verifier.result().outcome != result.check.outcome)
        result.emitted = -1;
    return result;
}

} // namespace

class tst_ArchiveVerifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void verdict_data();
    void verdict();
    void measures();
    void verdictBeforeEndOfInput_data();
    void verdictBeforeEndOfInput();
    void missingFileIsUnreadable();
    void cancelAndDestroyMidStream();
    void savesTheTarStreamItChecked();
    void savedTarStreamIsBounded();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    bool tar(const QString &dir, const QString &archive, const QStringList &arguments)
    {
        return run(dir, "tar", QStringList{"-cf", path(archive)} + arguments);
    }
    bool gzip(const QString &archive) { return run(m_dir.path(), "gzip", {"-1", "-k", archive}); }
    // Cuts a copy of 'from' at 'size' bytes.
    bool cut(const QString &from, const QString &to, qint64 size)
    {
        return TestFiles::writeFile(path(to), TestFiles::contentOf(path(from)).left(size));
    }

    QTemporaryDir m_dir;
    qint64 m_treeBytes = 0;
    int m_treeEntries = 0;
    int m_longPathBytes = 0;
    bool m_flippedInData = false;
};

void tst_ArchiveVerifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString tree = path("tree");
    const QByteArray big = randomBytes(200 * 1024, 7);
    QVERIFY(TestFiles::writeFile(tree + "/demo/README.md", "# Demo\n"));
    QVERIFY(TestFiles::writeFile(tree + "/demo/src/main.cpp", "int main() { return 0; }\n"));
    QVERIFY(TestFiles::writeFile(tree + "/demo/data/big.bin", big));
    m_treeBytes = 7 + 25 + big.size();
    m_treeEntries = 6; // demo/, its three files, src/, data/

    // The intact archive as GitLab makes it: git archive, with its pax global header.
    if (!QStandardPaths::findExecutable("git").isEmpty()) {
        const QString repo = tree + "/demo";
        QVERIFY(run(repo, "git", {"init", "-q"}));
        QVERIFY(run(repo, "git", {"add", "."}));
        QVERIFY(run(repo,
                    "git",
                    {"-c",
                     "user.name=Test",
                     "-c",
                     "user.email=test@example.org",
                     "commit",
                     "-qm",
                     "Demo"}));
        QVERIFY(
            run(repo,
                "git",
                {"archive", "--format=tar", "--prefix=demo/", "-o", path("intact.tar"), "HEAD"}));
        QVERIFY(run(repo, "rm", {"-rf", ".git"}));
    } else {
        QVERIFY(tar(tree, "intact.tar", {"--format=pax", "demo"}));
    }
    QVERIFY(gzip("intact.tar"));
    const QByteArray intact = TestFiles::contentOf(path("intact.tar.gz"));

    QVERIFY(tar(tree, "gnu.tar", {"--format=gnu", "demo"}));
    QVERIFY(gzip("gnu.tar"));

    // Damage to the gzip layer.
    QVERIFY(TestFiles::writeFile(path("gzip-cut.tar.gz"), intact.left(intact.size() / 2)));
    QVERIFY(TestFiles::writeFile(path("trailing.tar.gz"), intact + "junk"));
    QVERIFY(TestFiles::writeFile(path("garbage.tar.gz"), randomBytes(100000, 3)));
    QVERIFY(TestFiles::writeFile(path("empty.tar.gz"), {}));
    QVERIFY(TestFiles::writeFile(path("text"), "no tar archive in here\n"));
    QVERIFY(gzip("text"));
    // Random data is stored as it is even by gzip -1, so a flipped byte in it changes only
    // the content and leaves the deflate stream valid: the CRC-32 has to catch it.
    QByteArray flipped = intact;
    const qsizetype found = flipped.indexOf(big.mid(100000, 64));
    const qsizetype at = found < 0 ? flipped.size() / 2 : found + 32;
    m_flippedInData = found >= 0;
    flipped[at] = char(flipped.at(at) ^ 0x10);
    QVERIFY(TestFiles::writeFile(path("flipped.tar.gz"), flipped));

    // Damage to the tar stream inside an intact gzip stream: the last member, big.bin, ends
    // at the last byte that is not zero, rounded up to a block.
    QVERIFY(tar(tree, "ordered.tar", {"--format=pax", "demo/README.md", "demo/data/big.bin"}));
    const QByteArray ordered = TestFiles::contentOf(path("ordered.tar"));
    qsizetype lastByte = ordered.size() - 1;
    while (lastByte > 0 && ordered.at(lastByte) == '\0')
        --lastByte;
    const qint64 endOfMembers = (lastByte / 512 + 1) * 512;
    QVERIFY(cut("ordered.tar", "no-end.tar", endOfMembers));
    QVERIFY(cut("ordered.tar", "half-end.tar", endOfMembers + 512));
    QVERIFY(cut("ordered.tar", "member-cut.tar", endOfMembers - 1000));
    QVERIFY(cut("ordered.tar", "just-end.tar", endOfMembers + 1024));
    for (const QString &name : {"no-end.tar", "half-end.tar", "member-cut.tar", "just-end.tar"})
        QVERIFY(gzip(name));

    // A sparse terabyte that takes a few hundred bytes to download.
    QVERIFY(run(tree, "mkdir", {"sparse"}));
    QVERIFY(run(tree + "/sparse", "truncate", {"-s", "1T", "disk.img"}));
    QVERIFY(tar(tree, "sparse.tar", {"-S", "--format=pax", "sparse"}));
    QVERIFY(gzip("sparse.tar"));

    // One MiB under a thousand names.
    const QString farm = tree + "/farm";
    QVERIFY(TestFiles::writeFile(farm + "/data.bin", randomBytes(MiB, 11)));
    for (int i = 0; i < 1000; ++i) {
        const QByteArray link = QFile::encodeName(farm + "/link" + QString::number(i));
        QVERIFY(::link(QFile::encodeName(farm + "/data.bin").constData(), link.constData()) == 0);
    }
    QVERIFY(tar(tree, "farm.tar", {"--format=gnu", "farm"}));
    QVERIFY(gzip("farm.tar"));

    QString deep = "deep";
    for (int i = 0; i < 39; ++i)
        deep += "/d";
    QVERIFY(TestFiles::writeFile(tree + "/" + deep + "/leaf.txt", "leaf\n"));
    QVERIFY(tar(tree, "deep.tar", {"--format=pax", "deep"}));
    QVERIFY(gzip("deep.tar"));

    QString longPath = "long";
    for (int i = 0; i < 11; ++i)
        longPath += '/' + QString(100, QChar('a' + i));
    longPath += "/file.txt";
    m_longPathBytes = int(longPath.size());
    QVERIFY(TestFiles::writeFile(tree + "/" + longPath, "long\n"));
    QVERIFY(tar(tree, "long.tar", {"--format=pax", "long"}));
    QVERIFY(gzip("long.tar"));

    QVERIFY(writeManyEntries(path("many.tar.gz"), 1000000));

    // Members that some unpacking tools write outside the archive's folder.
    const auto demo = [](const QList<GitLab::TarEntry> &more) {
        return GitLab::makeTarGz(QList<GitLab::TarEntry>{{"demo/", {}, '5', {}, 0755}} + more);
    };
    QVERIFY(TestFiles::writeFile(path("absolute.tar.gz"), demo({{"/etc/evil", "x"}})));
    QVERIFY(TestFiles::writeFile(path("dot-dot.tar.gz"), demo({{"demo/../../evil", "x"}})));
    QVERIFY(TestFiles::writeFile(path("through-link.tar.gz"),
                                 demo({{"demo/out", {}, '2', "/etc"}, {"demo/out/evil", "x"}})));
    QVERIFY(
        TestFiles::writeFile(path("hard-link-out.tar.gz"), demo({{"demo/h", {}, '1', "../x"}})));
    QVERIFY(TestFiles::writeFile(path("through-hard-link.tar.gz"),
                                 demo({{"demo/out", {}, '2', "/etc"},
                                       {"demo/h", {}, '1', "demo/out"},
                                       {"demo/h/evil", "x"}})));
    // Links may point anywhere as long as nothing is written through them.
    QVERIFY(TestFiles::writeFile(path("links.tar.gz"),
                                 demo({{"demo/a", "x"},
                                       {"demo/up", {}, '2', "../../.."},
                                       {"demo/etc", {}, '2', "/etc"},
                                       {"demo/h", {}, '1', "demo/a"},
                                       {"demo/up.txt", "x"}})));
}

void tst_ArchiveVerifier::verdict_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<ArchiveLimits>("limits");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("reason");

    const ArchiveLimits defaults;
    ArchiveLimits twoMiB;
    twoMiB.maxUnpackedBytes = 2 * MiB;
    ArchiveLimits oneMiB;
    oneMiB.maxUnpackedBytes = MiB;
    ArchiveLimits belowOneMiB;
    belowOneMiB.maxUnpackedBytes = MiB - 1;
    ArchiveLimits twoTiB;
    twoTiB.maxUnpackedBytes = 2 * TiB;
    ArchiveLimits exactEntries;
    exactEntries.maxEntries = m_treeEntries;
    ArchiveLimits oneEntryShort;
    oneEntryShort.maxEntries = m_treeEntries - 1;
    ArchiveLimits wideDeep;
    wideDeep.maxDepth = 41;
    ArchiveLimits longPaths;
    longPaths.maxPathBytes = m_longPathBytes;
    ArchiveLimits shortPaths;
    shortPaths.maxPathBytes = m_longPathBytes - 1;

    // clang-format off
    QTest::newRow("git archive") << "intact.tar.gz" << defaults << Outcome::Intact << "";
    QTest::newRow("gnu format") << "gnu.tar.gz" << defaults << Outcome::Intact << "";
    QTest::newRow("entries at the limit") << "intact.tar.gz" << exactEntries << Outcome::Intact << "";
    QTest::newRow("one entry too many") << "intact.tar.gz" << oneEntryShort << Outcome::TooManyEntries << "";

    QTest::newRow("gzip cut") << "gzip-cut.tar.gz" << defaults << Outcome::Damaged << "the gzip stream ends early";
    QTest::newRow("flipped byte") << "flipped.tar.gz" << defaults << Outcome::Damaged << (m_flippedInData ? "its CRC-32 does not match" : "");
    QTest::newRow("garbage") << "garbage.tar.gz" << defaults << Outcome::Damaged << "it is not a gzip file";
    QTest::newRow("empty") << "empty.tar.gz" << defaults << Outcome::Damaged << "it is empty";
    QTest::newRow("trailing garbage") << "trailing.tar.gz" << defaults << Outcome::Damaged << "there is data after the end of the gzip stream";
    QTest::newRow("gzip of text") << "text.gz" << defaults << Outcome::Damaged << "";

    QTest::newRow("end blocks missing") << "no-end.tar.gz" << defaults << Outcome::Damaged << "the end-of-archive blocks are missing";
    QTest::newRow("one end block") << "half-end.tar.gz" << defaults << Outcome::Damaged << "the end-of-archive blocks are missing";
    QTest::newRow("end blocks without padding") << "just-end.tar.gz" << defaults << Outcome::Intact << "";
    QTest::newRow("member cut") << "member-cut.tar.gz" << defaults << Outcome::Damaged << "member demo/data/big.bin is cut short";

    QTest::newRow("sparse terabyte") << "sparse.tar.gz" << oneMiB << Outcome::TooLarge << "";
    QTest::newRow("sparse terabyte allowed") << "sparse.tar.gz" << twoTiB << Outcome::Intact << "";
    QTest::newRow("hard links count once") << "farm.tar.gz" << twoMiB << Outcome::Intact << "";
    QTest::newRow("hard links at the limit") << "farm.tar.gz" << oneMiB << Outcome::Intact << "";
    QTest::newRow("hard links over the limit") << "farm.tar.gz" << belowOneMiB << Outcome::TooLarge << "";
    QTest::newRow("many entries") << "many.tar.gz" << defaults << Outcome::TooManyEntries << "";
    QTest::newRow("deep") << "deep.tar.gz" << defaults << Outcome::TooDeep << "";
    QTest::newRow("deep allowed") << "deep.tar.gz" << wideDeep << Outcome::Intact << "";
    QTest::newRow("long path") << "long.tar.gz" << shortPaths << Outcome::PathTooLong << "";
    QTest::newRow("long path allowed") << "long.tar.gz" << longPaths << Outcome::Intact << "";
    QTest::newRow("absolute member") << "absolute.tar.gz" << defaults << Outcome::Unsafe << "member /etc/evil would be written outside its folder";
    QTest::newRow("dot-dot member") << "dot-dot.tar.gz" << defaults << Outcome::Unsafe << "member demo/../../evil would be written outside its folder";
    QTest::newRow("through a link") << "through-link.tar.gz" << defaults << Outcome::Unsafe << "member demo/out/evil would be written through the link demo/out";
    QTest::newRow("hard link out") << "hard-link-out.tar.gz" << defaults << Outcome::Unsafe << "member demo/h links to ../x, outside its folder";
    QTest::newRow("through a hard link to a link") << "through-hard-link.tar.gz" << defaults << Outcome::Unsafe << "";
    QTest::newRow("links nothing is written through") << "links.tar.gz" << defaults << Outcome::Intact << "";
    // clang-format on
}

// Each archive is checked as a file and as a download in uneven chunks; both agree.
void tst_ArchiveVerifier::verdict()
{
    QFETCH(QString, archive);
    QFETCH(ArchiveLimits, limits);
    QFETCH(Outcome, outcome);
    QFETCH(QString, reason);

    const ArchiveCheck fromFile = ArchiveVerifier::verifyFile(path(archive), limits);
    QCOMPARE(fromFile.outcome, outcome);
    QCOMPARE(fromFile.reason.isEmpty(), outcome == Outcome::Intact);
    if (!reason.isEmpty())
        QCOMPARE(fromFile.reason, reason);

    const Streamed streamed = stream(path(archive), limits);
    QCOMPARE(streamed.emitted, 1);
    QVERIFY(streamed.inOwnerThread);
    QCOMPARE(streamed.check.outcome, outcome);
    QCOMPARE(streamed.check.reason, fromFile.reason);
    // Damage is found wherever the chunks end; a limit at the same header either way.
    if (outcome != Outcome::Damaged) {
        QCOMPARE(streamed.check.entries, fromFile.entries);
        QCOMPARE(streamed.check.unpackedBytes, fromFile.unpackedBytes);
    }
    if (outcome == Outcome::Intact)
        QCOMPARE(streamed.check.compressedBytes, QFileInfo(path(archive)).size());
}

// What an archive unpacks to is measured from its headers, up to where a limit stops it. The
// limits at and below each archive's measure pin the rest.
void tst_ArchiveVerifier::measures()
{
    const ArchiveCheck intact = ArchiveVerifier::verifyFile(path("intact.tar.gz"), {});
    QCOMPARE(intact.unpackedBytes, m_treeBytes);
    QCOMPARE(intact.depth, 3);
    QCOMPARE(intact.longestPath, int(strlen("demo/data/big.bin")));
    QCOMPARE(intact.compressedBytes, QFileInfo(path("intact.tar.gz")).size());

    ArchiveLimits oneMiB;
    oneMiB.maxUnpackedBytes = MiB;
    const ArchiveCheck sparse = ArchiveVerifier::verifyFile(path("sparse.tar.gz"), oneMiB);
    QCOMPARE(sparse.unpackedBytes, TiB);
    QCOMPARE(ArchiveVerifier::verifyFile(path("farm.tar.gz"), oneMiB).entries, qint64(1002));

    const ArchiveCheck many = ArchiveVerifier::verifyFile(path("many.tar.gz"), {});
    QCOMPARE(many.entries, ArchiveLimits().maxEntries + 1);
    QVERIFY(many.compressedBytes < QFileInfo(path("many.tar.gz")).size());
}

void tst_ArchiveVerifier::verdictBeforeEndOfInput_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<Outcome>("outcome");

    QTest::newRow("many entries") << "many.tar.gz" << Outcome::TooManyEntries;
    QTest::newRow("garbage") << "garbage.tar.gz" << Outcome::Damaged;
    QTest::newRow("trailing garbage") << "trailing.tar.gz" << Outcome::Damaged;
    QTest::newRow("deep") << "deep.tar.gz" << Outcome::TooDeep;
    QTest::newRow("through a link") << "through-link.tar.gz" << Outcome::Unsafe;
}

// A download that is refused can be stopped at once: the verdict does not wait for the end.
void tst_ArchiveVerifier::verdictBeforeEndOfInput()
{
    QFETCH(QString, archive);
    QFETCH(Outcome, outcome);

    const Streamed streamed = stream(path(archive), {}, false);
    QCOMPARE(streamed.emitted, 1);
    QCOMPARE(streamed.check.outcome, outcome);
}

void tst_ArchiveVerifier::missingFileIsUnreadable()
{
    const ArchiveCheck check = ArchiveVerifier::verifyFile(path("missing.tar.gz"), {});
    QCOMPARE(check.outcome, Outcome::Unreadable);
    QVERIFY(!check.reason.isEmpty());
}

// Stopping a download stops the check wherever it is; neither waiting for input nor the
// middle of a large archive keeps the verifier from going away.
void tst_ArchiveVerifier::cancelAndDestroyMidStream()
{
    const QByteArray bytes = TestFiles::contentOf(path("many.tar.gz"));
    ArchiveLimits unlimited;
    unlimited.maxEntries = 10000000;
    for (const qsizetype fed : {qsizetype(0), qsizetype(1000), bytes.size() / 2, bytes.size()}) {
        int emitted = 0;
        {
            ArchiveVerifier waiting(unlimited);
            connect(&waiting, &ArchiveVerifier::finished, [&] { ++emitted; });
            waiting.feed(bytes.left(fed));
        }
        {
            ArchiveVerifier canceled(unlimited);
            connect(&canceled, &ArchiveVerifier::finished, [&] { ++emitted; });
            canceled.feed(bytes.left(fed));
            canceled.cancel();
            canceled.feed(bytes.mid(fed));
            canceled.endOfInput();
            QCoreApplication::processEvents();
            QVERIFY(!canceled.isDone());
        }
        QCOMPARE(emitted, 0);
    }
}

// What the unarchiver gets is the tar stream that was checked, complete through its end
// blocks; a file that cannot be written is a failure of its own, never an intact archive.
void tst_ArchiveVerifier::savesTheTarStreamItChecked()
{
    const QString saved = path("saved.tar");
    QVERIFY(TestFiles::writeFile(saved, {}));
    Streamed streamed = stream(path("intact.tar.gz"), {}, true, saved);
    QCOMPARE(streamed.check.outcome, Outcome::Intact);
    const QByteArray tar = TestFiles::contentOf(path("intact.tar"));
    const QByteArray written = TestFiles::contentOf(saved);
    QVERIFY(tar.startsWith(written));
    QVERIFY(written.size() >= tar.size() - 10240);
    QVERIFY(run(m_dir.path(), "tar", {"-tf", saved}));

    streamed = stream(path("intact.tar.gz"), {}, true, "/dev/full");
    QCOMPARE(streamed.check.outcome, Outcome::Unsaved);
    QVERIFY(!streamed.check.reason.isEmpty());
    // The file is made by the download; the check never makes one of its own.
    streamed = stream(path("intact.tar.gz"), {}, true, path("missing.tar"));
    QCOMPARE(streamed.check.outcome, Outcome::Unsaved);
    QVERIFY(!QFile::exists(path("missing.tar")));
}

// Data that unpacks to nothing, pax headers of megabytes, still has to be written: the saved
// stream is bounded by what the archive may unpack to.
void tst_ArchiveVerifier::savedTarStreamIsBounded()
{
    const QByteArray payload = " comment=" + QByteArray(900 * 1024, 'a') + "\n";
    QByteArray length = QByteArray::number(payload.size());
    length = QByteArray::number(payload.size() + length.size());
    QList<GitLab::TarEntry> entries{{"demo/", {}, '5', {}, 0755}};
    for (int i = 0; i < 4; ++i)
        entries.append(GitLab::TarEntry{"demo/PaxHeaders/a", length + payload, 'x'});
    entries.append(GitLab::TarEntry{"demo/a", "x"});
    const QByteArray archive = GitLab::makeTarGz(entries);
    QVERIFY(TestFiles::writeFile(path("pax-bloat.tar.gz"), archive));
    ArchiveLimits limits;
    limits.maxUnpackedBytes = MiB;
    limits.maxEntries = 10;

    // Unchecked for size, the archive itself is fine.
    QCOMPARE(stream(path("pax-bloat.tar.gz"), limits).check.outcome, Outcome::Intact);
    const QString saved = path("bloat.tar");
    QVERIFY(TestFiles::writeFile(saved, {}));
    const Streamed streamed = stream(path("pax-bloat.tar.gz"), limits, true, saved);
    QCOMPARE(streamed.check.outcome, Outcome::TooLarge);
    QVERIFY(QFileInfo(saved).size() < 3 * MiB);
}

QTEST_GUILESS_MAIN(tst_ArchiveVerifier)

#include "tst_archiveverifier.moc"
