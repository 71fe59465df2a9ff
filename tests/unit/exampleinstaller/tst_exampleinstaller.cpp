// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "exampleinstaller.h"
#include "settings.h"
#include "tarwriter.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <memory>

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
    Entries entries{{top, {}, '5'}};
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

} // namespace

class tst_ExampleInstaller : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reinstallReplacesOldCopiesAndKeepsThemOnFailure();
    void hostileArchiveStaysInside_data();
    void hostileArchiveStaysInside();

private:
    // Installs the examples and waits until each has finished; returns the statuses shown.
    QStringList install(const QList<QSharedPointer<Example>> &examples,
                        const QStringList &otherNames = {});

    std::unique_ptr<ExampleInstaller> installer;
};

void tst_ExampleInstaller::init()
{
    const QString sandbox
        = qEnvironmentVariable("BRINDLE_BINARY_DIR") + "/testenv/tst_exampleinstaller/";
    for (const QString &path : {Settings::location(), QDir::tempPath()})
        QVERIFY2(path.startsWith(sandbox),
                 qPrintable("Run this test through ctest, not on " + path));
    QDir(Settings::location().chopped(3)).removeRecursively();
    installer = std::make_unique<ExampleInstaller>();
}

void tst_ExampleInstaller::cleanup()
{
    installer.reset();
}

QStringList tst_ExampleInstaller::install(const QList<QSharedPointer<Example>> &examples,
                                          const QStringList &otherNames)
{
    QStringList statuses;
    connect(installer.get(), &ExampleInstaller::statusChanged, this, [&](const QString &text) {
        statuses.append(text);
    });
    QSignalSpy finished(installer.get(), &ExampleInstaller::finished);
    QStringList names = otherNames;
    for (const auto &example : examples)
        names.append(example->name());
    for (const auto &example : examples)
        installer->install(example, "examples", names);
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
        {{"torn-main-1/", {}, '5'}, {"torn-main-1/CMakeLists.txt", QByteArray(4096, 'x')}});
    const QList<QSharedPointer<Example>> examples{
        exampleOf("demo", fresh("demo"), 1),
        exampleOf("demo-extra", fresh("demo-extra"), 2),
        // no project file: no manifest
        exampleOf("broken", archiveOf("broken", {{"README.md", "read me\n"}}), 3),
        exampleOf("legacy", archiveOf("legacy", {{"README.md", "read me\n"}}), 4),
        exampleOf("torn", GitLab::gzipCompress(tar.left(1024)), 5),
    };

    const QStringList statuses = install(examples);
    QCOMPARE(statuses.count("There was an error while creating example mainfest"), 2);
    QVERIFY(statuses.contains("There was an error while unarchiving"));
    // No directory for the failed new example, failed reinstalls keep the old copy
    QCOMPARE(entriesOf(repo), installed);
    for (const QString &name : installed) {
        const QByteArray project
            = name.startsWith("demo") ? "project(" + name.toUtf8() + ")\n" : "project(old)\n";
        QCOMPARE(contentOf(repo + u'/' + name + "/CMakeLists.txt"), project);
    }
    QCOMPARE(entriesOf(repo + "/demo"), (QStringList{"CMakeLists.txt", "examples-manifest.xml"}));
    QCOMPARE(QDir::temp().entryList({"*.tar.gz"}), QStringList());
    // The archive bytes are let go of once they are saved
    QVERIFY(examples.first()->data().isEmpty());

    // Reinstalling demo leaves demo-extra alone
    writeFile(repo + "/demo-extra/notes.txt", "mine");
    install({exampleOf("demo", fresh("demo"), 1)}, {"demo-extra", "legacy", "torn"});
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
        return Entries{{top, {}, '5'}, {top + "CMakeLists.txt", "project(demo)\n"}} + more;
    };
    // clang-format off
    QTest::newRow("absolute member") << demo({{out + "/absolute.txt", "written"}}) << true;
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
    QCOMPARE(entriesOf(Settings::location().chopped(3)), QStringList{"examples"});
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

QTEST_MAIN(tst_ExampleInstaller)

#include "tst_exampleinstaller.moc"
