// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "manifestwriter.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Brindle::Internal;
using namespace TestFiles;
using Files = QMap<QString, QByteArray>;


namespace {

void writeFiles(const QString &dir, const Files &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = dir + u'/' + it.key();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
}

} // namespace

class tst_ManifestWriter : public QObject
{
    Q_OBJECT

private slots:
    void templateFilledByteForByte();
    void serverTextsStayWellFormed();
    void findsProjectImageAndFileToOpen_data();
    void findsProjectImageAndFileToOpen();
    void contentSearchSkipsLargeFilesAndLinks_data();
    void contentSearchSkipsLargeFilesAndLinks();
    void reportsWhatItWrote_data();
    void reportsWhatItWrote();
};

void tst_ManifestWriter::templateFilledByteForByte()
{
    QTemporaryDir dir;
    writeFiles(dir.path(), {{"app.pro", "TEMPLATE = app"}});
    ManifestWriter writer;
    writer.module = "examples";
    writer.displayName = "QMake App";
    writer.description = "Shows <tags> & \"quotes\"";
    writer.tags = "Qt,example";
    QVERIFY(writer.write(dir.path(), "/installed/qmake-app"));

    QByteArray expected = contentOf(":/examples-manifest.xml");
    expected.replace("module=\"\"", "module=\"examples\"")
        .replace("name=\"\"", "name=\"QMake App\"")
        .replace("projectPath=\"\"", "projectPath=\"app.pro\"")
        .replace("imageUrl=\"\"", "imageUrl=\"dummy.png\"")
        .replace("<description></description>",
                 "<description><![CDATA[Shows <tags> & \"quotes\"]]></description>")
        .replace("<tags></tags>", "<tags>Qt,example</tags>")
        .replace("<fileToOpen></fileToOpen>", "<fileToOpen>app.pro</fileToOpen>");
    QCOMPARE(contentOf(dir.filePath("examples-manifest.xml")), expected);
}

void tst_ManifestWriter::serverTextsStayWellFormed()
{
    // Whatever the server sends, the manifest stays well-formed and reads back unchanged
    const QString fancy = QString::fromUtf8("Fancy \x01<&\"> \xf0\x9f\x98\x80");
    QTemporaryDir dir;
    writeFiles(dir.path(), {{"CMakeLists.txt", "x"}});
    ManifestWriter writer;
    writer.module = "examples";
    writer.displayName = fancy;
    writer.description = "Use <b> & ]]> here\x02, and ]]>]]> twice ]";
    writer.tags = QString("a&b,c\x03") + "d";
    QVERIFY(writer.write(dir.path(), "/installed/fancy"));
    QCOMPARE(manifestValues(dir.path()),
             (QStringList{QString(fancy).remove(u'\x01'),
                          "CMakeLists.txt",
                          "dummy.png",
                          "Use <b> & ]]> here, and ]]>]]> twice ]",
                          "a&b,cd",
                          "CMakeLists.txt"}));
}

void tst_ManifestWriter::findsProjectImageAndFileToOpen_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QByteArray>("avatar");
    QTest::addColumn<QStringList>("expected"); // project, image ("@" is the installed folder), file to open

    const QByteArray cmake = "project(x)\n";
    // clang-format off
    QTest::newRow("qml application window") << Files{{"CMakeLists.txt", cmake}, {"qml/Other.qml", "Item {}"}, {"qml/main.qml", "ApplicationWindow {}"}}
        << QByteArray() << QStringList{"CMakeLists.txt", "dummy.png", "qml/main.qml"};
    QTest::newRow("avatar becomes the icon") << Files{{"CMakeLists.txt", cmake}} << pngBytes(300, 150)
        << QStringList{"CMakeLists.txt", "@/example-icon.png", "CMakeLists.txt"};
    // A folder of that name keeps the icon from being written: the manifest names none.
    QTest::newRow("icon cannot be written") << Files{{"CMakeLists.txt", cmake}, {"example-icon.png/x", "x"}} << pngBytes(300, 150)
        << QStringList{"CMakeLists.txt", "dummy.png", "CMakeLists.txt"};
    QTest::newRow("largest 128x128 icon, main()") << Files{{"CMakeLists.txt", cmake}, {"src/main.cpp", "int main(int argc, char **argv) {}"},
        {"res/icons/128x128/a.png", pngBytes(8, 8)}, {"res/icons/128x128/b.png", pngBytes(128, 128)}, {"res/icons/86x86/c.png", pngBytes(86, 86)}}
        << QByteArray() << QStringList{"CMakeLists.txt", "@/res/icons/128x128/b.png", "src/main.cpp"};
    QTest::newRow("needle across a block boundary") << Files{{"CMakeLists.txt", cmake}, {"big.cpp", QByteArray(64 * 1024 - 3, 'x') + " main(){}"}}
        << QByteArray() << QStringList{"CMakeLists.txt", "dummy.png", "big.cpp"};
    QTest::newRow("no project file") << Files{{"README.md", "read me"}} << QByteArray() << QStringList();
    // clang-format on
}

void tst_ManifestWriter::findsProjectImageAndFileToOpen()
{
    QFETCH(Files, files);
    QFETCH(QByteArray, avatar);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    writeFiles(dir.path(), files);
    ManifestWriter writer;
    writer.module = "examples";
    writer.displayName = "Example";
    writer.image = QImage::fromData(avatar);
    const QString installed = dir.path() + "/../installed";
    QCOMPARE(bool(writer.write(dir.path(), installed)), !expected.isEmpty());
    if (expected.isEmpty()) {
        QVERIFY(!QFile::exists(dir.filePath("examples-manifest.xml")));
        return;
    }
    expected[1].replace(u'@', installed);
    const QStringList values = manifestValues(dir.path());
    QCOMPARE((QStringList{values.value(1), values.value(2), values.value(5)}), expected);
    QCOMPARE(QImage(dir.filePath("example-icon.png")).size(),
             expected.at(1).endsWith("/example-icon.png") ? QSize(300, 150) : QSize(0, 0));
}

void tst_ManifestWriter::contentSearchSkipsLargeFilesAndLinks_data()
{
    QTest::addColumn<qint64>("size"); // of "View.qml", which starts and ends with the needle
    QTest::addColumn<bool>("link");   // "View.qml" links to such a file outside the example
    QTest::addColumn<QString>("fileToOpen");

    const qint64 MiB = 1024 * 1024;
    QTest::newRow("small file") << qint64(100) << false << "View.qml";
    QTest::newRow("1 MiB is still read") << MiB << false << "View.qml";
    QTest::newRow("larger than 1 MiB") << MiB + 1 << false << "main.cpp";
    // An archive of a few kilobytes unpacks to this on most file systems, and reading it
    // held the installation for hours.
    QTest::newRow("sparse 64 GiB") << 64 * 1024 * MiB << false << "main.cpp";
    QTest::newRow("link to a small file") << qint64(100) << true << "main.cpp";
}

void tst_ManifestWriter::contentSearchSkipsLargeFilesAndLinks()
{
    QFETCH(qint64, size);
    QFETCH(bool, link);

    QTemporaryDir dir;
    const QString example = dir.filePath("example");
    writeFiles(example, {{"CMakeLists.txt", "project(x)\n"}, {"main.cpp", "int main() {}"}});
    const QString target = link ? dir.filePath("outside.qml") : example + "/View.qml";
    {
        const QByteArray needle = "ApplicationWindow {}";
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(needle) == needle.size());
        if (!file.resize(size))
            QSKIP("The file system does not hold a file of this size");
        QVERIFY(file.seek(size - needle.size()));
        QVERIFY(file.write(needle) == needle.size());
    }
    if (link)
        QVERIFY(QFile::link(target, example + "/View.qml"));

    ManifestWriter writer;
    writer.module = "examples";
    writer.displayName = "Example";
    QVERIFY(writer.write(example, "/installed/example"));
    QTEST(manifestValues(example).value(5), "fileToOpen");
}


// What the Welcome screen will show, as the writer chose it: the maintainers' check reports
// the image's source from this, not from the file names.
void tst_ManifestWriter::reportsWhatItWrote_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<bool>("avatar");
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("imageSource");
    QTest::addColumn<QString>("imageUrl");

    using Problem = ManifestWriter::Result::Problem;
    using Source = ManifestContent::ImageSource;
    const Files cmake{{"CMakeLists.txt", "project(a)"}, {"main.cpp", "int main() {}"}};
    Files icons = cmake;
    icons.insert("icons/128x128/app.png", "png");
    // A picture called like the placeholder is still the project's own.
    Files dummy = cmake;
    dummy.insert("icons/128x128/dummy.png", "png");
    QTest::newRow("avatar") << icons << true << int(Problem::None) << int(Source::Avatar)
                            << "/installed/a/example-icon.png";
    QTest::newRow("icons folder") << icons << false << int(Problem::None)
                                  << int(Source::IconsFolder)
                                  << "/installed/a/icons/128x128/app.png";
    QTest::newRow("icon named like the default")
        << dummy << false << int(Problem::None) << int(Source::IconsFolder)
        << "/installed/a/icons/128x128/dummy.png";
    QTest::newRow("default") << cmake << false << int(Problem::None) << int(Source::Default)
                             << "dummy.png";
    QTest::newRow("no project file") << Files{{"README.md", "# a"}} << false
                                     << int(Problem::NoProjectFile) << int(Source::Default)
                                     << QString();
}

void tst_ManifestWriter::reportsWhatItWrote()
{
    QFETCH(Files, files);
    QFETCH(bool, avatar);
    QFETCH(int, problem);
    QFETCH(int, imageSource);
    QFETCH(QString, imageUrl);

    QTemporaryDir dir;
    writeFiles(dir.path(), files);
    ManifestWriter writer;
    writer.displayName = "A";
    if (avatar) {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::red);
        writer.image = image;
    }
    const ManifestWriter::Result result = writer.write(dir.path(), "/installed/a");
    QCOMPARE(int(result.problem), problem);
    QCOMPARE(bool(result), problem == int(ManifestWriter::Result::Problem::None));
    QCOMPARE(QFileInfo::exists(dir.filePath("examples-manifest.xml")), bool(result));
    if (!result)
        return;
    QCOMPARE(int(result.content.imageSource), imageSource);
    QCOMPARE(result.content.imageUrl, imageUrl);
    QCOMPARE(result.content.projectPath, QString("CMakeLists.txt"));
    QCOMPARE(result.content.fileToOpen, QString("main.cpp"));
}

QTEST_GUILESS_MAIN(tst_ManifestWriter)

#include "tst_manifestwriter.moc"
