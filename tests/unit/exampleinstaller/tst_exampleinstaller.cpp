// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "archivefolder.h"
#include "exampleinstaller.h"
#include "extractionprocess.h"
#include "installedfiles.h"
#include "settings.h"
#include "tarwriter.h"
#include "testfiles.h"

#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QDirIterator>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <map>
#include <memory>
#include <thread>

using namespace Brindle::Internal;
using namespace TestFiles;
using Entries = QList<GitLab::TarEntry>;
Q_DECLARE_METATYPE(GitLab::TarEntry)


namespace {

const int TIMEOUT = 20000;

QString repositoryDir()
{
    return Settings::repositoryPath("examples");
}

// A GitLab archive of project 'path': one top folder named after the path, ref and commit.
QByteArray archiveOf(const QString &path, const Entries &files)
{
    const QByteArray top = path.toUtf8() + "-main-0123456789abcdef/";
    Entries entries{{top, {}, '5', {}, 0755}};
    for (const GitLab::TarEntry &file : files)
        entries.append({top + file.name, file.data, file.type, file.linkTarget});
    return GitLab::makeTarGz(entries);
}

QSharedPointer<Example> exampleOf(const QString &path, const QByteArray &archive, int id = 1)
{
    auto example = QSharedPointer<Example>::create(
        QJsonObject{{"id", id}, {"name", path}, {"path", path}});
    example->setData(archive);
    return example;
}

// Puts a script in front of the unarchiver tools in PATH while it lives: it writes its
// arguments to the file "runs" in the temporary folder, then runs 'body', where $REAL is the
// tool it stands in for. Files in the temporary folder are what the test steers it with.
class ToolWrapper
{
public:
    explicit ToolWrapper(const QByteArray &body)
        : savedPath(qgetenv("PATH"))
    {
        const QString bin = QDir::tempPath() + "/bin";
        for (const char *file : {"runs", "go", "hold", "holdbatch", "failbatch"})
            QFile::remove(QDir::tempPath() + '/' + file);
        for (const QString tool : {"cmake", "tar"}) {
            const QString real = QStandardPaths::findExecutable(tool);
            QFile::remove(bin + '/' + tool);
            if (real.isEmpty())
                continue; // the tool this run leaves out
            writeFile(bin + '/' + tool,
                      "#!/bin/sh\nREAL='" + QFile::encodeName(real) + "'\ntmp='"
                          + QFile::encodeName(QDir::tempPath()) + "'\necho \"$*\" >> \"$tmp/runs\"\n"
                          + body + "\n");
            QFile::setPermissions(bin + '/' + tool, QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);
    }
    ~ToolWrapper() { qputenv("PATH", savedPath); }

    static QStringList runs()
    {
        return QString::fromUtf8(contentOf(QDir::tempPath() + "/runs")).split('\n', Qt::SkipEmptyParts);
    }
    static void set(const char *flag, bool on)
    {
        const QString path = QDir::tempPath() + '/' + flag;
        on ? void(writeFile(path, {})) : void(QFile::remove(path));
    }

private:
    QByteArray savedPath;
};

} // namespace

class tst_ExampleInstaller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void reinstallReplacesOldCopiesAndKeepsThemOnFailure();
    void hostileArchiveStaysInside_data();
    void hostileArchiveStaysInside();
    void treeThatCannotBeCheckedIsNotInstalled();
    void nothingIsLeftBehind();
    void laterRequestsWaitOrSupersede();
    void smallArchivesAreUnpackedTogether();
    void removalStopsItsExtraction();
    void extractionLeftRunningIsStoppedAndSwept_data();
    void extractionLeftRunningIsStoppedAndSwept();
    void extractionIsRecordedAndStoppedAtShutdown();
    void extractionBeyondItsLimitIsStopped_data();
    void extractionBeyondItsLimitIsStopped();
    void updateKeepsWhatTheUserChanged_data();
    void updateKeepsWhatTheUserChanged();
    void exampleInstalledWithoutRecordKeepsWhatWasAdded();
    void recordNamesWhatChanged();

private:
    // Installs the examples and waits until each has finished; returns the statuses shown.
    QStringList install(const QList<QSharedPointer<Example>> &examples);

    std::unique_ptr<ExampleInstaller> installer;
};

void tst_ExampleInstaller::initTestCase()
{
    // Read-only folders must be handled as a user meets them, also when CI runs as root.
    QVERIFY(dropPermissionOverride());
}

void tst_ExampleInstaller::init()
{
    const QString sandbox = testRoot();
    for (const QString &path : {Settings::location(), QDir::tempPath()})
        QVERIFY2(path.startsWith(sandbox),
                 qPrintable("Run this test through ctest, not on " + path));
    QVERIFY(removeAll(Settings::location().chopped(3)));
    QVERIFY(removeAll(Settings::ownDataPath()));
    installer = std::make_unique<ExampleInstaller>();
}

void tst_ExampleInstaller::cleanup()
{
    installer.reset();
    Core::ICore::settings()->remove("Brindle/MaxUnpackedMegabytes");
}

QStringList tst_ExampleInstaller::install(const QList<QSharedPointer<Example>> &examples)
{
    QStringList statuses;
    connect(installer.get(), &ExampleInstaller::statusChanged, this, [&](const QString &text) {
        statuses.append(text);
    });
    QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
    for (const auto &example : examples)
        installer->install(example, "examples");
    [&] { QTRY_COMPARE_WITH_TIMEOUT(finished.count(), examples.size(), TIMEOUT); }();
    installer->disconnect(this);
    return statuses;
}

void tst_ExampleInstaller::reinstallReplacesOldCopiesAndKeepsThemOnFailure()
{
    const QString repo = repositoryDir();
    const QStringList installed{"demo", "demo-extra", "legacy", "torn"};
    for (const QString &name : installed) {
        writeFile(repo + u'/' + name + "/CMakeLists.txt", "project(old)\n");
        writeFile(repo + u'/' + name + "/stale.txt", "from the old copy");
    }
    const auto fresh = [](const QString &name) {
        return archiveOf(name, {{"CMakeLists.txt", "project(" + name.toUtf8() + ")\n"}});
    };
    // Valid gzip, but the tar stream breaks off in the middle of a member
    const QByteArray tar = GitLab::makeTar(
        {{"torn-main-1/", {}, '5', {}, 0755}, {"torn-main-1/CMakeLists.txt", QByteArray(4096, 'x')}});
    const QList<QSharedPointer<Example>> examples{
        exampleOf("demo", fresh("demo"), 1),
        exampleOf("demo-extra", fresh("demo-extra"), 2),
        // no project file: no manifest
        exampleOf("broken", archiveOf("broken", {{"README.md", "read me\n"}}), 3),
        exampleOf("legacy", archiveOf("legacy", {{"README.md", "read me\n"}}), 4),
        exampleOf("torn", GitLab::gzipCompress(tar.left(1024)), 5),
    };

    const QStringList statuses = install(examples);
    // Said as what it is, not as a manifest that could not be written.
    for (const char *name : {"broken", "legacy"}) {
        QVERIFY2(statuses.contains(QString("Skip registering example %1 - it has no project file "
                                           "(CMakeLists.txt or *.pro) in its top folder")
                                       .arg(name)),
                 qPrintable(statuses.join('\n')));
    }
    QCOMPARE(statuses.count("There was an error while creating example mainfest"), 0);
    QVERIFY2(!statuses.filter(QRegularExpression("^The archive of torn is damaged: .+")).isEmpty(),
             qPrintable(statuses.join('\n')));
    // No directory for the failed new example, failed reinstalls keep the old copy
    QCOMPARE(entriesOf(repo), installed);
    for (const QString &name : installed) {
        const QByteArray project
            = name.startsWith("demo") ? "project(" + name.toUtf8() + ")\n" : "project(old)\n";
        QCOMPARE(contentOf(repo + u'/' + name + "/CMakeLists.txt"), project);
    }
    QCOMPARE(entriesOf(repo + "/demo"), (QStringList{"CMakeLists.txt", "examples-manifest.xml"}));
    QCOMPARE(entriesOf(ArchiveFolder::path()), QStringList());
    // The archive bytes are let go of once they are saved
    QVERIFY(examples.first()->data().isEmpty());

    // Reinstalling demo leaves demo-extra alone
    writeFile(repo + "/demo-extra/notes.txt", "mine");
    install({exampleOf("demo", fresh("demo"), 1)});
    QCOMPARE(entriesOf(repo), installed);
    QCOMPARE(contentOf(repo + "/demo-extra/notes.txt"), QByteArray("mine"));
}

void tst_ExampleInstaller::hostileArchiveStaysInside_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<bool>("installed");

    const QByteArray out = QFile::encodeName(QDir::tempPath()) + "/outside";
    const QByteArray top = "demo-main-0123456789/";
    const auto demo = [&](const Entries &more) {
        return Entries{{top, {}, '5', {}, 0755}, {top + "CMakeLists.txt", "project(demo)\n"}} + more;
    };
    // clang-format off
    QTest::newRow("absolute member") << demo({{out + "/absolute.txt", "written"}}) << false;
    QTest::newRow("dot-dot member") << demo({{top + "../../../escape.txt", "written"}}) << false;
    QTest::newRow("link out of the example") << demo({{top + "out", {}, '2', out}}) << true;
    QTest::newRow("relative link upwards") << demo({{top + "up", {}, '2', "../../.."}}) << true;
    QTest::newRow("write through a link") << demo({{top + "out", {}, '2', out}, {top + "out/through.txt", "written"}}) << false;
    QTest::newRow("manifest is a link") << demo({{top + "examples-manifest.xml", {}, '2', out + "/victim.txt"}}) << true;
    QTest::newRow("icon is a link") << demo({{top + "example-icon.png", {}, '2', out + "/victim.txt"}}) << true;
    QTest::newRow("icons folder is a link") << demo({{top + "icons", {}, '2', out + "/icons"}}) << true;
    QTest::newRow("top directory is a link") << Entries{{top.chopped(1), {}, '2', out}} << false;
    QTest::newRow("named pipe") << demo({{top + "pipe", {}, '6'}}) << true;
    // clang-format on
}

void tst_ExampleInstaller::hostileArchiveStaysInside()
{
    QFETCH(Entries, entries);
    QFETCH(bool, installed);

    const QString outside = QDir::tempPath() + "/outside";
    QDir(outside).removeRecursively();
    writeFile(outside + "/victim.txt", "keep");
    writeFile(outside + "/CMakeLists.txt", "project(victim)\n");
    writeFile(outside + "/icons/128x128/big.png", pngBytes(128, 128));
    const QStringList before = entriesOf(outside, QDirIterator::Subdirectories);

    // The avatar is written as example-icon.png: never through a link
    const QSharedPointer<Example> example = exampleOf("demo", GitLab::makeTarGz(entries));
    example->setImage(pngBytes(16, 16));
    install({example});

    QCOMPARE(entriesOf(outside, QDirIterator::Subdirectories), before);
    QCOMPARE(contentOf(outside + "/victim.txt"), QByteArray("keep"));
    // Refused before anything is unpacked, or unpacked where it belongs
    QVERIFY(entriesOf(Settings::location().chopped(3)).size() <= 1);
    QCOMPARE(entriesOf(repositoryDir()), installed ? QStringList{"demo"} : QStringList());
    if (!installed)
        return;
    // Whatever is left of the example is a plain file or directory inside it
    const QString dir = QFileInfo(repositoryDir() + "/demo").canonicalFilePath();
    for (const QString &path : entriesOf(dir, QDirIterator::Subdirectories)) {
        const QFileInfo info(dir + u'/' + path);
        QVERIFY2(info.isDir() || info.isFile(), qPrintable(path));
        QVERIFY2(info.canonicalFilePath().startsWith(dir + u'/'), qPrintable(path));
    }
    QVERIFY(QFile::exists(dir + "/examples-manifest.xml"));
}

void tst_ExampleInstaller::treeThatCannotBeCheckedIsNotInstalled()
{
    // tar would unpack it relative to the unpack folder, where this path still fits; below
    // the examples folder it is longer than any path the system can open, and the link out
    // at its end could not be seen. Its header alone refuses it.
    QByteArray path;
    for (int level = 0; level < 20; ++level)
        path += QByteArray(200, 'd') + '/';
    const QString repo = repositoryDir();
    QVERIFY(writeFile(repo + "/demo/CMakeLists.txt", "project(old)\n"));
    const QByteArray archive = archiveOf("demo",
                                         {{"CMakeLists.txt", "project(demo)\n"},
                                          {path + QByteArray(40, 'x'), {}, '2', "/"}});
    const QStringList statuses = install({exampleOf("demo", archive)});

    QVERIFY2(!statuses
                  .filter(QRegularExpression("^Skip installing example demo - the path of "
                                             "member .+ is \\d+ bytes long"))
                  .isEmpty(),
             qPrintable(statuses.join('\n')));
    QCOMPARE(entriesOf(repo), QStringList{"demo"});
    QCOMPARE(contentOf(repo + "/demo/CMakeLists.txt"), QByteArray("project(old)\n"));
}

void tst_ExampleInstaller::nothingIsLeftBehind()
{
    const QString repo = repositoryDir();
    const auto makeOld = [](const QString &path) {
        const timeval dayAgo[2]{{time(nullptr) - 86400, 0}, {time(nullptr) - 86400, 0}};
        QCOMPARE(lutimes(QFile::encodeName(path).constData(), dayAgo), 0);
    };
    // What a stopped installation left, read-only folders included, next to what is not its own
    const auto leave = [&](const QString &dir, bool old) {
        QVERIFY(writeFile(repo + u'/' + dir + "/locked/file.txt", "x"));
        QFile::setPermissions(repo + u'/' + dir + "/locked", QFile::ReadOwner | QFile::ExeOwner);
        if (old)
            makeOld(repo + u'/' + dir);
    };
    // Other programs' files in the temporary folder, named much like archives of the plugin
    const QString temp = QDir::tempPath();
    const QStringList othersFiles{"brindle-1.4.0-source.tar.gz",
                                  "brindle-backup-202601.tar.gz",
                                  "brindle-plugin-v2beta.tar.gz",
                                  "brindle-demo-abc123.tar.gz"};
    for (const QString &name : othersFiles) {
        QVERIFY(writeFile(temp + u'/' + name, "not the plugin's"));
        makeOld(temp + u'/' + name);
    }
    // Archive folders: of an IDE that is gone, of one at work (this test holds its lock), and
    // a link named like one, which leads to another program's folder
    const QString gone = temp + "/brindle-archives-gone12";
    const QString live = temp + "/brindle-archives-live12";
    const QString elsewhere = temp + "/elsewhere";
    for (const QString &folder : {gone, live, elsewhere}) {
        QVERIFY(writeFile(folder + "/brindle-7-abc123.tar.gz", "archive"));
        QVERIFY(writeFile(folder + "/brindle-hello-qml-abc123.tar.gz", "archive"));
        makeOld(folder + "/brindle-7-abc123.tar.gz");
        makeOld(folder);
    }
    QFile::remove(temp + "/brindle-archives-link12");
    QVERIFY(QFile::link(elsewhere, temp + "/brindle-archives-link12"));
    const int liveLock = ::open(QFile::encodeName(live).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(liveLock >= 0);
    const auto unlock = qScopeGuard([liveLock] { ::close(liveLock); });
    QCOMPARE(::flock(liveLock, LOCK_EX | LOCK_NB), 0);

    // Unpack folders whose lock file is a link or a folder: never followed, never in use
    const QString outside = temp + "/outside.txt";
    QVERIFY(writeFile(outside, "a file the link leads to"));
    leave(".unpack-link12", true);
    QVERIFY(QFile::link(outside, repo + "/.unpack-link12.lock"));
    leave(".unpack-dir123", true);
    QVERIFY(QDir().mkpath(repo + "/.unpack-dir123.lock/inside"));

    leave(".unpack-abc123", true);
    leave(".replaced-XYZ789", true);
    leave(".unpack-new123", false); // another IDE may be installing right now
    leave(".unpack-notours1", true);
    leave(".mine", true);
    leave("demo", true);
    QSignalSpy swept(installer.get(), &ExampleInstaller::leftoversSwept);
    installer->sweepLeftovers({"examples"});
    QVERIFY(swept.wait(TIMEOUT));
    QCOMPARE(entriesOf(repo), (QStringList{".mine", ".unpack-new123", ".unpack-notours1", "demo"}));
    QCOMPARE(contentOf(outside), QByteArray("a file the link leads to"));
    for (const QString &name : othersFiles)
        QVERIFY2(QFileInfo::exists(temp + u'/' + name), qPrintable(name));
    QVERIFY(!QFileInfo::exists(gone));
    QCOMPARE(entriesOf(live).size(), 2);
    QCOMPARE(entriesOf(elsewhere).size(), 2);
    QVERIFY(QFileInfo(temp + "/brindle-archives-link12").isSymLink());
    for (const QString &name : othersFiles)
        QVERIFY(QFile::remove(temp + u'/' + name));

    // An archive whose read-only folders keep tar from unpacking it (cmake -E tar opens them
    // up afterwards, and finds no folder of the example) leaves no unpack folder
    const QByteArray archive = GitLab::makeTarGz({{"one-main-1/", {}, '5', {}, 0555},
                                                  {"one-main-1/x/", {}, '5', {}, 0555},
                                                  {"two-main-1/", {}, '5', {}, 0555}});
    const QStringList statuses = install({exampleOf("demo", archive)});
    QVERIFY2(statuses.contains("There was an error while unarchiving")
                 || statuses.contains(
                     "Skip registering example demo - the archive holds no directory of it"),
             qPrintable(statuses.join('\n')));
    QCOMPARE(entriesOf(repo), (QStringList{".mine", ".unpack-new123", ".unpack-notours1", "demo"}));
    QCOMPARE(entriesOf(ArchiveFolder::path()), QStringList());

    // Removing an example opens its read-only folders up
    QSignalSpy removed(installer.get(), &ExampleInstaller::removed);
    installer->remove("examples", {"demo"});
    QCOMPARE(removed.count(), 1);
    QCOMPARE(entriesOf(repo), (QStringList{".mine", ".unpack-new123", ".unpack-notours1"}));
}

void tst_ExampleInstaller::laterRequestsWaitOrSupersede()
{
    const QString repo = repositoryDir();
    const auto version = [](const QByteArray &v) {
        return archiveOf("demo", {{"CMakeLists.txt", "project(" + v + ")\n"}});
    };
    QStringList statuses;
    connect(installer.get(), &ExampleInstaller::statusChanged, this, [&](const QString &text) {
        statuses.append(text);
    });
    QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
    QSignalSpy removed(installer.get(), &ExampleInstaller::removed);

    // The second request waits for the first; the third replaces the second
    installer->install(exampleOf("demo", version("one")), "examples");
    installer->install(exampleOf("demo", version("two")), "examples");
    installer->install(exampleOf("demo", version("three")), "examples");
    QVERIFY(installer->isBusy("examples", "demo"));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!installer->isBusy("examples", "demo"), TIMEOUT);
    QCOMPARE(statuses.count("Unpacking example: demo"), 2);
    QCOMPARE(contentOf(repo + "/demo/CMakeLists.txt"), QByteArray("project(three)\n"));

    // A removal while the install runs wins over it, and an install after that wins again
    installer->install(exampleOf("demo", version("four")), "examples");
    installer->remove("examples", {"demo"});
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, TIMEOUT);
    QCOMPARE(finished.count(), 4);
    QCOMPARE(entriesOf(repo), QStringList());
    installer->remove("examples", {"demo"});
    installer->install(exampleOf("demo", version("five")), "examples");
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 5, TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(!installer->isBusy("examples", "demo"), TIMEOUT);
    QCOMPARE(removed.count(), 2);
    QCOMPARE(contentOf(repo + "/demo/CMakeLists.txt"), QByteArray("project(five)\n"));
}

void tst_ExampleInstaller::smallArchivesAreUnpackedTogether()
{
    // The first extractions wait for "go", so that the others queue up behind them. A batch
    // fails while "failbatch" is there.
    ToolWrapper wrapper(R"(case "$*" in *brindle-batch-*) [ -e "$tmp/failbatch" ] && exit 2;; esac
while [ ! -e "$tmp/go" ]; do sleep 0.05; done
exec "$REAL" "$@")");
    const QString repo = repositoryDir();
    const QByteArray longName = QByteArray(120, 'n') + ".txt";
    const auto archive = [&](const QString &name, const QByteArray &version) {
        const QByteArray top = name.toUtf8() + "-main-0123456789abcdef/";
        return GitLab::makeTarGz({{"pax_global_header", "52 comment=0123456789abcdef0123456789abcdef01234567\n", 'g'},
                                  {top, {}, '5', {}, 0755},
                                  {top + "CMakeLists.txt", "project(" + version + ")\n"},
                                  {top + "src/" + longName, name.toUtf8()},
                                  {top + "same.txt", {}, '1', top + "src/" + longName}});
    };
    // Installs ex00 to ex<count - 1> and gives the tool runs it took
    const auto installAll = [&](int count, const QByteArray &version, QStringList *runs) {
        QList<QSharedPointer<Example>> examples;
        for (int i = 0; i < count; ++i) {
            const QString name = QString("ex%1").arg(i, 2, 10, QChar('0'));
            examples.append(exampleOf(name, archive(name, version), i + 1));
        }
        QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
        const int runsBefore = ToolWrapper::runs().size();
        ToolWrapper::set("go", false);
        for (const auto &example : examples)
            installer->install(example, "examples");
        // Two extractions wait; every other archive is saved, with its unpack folder and lock
        QTRY_COMPARE_WITH_TIMEOUT(ToolWrapper::runs().size(), runsBefore + 2, TIMEOUT);
        QTRY_COMPARE_WITH_TIMEOUT(entriesOf(repo).filter(".unpack-").size(), 2 * count, TIMEOUT);
        QCoreApplication::processEvents();
        ToolWrapper::set("go", true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), count, TIMEOUT);
        for (const QList<QVariant> &arguments : finished)
            QVERIFY2(arguments.at(2).value<ExampleResult>().isInstalled(),
                     qPrintable(arguments.at(2).value<ExampleResult>().reason));
        *runs = ToolWrapper::runs().mid(runsBefore);
    };
    const auto checkInstalled = [&](const QByteArray &version) {
        QStringList names;
        for (int i = 0; i < 20; ++i) {
            const QString name = QString("ex%1").arg(i, 2, 10, QChar('0'));
            names.append(name);
            QCOMPARE(contentOf(repo + '/' + name + "/CMakeLists.txt"), "project(" + version + ")\n");
            QCOMPARE(contentOf(repo + '/' + name + "/src/" + longName), name.toUtf8());
            QCOMPARE(contentOf(repo + '/' + name + "/same.txt"), name.toUtf8());
        }
        // Nothing of the batches is left
        QCOMPARE(entriesOf(repo), names);
        QCOMPARE(entriesOf(ArchiveFolder::path()), QStringList());
    };

    QStringList runs;
    installAll(20, "one", &runs);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(runs.size() < 20, qPrintable(runs.join('\n')));
    QVERIFY2(!runs.filter("brindle-batch-").isEmpty(), qPrintable(runs.join('\n')));
    checkInstalled("one");
    if (QTest::currentTestFailed())
        return;

    // A batch the tool cannot unpack is unpacked example by example
    ToolWrapper::set("failbatch", true);
    installAll(20, "two", &runs);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!runs.filter("brindle-batch-").isEmpty(), qPrintable(runs.join('\n')));
    QVERIFY2(runs.size() > 20, qPrintable(runs.join('\n')));
    checkInstalled("two");
}

void tst_ExampleInstaller::removalStopsItsExtraction()
{
    // "hold" stops every extraction, "holdbatch" those of batches, until they are stopped.
    ToolWrapper wrapper(R"([ -e "$tmp/hold" ] && exec sleep 600
case "$*" in *brindle-batch-*) [ -e "$tmp/holdbatch" ] && exec sleep 600;; esac
while [ ! -e "$tmp/go" ]; do sleep 0.05; done
exec "$REAL" "$@")");
    const QString repo = repositoryDir();
    QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
    QSignalSpy removed(installer.get(), &ExampleInstaller::removed);
    const auto resultOf = [&](const QString &name) {
        for (const QList<QVariant> &arguments : finished) {
            if (arguments.at(0).value<QSharedPointer<Example>>()->name() == name)
                return arguments.at(2).value<ExampleResult>();
        }
        return ExampleResult::failed(ExampleResult::Failure::None, "no result");
    };

    // An extraction of its own stops, and the installed copy goes
    writeFile(repo + "/demo/CMakeLists.txt", "project(old)\n");
    ToolWrapper::set("hold", true);
    installer->install(exampleOf("demo", archiveOf("demo", {{"CMakeLists.txt", "x"}})), "examples");
    QTRY_COMPARE_WITH_TIMEOUT(ToolWrapper::runs().size(), 1, TIMEOUT);
    installer->remove("examples", {"demo"});
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, TIMEOUT);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(resultOf("demo").outcome, ExampleResult::Outcome::Skipped);
    QCOMPARE(removed.first().at(2).value<ExampleResult>().outcome, ExampleResult::Outcome::Removed);
    QCOMPARE(entriesOf(repo), QStringList());
    ToolWrapper::set("hold", false);

    // One of a batch: the others are unpacked again without it
    ToolWrapper::set("holdbatch", true);
    const QStringList names{"a", "b", "c", "d", "e"};
    for (int i = 0; i < names.size(); ++i) {
        installer->install(exampleOf(names[i], archiveOf(names[i], {{"CMakeLists.txt", "x"}}), i + 1),
                           "examples");
    }
    QTRY_COMPARE_WITH_TIMEOUT(ToolWrapper::runs().size(), 3, TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(repo).filter(".unpack-").size(), 10, TIMEOUT);
    QCoreApplication::processEvents();
    ToolWrapper::set("go", true);
    QTRY_VERIFY_WITH_TIMEOUT(!ToolWrapper::runs().filter("brindle-batch-").isEmpty(), TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, TIMEOUT);
    const QString held = ToolWrapper::runs().filter("brindle-batch-").first();
    const QString inBatch = std::find_if(names.cbegin(), names.cend(), [&](const QString &name) {
        return !QFile::exists(repo + '/' + name);
    })[0];
    installer->remove("examples", {inBatch});
    ToolWrapper::set("holdbatch", false);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 6, TIMEOUT);
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 2, TIMEOUT);
    QCOMPARE(resultOf(inBatch).outcome, ExampleResult::Outcome::Skipped);
    QStringList left = names;
    left.removeOne(inBatch);
    QCOMPARE(entriesOf(repo), left);
    QCOMPARE(entriesOf(ArchiveFolder::path()), QStringList());
    QVERIFY(!QFile::exists(held.section(' ', -1)));
}

void tst_ExampleInstaller::extractionLeftRunningIsStoppedAndSwept_data()
{
    QTest::addColumn<bool>("linkedRepository");
    QTest::newRow("repository folder") << false;
    // The processes' working folders are then the link's target, not the path the sweep knows.
    QTest::newRow("repository folder reached through a link") << true;
}

void tst_ExampleInstaller::extractionLeftRunningIsStoppedAndSwept()
{
    QFETCH(bool, linkedRepository);
    const QString repo = repositoryDir();
    if (linkedRepository) {
        const QString target = QDir::tempPath() + "/linked-examples";
        QVERIFY(removeAll(target));
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QDir().mkpath(QFileInfo(repo).absolutePath()));
        QVERIFY(QFile::link(target, repo));
    }

    // Processes waiting in unpack folders, each until this test lets go of them: tar in an
    // empty named pipe, or a user's shell. The lock files record what the IDE that left each
    // folder started, or nothing; only the live one's lock is held.
    struct Left
    {
        QString program;
        bool locked = false;
        // What the lock records: nothing, the process itself, or it with a changed start
        // time (its id now names another process), or another program
        enum { Nothing, Itself, OtherStartTime } record = Nothing;
        bool stopped = false;
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        int pipe = -1;
        int lock = -1;
    };
    std::map<QString, Left> left;
    left[".unpack-gone12"] = {"tar", false, Left::Itself, true};
    left[".unpack-live12"] = {"tar", true, Left::Itself, false};
    left[".unpack-shell1"] = {"sleep", false, Left::Nothing, false};
    left[".unpack-sleep1"] = {"sleep", false, Left::Itself, false};
    left[".unpack-reuse1"] = {"tar", false, Left::OtherStartTime, false};
    const QString pipe = QDir::tempPath() + "/empty.tar.gz";
    QFile::remove(pipe);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int pipeEnd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(pipeEnd >= 0);
    const auto stop = qScopeGuard([&] {
        ::close(pipeEnd); // tar reads the end of its archive and gives up
        for (auto &[name, process] : left) {
            process.process->kill();
            process.process->waitForFinished();
            ::close(process.lock);
        }
    });
    for (auto &[name, process] : left) {
        QVERIFY(QDir().mkpath(repo + u'/' + name));
        const QByteArray lock = QFile::encodeName(repo + u'/' + name + ".lock");
        process.lock = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(process.lock >= 0);
        if (process.locked)
            QCOMPARE(::flock(process.lock, LOCK_EX | LOCK_NB), 0);
        process.process->setWorkingDirectory(repo + u'/' + name);
        if (process.program == "tar")
            process.process->start("tar", {"xzf", pipe});
        else
            process.process->start("sleep", {"600"});
        QVERIFY(process.process->waitForStarted());
        if (process.record == Left::Nothing)
            continue;
        std::optional<ExtractionProcess> recorded;
        // Running once its program is exec'ed
        QTRY_VERIFY_WITH_TIMEOUT(
            (recorded = ExtractionProcess::running(process.process->processId()))
                && recorded->program.endsWith('/' + process.program),
            TIMEOUT);
        if (process.record == Left::OtherStartTime)
            recorded->startTime -= 1;
        const QByteArray text = recorded->toRecord();
        QCOMPARE(::write(process.lock, text.constData(), size_t(text.size())), text.size());
    }

    QSignalSpy swept(installer.get(), &ExampleInstaller::leftoversSwept);
    installer->sweepLeftovers({"examples"});
    QVERIFY(swept.wait(TIMEOUT));
    for (auto &[name, process] : left) {
        if (process.stopped) {
            QTRY_COMPARE_WITH_TIMEOUT(process.process->state(), QProcess::NotRunning, TIMEOUT);
            QCOMPARE(process.process->exitStatus(), QProcess::CrashExit);
        } else {
            QVERIFY2(process.process->state() == QProcess::Running, qPrintable(name));
        }
    }
    // Whatever the lock of a folder said, the folder was left behind; the live one stays.
    QCOMPARE(entriesOf(repo), (QStringList{".unpack-live12", ".unpack-live12.lock"}));
}

// The running tool is recorded in the unpack folder's lock, and shutting down stops it and
// leaves neither the folder nor the archive behind.
void tst_ExampleInstaller::extractionIsRecordedAndStoppedAtShutdown()
{
    // The unarchiving tool, whichever the IDE picks, is tar waiting in an empty named pipe.
    const QString pipe = QDir::tempPath() + "/recorded.tar.gz";
    QFile::remove(pipe);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int pipeEnd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(pipeEnd >= 0);
    const auto closePipe = qScopeGuard([pipeEnd] { ::close(pipeEnd); });
    const QString tar = QStandardPaths::findExecutable("tar");
    QVERIFY(!tar.isEmpty());
    ToolWrapper wrapper("exec '" + QFile::encodeName(tar) + "' xzf '" + QFile::encodeName(pipe)
                        + "'");

    installer->install(exampleOf("demo", archiveOf("demo", {{"CMakeLists.txt", "x"}})), "examples");
    // The unpack folder and its lock
    QTRY_COMPARE_WITH_TIMEOUT(entriesOf(repositoryDir()).filter(".unpack-").size(), 2, TIMEOUT);
    const QString lockPath = repositoryDir() + u'/' + entriesOf(repositoryDir()).last();
    QVERIFY(lockPath.endsWith(".lock"));
    const QString archiveFolder = ArchiveFolder::path();
    QCOMPARE(QDir(archiveFolder).entryList({"brindle-1-??????.tar.gz"}).size(), 1);
    std::optional<ExtractionProcess> recorded;
    QTRY_VERIFY_WITH_TIMEOUT((recorded = ExtractionProcess::fromRecord(contentOf(lockPath))),
                             TIMEOUT);
    QVERIFY(recorded->isRunning());
    QVERIFY(recorded->runsUnarchiverTool());
    QCOMPARE(QFileInfo(recorded->program).canonicalFilePath(), QFileInfo(tar).canonicalFilePath());
    QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(recorded->pid)),
             QFileInfo(lockPath.chopped(5)).canonicalFilePath());

    installer.reset();
    QVERIFY(!recorded->isRunning());
    QVERIFY(!QFileInfo::exists(archiveFolder));
    QCOMPARE(entriesOf(repositoryDir()), QStringList());
}

void tst_ExampleInstaller::extractionBeyondItsLimitIsStopped_data()
{
    QTest::addColumn<bool>("whileRunning");
    // The unpacking tool in PATH unpacks with tar and then does not end: only stopping it
    // ends the install.
    QTest::newRow("while the tool runs") << true;
    QTest::newRow("when the tool has ended") << false;
}

void tst_ExampleInstaller::extractionBeyondItsLimitIsStopped()
{
    QFETCH(bool, whileRunning);
    Core::ICore::settings()->setValue("Brindle/MaxUnpackedMegabytes", 1);
    // Several times the limit, and not zeros, which would compress to almost nothing.
    QByteArray big(8 * 1024 * 1024, 'a');
    QRandomGenerator random(20);
    for (char &c : big)
        c = "acgt"[random.bounded(4)];
    const QByteArray archive
        = archiveOf("demo", {{"big.txt", big}, {"CMakeLists.txt", "project(demo)\n"}});
    // Its headers alone refuse it before anything is written.
    QVERIFY2(install({exampleOf("demo", archive)})
                 .contains("Skip installing example demo - it unpacks to at least 8.00 MiB, more "
                           "than the 1.00 MiB allowed"),
             "the archive's check did not refuse it");
    QCOMPARE(entriesOf(repositoryDir()), QStringList());

    // What the check did not foresee (the disk's blocks, an archive it read differently) is
    // still stopped: here the archive is taken as checked.
    const QSharedPointer<Example> example = exampleOf("demo", archive);
    ArchiveCheck passed;
    passed.outcome = ArchiveCheck::Outcome::Intact;
    example->setArchiveCheck(passed);
    QTemporaryFile saved(QDir::tempPath() + "/brindle-demo-XXXXXX.tar.gz");
    QVERIFY(saved.open() && saved.write(archive) == archive.size() && saved.flush());
    saved.setAutoRemove(false);
    example->clearData();
    example->setArchiveFile(saved.fileName());

    const QByteArray path = qgetenv("PATH");
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    QTemporaryDir tools;
    if (whileRunning) {
        // Found before the real cmake; called as "cmake -E tar xvzf <archive>".
        QFile tool(tools.filePath("cmake"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\ntar xzf \"$4\" || exit 1\nexec sleep 3600\n");
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(tools.path()) + ':' + path);
    }

    const QStringList statuses = install({example});
    QVERIFY2(statuses.contains("Skip installing example demo - it unpacks to more than 1 MiB, "
                               "the limit set by MaxUnpackedMegabytes"),
             qPrintable(statuses.join('\n')));
    QCOMPARE(entriesOf(repositoryDir()), QStringList());
    QCOMPARE(entriesOf(ArchiveFolder::path()), QStringList());
    qputenv("PATH", path);

    // The limit is taken when an extraction starts
    Core::ICore::settings()->setValue("Brindle/MaxUnpackedMegabytes", 128);
    QCOMPARE(install({exampleOf("demo", archive)}), QStringList{"Unpacking example: demo"});
    QCOMPARE(entriesOf(repositoryDir()), QStringList{"demo"});
}

namespace {

enum class Change { None, EditedSource, TouchedSource, BuildFolder, RemovedFile };

QByteArray demoVersion(const QByteArray &version)
{
    return archiveOf("demo",
                     {{"CMakeLists.txt", "project(demo)\n"},
                      {"main.cpp", "int main() { return " + version + "; }\n"},
                      {"README.md", "read me\n"}});
}

} // namespace

Q_DECLARE_METATYPE(Change)

void tst_ExampleInstaller::updateKeepsWhatTheUserChanged_data()
{
    QTest::addColumn<Change>("change");
    // A file of the kept copy and what it holds; no copy is kept when empty.
    QTest::addColumn<QString>("keptFile");
    QTest::addColumn<QByteArray>("keptContent");

    QTest::newRow("unchanged") << Change::None << QString() << QByteArray();
    QTest::newRow("edited source") << Change::EditedSource << "main.cpp"
                                   << QByteArray("int main() { return 1; } // mine\n");
    // Sizes and times only: a file with the same size and a new time counts as edited.
    QTest::newRow("touched source") << Change::TouchedSource << "main.cpp"
                                    << QByteArray("int main() { return 1; }\n");
    QTest::newRow("build folder") << Change::BuildFolder << "build/demo" << QByteArray("binary");
    QTest::newRow("removed file") << Change::RemovedFile << "CMakeLists.txt"
                                  << QByteArray("project(demo)\n");
}

void tst_ExampleInstaller::updateKeepsWhatTheUserChanged()
{
    QFETCH(Change, change);
    QFETCH(QString, keptFile);
    QFETCH(QByteArray, keptContent);
    const QString demo = repositoryDir() + "/demo";
    const QString record = Settings::installedRecordPath("examples", "demo");

    install({exampleOf("demo", demoVersion("1"))});
    // Qt Creator offers a copy of an example whose project file it cannot write; the folder
    // stays writable, and nothing of the plugin's own is beside the examples.
    QVERIFY(!QFileInfo(demo + "/CMakeLists.txt").isWritable());
    QVERIFY(QFileInfo(demo).isWritable());
    QVERIFY(QFileInfo(demo + "/main.cpp").isWritable());
    QCOMPARE(entriesOf(Settings::location().chopped(3)), QStringList{"examples"});
    QCOMPARE(entriesOf(demo),
             (QStringList{"CMakeLists.txt", "README.md", "examples-manifest.xml", "main.cpp"}));
    QCOMPARE(InstalledFiles::localChanges(demo, record), QStringList());

    switch (change) {
    case Change::None:
        break;
    case Change::EditedSource:
        QVERIFY(writeFile(demo + "/main.cpp", keptContent));
        break;
    case Change::TouchedSource: {
        QFile file(demo + "/main.cpp");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
        break;
    }
    case Change::BuildFolder:
        QVERIFY(writeFile(demo + "/build/demo", keptContent));
        QVERIFY(writeFile(demo + "/CMakeLists.txt.user", "<settings/>"));
        break;
    case Change::RemovedFile:
        QVERIFY(QFile::remove(demo + "/README.md"));
        break;
    }

    const QStringList statuses = install({exampleOf("demo", demoVersion("2"))});
    // The new version is installed in every case, as before.
    QCOMPARE(contentOf(demo + "/main.cpp"), QByteArray("int main() { return 2; }\n"));
    QCOMPARE(entriesOf(demo),
             (QStringList{"CMakeLists.txt", "README.md", "examples-manifest.xml", "main.cpp"}));
    QCOMPARE(entriesOf(repositoryDir()), QStringList{"demo"});
    QCOMPARE(InstalledFiles::localChanges(demo, record), QStringList());

    const QStringList kept = entriesOf(Settings::keptChangesPath("examples"));
    if (keptFile.isEmpty()) {
        QCOMPARE(kept, QStringList());
        QCOMPARE(statuses.filter("Your changes").size(), 0);
        return;
    }
    QCOMPARE(kept.size(), 1);
    const QString copy = Settings::keptChangesPath("examples") + u'/' + kept.first();
    QVERIFY2(kept.first().startsWith("demo-"), qPrintable(kept.first()));
    QVERIFY2(statuses.contains("Your changes to demo were kept in " + copy),
             qPrintable(statuses.join('\n')));
    QCOMPARE(contentOf(copy + u'/' + keptFile), keptContent);
    QVERIFY(QFile::exists(copy + "/examples-manifest.xml"));

    // A second update keeps a second copy; the first stays as it is.
    QVERIFY(writeFile(demo + "/notes.txt", "more"));
    install({exampleOf("demo", demoVersion("3"))});
    QCOMPARE(entriesOf(Settings::keptChangesPath("examples")).size(), 2);
    QCOMPARE(contentOf(copy + u'/' + keptFile), keptContent);

    // Removing an example removes its record with it.
    QSignalSpy removed(installer.get(), &ExampleInstaller::removed);
    installer->remove("examples", {"demo"});
    QCOMPARE(removed.count(), 1);
    QVERIFY(!QFile::exists(demo));
    QVERIFY(!QFile::exists(record));
}

void tst_ExampleInstaller::exampleInstalledWithoutRecordKeepsWhatWasAdded()
{
    // Installed before records were kept: manifest and files, and nothing else.
    const QString demo = repositoryDir() + "/demo";
    QVERIFY(writeFile(demo + "/CMakeLists.txt", "project(demo)\n"));
    QVERIFY(writeFile(demo + "/main.cpp", "int main() { return 0; }\n"));
    QVERIFY(writeFile(demo + "/examples-manifest.xml", "<instructionals/>\n"));
    QVERIFY(!InstalledFiles::localChanges(demo, Settings::installedRecordPath("examples", "demo")));
    QStringList statuses = install({exampleOf("demo", demoVersion("1"))});
    QCOMPARE(statuses.filter("Your changes").size(), 0);
    QVERIFY(!QFile::exists(Settings::keptChangesPath("examples")));
    QCOMPARE(contentOf(demo + "/main.cpp"), QByteArray("int main() { return 1; }\n"));

    // Whatever the new version does not hold was added by the user.
    QVERIFY(QFile::remove(Settings::installedRecordPath("examples", "demo")));
    QVERIFY(writeFile(demo + "/build/obj/main.o", "object"));
    statuses = install({exampleOf("demo", demoVersion("2"))});
    const QStringList kept = entriesOf(Settings::keptChangesPath("examples"));
    QCOMPARE(kept.size(), 1);
    QCOMPARE(contentOf(Settings::keptChangesPath("examples") + u'/' + kept.first()
                       + "/build/obj/main.o"),
             QByteArray("object"));
    QCOMPARE(statuses.filter("Your changes to demo were kept in ").size(), 1);
}

void tst_ExampleInstaller::recordNamesWhatChanged()
{
    const QString dir = QDir::tempPath() + "/tree";
    const QString record = QDir::tempPath() + "/records/tree";
    QVERIFY(removeAll(dir));
    // Names a line-based record could mistake: spaces, percent signs, a line break.
    QVERIFY(writeFile(dir + "/a b/c%20d\nline.txt", "x"));
    QVERIFY(writeFile(dir + "/src/main.cpp", "int main() {}\n"));
    QVERIFY(writeFile(dir + "/gone/old.txt", "old"));
    QVERIFY(QFile::link("src/main.cpp", dir + "/link"));
    QVERIFY(writeFile(dir + "/examples-manifest.xml", "<instructionals/>\n"));
    const std::optional<InstalledFiles> installed = InstalledFiles::scan(dir);
    QVERIFY(installed);
    QCOMPARE(installed->count(), 8);
    QVERIFY(installed->write(record));
    QCOMPARE(InstalledFiles::localChanges(dir, record), QStringList());

    QVERIFY(writeFile(dir + "/build/obj/main.o", "object"));
    QVERIFY(removeAll(dir + "/gone"));
    QVERIFY(writeFile(dir + "/src/main.cpp", "int main() { return 1; }\n"));
    QVERIFY(writeFile(dir + "/a b/c%20d\nline.txt", "y"));
    const std::optional<InstalledFiles> now = InstalledFiles::scan(dir);
    QVERIFY(now);
    // A folder added or removed as a whole is named once.
    QCOMPARE(InstalledFiles::localChanges(dir, record),
             (QStringList{"a b/c%20d\nline.txt", "build/", "gone/", "src/main.cpp"}));
    QCOMPARE(installed->changesIn(*now, true), QStringList{"build/"});

    // A damaged or foreign record is no record at all.
    const QByteArray header = "brindle-installed-files 1\n";
    for (const QByteArray &bad : {QByteArray(),
                                  QByteArray("brindle-installed-files 2\n"),
                                  header + "f 1 2\n",
                                  header + "f x 2 path\n",
                                  header + "q 1 2 path\n",
                                  header + "f 1 2 path"}) {
        QVERIFY(writeFile(record, bad));
        QVERIFY2(!InstalledFiles::read(record), bad.constData());
    }
    // Nor is the record of a folder made anew since: its manifest is another one.
    QVERIFY(installed->write(record));
    QVERIFY(InstalledFiles::localChanges(dir, record));
    QFile manifest(dir + "/examples-manifest.xml");
    QVERIFY(manifest.open(QIODevice::ReadWrite));
    QVERIFY(manifest.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
    QVERIFY(!InstalledFiles::localChanges(dir, record));
    // A folder that cannot be walked names everything in it.
    QVERIFY(InstalledFiles::scan(dir)->write(record));
    QFile::setPermissions(dir + "/src", QFile::WriteOwner);
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(dir + "/src", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    QCOMPARE(InstalledFiles::localChanges(dir, record),
             (QStringList{"a b/", "build/", "examples-manifest.xml", "link", "src/"}));
}

QTEST_MAIN(tst_ExampleInstaller)

#include "tst_exampleinstaller.moc"
