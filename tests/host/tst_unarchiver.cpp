// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <utils/unarchiver.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Utils;

namespace {

const int timeoutMs = 20000;

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PathOverride final
{
public:
    explicit PathOverride(const QString &path)
        : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~PathOverride() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

struct Run
{
    Tasking::DoneResult result = Tasking::DoneResult::Error;
    QStringList output;
    int ticksWhileRunning = 0;
    bool doneInsideStart = false;
};

// Runs one extraction while a zero-timer counts how often the event loop got to run.
Run extract(const FilePath &archive, const FilePath &destination)
{
    Run run;
    const auto sourceAndCommand = Unarchiver::sourceAndCommand(archive);
    if (!sourceAndCommand) {
        run.output.append(sourceAndCommand.error());
        return run;
    }
    Unarchiver unarchiver;
    unarchiver.setSourceAndCommand(*sourceAndCommand);
    unarchiver.setDestDir(destination);
    QObject::connect(&unarchiver, &Unarchiver::outputReceived, [&run](const QString &line) {
        run.output.append(line);
    });
    bool finished = false;
    QObject::connect(&unarchiver, &Unarchiver::done, [&](Tasking::DoneResult result) {
        run.result = result;
        finished = true;
    });
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&run, &finished] {
        if (!finished)
            ++run.ticksWhileRunning;
    });
    ticker.start();

    QSignalSpy done(&unarchiver, &Unarchiver::done);
    unarchiver.start();
    run.doneInsideStart = finished;
    if (!finished)
        done.wait(timeoutMs);
    return run;
}

} // namespace

class tst_Unarchiver final : public QObject
{
    Q_OBJECT

private slots:
    void extractsIntoDestinationWithoutBlocking_data();
    void extractsIntoDestinationWithoutBlocking();
    void relativeArchivePathIsResolvedBeforeChangingDirectory();
    void corruptArchiveFails();
    void unsupportedFormatIsRefused_data();
    void unsupportedFormatIsRefused();
    void missingToolIsNamed();
    void lastLineWithoutNewlineIsForwarded();
};

void tst_Unarchiver::extractsIntoDestinationWithoutBlocking_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QString>("tarFlags");
    QTest::addColumn<QString>("compressor");

    QTest::newRow("tar.gz") << "examples.tar.gz"
                            << "czf"
                            << "gzip";
    QTest::newRow("tgz") << "examples.tgz"
                         << "czf"
                         << "gzip";
    QTest::newRow("tar") << "examples.tar"
                         << "cf"
                         << "";
    QTest::newRow("tar.bz2") << "examples.tar.bz2"
                             << "cjf"
                             << "bzip2";
    QTest::newRow("tar.xz") << "examples.tar.xz"
                            << "cJf"
                            << "xz";
}

void tst_Unarchiver::extractsIntoDestinationWithoutBlocking()
{
    QFETCH(QString, archiveName);
    QFETCH(QString, tarFlags);
    QFETCH(QString, compressor);
    if (!compressor.isEmpty() && QStandardPaths::findExecutable(compressor).isEmpty())
        QSKIP("The compressor is not installed.");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("src/example/CMakeLists.txt"), "project(example)\n"));
    QVERIFY(writeFile(dir.filePath("src/example/main.cpp"), "int main() {}\n"));
    const QString archive = dir.filePath(archiveName);
    QCOMPARE(QProcess::execute("tar", {tarFlags, archive, "-C", dir.filePath("src"), "example"}),
             0);
    // Something already there must survive an extraction next to it.
    QVERIFY(writeFile(dir.filePath("dest/sets/installed.txt"), "keep"));

    const FilePath destination = FilePath::fromString(dir.filePath("dest/sets/new"));
    const Run run = extract(FilePath::fromString(archive), destination);

    QVERIFY(!run.doneInsideStart);
    QCOMPARE(run.result, Tasking::DoneResult::Success);
    QVERIFY(run.ticksWhileRunning > 0);
    QVERIFY(run.output.size() >= 3);
    QVERIFY2(run.output.first().startsWith("Running "), qPrintable(run.output.first()));
    QVERIFY(run.output.first().contains(archive));
    QVERIFY(run.output.contains("example/main.cpp"));
    QVERIFY(!run.output.contains("Command failed."));
    QCOMPARE(readFile(dir.filePath("dest/sets/new/example/main.cpp")), "int main() {}\n");
    QCOMPARE(readFile(dir.filePath("dest/sets/new/example/CMakeLists.txt")), "project(example)\n");
    QCOMPARE(readFile(dir.filePath("dest/sets/installed.txt")), "keep");
}

void tst_Unarchiver::relativeArchivePathIsResolvedBeforeChangingDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("src/readme.txt"), "hello"));
    QCOMPARE(
        QProcess::execute(
            "tar", {"czf", dir.filePath("set.tar.gz"), "-C", dir.filePath("src"), "readme.txt"}),
        0);

    const QString savedCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const Run run
        = extract(FilePath::fromString("set.tar.gz"), FilePath::fromString(dir.filePath("dest")));
    QDir::setCurrent(savedCurrent);

    QCOMPARE(run.result, Tasking::DoneResult::Success);
    QCOMPARE(readFile(dir.filePath("dest/readme.txt")), "hello");
}

void tst_Unarchiver::corruptArchiveFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("broken.tar.gz"), QByteArray(4096, 'x')));

    const Run run = extract(FilePath::fromString(dir.filePath("broken.tar.gz")),
                            FilePath::fromString(dir.filePath("dest")));

    QCOMPARE(run.result, Tasking::DoneResult::Error);
    QVERIFY(!run.output.isEmpty());
    QCOMPARE(run.output.last(), QString("Command failed."));
    // The tool's own complaint comes before the verdict.
    QVERIFY(run.output.size() >= 3);
}

void tst_Unarchiver::unsupportedFormatIsRefused_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("text") << "notes.txt";
    QTest::newRow("image") << "screenshot.png";
    QTest::newRow("bare gzip") << "data.gz";
    QTest::newRow("no suffix") << "archive";
}

void tst_Unarchiver::unsupportedFormatIsRefused()
{
    QFETCH(QString, fileName);

    const auto result = Unarchiver::sourceAndCommand(FilePath::fromString("/tmp/" + fileName));
    QVERIFY(!result);
    QCOMPARE(result.error(), QString("File format not supported."));
}

void tst_Unarchiver::missingToolIsNamed()
{
    QTemporaryDir emptyBin;
    QVERIFY(emptyBin.isValid());
    const PathOverride path(emptyBin.path());

    const auto result = Unarchiver::sourceAndCommand(FilePath::fromString("/tmp/set.tar.gz"));
    QVERIFY(!result);
    QVERIFY2(result.error().startsWith("Could not find any unarchiving executable in PATH ("),
             qPrintable(result.error()));
    QVERIFY(result.error().contains("tar"));
    QVERIFY(result.error().contains("cmake"));
}

void tst_Unarchiver::lastLineWithoutNewlineIsForwarded()
{
    // A stand-in tar that reports where it runs and ends without a newline.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fakeTar = dir.filePath("bin/tar");
    QVERIFY(writeFile(fakeTar, "#!/bin/sh\npwd\nprintf 'x %s\\r\\n' \"$1\"\nprintf 'last'\n"));
    QVERIFY(QFile::setPermissions(fakeTar, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    Run run;
    {
        const PathOverride path(dir.filePath("bin"));
        run = extract(FilePath::fromString(dir.filePath("set.tar.gz")),
                      FilePath::fromString(dir.filePath("dest")));
    }

    QCOMPARE(run.result, Tasking::DoneResult::Success);
    QCOMPARE(run.output.size(), 4);
    QCOMPARE(QFileInfo(run.output.at(1)).canonicalFilePath(),
             QFileInfo(dir.filePath("dest")).canonicalFilePath());
    QCOMPARE(run.output.at(2), QString("x xvzf"));
    QCOMPARE(run.output.at(3), QString("last"));
}

QTEST_GUILESS_MAIN(tst_Unarchiver)

#include "tst_unarchiver.moc"
