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
#include <QStandardPaths>
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

Extraction extract(const QString &archive, const QString &destination, const QString &gzipName = {})
{
    const auto sourceAndCommand = Unarchiver::sourceAndCommand(FilePath::fromString(archive));
    if (!sourceAndCommand)
        return {false, {sourceAndCommand.error()}};
    Extraction run;
    Unarchiver unarchiver;
    unarchiver.setSourceAndCommand(*sourceAndCommand);
    unarchiver.setDestDir(FilePath::fromString(destination));
    unarchiver.setGZipFileDestName(gzipName);
    QObject::connect(&unarchiver, &Unarchiver::outputReceived, [&run](const QString &line) {
        run.output.append(line);
    });
    QSignalSpy done(&unarchiver, &Unarchiver::done);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { run.blocked &= !done.isEmpty(); });
    ticker.start(0);
    unarchiver.start();
    const bool finished = !done.isEmpty() || done.wait(60000);
    run.success
        = finished
          && done.first().first().value<Tasking::DoneResult>() == Tasking::DoneResult::Success;
    return run;
}

// The PATH under which the unarchiver picks 'tool': as it is for cmake, which it prefers, and
// for tar a folder in 'dir' with tar and its decompressors only.
QByteArray pathFor(const QString &tool, const QString &dir)
{
    if (tool == "cmake")
        return qgetenv("PATH");
    QDir().mkpath(dir);
    for (const QString &program : {"tar", "gzip", "bzip2", "xz"}) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            QFile::link(found, dir + '/' + program);
    }
    return QFile::encodeName(dir);
}

// The tool that the unarchiver runs for a .tar.gz under the current PATH.
QByteArray expectedTool()
{
    return QStandardPaths::findExecutable("cmake").isEmpty() ? "tar" : "cmake";
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

    // Qt Creator's unarchiver runs "cmake -E tar" when cmake is in PATH and tar otherwise. The
    // two differ on a truncated .tar.gz: cmake says so and exits with 0, so the unarchiver's
    // success does not mean that the archive was whole.
    void unarchiverPrefersCmakeToTar_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("tarFlags");
        QTest::addColumn<qint64>("cutAt"); // 0: whole
        QTest::addColumn<QString>("toolFlags");
        QTest::addColumn<bool>("success");
        for (const QString tool : {"cmake", "tar"}) {
            const QString prefix = tool == "cmake" ? "-E tar " : "";
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s: %s", qPrintable(tool), name) << tool;
            };
            // clang-format off
            row("tar.gz") << "set.tar.gz" << "czf" << 0LL << prefix + "xvzf" << true;
            row("tar") << "set.tar" << "cf" << 0LL << prefix + "xvf" << true;
            row("name with a space") << "my set.tar.gz" << "czf" << 0LL << prefix + "xvzf" << true;
            row("truncated tar.gz") << "set.tar.gz" << "czf" << 100000LL << prefix + "xvzf" << (tool == "cmake");
            // clang-format on
        }
    }
    void unarchiverPrefersCmakeToTar()
    {
        QFETCH(QString, tool);
        QFETCH(QString, archive);
        QFETCH(QString, tarFlags);
        QFETCH(qint64, cutAt);
        QFETCH(QString, toolFlags);
        QFETCH(bool, success);
        QTemporaryDir dir;
        // Random bytes do not compress: the cut falls into the middle of the file.
        QFile random("/dev/urandom");
        QVERIFY(random.open(QIODevice::ReadOnly));
        const QByteArray data = random.read(200000);
        QVERIFY(writeFile(dir.filePath("example/data.bin"), data));
        QVERIFY(writeFile(dir.filePath("example/main.cpp"), "int main() {}\n"));
        const QString archivePath = dir.filePath(archive);
        QCOMPARE(QProcess::execute("tar", {tarFlags, archivePath, "-C", dir.path(), "example"}), 0);
        if (cutAt > 0)
            QVERIFY(QFile::resize(archivePath, cutAt));
        const QByteArray path = pathFor(tool, dir.filePath("bin"));
        const QString program
            = withEnvironment("PATH", path, [&] { return QStandardPaths::findExecutable(tool); });
        QVERIFY2(!program.isEmpty(), qPrintable(tool + " is not in " + path));

        const QString dest = dir.filePath("dest/new");
        const Extraction run
            = withEnvironment("PATH", path, [&] { return extract(archivePath, dest); });

        QVERIFY(!run.blocked);
        const QString shownArchive
            = archive.contains(' ') ? '\'' + archivePath + '\'' : archivePath;
        QCOMPARE(run.output.first(),
                 QString("Running %1 %2 %3\nin \"%4\".\n\n")
                     .arg(program, toolFlags, shownArchive, dest));
        QCOMPARE(run.success, success);
        const QString output = run.output.join("");
        QVERIFY2(output.contains("example/data.bin"), qPrintable(output));
        QCOMPARE(run.output.last() == "Command failed.", !success);
        if (cutAt > 0) {
            QVERIFY2(output.contains("truncated gzip input") || output.contains("Unexpected EOF"),
                     qPrintable(output));
            // What is there is not what was packed, whatever the unarchiver said.
            QVERIFY(readFile(dir.filePath("dest/new/example/data.bin")) != data);
        } else {
            QCOMPARE(readFile(dir.filePath("dest/new/example/main.cpp")), "int main() {}\n");
            QCOMPARE(readFile(dir.filePath("dest/new/example/data.bin")), data);
        }
    }

    // What decides, and what is said, when there is no archive or tool to speak of.
    void unarchiverReportsAsQtCreator_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("fakeTar"); // null: PATH as it is; else PATH holds only it
        QTest::addColumn<QString>("gzipName");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("lastOutput");
        const QByteArray junk(4096, 'x');
        const QByteArray gzipped = [] {
            QProcess gzip;
            gzip.start("gzip", {"-c"});
            gzip.write("plain text\n");
            gzip.closeWriteChannel();
            gzip.waitForFinished(60000);
            return gzip.readAllStandardOutput();
        }();
        // clang-format off
        QTest::newRow("junk named tar.gz") << "set.tar.gz" << junk << QByteArray() << "" << false << "Command failed.";
        QTest::newRow("not an archive") << "set.txt" << junk << QByteArray() << "" << false << "File format not supported.";
        QTest::newRow("gzip, with a name") << "text.gz" << gzipped << QByteArray() << "text" << true << "";
        QTest::newRow("gzip, without a name") << "text.gz" << gzipped << QByteArray() << "" << false << "Failed to open output file.";
        QTest::newRow("no tool in PATH") << "set.tar.gz" << junk << QByteArray("") << "" << false << "Could not find any unarchiving executable in PATH (cmake, tar, gzip).";
        QTest::newRow("errors but exit code 0") << "set.tar.gz" << junk << QByteArray("#!/bin/sh\necho 'tar: damaged' >&2\n") << "" << true << "tar: damaged\n";
        QTest::newRow("exit code 2") << "set.tar.gz" << junk << QByteArray("#!/bin/sh\nexit 2\n") << "" << false << "Command failed.";
        // clang-format on
    }
    void unarchiverReportsAsQtCreator()
    {
        QFETCH(QString, archive);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, fakeTar);
        QFETCH(QString, gzipName);
        QFETCH(bool, success);
        QFETCH(QString, lastOutput);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(archive), content));
        QVERIFY(fakeTar.isEmpty() || writeFile(dir.filePath("bin/tar"), fakeTar));
        const QByteArray path
            = fakeTar.isNull() ? qgetenv("PATH") : QFile::encodeName(dir.filePath("bin"));
        const Extraction run = withEnvironment("PATH", path, [&] {
            return extract(dir.filePath(archive), dir.filePath("dest"), gzipName);
        });

        QCOMPARE(run.success, success);
        QCOMPARE(lastOutput.isEmpty() ? QString() : run.output.last(), lastOutput);
        if (!gzipName.isEmpty()) {
            QVERIFY(run.output.first().startsWith("Running "));
            QCOMPARE(readFile(dir.filePath("dest/text")), "plain text\n");
        }
    }

    // An IDE that is killed takes its extraction with it: an orphaned tool went on filling
    // the disk. The child turns the archive into a named pipe once its tool is chosen, and the
    // tool waits in the pipe until it is stopped.
    void unarchiverToolDiesWithItsIde()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("demo.tar.gz");
        QVERIFY(writeFile(archive, {}));
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
                                  60000);
        qint64 tool = 0;
        QTRY_VERIFY_WITH_TIMEOUT((tool = childNamed(ide.processId(), expectedTool())) > 0, 60000);
        const auto stopTool = qScopeGuard([tool] {
            if (isRunning(tool))
                ::kill(pid_t(tool), SIGKILL);
        });

        ::kill(pid_t(ide.processId()), SIGKILL);
        QVERIFY(ide.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!isRunning(tool), 60000);
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
        // A named pipe is no archive to the unarchiver, but the tool waits in it.
        QVERIFY(writeFile(archive, {}));
        const auto sourceAndCommand = Unarchiver::sourceAndCommand(FilePath::fromString(archive));
        QVERIFY(sourceAndCommand);
        QVERIFY(QFile::remove(archive));
        QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0600), 0);

        auto unarchiver = std::make_unique<Unarchiver>();
        unarchiver->setSourceAndCommand(*sourceAndCommand);
        unarchiver->setDestDir(FilePath::fromString(dir.filePath("dest")));
        unarchiver->start();
        qint64 tool = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (tool = childNamed(QCoreApplication::applicationPid(), expectedTool())) > 0, 60000);
        const auto stopTool = qScopeGuard([tool] {
            if (isRunning(tool))
                ::kill(pid_t(tool), SIGKILL);
        });
        const QList<QByteArray> forkedByGuiThread
            = readFile(mainThreadChildren).simplified().split(' ');
        QVERIFY(!forkedByGuiThread.contains(QByteArray::number(tool)));

        unarchiver.reset();
        QVERIFY(!isRunning(tool));
    }

    // The folder is created where the tool is started, away from the GUI thread. As in Qt
    // Creator, one that cannot be created fails the start of the tool.
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
        QVERIFY2(
            run.output.first().endsWith(QString("\nin \"%1\".\n\n").arg(dir.filePath("file/dest"))),
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
