// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"
#include "examplesdialog.h"
#include "optionswidget.h"
#include "plugin.h"
#include "settings.h"

#include "gitlabserver.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Brindle::Internal;

static const QDateTime ONLINE = QDateTime::fromString("2024-03-01T12:00:00Z", Qt::ISODate);
static const int TIMEOUT = 20000;
static QStringList pluginLog;

class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};

// One page and its controls, found by the names the user interface gives them.
struct Page
{
    OptionsWidget widget;
    QComboBox *combo = widget.findChild<QComboBox *>("repositoryComboBox");
    QListWidget *list = widget.findChild<QListWidget *>("examplesListWidget");
    QLineEdit *filter = widget.findChild<QLineEdit *>("filterLineEdit");
    QPushButton *add = widget.findChild<QPushButton *>("addButton");
    QPushButton *remove = widget.findChild<QPushButton *>("removeButton");
    QSpinBox *spin = widget.findChild<QSpinBox *>("timeoutSpinBox");

    QStringList texts(bool onlyHidden = false) const
    {
        QStringList result;
        for (int row = 0; row < list->count(); ++row) {
            if (!onlyHidden || list->item(row)->isHidden())
                result.append(list->item(row)->text());
        }
        return result;
    }
    QListWidgetItem *item(const QString &text) const
    {
        const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
        return items.size() == 1 ? items.first() : nullptr;
    }
    void select(const QStringList &texts) const
    {
        list->clearSelection();
        for (const QString &text : texts)
            item(text)->setSelected(true);
    }
    QSet<QString> toInstall(const QString &name) const
    {
        return widget.pageSettings().repositories.value(name).examplesToInstall;
    }
    QSet<QString> toRemove(const QString &name) const
    {
        return widget.pageSettings().repositories.value(name).examplesToRemove;
    }

    // Answers the next modal dialog or popup menu once it shows; false if none showed.
    template<typename Trigger, typename Answer>
    static bool answer(QWidget *(*active)(), Trigger trigger, Answer respond)
    {
        bool shown = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *widget = active()) {
                poll.stop();
                shown = true;
                respond(widget);
            }
        });
        poll.start(10);
        trigger();
        return shown;
    }
    bool addThroughDialog(const QStringList &names) const
    {
        return answer(&QApplication::activeModalWidget, [this] { add->click(); },
                      [&names](QWidget *dialog) {
                          auto list = dialog->findChild<QListWidget *>("examplesListWidget");
                          for (const QString &name : names) {
                              for (QListWidgetItem *item : list->findItems(name, Qt::MatchExactly))
                                  item->setSelected(true);
                          }
                          dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)
                              ->click();
                      });
    }
    bool openLocation(const QString &under) const
    {
        const QPoint pos = list->visualItemRect(item(under)).center();
        return answer(
            &QApplication::activePopupWidget,
            [&] {
                QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list->mapToGlobal(pos));
                QApplication::sendEvent(list->viewport(), &event);
            },
            [](QWidget *menu) {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            });
    }
};

static QMessageBox *messageBox(const QString &title)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto box = qobject_cast<QMessageBox *>(widget);
        if (box && box->isVisible() && box->windowTitle() == title)
            return box;
    }
    return nullptr;
}

static QString installExample(const QString &repository, const QString &name,
                              const QDateTime &modified = {})
{
    const QString folder = Settings::location().arg(repository) + '/' + name;
    QDir().mkpath(folder);
    QFile manifest(folder + "/examples-manifest.xml");
    if (!manifest.open(QIODevice::WriteOnly))
        return {};
    manifest.write("<?xml version=\"1.0\"?>\n<instructionals module=\"Qt\"/>\n");
    manifest.flush();
    if (modified.isValid())
        manifest.setFileTime(modified, QFileDevice::FileModificationTime);
    return folder;
}

static Settings storedSettings()
{
    Settings stored;
    stored.load(Core::ICore::settings());
    return stored;
}

class tst_OptionsWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void spinBoxShowsStoredIntervalClamped_data();
    void spinBoxShowsStoredIntervalClamped();
    void scanListsManifestFoldersAndNotifiesOnChange();
    void updateStateFollowsOnlineActivity_data();
    void updateStateFollowsOnlineActivity();
    void filterHidesRowsCaseInsensitively();
    void pendingEditsCancelOutAndApplyNothing();
    void openLocationOpensFoldersOfSelection();
    void applyCarriesOutPendingEditsPerRepository();
    void toolTipsShowMarkupAsText();
    void applyKeepsValuesItDoesNotOwn();
    void emptyTableExplainsAndStoresNoRepository();

private:
    QString repository(const QString &name, const QString &group,
                       const QStringList &removed = {}) const
    {
        return name + '|' + server.baseUrl().toString() + '/' + group + '|' + removed.join('|');
    }
    void store(const QStringList &repositories, quint32 interval);
    bool startPlugin(const QStringList &listed);
    bool archiveRequested(const QString &project) const;

    GitLab::Server server;
    QHash<QString, qint64> projectIds;
    std::unique_ptr<Plugin> plugin;
};

void tst_OptionsWidget::initTestCase()
{
    QVERIFY(server.listen());
    const QList<QPair<QString, QStringList>> groups = {{"acme/widgets", {"alpha", "beta", "gamma"}},
                                                       {"acme/tools", {"delta", "epsilon"}}};
    for (const auto &[group, projects] : groups) {
        for (const QString &path : projects) {
            GitLab::Project project;
            project.path = path;
            project.name = path.toUpper();
            project.lastActivity = ONLINE;
            project.files = {{"CMakeLists.txt", "project(" + path.toUtf8() + ")\n"}};
            projectIds.insert(path, server.addProject(group, project));
        }
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
        if (QByteArray(context.category).startsWith("oskel.brindle.plugin"))
            pluginLog.append(text);
    });
}

void tst_OptionsWidget::init()
{
    Core::ICore::settings()->clear();
    Core::ICore::settings()->sync();
    QDir(Settings::location().arg(QString())).removeRecursively();
    server.clearFaults();
    server.clearRequests();
    pluginLog.clear();
}

void tst_OptionsWidget::cleanup()
{
    plugin.reset();
    QList<QPointer<QWidget>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        windows.append(widget);
    for (const QPointer<QWidget> &widget : std::as_const(windows)) {
        if (qobject_cast<QMessageBox *>(widget)) // left open by a test
            delete widget;
    }
    QLoggingCategory::setFilterRules(QString());
}

void tst_OptionsWidget::store(const QStringList &repositories, quint32 interval)
{
    Utils::QtcSettings *settings = Core::ICore::settings();
    settings->beginGroup("Brindle");
    settings->setValue("Repositories", repositories);
    settings->setValue("UpdatesCheckTimeoutDays", interval);
    settings->endGroup();
    settings->sync();
}

// Starts the plugin as the host does and waits until the named repositories are listed.
bool tst_OptionsWidget::startPlugin(const QStringList &listed)
{
    plugin = std::make_unique<Plugin>();
    QString error;
    if (!plugin->initialize({}, &error) || !Plugin::downloadService())
        return false;
    return QTest::qWaitFor([&] {
        return std::all_of(listed.cbegin(), listed.cend(), [](const QString &name) {
            return !Plugin::downloadService()->examples(name).isEmpty();
        });
    }, TIMEOUT);
}

bool tst_OptionsWidget::archiveRequested(const QString &project) const
{
    const QString path = QString("/api/v4/projects/%1/repository/archive").arg(projectIds[project]);
    const QList<GitLab::RecordedRequest> requests = server.requests();
    return std::any_of(requests.cbegin(), requests.cend(), [&](const auto &request) {
        return request.path.startsWith(path);
    });
}

void tst_OptionsWidget::spinBoxShowsStoredIntervalClamped_data()
{
    QTest::addColumn<quint32>("stored");
    QTest::addColumn<int>("shown");

    QTest::newRow("off") << 0u << 0;
    QTest::newRow("a week") << 7u << 7;
    QTest::newRow("above the range") << 150u << 99;
    QTest::newRow("above the int range") << 4000000000u << 99;
}

void tst_OptionsWidget::spinBoxShowsStoredIntervalClamped()
{
    QFETCH(quint32, stored);
    QFETCH(int, shown);

    store({}, stored);
    Page page;
    QCOMPARE(page.spin->value(), shown);
}

void tst_OptionsWidget::scanListsManifestFoldersAndNotifiesOnChange()
{
    store({repository("widgets", "acme/widgets"), repository("tools", "acme/tools")}, 0);
    installExample("widgets", "beta");
    installExample("widgets", "nested/deeper");
    installExample("widgets", ".hidden");
    QDir().mkpath(Settings::location().arg("widgets") + "/caps");
    QFile(Settings::location().arg("widgets") + "/caps/Examples-Manifest.xml")
        .open(QIODevice::WriteOnly);
    QVERIFY(startPlugin({"widgets", "tools"}));
    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);

    Page page;
    QCOMPARE(page.combo->currentText(), QString("tools")); // the first name in order
    QVERIFY(page.texts().isEmpty());
    QCOMPARE(documentation.count(), 1);

    page.combo->setCurrentText("widgets");
    QCOMPARE(page.texts(), QStringList({"beta", "deeper"}));
    const QString beta = QDir(Settings::location().arg("widgets") + "/beta").canonicalPath();
    QCOMPARE(page.item("beta")->data(Qt::UserRole).toString(), beta);
    QVERIFY(page.item("beta")->toolTip().contains(QDir::toNativeSeparators(beta)));

    page.widget.scanInstalledExamples(); // nothing changed on disk
    QCOMPARE(documentation.count(), 1);

    installExample("widgets", "alpha");
    emit Plugin::downloadService()->updated();
    QCOMPARE(page.texts(), QStringList({"alpha", "beta", "deeper"}));
    QCOMPARE(documentation.count(), 2);
}

void tst_OptionsWidget::updateStateFollowsOnlineActivity_data()
{
    QTest::addColumn<qint64>("manifestAgeMs"); // how long before the online activity
    QTest::addColumn<QByteArray>("onlineActivity"); // replaces the server's value when set
    QTest::addColumn<bool>("updateAvailable");

    QTest::newRow("online later") << qint64(3600000) << QByteArray() << true;
    QTest::newRow("online one second later") << qint64(1000) << QByteArray() << true;
    QTest::newRow("online less than a second later") << qint64(999) << QByteArray() << false;
    QTest::newRow("equal") << qint64(0) << QByteArray() << false;
    QTest::newRow("online earlier") << qint64(-3600000) << QByteArray() << false;
    QTest::newRow("online activity invalid") << qint64(3600000) << QByteArray("soon") << false;
}

void tst_OptionsWidget::updateStateFollowsOnlineActivity()
{
    QFETCH(qint64, manifestAgeMs);
    QFETCH(QByteArray, onlineActivity);
    QFETCH(bool, updateAvailable);

    if (!onlineActivity.isEmpty()) {
        GitLab::Fault listing;
        listing.status = 200;
        listing.headers = {{"Content-Type", "application/json"}};
        listing.body = R"({"id": 1, "projects": [{"id": 5, "path": "beta", "name": "Beta",
            "web_url": "http://gitlab.test/beta", "last_activity_at": ")" + onlineActivity + "\"}]}";
        server.addFault("^/api/v4/groups/\\d+$", listing);
    }
    store({repository("widgets", "acme/widgets")}, 0);
    const QDateTime modified = ONLINE.addMSecs(-manifestAgeMs);
    installExample("widgets", "beta", modified);
    installExample("widgets", "unlisted", ONLINE.addYears(-10));
    QVERIFY(startPlugin({"widgets"}));

    Page page;
    const QListWidgetItem *beta = page.item("beta");
    QVERIFY(beta);
    QVERIFY(beta->toolTip().contains(modified.toLocalTime().toString(Qt::TextDate)));
    QCOMPARE(beta->background(),
             updateAvailable ? QBrush(QColor(0xe2, 0xb2, 0xb6)) : QBrush());
    QCOMPARE(beta->toolTip().contains("Update available"), updateAvailable);
    QVERIFY(beta->toolTip().contains("Update"));
    // A folder that no online example bears is never out of date.
    QCOMPARE(page.item("unlisted")->background(), QBrush());
}

void tst_OptionsWidget::filterHidesRowsCaseInsensitively()
{
    store({repository("widgets", "acme/widgets")}, 0);
    for (const QString &name : {"my-abc-demo", "demo", "ABC-tool"})
        installExample("widgets", name);
    Page page;

    page.filter->setText("ABC");
    QCOMPARE(page.texts(true), QStringList("demo"));
    page.filter->setText("xyz");
    QCOMPARE(page.texts(true).size(), 3);
    page.filter->clear();
    QVERIFY(page.texts(true).isEmpty());
}

void tst_OptionsWidget::pendingEditsCancelOutAndApplyNothing()
{
    store({repository("widgets", "acme/widgets", {"old"})}, 3);
    const QString alpha = installExample("widgets", "alpha");
    installExample("widgets", "Beta");
    QVERIFY(startPlugin({"widgets"}));
    Page page;

    QVERIFY(page.addThroughDialog({"beta"})); // listed already, as "Beta"
    QCOMPARE(page.texts(), QStringList({"Beta", "alpha"}));
    QVERIFY(page.toInstall("widgets").isEmpty());

    page.select({"alpha"});
    page.remove->click();
    QCOMPARE(page.texts(), QStringList("Beta"));
    QCOMPARE(page.toRemove("widgets"), QSet<QString>({"alpha"}));
    QVERIFY(page.addThroughDialog({"alpha"}));
    QVERIFY(page.toRemove("widgets").isEmpty());
    QVERIFY(page.toInstall("widgets").isEmpty());
    QVERIFY(!page.item("alpha")->data(Qt::UserRole).isValid()); // a plain item now

    QVERIFY(page.addThroughDialog({"gamma"}));
    QCOMPARE(page.toInstall("widgets"), QSet<QString>({"gamma"}));
    page.select({"gamma"});
    page.remove->click();
    QVERIFY(page.toRemove("widgets").isEmpty());
    QVERIFY(page.toInstall("widgets").isEmpty());
    QVERIFY(!page.item("gamma"));

    // With nothing left pending, Apply only stores the interval.
    page.spin->setValue(0);
    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);
    page.widget.apply();
    QCOMPARE(documentation.count(), 0);
    QVERIFY(QFileInfo::exists(alpha + "/examples-manifest.xml"));
    QCOMPARE(storedSettings().updatesCheckTimeoutDays, 0u);
    QVERIFY(storedSettings().repositories.value("widgets").removedExamples.contains("old"));
    QVERIFY(!storedSettings().repositories.value("widgets").removedExamples.contains("alpha"));
}

void tst_OptionsWidget::openLocationOpensFoldersOfSelection()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "openUrl");
    auto unregister = qScopeGuard([] { QDesktopServices::unsetUrlHandler("file"); });
    store({repository("widgets", "acme/widgets")}, 0);
    installExample("widgets", "alpha");
    installExample("widgets", "beta");
    QVERIFY(startPlugin({"widgets"}));
    Page page;
    page.widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.widget));
    QVERIFY(page.addThroughDialog({"gamma"}));

    page.select({"beta", "alpha"});
    QVERIFY(page.openLocation("gamma"));
    QList<QUrl> expected;
    for (const QListWidgetItem *item : page.list->selectedItems())
        expected.append(QUrl::fromLocalFile(item->data(Qt::UserRole).toString()));
    QCOMPARE(expected.size(), 2);
    QCOMPARE(recorder.opened, expected);

    // A pending addition has no folder yet: nothing opens, the attempt is logged.
    recorder.opened.clear();
    QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
    page.select({"gamma"});
    QVERIFY(page.openLocation("gamma"));
    QVERIFY(recorder.opened.isEmpty());
    QCOMPARE(pluginLog.filter("Unable to open location:"),
             QStringList("Unable to open location: \"\""));
}

void tst_OptionsWidget::applyCarriesOutPendingEditsPerRepository()
{
    store({repository("widgets", "acme/widgets", {"gamma", "old"}),
           repository("tools", "acme/tools", {"zeta"})},
          0);
    const QString alpha = installExample("widgets", "alpha");
    const QString beta = installExample("widgets", "beta");
    QVERIFY(startPlugin({"widgets", "tools"}));
    Page page;
    page.combo->setCurrentText("widgets");
    page.select({"alpha"});
    page.remove->click();
    QVERIFY(page.addThroughDialog({"gamma"}));
    page.combo->setCurrentText("tools");
    QVERIFY(page.addThroughDialog({"epsilon"}));
    page.spin->setValue(7);
    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);

    page.widget.apply();

    QCOMPARE(documentation.count(), 2); // once per repository with pending edits
    QVERIFY(!QFileInfo::exists(alpha));
    QVERIFY(QFileInfo::exists(beta + "/examples-manifest.xml"));
    for (const QFileInfo &manifest : page.widget.pageSettings().repositories["widgets"].manifests)
        QVERIFY(!manifest.absoluteFilePath().startsWith(alpha + '/'));
    const Settings stored = storedSettings();
    QCOMPARE(stored.updatesCheckTimeoutDays, 7u);
    const QSet<QString> removed = stored.repositories.value("widgets").removedExamples;
    QVERIFY(removed.contains("alpha") && removed.contains("old"));
    QVERIFY(!removed.contains("gamma")); // installing takes it out again
    QVERIFY(stored.repositories.value("tools").removedExamples.contains("zeta"));
    // The service was asked for each repository's additions.
    QTRY_VERIFY_WITH_TIMEOUT(archiveRequested("gamma"), TIMEOUT);
    QTRY_VERIFY_WITH_TIMEOUT(archiveRequested("epsilon"), TIMEOUT);
}

void tst_OptionsWidget::toolTipsShowMarkupAsText()
{
    store({"a<b>&c|http://127.0.0.1:9/acme/w?x=1&y=2|"}, 0);
    const QString folder = installExample("a<b>&c", "x<i>y");
    Page page;

    const QString repositoryTip = page.combo->itemData(0, Qt::ToolTipRole).toString();
    QVERIFY2(repositoryTip.contains("a&lt;b&gt;&amp;c"), qPrintable(repositoryTip));
    QVERIFY2(repositoryTip.contains("x=1&amp;y=2"), qPrintable(repositoryTip));
    const QString exampleTip = page.item("x<i>y")->toolTip();
    QVERIFY2(exampleTip.contains(QDir(folder).canonicalPath().toHtmlEscaped()),
             qPrintable(exampleTip));
    QVERIFY(!exampleTip.contains("<i>") && !exampleTip.contains("<b>"));
}

void tst_OptionsWidget::applyKeepsValuesItDoesNotOwn()
{
    store({repository("widgets", "acme/widgets", {"old"})}, 2);
    const QString alpha = installExample("widgets", "alpha");
    Page page;

    // Another holder writes while the page is open.
    Utils::QtcSettings *settings = Core::ICore::settings();
    settings->beginGroup("Brindle");
    settings->setValue("ServiceRestartTimeoutSeconds", 90);
    settings->setValue("UpdatesCheckedDate", QStringList({"widgets|05.03.2024", "tools|06.03.2024"}));
    settings->setValue("Repositories", QStringList({repository("widgets", "acme/widgets", {"old"}),
                                                    repository("tools", "acme/tools")}));
    settings->endGroup();
    settings->sync();

    page.select({"alpha"});
    page.remove->click();
    page.spin->setValue(4);
    QSignalSpy documentation(Core::HelpManager::Signals::instance(),
                             &Core::HelpManager::Signals::documentationChanged);
    page.widget.apply();

    QCOMPARE(documentation.count(), 1); // a removal alone still tells the help system
    QVERIFY(!QFileInfo::exists(alpha));
    const Settings stored = storedSettings();
    QCOMPARE(stored.updatesCheckTimeoutDays, 4u);
    QCOMPARE(stored.serviceRestartTimeoutSeconds, 90u);
    QCOMPARE(stored.lastCheckedDates.value("widgets"), QDate(2024, 3, 5));
    QCOMPARE(stored.lastCheckedDates.value("tools"), QDate(2024, 3, 6));
    QVERIFY(stored.repositories.contains("tools"));
    const QSet<QString> removed = stored.repositories.value("widgets").removedExamples;
    QVERIFY(removed.contains("alpha") && removed.contains("old"));
}

void tst_OptionsWidget::emptyTableExplainsAndStoresNoRepository()
{
    store({}, 1);
    {
        Page page;
        QCOMPARE(page.combo->count(), 0);
        QVERIFY(!page.addThroughDialog({"alpha"}));
        QMessageBox *warning = messageBox("Examples Not Found");
        QVERIFY(warning);
        QCOMPARE(warning->text(), QString("Check your online connection and try again later!"));
        QCOMPARE(warning->icon(), QMessageBox::Warning);
        page.remove->click();
        QMessageBox *information = messageBox("Examples Not Selected");
        QVERIFY(information);
        QCOMPARE(information->text(), QString("Select examples to remove, press Remove button, "
                                              "then press Apply button to apply changes."));
        QCOMPARE(information->icon(), QMessageBox::Information);

        page.widget.apply();
        QVERIFY(page.widget.pageSettings().repositories.isEmpty());
        QVERIFY(storedSettings().repositories.isEmpty());
        Utils::QtcSettings *settings = Core::ICore::settings();
        const QStringList raw = settings->value("Brindle/Repositories").toStringList();
        QVERIFY2(raw.filter(QRegularExpression("^\\|")).isEmpty(), qPrintable(raw.join(", ")));
    }

    // A name that the table lacks is looked at but never added.
    store({repository("widgets", "acme/widgets")}, 1);
    Page page;
    page.widget.showExamples("ghost");
    page.widget.scanInstalledExamples();
    page.widget.apply();
    QCOMPARE(page.widget.pageSettings().repositories.keys(), QStringList("widgets"));
    QCOMPARE(storedSettings().repositories.keys(), QStringList("widgets"));
}

QTEST_MAIN(tst_OptionsWidget)

#include "tst_optionswidget.moc"
