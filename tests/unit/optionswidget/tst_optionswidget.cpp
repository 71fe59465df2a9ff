// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "downloadservice.h"
#include "examplesdialog.h"
#include "optionswidget.h"
#include "plugin.h"
#include "tokenstore.h"

#include "gitlabserver.h"

#include <coreplugin/helpmanager.h>
#include <coreplugin/icore.h>
#include <utils/infolabel.h>
#include <utils/qtcsettings.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
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
    QPushButton *update = widget.findChild<QPushButton *>("updateButton");
    QLabel *status = widget.findChild<QLabel *>("statusLabel");
    QSpinBox *spin = widget.findChild<QSpinBox *>("timeoutSpinBox");

    // The rows as shown, pending ones with their mark, in code-unit order: the list itself
    // sorts by the user's locale.
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
    QStringList selected() const
    {
        QStringList result;
        for (const QListWidgetItem *item : list->selectedItems())
            result.append(name(item));
        result.sort();
        return result;
    }
    static QString name(const QListWidgetItem *item)
    {
        return item->data(OptionsWidget::NameRole).toString();
    }
    QListWidgetItem *item(const QString &example) const
    {
        for (int row = 0; row < list->count(); ++row) {
            if (name(list->item(row)) == example)
                return list->item(row);
        }
        return nullptr;
    }
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
                for (int row = 0; row < list->count(); ++row) {
                    QListWidgetItem *item = list->item(row);
                    if (item->data(ExamplesDialog::NameRole).toString() == name)
                        item->setSelected(true);
                }
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

// Checked today: with as many folders as listed examples, no update is due.
static void checkedToday(const QStringList &names)
{
    QStringList dates;
    for (const QString &name : names)
        dates.append(name + '|' + QDate::currentDate().toString("dd.MM.yyyy"));
    Core::ICore::settings()->setValue("Brindle/UpdatesCheckedDate", dates);
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
    // Starts the plugin as the host does and waits until the named repositories are listed
    // and whatever the update decision started is installed: a page opened then sees no
    // background work unless a test starts some.
    bool startPlugin(const QStringList &listed)
    {
        plugin = std::make_unique<Plugin>();
        QString error;
        const auto allListed = [&] {
            return std::none_of(listed.cbegin(),
                                listed.cend(),
                                [](const QString &name) {
                                    return Plugin::downloadService()->examples(name).isEmpty();
                                })
                   && !Plugin::downloadService()->isBusy();
        };
        return plugin->initialize({}, &error) && QTest::qWaitFor(allListed, TIMEOUT);
    }

    // Closes the message box the page opened without blocking; its title, or empty.
    static QString closeBox(QMessageBox::Icon icon)
    {
        auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        const QString title = box && box->icon() == icon ? box->windowTitle() : QString();
        delete box;
        return title;
    }

    GitLab::Server server;
    QHash<QString, qint64> projectIds;
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
            projectIds.insert(
                path,
                server.addProject(path == QString("epsilon") ? "acme/tools" : "acme/widgets",
                                  project));
        }
        server.addGroup("acme/private", "Private", false);
        GitLab::Project secret{.path = "secret", .lastActivity = ONLINE, .isPublic = false};
        server.addProject("acme/private", secret);
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        QDesktopServices::setUrlHandler("http", this, "openUrl");
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("http");
    }
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
        // Told in words, which a screen reader reads and any palette shows.
        QCOMPARE(beta->text(), updateAvailable ? "beta (update available)" : "beta");
        QCOMPARE(beta->background(), QBrush());
        QCOMPARE(page.update->isEnabled(), false);
        page.select({"beta"});
        QCOMPARE(page.update->isEnabled(), true);
        page.update->click();
        QCOMPARE(beta = page.item("beta"), page.item("beta"));
        QCOMPARE(page.item("beta")->text(), "beta (will be updated)");
        QCOMPARE(page.widget.pageSettings().repositories.value("widgets").examplesToInstall,
                 Names({"beta"}));
    }

    void editsCancelOutOpenLocationFollowsSelectionApplyDoesNothing()
    {
        store({repository("widgets", "acme/widgets", "old")}, 3);
        checkedToday({"widgets"});
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
        QCOMPARE(page.texts(), QStringList({"Beta", "alpha (will be removed)", "delta", "zeta"}));
        QCOMPARE(pending(), QList<Names>({{}, {"alpha"}}));
        QVERIFY(page.addThroughDialog({"alpha", "gamma"}));
        QCOMPARE(pending(), QList<Names>({{"gamma"}, {}}));
        QCOMPARE(page.texts(),
                 QStringList({"Beta", "alpha", "delta", "gamma (will be installed)", "zeta"}));
        page.filter->setText("install"); // the marks are not searched
        QCOMPARE(page.texts(true), page.texts());
        page.filter->clear();

        // Only the selection opens, not the item under the cursor; gamma has no folder yet,
        // so its web page opens.
        page.select({"zeta", "gamma", "Beta"});
        QVERIFY(page.openLocation("delta"));
        const auto folder = [&page](const QString &text) {
            return QUrl::fromLocalFile(page.item(text)->data(Qt::UserRole).toString());
        };
        std::sort(opened.begin(), opened.end());
        QList<QUrl> expected{
            folder("zeta"), folder("Beta"), server.baseUrl().resolved(QUrl("/acme/widgets/gamma"))};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(opened, expected);

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

    // Whatever rebuilds the list between the user's steps keeps the edits in view, with the
    // filter, the selection and the current row; adding back an example that a rebuild
    // listed again still cancels its removal.
    void eventsBetweenStepsKeepEditsInView_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("update finished") << "updated";
        QTest::newRow("token applied, listed again") << "token";
        QTest::newRow("repository switch") << "switch";
        QTest::newRow("rescan") << "rescan";
    }
    void eventsBetweenStepsKeepEditsInView()
    {
        QFETCH(QString, event);
        store({repository("widgets", "acme/widgets"), repository("tools", "acme/tools")}, 3);
        checkedToday({"widgets", "tools"});
        for (const QString &name : {"alpha", "beta", "delta", "zeta"})
            installExample("widgets", name);
        installExample("tools", "epsilon");
        QVERIFY(startPlugin({"widgets", "tools"}));
        Page page;
        QCOMPARE(page.combo->currentText(), "tools");
        page.combo->setCurrentText("widgets");
        DownloadService *service = Plugin::downloadService();
        const auto happen = [&] {
            if (event == "updated") {
                emit service->updated();
            } else if (event == "token") {
                // As after a keychain that answered late or a token applied: listed again.
                QSignalSpy updated(service, &DownloadService::updated);
                service->setAccessToken("widgets", QString());
                QVERIFY(updated.wait(TIMEOUT));
            } else if (event == "switch") {
                page.combo->setCurrentText("tools");
                QCOMPARE(page.texts(), QStringList("epsilon"));
                page.combo->setCurrentText("widgets");
            } else {
                page.widget.scanInstalledExamples();
            }
        };

        page.select({"alpha"});
        page.remove->click();
        happen();
        QVERIFY(page.addThroughDialog({"gamma"}));
        happen();
        page.filter->setText("ET");
        page.select({"beta"});
        page.list->setCurrentItem(page.item("zeta"), QItemSelectionModel::NoUpdate);
        happen();
        QCOMPARE(
            page.texts(),
            QStringList(
                {"alpha (will be removed)", "beta", "delta", "gamma (will be installed)", "zeta"}));
        QCOMPARE(page.texts(true),
                 QStringList({"alpha (will be removed)", "delta", "gamma (will be installed)"}));
        QCOMPARE(page.selected(), QStringList("beta"));
        QCOMPARE(Page::name(page.list->currentItem()), "zeta");

        page.filter->clear();
        QVERIFY(page.addThroughDialog({"alpha"}));
        happen();
        QCOMPARE(page.texts(),
                 QStringList({"alpha", "beta", "delta", "gamma (will be installed)", "zeta"}));
        page.widget.apply();
        QVERIFY(QFileInfo::exists(Settings::repositoryPath("widgets") + "/alpha"));
        Settings stored;
        stored.load(Core::ICore::settings());
        QVERIFY(!stored.repositories.value("widgets").removedExamples.contains("alpha"));
    }

    // The options dialog is modal, so the service holds updated() back while it is open: the
    // page follows what its Apply started from the service's word on each example.
    void afterApplyTheListFollowsTheInstallsWhileTheDialogIsOpen()
    {
        store({repository("widgets", "acme/widgets")}, 3);
        checkedToday({"widgets"});
        const QDateTime old = QDateTime::currentDateTime().addDays(-2);
        for (const QString &name : {"alpha", "beta", "delta"})
            installExample("widgets", name, old);
        QVERIFY(startPlugin({"widgets"}));
        const QString gammaArchive
            = QString("/api/v4/projects/%1/repository/archive").arg(projectIds.value("gamma"));
        server.addFault(
            [gammaArchive](const GitLab::RecordedRequest &request) {
                return request.path.startsWith(gammaArchive);
            },
            GitLab::Fault::status500());
        Page page;
        QVERIFY(page.addThroughDialog({"gamma"}));
        page.select({"beta"});
        page.update->click();
        page.select({"delta"});
        page.remove->click();

        page.widget.setWindowModality(Qt::ApplicationModal);
        page.widget.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &page.widget);
        QSignalSpy updated(Plugin::downloadService(), &DownloadService::updated);
        page.widget.apply();
        QCOMPARE(page.texts(),
                 QStringList({"alpha", "beta (installing...)", "gamma (installing...)"}));
        const QStringList ended{
            "alpha", "beta", "gamma (could not be installed: HTTP 500 Internal Server Error)"};
        QTRY_COMPARE_WITH_TIMEOUT(page.texts(), ended, TIMEOUT);
        QVERIFY(page.item("beta")->data(Qt::UserRole).toString().endsWith("/beta"));
        QVERIFY(QFileInfo(Settings::repositoryPath("widgets") + "/beta/examples-manifest.xml")
                    .lastModified()
                > old.addDays(1));
        // The reason on the page itself, and never "Up to date" after a failure
        const QString summary = "1 of 2 examples were installed or updated. gamma could not be "
                                "installed: HTTP 500 Internal Server Error.";
        QTRY_VERIFY_WITH_TIMEOUT(page.status->text().startsWith(summary), TIMEOUT);
        QCOMPARE(static_cast<Utils::InfoLabel *>(page.status)->type(), Utils::InfoLabel::Error);
        QCOMPARE(updated.count(), 0);
        {
            // Reopened, the page still knows how the round ended.
            Page again;
            QCOMPARE(again.texts(), ended);
            QVERIFY(again.status->text().startsWith(summary));
        }

        // Removing the failed row drops it; adding it again tries once more.
        page.select({"gamma"});
        page.remove->click();
        QCOMPARE(page.texts(), QStringList({"alpha", "beta"}));
    }

    // An example added while its archive does not come is still known when the page is
    // opened again: shown as being installed, and marked so in Add..., never offered as new.
    void addedExampleStaysInViewWhileItsArchiveStalls()
    {
        store({repository("widgets", "acme/widgets")}, 3);
        checkedToday({"widgets"});
        for (const QString &name : {"alpha", "beta", "delta"})
            installExample("widgets", name, QDateTime::currentDateTime());
        QVERIFY(startPlugin({"widgets"}));
        const QString gammaArchive
            = QString("/api/v4/projects/%1/repository/archive").arg(projectIds.value("gamma"));
        server.addFault(
            [gammaArchive](const GitLab::RecordedRequest &request) {
                return request.path.startsWith(gammaArchive);
            },
            {.kind = GitLab::Fault::NeverAnswer});
        {
            Page page;
            QVERIFY(page.addThroughDialog({"gamma"}));
            page.widget.apply();
        }
        Page again;
        QVERIFY(again.texts().contains("gamma (installing...)"));
        QCOMPARE(Plugin::downloadService()->repositoryState("widgets").installing,
                 QSet<QString>{"gamma"});
    }

    // While the modal options dialog is open, the examples the update cycle installs (after a
    // start, a token, a retry) show up one by one.
    void theUpdateCyclesInstallsShowWhileTheDialogIsOpen()
    {
        store({repository("widgets", "acme/widgets")}, 3);
        plugin = std::make_unique<Plugin>();
        QString error;
        QVERIFY(plugin->initialize({}, &error));
        Page page;
        page.widget.setWindowModality(Qt::ApplicationModal);
        page.widget.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &page.widget);
        QCOMPARE(page.texts(), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(page.texts(), QStringList({"alpha", "beta", "gamma"}), TIMEOUT);
        QTRY_VERIFY_WITH_TIMEOUT(page.status->text().startsWith("Up to date. Last checked on "),
                                 TIMEOUT);
    }

    // Each repository says where it stands; Add... tells a listing still under way and a
    // missing token from a server out of reach.
    void statusLineAndAddTellWhyThereIsNothingToAdd()
    {
        server.addFault(
            [](const GitLab::RecordedRequest &request) {
                return request.query.queryItemValue("search", QUrl::FullyDecoded)
                    .contains("acme/tools");
            },
            {.kind = GitLab::Fault::NeverAnswer});
        store({repository("private", "acme/private"),
               repository("slow", "acme/tools"),
               repository("widgets", "acme/widgets"),
               "offline|http://127.0.0.1:9/acme/none|"},
              0);
        plugin = std::make_unique<Plugin>();
        QString error;
        QVERIFY(plugin->initialize({}, &error));
        DownloadService *service = Plugin::downloadService();
        using Problem = RepositoryState::Problem;
        using Phase = RepositoryState::Phase;
        QTRY_COMPARE_WITH_TIMEOUT(
            service->repositoryState("private").problem, Problem::TokenNeeded, TIMEOUT);
        QTRY_COMPARE_WITH_TIMEOUT(service->repositoryState("widgets").phase, Phase::Idle, TIMEOUT);
        QVERIFY(service->repositoryState("widgets").updatesOff);
        QTRY_COMPARE_WITH_TIMEOUT(
            service->repositoryState("offline").problem, Problem::Failed, TIMEOUT);
        QCOMPARE(service->repositoryState("slow").phase, Phase::LookingUp);

        Page page;
        auto info = static_cast<Utils::InfoLabel *>(page.status);
        const auto check = [&](const QString &repository,
                               Utils::InfoLabel::InfoType type,
                               const QString &text,
                               QMessageBox::Icon icon,
                               const QString &title) {
            page.combo->setCurrentText(repository);
            QVERIFY2(page.status->text().startsWith(text), qPrintable(page.status->text()));
            QCOMPARE(info->type(), type);
            page.add->click();
            QCOMPARE(closeBox(icon), title);
        };
        check("private",
              Utils::InfoLabel::Warning,
              "This repository is a private group: it needs an access token.",
              QMessageBox::Warning,
              "Access Token Needed");
        check("slow",
              Utils::InfoLabel::Information,
              "Checking the repository for examples...",
              QMessageBox::Information,
              "Examples Still Loading");
        check("offline",
              Utils::InfoLabel::Error,
              "Update failed: Connection refused.",
              QMessageBox::Warning,
              "Examples Not Found");
        page.combo->setCurrentText("widgets");
        QVERIFY2(page.status->text().startsWith("Automatic updates are off. Last checked on "),
                 qPrintable(page.status->text()));
        QCOMPARE(info->type(), Utils::InfoLabel::Information);
    }

    // What a screen reader and the keyboard find on the page.
    void controlsAreNamedAndReachedInLayoutOrder()
    {
        const QString longName = QString("a-very-long-repository-name").repeated(8);
        store({repository("widgets", "acme/widgets"), longName + "|http://127.0.0.1:9/x|"}, 1);
        Page page;
        const auto name = [](QWidget *widget) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            return accessible ? accessible->text(QAccessible::Name) : QString();
        };
        // On Linux a combo box's name is its current text; the label comes as a relation.
        QAccessibleInterface *combo = QAccessible::queryAccessibleInterface(page.combo);
        QStringList labels;
        for (const auto &[label, relation] : combo->relations(QAccessible::Label))
            labels.append(label->text(QAccessible::Name));
        QVERIFY2(labels.startsWith("Repository:"), qPrintable(labels.join(", ")));
        QCOMPARE(name(page.spin), "Check for updates every (days)");
        QCOMPARE(name(page.list), "Installed examples");
        QCOMPARE(name(page.filter), "Filter installed examples");
        QVERIFY(page.widget.minimumSizeHint().width() < 800);

        QStringList order;
        const QStringList controls = {"repositoryComboBox",
                                      "accessTokenButton",
                                      "examplesListWidget",
                                      "filterLineEdit",
                                      "addButton",
                                      "updateButton",
                                      "removeButton",
                                      "timeoutSpinBox"};
        for (QWidget *widget = page.combo->nextInFocusChain(); widget != page.combo;
             widget = widget->nextInFocusChain()) {
            if (controls.contains(widget->objectName()))
                order.append(widget->objectName());
        }
        QCOMPARE(order, controls.mid(1));

        // 0 is no count of days; every value up to a year can be typed.
        page.spin->setValue(0);
        QCOMPARE(page.spin->text(), "Off");
        QVERIFY(page.widget.findChild<QLabel *>("label_2")->isHidden());
        page.spin->selectAll();
        QTest::keyClicks(page.spin, "365");
        QCOMPARE(page.spin->value(), 365);
        QVERIFY(!page.widget.findChild<QLabel *>("label_2")->isHidden());
    }

    void removingAChangedExampleAsksFirst()
    {
        store({repository("widgets", "acme/widgets")}, 0);
        QVERIFY(startPlugin({"widgets"}));
        {
            Page page;
            QVERIFY(page.addThroughDialog({"alpha", "beta"}));
            page.widget.apply();
            QTRY_COMPARE_WITH_TIMEOUT(page.texts(), QStringList({"alpha", "beta"}), TIMEOUT);
        }
        // Built in place; the page looks again when it opens.
        const QString alpha = Settings::repositoryPath("widgets") + "/alpha";
        QVERIFY(QDir().mkpath(alpha + "/build"));
        QFile user(alpha + "/CMakeLists.txt.user");
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.close();
        Page page;
        QTRY_COMPARE_WITH_TIMEOUT(page.texts(),
                                  QStringList({"alpha (changed locally)", "beta"}),
                                  TIMEOUT);

        // Asked, naming what would be lost; No keeps it.
        const auto respond = [](QMessageBox::StandardButton button, QString *text) {
            return [button, text](QWidget *widget) {
                auto box = qobject_cast<QMessageBox *>(widget);
                *text = box ? box->windowTitle() + '\n' + box->text() : QString();
                if (box)
                    box->button(button)->click();
                else
                    widget->close();
            };
        };
        QString question;
        page.select({"alpha", "beta"});
        QVERIFY(answer(
            &QApplication::activeModalWidget,
            [&] { page.remove->click(); },
            respond(QMessageBox::No, &question)));
        QVERIFY2(question.startsWith("Remove Changed Examples\n"), qPrintable(question));
        QVERIFY2(question.contains("\nalpha: CMakeLists.txt.user, build/\n"), qPrintable(question));
        QVERIFY2(!question.contains("beta"), qPrintable(question));
        QCOMPARE(page.texts(), QStringList({"alpha (changed locally)", "beta"}));
        page.widget.apply();
        QVERIFY(QFileInfo::exists(alpha + "/build"));

        // Yes removes it with the rest.
        page.select({"alpha", "beta"});
        QVERIFY(answer(
            &QApplication::activeModalWidget,
            [&] { page.remove->click(); },
            respond(QMessageBox::Yes, &question)));
        QCOMPARE(page.texts(),
                 QStringList({"alpha (will be removed) (changed locally)", "beta (will be removed)"}));
        page.widget.apply();
        QVERIFY(!QFileInfo::exists(alpha));
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
        QCOMPARE(page.texts(),
                 QStringList({"alpha",
                              "beta (will be removed)",
                              "delta (will be removed)",
                              "zeta (will be removed)"}));
        QCOMPARE(page.widget.pageSettings().repositories.value("widgets").examplesToRemove,
                 Names({"beta", "delta", "zeta"}));
        page.widget.apply();
        QVERIFY(QFileInfo::exists(Settings::repositoryPath("widgets") + "/alpha"));
        QVERIFY(!QFileInfo::exists(Settings::repositoryPath("widgets") + "/beta"));
    }

    void appliedEditsAreDoneWith()
    {
        // Updates off: only what Apply asks for is installed.
        store({repository("widgets", "acme/widgets", "old")}, 0);
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
        QCOMPARE(page.texts(), QStringList({"alpha (installing...)", "beta (installing...)"}));
        QTRY_COMPARE_WITH_TIMEOUT(page.texts(), QStringList({"alpha", "beta"}), TIMEOUT);
        QVERIFY(page.item("beta")->data(Qt::UserRole).toString().endsWith("/beta"));

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
        QCOMPARE(page.spin->value(), 365); // clamped, not wrapped
        // Nothing to add to, nothing to remove or update.
        QVERIFY(!page.add->isEnabled() && !page.remove->isEnabled() && !page.update->isEnabled());
        QVERIFY(!QApplication::activeModalWidget());

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
