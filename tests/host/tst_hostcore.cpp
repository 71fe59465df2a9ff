// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The host stand-in's parts that the plugin relies on without seeing them: the SDK release,
// the unarchiver and progress entries.

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <hovri/sdk.h>
#include <utils/unarchiver.h>

#include <QProcess>
#include <QProgressBar>
#include <QPromise>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Utils;

namespace {

QString releaseInfo()
{
    const auto [name, version, releaseId, date] = Hovri::Sdk::releaseInfo();
    return QStringList({name, version, releaseId, date}).join('\n');
}

// Runs `function` with the environment variable `name` set to `value`, or unset if null.
template<typename Function>
auto withEnvironment(const char *name, const QByteArray &value, Function function)
{
    const QByteArray saved = qgetenv(name);
    value.isNull() ? qunsetenv(name) : qputenv(name, value);
    const auto result = function();
    qputenv(name, saved);
    return result;
}

// Libraries ask for the release while they are loaded, long before main().
const bool releaseReadBeforeApplication = !QCoreApplication::instance();
const QString startupRelease = releaseInfo();
const QString installedRelease = withEnvironment("HOVRI_SDK_RELEASE_FILE", {}, releaseInfo);

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Executable too, so that a script can stand in for tar.
bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
           && file.setPermissions(file.permissions() | QFile::ExeOwner);
}

// The fields of /proc/<pid>/stat from the third on (state, parent, ...); empty when the
// process is gone.
QList<QByteArray> statOf(qint64 pid)
{
    const QByteArray stat = readFile("/proc/" + QString::number(pid) + "/stat");
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : stat.mid(close + 2).split(' ');
}

// Running, or waiting to be: not gone, and not a zombie waiting for whoever adopted it.
bool isRunning(qint64 pid)
{
    const QList<QByteArray> fields = statOf(pid);
    return !fields.isEmpty() && fields.first() != "Z" && fields.first() != "X";
}

// The running child of 'parent' whose command is 'name', or 0.
qint64 childNamed(qint64 parent, const QByteArray &name)
{
    const QStringList pids = QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs);
    for (const QString &pid : pids) {
        const QList<QByteArray> fields = statOf(pid.toLongLong());
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent && isRunning(pid.toLongLong())
            && readFile("/proc/" + pid + "/comm").trimmed() == name) {
            return pid.toLongLong();
        }
    }
    return 0;
}

struct Extraction
{
    bool success = false;
    QStringList output;
    bool blocked = true; // done() came before the event loop ran once
};

Extraction extract(const QString &archive, const QString &destination)
{
    const auto sourceAndCommand = Unarchiver::sourceAndCommand(FilePath::fromString(archive));
    if (!sourceAndCommand)
        return {false, {sourceAndCommand.error()}};
    Extraction run;
    Unarchiver unarchiver;
    unarchiver.setSourceAndCommand(*sourceAndCommand);
    unarchiver.setDestDir(FilePath::fromString(destination));
    QObject::connect(&unarchiver, &Unarchiver::outputReceived, [&run](const QString &line) {
        run.output.append(line);
    });
    QSignalSpy done(&unarchiver, &Unarchiver::done);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { run.blocked &= !done.isEmpty(); });
    ticker.start(0);
    unarchiver.start();
    const bool finished = !done.isEmpty() || done.wait(20000);
    run.success
        = finished
          && done.first().first().value<Tasking::DoneResult>() == Tasking::DoneResult::Success;
    return run;
}

} // namespace

class tst_HostCore final : public QObject
{
    Q_OBJECT

private slots:
    void releaseInfoWorksBeforeTheApplicationExists()
    {
        QVERIFY(releaseReadBeforeApplication);
        QCOMPARE(startupRelease, readFile(qgetenv("HOVRI_SDK_RELEASE_FILE")).trimmed());
        // Without the override: the record shipped beside the library.
        QCOMPARE(installedRelease,
                 readFile(BRINDLE_BINARY_DIR "/share/hovri-sdk/release").trimmed());
        QCOMPARE(Hovri::Sdk::osVariant(), "Palvex OS");

        // The release id becomes a directory name, so one that climbs out is not taken.
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("release"), "Custom SDK\r\n \r\n../../escape\r\n"));
        QCOMPARE(withEnvironment("HOVRI_SDK_RELEASE_FILE",
                                 QFile::encodeName(dir.filePath("release")),
                                 releaseInfo),
                 "Custom SDK\n5.0.0\npalvexos-sdk-5.0\nunknown");
    }

    void unarchiverExtractsByFileTypeWithoutBlocking_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("tarFlags");   // empty: 4 KiB of junk
        QTest::addColumn<QByteArray>("fakeTar"); // null: PATH as it is; else PATH holds only it
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("lastLine");
        // clang-format off
        QTest::newRow("tar.gz") << "set.tar.gz" << "czf" << QByteArray() << true << "example/main.cpp";
        QTest::newRow("tgz") << "set.tgz" << "czf" << QByteArray() << true << "example/main.cpp";
        QTest::newRow("tar") << "set.tar" << "cf" << QByteArray() << true << "example/main.cpp";
        QTest::newRow("tar.bz2") << "set.tar.bz2" << "cjf" << QByteArray() << true << "example/main.cpp";
        QTest::newRow("tar.xz") << "set.tar.xz" << "cJf" << QByteArray() << true << "example/main.cpp";
        QTest::newRow("corrupt archive") << "set.tar.gz" << "" << QByteArray() << false << "Command failed.";
        QTest::newRow("bare gzip") << "set.gz" << "" << QByteArray() << false << "File format not supported.";
        QTest::newRow("no tool in PATH") << "set.tar.gz" << "" << QByteArray("") << false << "Could not find any unarchiving executable in PATH (tar, cmake).";
        QTest::newRow("unterminated last line") << "set.tar.gz" << "" << QByteArray("#!/bin/sh\nprintf 'first\\nlast\\r'\n") << true << "last";
        // clang-format on
    }
    void unarchiverExtractsByFileTypeWithoutBlocking()
    {
        QFETCH(QString, archive);
        QFETCH(QString, tarFlags);
        QFETCH(QByteArray, fakeTar);
        QFETCH(bool, success);
        QFETCH(QString, lastLine);
        QTemporaryDir dir;
        // Relative paths on purpose: the tool runs in the destination, so the unarchiver has to
        // resolve the archive's path first.
        const auto restore = qScopeGuard([cwd = QDir::currentPath()] { QDir::setCurrent(cwd); });
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(writeFile("example/main.cpp", "int main() {}\n"));
        QVERIFY(writeFile("dest/installed.txt", "keep"));
        QVERIFY(fakeTar.isEmpty() || writeFile("bin/tar", fakeTar));
        if (tarFlags.isEmpty())
            QVERIFY(writeFile(archive, QByteArray(4096, 'x')));
        else if (QProcess::execute("tar", {tarFlags, archive, "example"}) != 0) // no bzip2 or xz
            QSKIP("tar cannot write this format here.");
        const QByteArray path
            = fakeTar.isNull() ? qgetenv("PATH") : QFile::encodeName(dir.filePath("bin"));
        const Extraction run = withEnvironment(
            "PATH", path, [&] { return extract(archive, dir.filePath("dest/new")); });

        QCOMPARE(run.success, success);
        QCOMPARE(run.output.last(), lastLine);
        if (!tarFlags.isEmpty()) {
            QVERIFY(!run.blocked);
            QVERIFY(run.output.first().startsWith("Running ")
                    && run.output.first().contains(dir.filePath(archive)));
            QCOMPARE(readFile("dest/new/example/main.cpp"), "int main() {}\n");
            QCOMPARE(readFile("dest/installed.txt"), "keep");
        }
    }

    // An IDE that is killed takes its extraction with it: an orphaned tar went on filling
    // the disk. The archive is a named pipe that stays empty, so tar waits in it until it is
    // stopped; closing the pipe at the end lets tar's decompressor go as well.
    void unarchiverToolDiesWithItsIde()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("demo.tar.gz");
        QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0600), 0);
        const int pipe = ::open(QFile::encodeName(archive).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(pipe >= 0);
        const auto closePipe = qScopeGuard([pipe] { ::close(pipe); });
        QProcess ide;
        ide.start(UNARCHIVER_CHILD, {archive, dir.filePath("dest")});
        QVERIFY(ide.waitForStarted());
        const auto stopIde = qScopeGuard([&ide] {
            ide.kill();
            ide.waitForFinished();
        });
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += ide.readAllStandardOutput()).contains("started"),
                                  qPrintable(out + ide.readAllStandardError()),
                                  20000);
        qint64 tar = 0;
        QTRY_VERIFY_WITH_TIMEOUT((tar = childNamed(ide.processId(), "tar")) > 0, 20000);
        const auto stopTar = qScopeGuard([tar] {
            if (isRunning(tar))
                ::kill(pid_t(tar), SIGKILL);
        });

        ::kill(pid_t(ide.processId()), SIGKILL);
        QVERIFY(ide.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!isRunning(tar), 20000);
    }

    // Qt Creator forks its tools in its process launcher, never in the GUI thread: cloning
    // waits until the child has exec'ed the tool, which took the stand-in's event loop up to
    // 130 ms a time on a busy machine. And an extraction that is stopped has ended when the
    // unarchiver is gone, so that nothing writes into a folder that is removed next.
    void unarchiverStartsItsToolOutsideTheGuiThread()
    {
        const QString mainThreadChildren
            = QString("/proc/self/task/%1/children").arg(QCoreApplication::applicationPid());
        if (!QFile::exists(mainThreadChildren))
            QSKIP("The kernel does not list the children of each thread.");
        QTemporaryDir dir;
        const QString archive = dir.filePath("demo.tar.gz");
        QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0600), 0);
        const int pipe = ::open(QFile::encodeName(archive).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(pipe >= 0);
        const auto closePipe = qScopeGuard([pipe] { ::close(pipe); });
        const auto sourceAndCommand = Unarchiver::sourceAndCommand(FilePath::fromString(archive));
        QVERIFY(sourceAndCommand);

        auto unarchiver = std::make_unique<Unarchiver>();
        unarchiver->setSourceAndCommand(*sourceAndCommand);
        unarchiver->setDestDir(FilePath::fromString(dir.filePath("dest")));
        unarchiver->start();
        qint64 tar = 0;
        QTRY_VERIFY_WITH_TIMEOUT((tar = childNamed(QCoreApplication::applicationPid(), "tar")) > 0,
                                 20000);
        const auto stopTar = qScopeGuard([tar] {
            if (isRunning(tar))
                ::kill(pid_t(tar), SIGKILL);
        });
        const QList<QByteArray> forkedByGuiThread
            = readFile(mainThreadChildren).simplified().split(' ');
        QVERIFY(!forkedByGuiThread.contains(QByteArray::number(tar)));

        unarchiver.reset();
        QVERIFY(!isRunning(tar));
    }

    // The folder is created where the tool is started, away from the GUI thread; a folder that
    // cannot be created still fails the extraction with its reason.
    void unarchiverFailsWithoutItsDestination()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("example/main.cpp"), "int main() {}\n"));
        QCOMPARE(QProcess::execute(
                     "tar", {"czf", dir.filePath("set.tar.gz"), "-C", dir.path(), "example"}),
                 0);
        QVERIFY(writeFile(dir.filePath("file"), "not a folder"));
        const Extraction run = extract(dir.filePath("set.tar.gz"), dir.filePath("file/dest"));
        QVERIFY(!run.success);
        QVERIFY2(run.output.contains(QString("Could not create the destination directory \"%1\".")
                                         .arg(dir.filePath("file/dest"))),
                 qPrintable(run.output.join('\n')));
        QCOMPARE(run.output.last(), "Command failed.");
    }

    void progressEntriesFollowTheirFutures()
    {
        Core::ProgressManager *manager = Core::ProgressManager::instance();
        QPromise<void> first;
        QPromise<void> second;
        first.start();
        second.start();
        QPointer<Core::FutureProgress> entry = manager->addTask(first.future(), "One", "Test");
        Core::FutureProgress *other = manager->addTask(second.future(), "Two", "Test");
        QCOMPARE(manager->tasks(), QList<Core::FutureProgress *>({entry, other}));

        auto bar = entry->findChild<QProgressBar *>();
        first.setProgressRange(0, 10);
        first.setProgressValue(4);
        QTRY_COMPARE_WITH_TIMEOUT(bar->maximum(), 10, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 4, 20000);
        QSignalSpy finished(entry, &Core::FutureProgress::finished);
        first.finish();
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(entry.isNull(), 20000);
        QCOMPARE(manager->tasks(), QList<Core::FutureProgress *>({other}));

        // The cancel button cancels the future; the entry stays until the worker stops.
        QSignalSpy canceled(other, &Core::FutureProgress::canceled);
        other->show();
        QTest::mouseClick(other->findChild<QToolButton *>(), Qt::LeftButton);
        QVERIFY(second.isCanceled());
        // As in Qt Creator, the signal comes from the future's watcher, not from cancel().
        QCOMPARE(canceled.size(), 0);
        QVERIFY(canceled.wait(20000));
        QCOMPARE(manager->tasks(), QList<Core::FutureProgress *>({other}));
        second.finish();
        QTRY_VERIFY_WITH_TIMEOUT(manager->tasks().isEmpty(), 20000);

        // A promise dropped unfinished cancels its future: the entry says so too.
        auto dropped = std::make_unique<QPromise<void>>();
        dropped->start();
        QPointer<Core::FutureProgress> last = manager->addTask(dropped->future(), "Three", "Test");
        QSignalSpy lastCanceled(last, &Core::FutureProgress::canceled);
        dropped.reset();
        QVERIFY(lastCanceled.wait(20000));
    }
};

QTEST_MAIN(tst_HostCore)

#include "tst_hostcore.moc"
