// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesmodel.h"
#include "examplesparser.h"
#include "examplestable.h"
#include "mainwindow.h"
#include "optionsdialog.h"
#include "repositoryconfig.h"
#include "welcomepage.h"

#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/helpmanager.h>
#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <utils/qtcsettings.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPromise>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Brindle::Host;

namespace {

struct ManifestExample
{
    QString name;
    QString projectPath = "CMakeLists.txt";
    QString imageUrl;
    QString tags;
    QString description;
    QStringList filesToOpen;
};

QByteArray manifestXml(const QList<ManifestExample> &examples)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<instructionals module=\"test\">\n <examples>\n";
    for (const ManifestExample &e : examples) {
        xml += "  <example name=\"" + e.name.toUtf8() + "\" projectPath=\"" + e.projectPath.toUtf8()
               + "\" imageUrl=\"" + e.imageUrl.toUtf8() + "\">\n";
        xml += "     <description><![CDATA[" + e.description.toUtf8() + "]]></description>\n";
        xml += "     <tags>" + e.tags.toUtf8() + "</tags>\n";
        for (const QString &file : e.filesToOpen)
            xml += "     <fileToOpen>" + file.toUtf8() + "</fileToOpen>\n";
        xml += "  </example>\n";
    }
    xml += " </examples>\n</instructionals>\n";
    return xml;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(content);
}

// An installed example as the plugin leaves it: <set>/<folder>/ with a project file and
// the manifest.
void installExample(const QString &setDir, const QString &folder, const ManifestExample &example)
{
    writeFile(setDir + '/' + folder + "/CMakeLists.txt", "project(x)\n");
    writeFile(setDir + '/' + folder + "/examples-manifest.xml", manifestXml({example}));
}

QStringList names(const QList<ExampleItem> &examples)
{
    QStringList result;
    for (const ExampleItem &example : examples)
        result.append(example.name);
    return result;
}

class CountingWidget final : public Core::IOptionsPageWidget
{
public:
    explicit CountingWidget(int *applied, int *cancelled, int *destroyed)
        : m_applied(applied)
        , m_cancelled(cancelled)
        , m_destroyed(destroyed)
    {}
    ~CountingWidget() override { ++*m_destroyed; }

    void apply() final { ++*m_applied; }
    void cancel() final { ++*m_cancelled; }

private:
    int *m_applied;
    int *m_cancelled;
    int *m_destroyed;
};

class CountingPage final : public Core::IOptionsPage
{
public:
    CountingPage(const char *id, const char *category, const QString &title)
    {
        setId(id);
        setCategory(category);
        setDisplayName(title);
        setWidgetCreator([this] {
            ++created;
            return new CountingWidget(&applied, &cancelled, &destroyed);
        });
    }

    int created = 0;
    int applied = 0;
    int cancelled = 0;
    int destroyed = 0;
};

} // namespace

class tst_Welcome : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void setsComeFromEntriesWithThreeFieldsAndAnExistingFolder_data();
    void setsComeFromEntriesWithThreeFieldsAndAnExistingFolder();
    void setsAreReadFromTheSettingsKey();
    void manifestsAreReadOneLevelDownOnly();
    void examplesWithoutProjectFileAreDropped();
    void tagsAreSplitAndTrimmed_data();
    void tagsAreSplitAndTrimmed();
    void pathsResolveAgainstTheManifestFolder();
    void imageUrlIsUsedAsGiven();
    void brokenManifestIsReportedAndOthersStillRead();
    void filterMatchesTitleDescriptionAndTags_data();
    void filterMatchesTitleDescriptionAndTags();
    void tableListsEveryExampleRelativeToItsSet();

    void pageRereadsSetsOnSetupFinishedAndManifestsOnDocumentationChanged();
    void openingAnExampleOpensItsProjectFile();

    void progressEntriesShowInTheStatusBarUntilTheyFinish();

    void optionsDialogOkAppliesCreatedPagesOnly();
    void optionsDialogApplyKeepsWidgetsAndCancelCancels();
    void optionsDialogListsCategoriesByIdWithTheirNames();

    void repositoryArgumentIsChecked_data();
    void repositoryArgumentIsChecked();
    void addRepositoryMergesIntoStoredEntries();
    void addRepositoryRefusesAUrlTakenByAnotherName();

    void openFile(const QUrl &url) { m_opened.append(url); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Utils::QtcSettings> m_settings;
    QList<QUrl> m_opened;
};

void tst_Welcome::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<Utils::QtcSettings>(m_dir->filePath("QtCreator.ini"),
                                                      QSettings::IniFormat);
    m_opened.clear();
}

void tst_Welcome::setsComeFromEntriesWithThreeFieldsAndAnExistingFolder_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expectedNames");

    QTest::newRow("three fields") << QStringList{"A|%1|%1"} << QStringList{"A"};
    QTest::newRow("two fields skipped") << QStringList{"A|%1", "B|%1|%1"} << QStringList{"B"};
    QTest::newRow("missing folder skipped")
        << QStringList{"A|%1/missing|%1", "B|%1|x"} << QStringList{"B"};
    QTest::newRow("empty entry skipped") << QStringList{"", "B|%1|%1"} << QStringList{"B"};
    QTest::newRow("extra fields allowed") << QStringList{"A|%1|%1|6.8"} << QStringList{"A"};
    QTest::newRow("order kept") << QStringList{"Z|%1|%1", "A|%1|%1"} << QStringList{"Z", "A"};
}

void tst_Welcome::setsComeFromEntriesWithThreeFieldsAndAnExistingFolder()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expectedNames);
    for (QString &entry : entries)
        entry.replace("%1", m_dir->path());

    QStringList actual;
    for (const ExampleSet &set : exampleSetsFromEntries(entries))
        actual.append(set.displayName);
    QCOMPARE(actual, expectedNames);
}

void tst_Welcome::setsAreReadFromTheSettingsKey()
{
    const QString examples = m_dir->filePath("examples");
    QVERIFY(QDir().mkpath(examples));
    m_settings->setValue("Help/InstalledExamples",
                         QStringList{"examples|" + examples + "|" + examples + "-install"});
    m_settings->sync();

    Utils::QtcSettings reread(m_dir->filePath("QtCreator.ini"), QSettings::IniFormat);
    const QList<ExampleSet> sets = readExampleSets(&reread);
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets.first().displayName, QString("examples"));
    QCOMPARE(sets.first().manifestPath, examples);
    QCOMPARE(sets.first().examplesPath, examples + "-install");
}

void tst_Welcome::manifestsAreReadOneLevelDownOnly()
{
    const QString set = m_dir->filePath("set");
    installExample(set, "hello", {"Hello"});
    installExample(set, "world", {"World"});
    // Deeper and shallower manifests are not the host's business.
    installExample(set + "/world", "nested", {"Nested"});
    writeFile(set + "/CMakeLists.txt", "project(x)\n");
    writeFile(set + "/examples-manifest.xml", manifestXml({{"Top"}}));
    writeFile(set + "/other/manifest.xml", manifestXml({{"Wrong name"}}));

    const QList<ExampleItem> examples = readExamples({"set", set, set});
    QCOMPARE(names(examples), QStringList({"Hello", "World"}));
    QCOMPARE(examples.first().manifestFile, set + "/hello/examples-manifest.xml");
}

void tst_Welcome::examplesWithoutProjectFileAreDropped()
{
    const QString set = m_dir->filePath("set");
    writeFile(set + "/a/app.pro", "TEMPLATE = app\n");
    writeFile(set + "/a/examples-manifest.xml",
              manifestXml({{"Kept", "app.pro"},
                           {"Missing file", "gone.pro"},
                           {"Empty path", ""},
                           {"A folder", "."}}));

    QCOMPARE(names(readExamples({"set", set, set})), QStringList({"Kept"}));
}

void tst_Welcome::tagsAreSplitAndTrimmed_data()
{
    QTest::addColumn<QString>("tags");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("plain") << "Qt,example" << QStringList{"Qt", "example"};
    QTest::newRow("spaces") << "  Qt ,  example  " << QStringList{"Qt", "example"};
    QTest::newRow("empty items") << ",Qt,, ,example," << QStringList{"Qt", "example"};
    QTest::newRow("none") << "" << QStringList{};
    QTest::newRow("inner space kept") << "palvex os, qml" << QStringList{"palvex os", "qml"};
}

void tst_Welcome::tagsAreSplitAndTrimmed()
{
    QFETCH(QString, tags);
    QFETCH(QStringList, expected);
    const QString set = m_dir->filePath("set");
    ManifestExample example{"Tagged"};
    example.tags = tags;
    installExample(set, "tagged", example);

    const QList<ExampleItem> examples = readExamples({"set", set, set});
    QCOMPARE(examples.size(), 1);
    QCOMPARE(examples.first().tags, expected);
}

void tst_Welcome::pathsResolveAgainstTheManifestFolder()
{
    const QString set = m_dir->filePath("set");
    const QString folder = set + "/app";
    writeFile(folder + "/sub/app.pro", "TEMPLATE = app\n");
    writeFile(m_dir->filePath("elsewhere/CMakeLists.txt"), "project(x)\n");
    ManifestExample relative{"Relative", "sub/app.pro"};
    relative.filesToOpen = {"qml/main.qml", "/qml/main.qml"};
    ManifestExample absolute{"Absolute", m_dir->filePath("elsewhere/CMakeLists.txt")};
    writeFile(folder + "/examples-manifest.xml", manifestXml({relative, absolute}));

    const QList<ExampleItem> examples = readExamples({"set", set, set});
    QCOMPARE(examples.size(), 2);
    QCOMPARE(examples.at(0).projectPath, folder + "/sub/app.pro");
    // A leading "/" makes a path absolute, as in the IDE: it points at the file system root.
    QCOMPARE(examples.at(0).filesToOpen, QStringList({folder + "/qml/main.qml", "/qml/main.qml"}));
    QCOMPARE(examples.at(1).projectPath, m_dir->filePath("elsewhere/CMakeLists.txt"));
}

void tst_Welcome::imageUrlIsUsedAsGiven()
{
    const QString set = m_dir->filePath("set");
    writeFile(set + "/a/dummy.png", "not looked at");
    writeFile(set + "/a/icon.png", "png");
    writeFile(set + "/a/CMakeLists.txt", "project(x)\n");
    writeFile(
        set + "/a/examples-manifest.xml",
        manifestXml(
            {{"Bare name", "CMakeLists.txt", "dummy.png"},
             {"Absolute", "CMakeLists.txt", set + "/a/icon.png"},
             {"File URL", "CMakeLists.txt", QUrl::fromLocalFile(set + "/a/icon.png").toString()},
             {"Absent", "CMakeLists.txt", set + "/a/none.png"}}));

    const QList<ExampleItem> examples = readExamples({"set", set, set});
    QCOMPARE(examples.size(), 4);
    QCOMPARE(examples.at(0).imageUrl, QString("dummy.png"));
    QCOMPARE(imageFilePath(examples.at(0)), QString());
    QCOMPARE(imageFilePath(examples.at(1)), set + "/a/icon.png");
    QCOMPARE(imageFilePath(examples.at(2)), set + "/a/icon.png");
    QCOMPARE(imageFilePath(examples.at(3)), QString());
}

void tst_Welcome::brokenManifestIsReportedAndOthersStillRead()
{
    const QString set = m_dir->filePath("set");
    installExample(set, "good", {"Good"});
    writeFile(set + "/broken/CMakeLists.txt", "project(x)\n");
    writeFile(set + "/broken/examples-manifest.xml",
              "<instructionals><examples><example name=\"Half\" projectPath=\"CMakeLists.txt\">");

    QStringList errors;
    const QList<ExampleItem> examples = readExamples({"set", set, set}, &errors);
    QCOMPARE(names(examples), QStringList({"Good"}));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains("broken"), qPrintable(errors.first()));
}

void tst_Welcome::filterMatchesTitleDescriptionAndTags_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty") << "" << QStringList{"Hello QML", "Console", "Gallery"};
    QTest::newRow("title, any case") << "hello" << QStringList{"Hello QML"};
    QTest::newRow("description") << "terminal" << QStringList{"Console"};
    QTest::newRow("tag") << "widgets" << QStringList{"Gallery"};
    QTest::newRow("every word must match") << "qml window" << QStringList{"Hello QML"};
    QTest::newRow("one word missing") << "qml terminal" << QStringList{};
}

void tst_Welcome::filterMatchesTitleDescriptionAndTags()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);

    ExampleItem hello{"Hello QML", "A window with a button", "/p"};
    hello.tags = {"qml"};
    ExampleItem console{"Console", "Prints to the terminal", "/p"};
    console.tags = {"cpp"};
    ExampleItem gallery{"Gallery", "Many controls", "/p"};
    gallery.tags = {"Widgets", "ui"};

    ExamplesModel model;
    model.setExamples({hello, console, gallery});
    ExamplesFilterModel filterModel;
    filterModel.setSourceModel(&model);
    filterModel.setFilterText(filter);

    QStringList actual;
    for (int row = 0; row < filterModel.rowCount(); ++row)
        actual.append(filterModel.index(row, 0).data().toString());
    QCOMPARE(actual, expected);
}

void tst_Welcome::tableListsEveryExampleRelativeToItsSet()
{
    ExampleSet set{"examples", "/data/examples", "/data/examples"};
    ExampleItem item{"Hello QML", "", "/data/examples/hello/CMakeLists.txt", "dummy.png"};
    item.tags = {"qml", "demo"};
    item.filesToOpen = {"/data/examples/hello/qml/main.qml"};
    const QString table
        = formatExamplesTable({{set, {item}}, {ExampleSet{"empty", "/e", "/e"}, {}}});

    QVERIFY2(table.contains("/data/examples"), qPrintable(table));
    const QStringList lines = table.split('\n');
    const auto row = std::find_if(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith("examples ") && line.contains("Hello QML");
    });
    QVERIFY2(row != lines.cend(), qPrintable(table));
    const QStringList cells = row->split(QRegularExpression("\\s{2,}"));
    QCOMPARE(cells,
             QStringList({"examples",
                          "Hello QML",
                          "hello/CMakeLists.txt",
                          "dummy.png",
                          "hello/qml/main.qml",
                          "qml, demo"}));
    QVERIFY2(table.contains("\n1 example in 2 sets\n"), qPrintable(table));
}

void tst_Welcome::pageRereadsSetsOnSetupFinishedAndManifestsOnDocumentationChanged()
{
    const QString first = m_dir->filePath("first");
    const QString second = m_dir->filePath("second");
    installExample(first, "one", {"One"});
    QVERIFY(QDir().mkpath(second));
    m_settings->setValue("Help/InstalledExamples", QStringList{"First|" + first + "|" + first});

    WelcomePage page(m_settings.get());
    auto combo = page.findChild<QComboBox *>("exampleSetComboBox");
    QVERIFY(combo);
    QCOMPARE(combo->count(), 1);
    QCOMPARE(names(page.examples()), QStringList({"One"}));

    // A new set stays unseen until the help system says the sets changed.
    m_settings->setValue(
        "Help/InstalledExamples",
        QStringList{"First|" + first + "|" + first, "Second|" + second + "|" + second});
    QCOMPARE(combo->count(), 1);
    emit Core::HelpManager::Signals::instance()->setupFinished();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(page.currentSetName(), QString("First"));

    installExample(first, "two", {"Two"});
    QCOMPARE(names(page.examples()), QStringList({"One"}));
    emit Core::HelpManager::Signals::instance()->documentationChanged();
    QCOMPARE(names(page.examples()), QStringList({"One", "Two"}));

    QVERIFY(page.setCurrentSet("Second"));
    QVERIFY(page.examples().isEmpty());
    QVERIFY(!page.setCurrentSet("Third"));
}

void tst_Welcome::openingAnExampleOpensItsProjectFile()
{
    const QString set = m_dir->filePath("set");
    installExample(set, "hello", {"Hello"});
    m_settings->setValue("Help/InstalledExamples", QStringList{"Set|" + set + "|" + set});

    QDesktopServices::setUrlHandler("file", this, "openFile");
    WelcomePage page(m_settings.get());
    page.resize(1000, 600);
    page.show();
    auto view = page.findChild<QListView *>("examplesView");
    auto open = page.findChild<QPushButton *>("openButton");
    QVERIFY(view && open);
    view->setCurrentIndex(view->model()->index(0, 0));
    open->click();
    QDesktopServices::unsetUrlHandler("file");

    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(set + "/hello/CMakeLists.txt")});
}

void tst_Welcome::progressEntriesShowInTheStatusBarUntilTheyFinish()
{
    QPromise<void> early;
    early.start();
    QPointer<Core::FutureProgress> before
        = Core::ProgressManager::addTask(early.future(), "Load demos", "LoadExamplesTask");

    MainWindow window(m_settings.get());
    window.show();
    QPromise<void> late;
    late.start();
    late.setProgressRange(0, 3);
    QPointer<Core::FutureProgress> after
        = Core::ProgressManager::addTask(late.future(), "Load examples", "LoadExamplesTask");

    const QList<Core::FutureProgress *> shown
        = window.statusBar()->findChildren<Core::FutureProgress *>();
    QVERIFY(shown.contains(before.data()));
    QVERIFY(shown.contains(after.data()));
    QVERIFY(after->isVisible());

    late.finish();
    QTRY_VERIFY_WITH_TIMEOUT(after.isNull(), 20000);
    QVERIFY(!before.isNull());
    early.finish();
    QTRY_VERIFY_WITH_TIMEOUT(before.isNull(), 20000);
}

void tst_Welcome::optionsDialogOkAppliesCreatedPagesOnly()
{
    Core::IOptionsPage::registerCategory("H.Help", "Help", {});
    CountingPage help("Test.Help.Page", "H.Help", "Help page");
    CountingPage other("Test.Z.Page", "Z.Other", "Other page");

    {
        OptionsDialog dialog;
        QVERIFY(dialog.showCategory("H.Help"));
        QCOMPARE(help.created, 1);
        QCOMPARE(other.created, 0);
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(help.applied, 1);
    QCOMPARE(help.cancelled, 0);
    QCOMPARE(other.applied, 0);
    // The page lets go of its widget when the dialog closes; the next visit builds a new one.
    QCOMPARE(help.destroyed, 1);
    OptionsDialog again;
    QVERIFY(again.showCategory("H.Help"));
    QCOMPARE(help.created, 2);
}

void tst_Welcome::optionsDialogApplyKeepsWidgetsAndCancelCancels()
{
    CountingPage page("Test.Help.Page", "H.Help", "Help page");
    OptionsDialog dialog;
    QVERIFY(dialog.showPage("Test.Help.Page"));
    auto buttons = dialog.findChild<QDialogButtonBox *>();

    buttons->button(QDialogButtonBox::Apply)->click();
    buttons->button(QDialogButtonBox::Apply)->click();
    QCOMPARE(page.applied, 2);
    QCOMPARE(page.destroyed, 0);

    buttons->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(page.applied, 2);
    QCOMPARE(page.cancelled, 1);
    QCOMPARE(page.destroyed, 1);
}

void tst_Welcome::optionsDialogListsCategoriesByIdWithTheirNames()
{
    Core::IOptionsPage::registerCategory("H.Help", "Help", {});
    Core::IOptionsPage::registerCategory("A.Core", "Environment", {});
    CountingPage help("Test.Help", "H.Help", "Examples");
    CountingPage core("Test.Core", "A.Core", "Interface");

    OptionsDialog dialog;
    QCOMPARE(dialog.categories(), QList<Utils::Id>({"A.Core", "H.Help"}));
    QCOMPARE(dialog.currentCategory(), Utils::Id("A.Core"));
    auto list = dialog.findChild<QListWidget *>("categoryList");
    QVERIFY(list);
    QCOMPARE(list->item(1)->text(), QString("Help"));
    QVERIFY(dialog.showPage("Test.Help"));
    QCOMPARE(dialog.currentCategory(), Utils::Id("H.Help"));
    auto tabs = dialog.findChild<QTabWidget *>("pages_H.Help");
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(0), QString("Examples"));
}

void tst_Welcome::repositoryArgumentIsChecked_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("name");

    QTest::newRow("group url") << "examples=http://127.0.0.1:8080/palvexos/examples" << true
                               << "examples";
    QTest::newRow("https, spaces trimmed")
        << " demos = https://gitlab.example.com/a/b" << true << "demos";
    QTest::newRow("no equals sign") << "examples" << false << "";
    QTest::newRow("empty name") << "=http://host/group" << false << "";
    QTest::newRow("dot dot") << "..=http://host/group" << false << "";
    QTest::newRow("slash in name") << "a/b=http://host/group" << false << "";
    QTest::newRow("bar in name") << "a|b=http://host/group" << false << "";
    QTest::newRow("control character") << "a\tb=http://host/group" << false << "";
    QTest::newRow("no group path") << "examples=http://host/" << false << "";
    QTest::newRow("file url") << "examples=file:///tmp/group" << false << "";
    QTest::newRow("no scheme") << "examples=host/group" << false << "";
    QTest::newRow("bar in url") << "examples=http://host/group|x" << false << "";
}

void tst_Welcome::repositoryArgumentIsChecked()
{
    QFETCH(QString, argument);
    QFETCH(bool, accepted);
    QFETCH(QString, name);

    QString actualName;
    QUrl url;
    const QString error = RepositoryConfig::parse(argument, &actualName, &url);
    QCOMPARE(error.isEmpty(), accepted);
    if (accepted)
        QCOMPARE(actualName, name);
}

void tst_Welcome::addRepositoryMergesIntoStoredEntries()
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY2(!data.isEmpty(), "runs in the test environment");
    const QString directory = data + "/palvexos-sdk-5.0/examples";
    QCOMPARE(RepositoryConfig::dataDirectory("examples"), directory);

    const QUrl url("http://127.0.0.1:1/palvexos/examples");
    m_settings->setValue("Brindle/Repositories",
                         QStringList{"other|http://127.0.0.1:1/other|",
                                     "examples|" + url.toString() + "|removed-one"});
    m_settings->setValue(
        "Help/InstalledExamples",
        QStringList{"examples-old|/old|/old", "examples|/stale|/stale", "Qt|/q|/q"});

    QCOMPARE(RepositoryConfig::add(m_settings.get(), "examples", url), QString());
    QVERIFY(QFileInfo(directory).isDir());
    // The same repository again keeps what the user removed from it.
    QCOMPARE(m_settings->value("Brindle/Repositories").toStringList(),
             QStringList({"other|http://127.0.0.1:1/other|",
                          "examples|" + url.toString() + "|removed-one"}));
    QCOMPARE(
        m_settings->value("Help/InstalledExamples").toStringList(),
        QStringList(
            {"examples-old|/old|/old", "examples|" + directory + "|" + directory, "Qt|/q|/q"}));

    const QUrl moved("http://127.0.0.1:1/palvexos/examples2");
    QCOMPARE(RepositoryConfig::add(m_settings.get(), "examples", moved), QString());
    QCOMPARE(RepositoryConfig::add(m_settings.get(), "demos", QUrl("http://h/palvexos/demos")),
             QString());
    Utils::QtcSettings reread(m_dir->filePath("QtCreator.ini"), QSettings::IniFormat);
    QCOMPARE(reread.value("Brindle/Repositories").toStringList(),
             QStringList({"other|http://127.0.0.1:1/other|",
                          "examples|" + moved.toString() + "|",
                          "demos|http://h/palvexos/demos|"}));
    QCOMPARE(reread.value("Help/InstalledExamples").toStringList().size(), 4);
}

void tst_Welcome::addRepositoryRefusesAUrlTakenByAnotherName()
{
    m_settings->setValue("Brindle/Repositories", QStringList{"first|http://h/palvexos/examples|"});
    const QString error
        = RepositoryConfig::add(m_settings.get(), "second", QUrl("http://h/palvexos/examples"));
    QVERIFY2(error.contains("first"), qPrintable(error));
    QCOMPARE(m_settings->value("Brindle/Repositories").toStringList(),
             QStringList({"first|http://h/palvexos/examples|"}));
    QVERIFY(!m_settings->contains("Help/InstalledExamples"));
}

QTEST_MAIN(tst_Welcome)

#include "tst_welcome.moc"
