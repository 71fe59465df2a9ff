// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"
#include "optionswidget.h"
#include "plugin.h"

#include "gitlabserver.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Brindle::Internal;
using Names = QSet<QString>;

static const QDateTime ONLINE = QDateTime::fromString("2024-03-01T12:00:00Z", Qt::ISODate);
static const int TIMEOUT = 20000;

// Answers the next modal dialog or popup menu once it shows; false if none showed.
template<typename Trigger, typename Respond>
static bool answer(QWidget *(*active)(), Trigger trigger, Respond respond)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *widget = active()) {
            poll.stop();
            respond(widget);
        }
    });
    poll.start(10);
    trigger();
    return !poll.isActive();
}

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

    // In code-unit order: the list itself sorts by the user's locale.
    QStringList texts(bool onlyHidden = false) const
    {
        QStringList result;
        for (int row = 0; row < list->count(); ++row) {
            if (!onlyHidden || list->item(row)->isHidden())
                result.append(list->item(row)->text());
        }
        result.sort();
        return result;
    }
    QListWidgetItem *item(const QString &text) const { return list->findItems(text, {}).value(0); }
    void select(const QStringList &texts) const
    {
        list->clearSelection();
        for (const QString &text : texts)
            item(text)->setSelected(true);
    }
    // Chooses "Open location..." through the menu's action, then closes the menu: neither
    // the pointer nor the menu's own key handling (style, fonts, hover) plays a part.
    bool openLocation(const QString &under) const
    {
        const QPoint pos = list->visualItemRect(item(under)).center();
        const auto choose = [](QWidget *popup) {
            auto menu = qobject_cast<QMenu *>(popup);
            const QList<QAction *> actions = menu ? menu->actions() : QList<QAction *>();
            if (actions.size() == 1 && actions.first()->text() == "Open location...")
                actions.first()->trigger();
            popup->close();
        };
        return answer(
            &QApplication::activePopupWidget,
            [&] { emit list->customContextMenuRequested(pos); },
            choose);
    }
    bool addThroughDialog(const QStringList &names) const
    {
        const auto choose = [&names](QWidget *dialog) {
            auto list = dialog->findChild<QListWidget *>("examplesListWidget");
            for (const QString &name : names) {
                for (QListWidgetItem *item : list->findItems(name, Qt::MatchExactly))
                    item->setSelected(true);
            }
            qobject_cast<QDialog *>(dialog)->accept();
        };
        return answer(
            &QApplication::activeModalWidget, [this] { add->click(); }, choose);
    }
};

static QString
installExample(const QString &repository, const QString &name, const QDateTime &modified = {})
{
    const QString folder = Settings::repositoryPath(repository) + '/' + name;
    QDir().mkpath(folder);
    QFile manifest(folder + "/examples-manifest.xml");
    if (manifest.open(QIODevice::WriteOnly) && modified.isValid())
        manifest.setFileTime(modified, QFileDevice::FileModificationTime);
    return folder;
}

static void store(const QStringList &repositories, quint32 interval)
{
    Core::ICore::settings()->setValue("Brindle/Repositories", repositories);
    Core::ICore::settings()->setValue("Brindle/UpdatesCheckTimeoutDays", interval);
}

class tst_OptionsWidget : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened.append(url); } // what "Open location..." opens

private:
    QString repository(const QString &name, const QString &group, const QString &removed = {})
    {
        return name + '|' + server.baseUrl().toString() + '/' + group + '|' + removed;
    }
    // Starts the plugin as the host does and waits until the named repositories are listed.
    bool startPlugin(const QStringList &listed)
    {
        plugin = std::make_unique<Plugin>();
        QString error;
        const auto allListed = [&] {
            return std::none_of(listed.cbegin(), listed.cend(), [](const QString &name) {
                return Plugin::downloadService()->examples(name).isEmpty();
            });
        };
        return plugin->initialize({}, &error) && QTest::qWaitFor(allListed, TIMEOUT);
    }

    GitLab::Server server;
    std::unique_ptr<Plugin> plugin;
    std::unique_ptr<QSignalSpy> documentation;
    QList<QUrl> opened;

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen());
        for (const QString &path : {"alpha", "beta", "gamma", "epsilon"}) {
            GitLab::Project project{.path = path, .lastActivity = ONLINE};
            project.files = {{"CMakeLists.txt", "project(x)\n"}};
            server.addProject(path == QString("epsilon") ? "acme/tools" : "acme/widgets", project);
        }
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void init()
    {
        Core::ICore::settings()->clear();
        // The texts compared are the untranslated ones, whatever the user's locale.
        Core::ICore::settings()->setValue("General/OverrideLanguage", "en");
        QDir(Settings::repositoryPath(QString())).removeRecursively();
        server.clearFaults();
        opened.clear();
        documentation = std::make_unique<QSignalSpy>(Core::HelpManager::Signals::instance(),
                                                     SIGNAL(documentationChanged()));
    }
    void cleanup() { plugin.reset(); }

    void listsInstalledFoldersWithEscapedToolTipsAndFilters()
    {
        store({repository("widgets", "acme/widgets"), "a<b>&c|http://127.0.0.1:9/w?x=1&y=2|"}, 0);
        for (const QString &name : {"ABC-tool", "nested/my-abc-demo", "demo", ".hidden/x"})
            installExample("widgets", name);
        const QString odd = QDir(installExample("a<b>&c", "x<i>y")).canonicalPath();

        Page page;
        QCOMPARE(page.combo->currentText(), QString("a<b>&c")); // the first name in order
        const QString tip = page.combo->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY(tip.contains("a&lt;b&gt;&amp;c") && tip.contains("x=1&amp;y=2"));
        QVERIFY(page.item("x<i>y")); // scanned in the folder the service installs into
        QCOMPARE(page.item("x<i>y")->data(Qt::UserRole).toString(), odd);
        QVERIFY(page.item("x<i>y")->toolTip().contains(odd.toHtmlEscaped()));

        page.combo->setCurrentText("widgets");
        QCOMPARE(page.texts(), QStringList({"ABC-tool", "demo", "my-abc-demo"}));
        page.filter->setText("abc");
        QCOMPARE(page.texts(true), QStringList("demo"));
        page.filter->clear();
        QCOMPARE(page.texts(true), QStringList());

        // The help system hears of each scan that found a change, and only of those.
        installExample("widgets", "beta");
        page.widget.scanInstalledExamples();
        page.widget.scanInstalledExamples();
        QCOMPARE(documentation->count(), 2);
    }

    void updateStateFollowsOnlineActivity_data()
    {
        QTest::addColumn<qint64>("manifestAgeMs");      // how long before the online activity
        QTest::addColumn<QByteArray>("onlineActivity"); // replaces the server's value when set
        QTest::addColumn<bool>("updateAvailable");
        // clang-format off
        QTest::newRow("online later") << qint64(3600000) << QByteArray() << true;
        QTest::newRow("equal") << qint64(0) << QByteArray() << false;
        QTest::newRow("online earlier") << qint64(-3600000) << QByteArray() << false;
        QTest::newRow("online activity invalid") << qint64(3600000) << QByteArray("soon") << false;
        // clang-format on
    }
    void updateStateFollowsOnlineActivity()
    {
        QFETCH(qint64, manifestAgeMs);
        QFETCH(QByteArray, onlineActivity);
        QFETCH(bool, updateAvailable);

        if (!onlineActivity.isEmpty()) {
            QByteArray body = R"({"id": 1, "projects": [{"id": 5, "path": "beta", "name": "Beta",
                "web_url": "beta.html", "last_activity_at": "%1"}]})";
            body.replace("%1", onlineActivity);
            server.addFault("^/api/v4/groups/\\d+$", {.status = 200, .body = body});
        }
        store({repository("widgets", "acme/widgets")}, 0);
        const QDateTime modified = ONLINE.addMSecs(-manifestAgeMs);
        installExample("widgets", "beta", modified);
        QVERIFY(startPlugin({"widgets"}));

        Page page;
        const QListWidgetItem *beta = page.item("beta");
        QVERIFY(beta->toolTip().contains(modified.toLocalTime().toString(Qt::TextDate)));
        QVERIFY(beta->toolTip().contains(updateAvailable ? "Update available<" : "Updated<"));
        QCOMPARE(beta->background(), updateAvailable ? QBrush(QColor(226, 178, 182)) : QBrush());
    }

    void editsCancelOutOpenLocationFollowsSelectionApplyDoesNothing()
    {
        store({repository("widgets", "acme/widgets", "old")}, 3);
        for (const QString &name : {"alpha", "Beta", "delta", "zeta"})
            installExample("widgets", name);
        QVERIFY(startPlugin({"widgets"}));
        Page page;
        const auto pending = [&page] { // what to install, what to remove
            const auto info = page.widget.pageSettings().repositories.value("widgets");
            return QList<Names>{info.examplesToInstall, info.examplesToRemove};
        };

        QVERIFY(page.addThroughDialog({"beta"})); // listed already, as "Beta"
        QCOMPARE(page.texts(), QStringList({"Beta", "alpha", "delta", "zeta"}));
        QCOMPARE(pending(), QList<Names>({{}, {}}));
        page.select({"alpha"});
        page.remove->click();
        QCOMPARE(page.texts(), QStringList({"Beta", "delta", "zeta"}));
        QCOMPARE(pending(), QList<Names>({{}, {"alpha"}}));
        QVERIFY(page.addThroughDialog({"alpha", "gamma"}));
        QCOMPARE(pending(), QList<Names>({{"gamma"}, {}}));

        // Only the selection opens, not the item under the cursor; gamma has no folder yet.
        page.select({"zeta", "gamma", "Beta"});
        QTest::ignoreMessage(QtDebugMsg, "Unable to open location: \"\"");
        QVERIFY(page.openLocation("delta"));
        const auto folder = [&page](const QString &text) {
            return QUrl::fromLocalFile(page.item(text)->data(Qt::UserRole).toString());
        };
        QCOMPARE(opened, QList<QUrl>({folder("zeta"), folder("Beta")}));

        page.select({"gamma"});
        page.remove->click();
        QCOMPARE(pending(), QList<Names>({{}, {}}));
        page.spin->setValue(0);
        documentation->clear();
        page.widget.apply();
        QCOMPARE(documentation->count(), 0);
        QVERIFY(QFileInfo::exists(Settings::repositoryPath("widgets") + "/alpha"));
        Settings stored;
        stored.load(Core::ICore::settings());
        QCOMPARE(stored.updatesCheckTimeoutDays, 0u);
        QCOMPARE(stored.repositories.value("widgets").removedExamples, Names({"old"}));
    }

    void rowsTheFilterHidesAreNeitherOpenedNorRemoved()
    {
        store({repository("widgets", "acme/widgets")}, 3);
        QList<QUrl> shown;
        for (const QString &name : {"alpha", "beta", "delta", "zeta"}) {
            const QString folder = installExample("widgets", name);
            if (name != QString("alpha"))
                shown.append(QUrl::fromLocalFile(QDir(folder).canonicalPath()));
        }
        Page page;
        page.filter->setText("TA");
        QCOMPARE(page.texts(true), QStringList("alpha"));
        page.list->selectAll(); // selects the hidden row too

        QVERIFY(page.openLocation("delta"));
        std::sort(opened.begin(), opened.end());
        QCOMPARE(opened, shown);
        page.remove->click();
        QCOMPARE(page.texts(), QStringList("alpha"));
        QCOMPARE(page.widget.pageSettings().repositories.value("widgets").examplesToRemove,
                 Names({"beta", "delta", "zeta"}));
        page.widget.apply();
        QVERIFY(QFileInfo::exists(Settings::repositoryPath("widgets") + "/alpha"));
        QVERIFY(!QFileInfo::exists(Settings::repositoryPath("widgets") + "/beta"));
    }

    void appliedEditsAreDoneWith()
    {
        store({repository("widgets", "acme/widgets", "old")}, 3);
        const QString alpha = installExample("widgets", "alpha");
        const QString beta = Settings::repositoryPath("widgets") + "/beta";
        QVERIFY(startPlugin({"widgets"}));
        Page page;
        const auto removed = [] {
            Settings stored;
            stored.load(Core::ICore::settings());
            return stored.repositories.value("widgets").removedExamples;
        };

        page.select({"alpha"});
        page.remove->click();
        page.widget.apply();
        QVERIFY(!QFileInfo::exists(alpha));
        QCOMPARE(removed(), Names({"alpha", "old"}));

        // Adding back what an Apply removed installs it again.
        QVERIFY(page.addThroughDialog({"alpha", "beta"}));
        page.widget.apply();
        QCOMPARE(removed(), Names({"old"}));
        QTRY_VERIFY_WITH_TIMEOUT(page.item("beta") && page.item("alpha")
                                     && !page.item("beta")->data(Qt::UserRole).isNull(),
                                 TIMEOUT);

        // Removing what an Apply added deletes it.
        page.select({"beta"});
        page.remove->click();
        page.widget.apply();
        QVERIFY(!QFileInfo::exists(beta));
        QVERIFY(QFileInfo::exists(alpha + "/examples-manifest.xml"));
        QCOMPARE(removed(), Names({"beta", "old"}));

        // A further Apply (OK after Apply) has nothing left to carry out.
        documentation->clear();
        page.widget.apply();
        QCOMPARE(documentation->count(), 0);
    }

    void applyCarriesOutEditsAndWritesOnlyWhatThePageOwns()
    {
        QStringList repositories = {repository("widgets", "acme/widgets", "old"),
                                    repository("tools", "acme/tools", "epsilon|zeta")};
        store(repositories, 0);
        const QString alpha = installExample("widgets", "alpha");
        const QString beta = installExample("widgets", "beta");
        QVERIFY(startPlugin({"widgets", "tools"}));
        Page page;
        page.combo->setCurrentText("tools");
        QVERIFY(page.addThroughDialog({"epsilon"}));
        page.combo->setCurrentText("widgets");
        page.select({"alpha"});
        page.remove->click();
        page.spin->setValue(7);
        // Another holder writes while the page is open.
        store(repositories << repository("extra", "acme/extra"), 0);
        Utils::QtcSettings *settings = Core::ICore::settings();
        settings->setValue("Brindle/ServiceRestartTimeoutSeconds", 90);
        settings->setValue("Brindle/UpdatesCheckedDate", QStringList("widgets|05.03.2024"));
        documentation->clear();

        page.widget.apply();

        QCOMPARE(documentation->count(), 2); // once per repository with edits, removals too
        QVERIFY(!QFileInfo::exists(alpha));
        QVERIFY(QFileInfo::exists(beta + "/examples-manifest.xml"));
        Settings stored;
        stored.load(Core::ICore::settings());
        QCOMPARE(stored.updatesCheckTimeoutDays, 7u);
        QCOMPARE(stored.repositories.value("widgets").removedExamples, Names({"alpha", "old"}));
        QCOMPARE(stored.repositories.value("tools").removedExamples, Names({"zeta"}));
        QCOMPARE(stored.serviceRestartTimeoutSeconds, 90u);
        QCOMPARE(stored.lastCheckedDates.value("widgets"), QDate(2024, 3, 5));
        QVERIFY(stored.repositories.contains("extra"));
        // The service installs the addition in its own repository; the page lists it then.
        page.combo->setCurrentText("tools");
        QTRY_VERIFY_WITH_TIMEOUT(page.item("epsilon"), TIMEOUT);
    }

    void emptyTableExplainsAndStoresNoRepository()
    {
        store({}, 4000000000u);
        Page page;
        QCOMPARE(page.spin->value(), 99);                  // clamped, not wrapped
        const auto closeBox = [](QMessageBox::Icon icon) { // non-blocking, but window modal
            auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            const QString title = box && box->icon() == icon ? box->windowTitle() : QString();
            delete box;
            return title;
        };
        QVERIFY(!page.addThroughDialog({}));
        QCOMPARE(closeBox(QMessageBox::Warning), QString("Examples Not Found"));
        page.remove->click();
        QCOMPARE(closeBox(QMessageBox::Information), QString("Examples Not Selected"));

        // The empty name looked up must not become a repository that Apply stores; the
        // interval the spin box cannot show stays as stored.
        page.widget.apply();
        QVERIFY(page.widget.pageSettings().repositories.isEmpty());
        QVERIFY(Core::ICore::settings()->value("Brindle/Repositories").toStringList().isEmpty());
        QCOMPARE(Core::ICore::settings()->value("Brindle/UpdatesCheckTimeoutDays").toUInt(),
                 4000000000u);
    }
};

QTEST_MAIN(tst_OptionsWidget)

#include "tst_optionswidget.moc"
