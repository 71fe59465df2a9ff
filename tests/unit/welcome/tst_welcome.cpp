// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesparser.h"
#include "repositoryconfig.h"
#include "welcomepage.h"

#include <coreplugin/helpmanager.h>
#include <utils/qtcsettings.h>

#include <QComboBox>
#include <QDesktopServices>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Brindle::Host;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// A manifest as the plugin writes it, with examples "name|projectPath|tags|fileToOpen;...".
QByteArray manifest(const QString &examples)
{
    QString xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<instructionals><examples>\n";
    for (const QString &example : examples.split(';')) {
        const QStringList f = example.split('|');
        xml += QString("<example name=\"%1\" projectPath=\"%2\"><description><![CDATA[About "
                       "%1]]></description><tags>%3</tags><fileToOpen>%4</fileToOpen></example>\n")
                   .arg(f.value(0), f.value(1), f.value(2), f.value(3));
    }
    return (xml + "</examples></instructionals>\n").toUtf8();
}

QStringList names(const QList<ExampleItem> &examples)
{
    QStringList result;
    for (const ExampleItem &example : examples)
        result.append(example.name);
    return result;
}

} // namespace

class tst_Welcome : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Utils::QtcSettings m_settings{m_dir.filePath("QtCreator.ini"), QSettings::IniFormat};
    QList<QUrl> m_opened;

public slots:
    void openFile(const QUrl &url) { m_opened.append(url); }

private slots:
    void setsComeFromTheSettingsKey_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");
        // clang-format off
        QTest::newRow("three fields") << QStringList{"A|%1|%1/x"} << QStringList{"A|%1|%1/x"};
        QTest::newRow("two fields skipped") << QStringList{"A|%1", "B|%1|%1"} << QStringList{"B|%1|%1"};
        QTest::newRow("missing folder skipped") << QStringList{"A|%1/none|%1", "B|%1|x"} << QStringList{"B|%1|x"};
        QTest::newRow("extra fields allowed") << QStringList{"A|%1|%1|6.8"} << QStringList{"A|%1|%1"};
        QTest::newRow("order kept") << QStringList{"Z|%1|%1", "A|%1|%1"} << QStringList{"Z|%1|%1", "A|%1|%1"};
        // clang-format on
    }
    void setsComeFromTheSettingsKey()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        m_settings.setValue("Help/InstalledExamples", entries.replaceInStrings("%1", m_dir.path()));
        QStringList actual;
        for (const ExampleSet &set : readExampleSets(&m_settings))
            actual.append(set.displayName + '|' + set.manifestPath + '|' + set.examplesPath);
        QCOMPARE(actual, expected.replaceInStrings("%1", m_dir.path()));
    }

    void manifestsAreReadOneLevelDown()
    {
        const QString set = m_dir.filePath("set");
        writeFile(set + "/hello/CMakeLists.txt", "project(x)\n");
        writeFile(
            set + "/hello/examples-manifest.xml",
            manifest("Hello|CMakeLists.txt| palvex os ,,Qt, |qml/main.qml;Rooted|CMakeLists.txt||"
                     "/qml/main.qml;Missing project|gone.pro;A folder|.;No project"));
        // Neither deeper nor shallower manifests belong to the set.
        writeFile(set + "/hello/deeper/examples-manifest.xml",
                  manifest("Deeper|../CMakeLists.txt"));
        writeFile(set + "/examples-manifest.xml", manifest("Top|hello/CMakeLists.txt"));
        writeFile(set + "/broken/examples-manifest.xml",
                  "<instructionals><examples><example name=\"Half\" projectPath=\"../hello");

        QStringList errors;
        const QList<ExampleItem> examples = readExamples({"set", set, set}, &errors);
        QCOMPARE(names(examples), QStringList({"Hello", "Rooted"}));
        QCOMPARE(examples.at(0).projectPath + ": " + examples.at(0).description,
                 set + "/hello/CMakeLists.txt: About Hello");
        QCOMPARE(examples.at(0).tags, QStringList({"palvex os", "Qt"}));
        QCOMPARE(examples.at(0).filesToOpen, QStringList{set + "/hello/qml/main.qml"});
        // As in the IDE, a leading "/" points at the file system root.
        QCOMPARE(examples.at(1).filesToOpen, QStringList{"/qml/main.qml"});
        QVERIFY2(errors.size() == 1 && errors.first().contains("broken"),
                 qPrintable(errors.join('\n')));
    }

    void pageRereadsOnHelpSignalsAndOpensProjectFiles()
    {
        const QString first = m_dir.filePath("first");
        writeFile(first + "/one.pro", "");
        writeFile(first + "/one/examples-manifest.xml", manifest("One|../one.pro"));
        const QString later = m_dir.filePath("later");
        // A set whose folder is missing when the sets are read is dropped for good, as in
        // Qt Creator 16, even when the folder appears afterwards.
        m_settings.setValue(
            "Help/InstalledExamples",
            QStringList{"First|" + first + '|' + first, "Later|" + later + '|' + later});
        WelcomePage page(&m_settings);
        auto combo = page.findChild<QComboBox *>("exampleSetComboBox");
        QCOMPARE(combo->count(), 0); // nothing before the plugins are initialised
        page.readExampleSets();
        QCOMPARE(combo->count(), 1);
        QCOMPARE(names(page.examples()), QStringList{"One"});

        writeFile(first + "/two.pro", "");
        writeFile(first + "/two/examples-manifest.xml", manifest("Two|../two.pro"));
        QVERIFY(QDir().mkpath(later));
        m_settings.setValue("Help/InstalledExamples",
                            QStringList{"First|" + first + '|' + first,
                                        "Later|" + later + '|' + later,
                                        "Second|" + first + "|x"});
        emit Core::HelpManager::Signals::instance()->documentationChanged();
        QTRY_COMPARE(names(page.examples()), QStringList({"One", "Two"}));
        QCOMPARE(combo->count(), 1);
        // Neither setupFinished() nor a second read brings the list in again.
        emit Core::HelpManager::Signals::instance()->setupFinished();
        page.readExampleSets();
        QCOMPARE(combo->count(), 1);

        QDesktopServices::setUrlHandler("file", this, "openFile");
        page.show();
        auto view = page.findChild<QListView *>("examplesView");
        view->setCurrentIndex(view->model()->index(1, 0));
        page.findChild<QPushButton *>("openButton")->click();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(first + "/two.pro")});
    }

    void repositoryArgumentIsChecked_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name"); // empty: refused
        // clang-format off
        QTest::newRow("group url") << "examples=http://127.0.0.1:8080/palvexos/examples" << "examples";
        QTest::newRow("https, spaces trimmed") << " demos = https://gitlab.example.com/a/b" << "demos";
        QTest::newRow("dot dot") << "..=http://host/group" << "";
        QTest::newRow("slash in name") << "a/b=http://host/group" << "";
        QTest::newRow("bar in name") << "a|b=http://host/group" << "";
        QTest::newRow("control character") << "a\tb=http://host/group" << "";
        QTest::newRow("no group path") << "examples=http://host/" << "";
        QTest::newRow("file url") << "examples=file:///tmp/group" << "";
        // clang-format on
    }
    void repositoryArgumentIsChecked()
    {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        QString actualName;
        QUrl url;
        const QString error = RepositoryConfig::parse(argument, &actualName, &url);
        QVERIFY2(error.isEmpty() != name.isEmpty(), qPrintable(error));
        QVERIFY(name.isEmpty() || actualName == name);
    }

    void addRepositoryReplacesOnlyItsOwnSet()
    {
        const QString data = qEnvironmentVariable("XDG_DATA_HOME") + "/palvexos-sdk-5.0/examples";
        QVERIFY2(!qEnvironmentVariableIsEmpty("XDG_DATA_HOME"), "test environment");
        m_settings.setValue("Help/InstalledExamples",
                            QStringList{"examples-old|/o|/o", "examples|/s|/s"});
        QCOMPARE(RepositoryConfig::add(&m_settings, "examples", QUrl("http://h/g/examples")), "");
        QCOMPARE(m_settings.value("Help/InstalledExamples").toStringList(),
                 QStringList({"examples-old|/o|/o", "examples|" + data + '|' + data}));
        QCOMPARE(m_settings.value("Brindle/Repositories"),
                 QStringList{"examples|http://h/g/examples|"});
        QVERIFY(QFileInfo(data).isDir());
    }
};

QTEST_MAIN(tst_Welcome)

#include "tst_welcome.moc"
