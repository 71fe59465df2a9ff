// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagebox.h>
#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPromise>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Core;

namespace {

const int timeoutMs = 20000;

class CountingWidget final : public IOptionsPageWidget
{
public:
    void apply() final { ++applied; }

    int applied = 0;
};

} // namespace

class tst_CorePlugin final : public QObject
{
    Q_OBJECT

private slots:
    void progressEntryFollowsFuture();
    void cancelCancelsFuture_data();
    void cancelCancelsFuture();
    void allTasksFinishedWaitsForLastOfType();
    void optionsPageListedAndCreatesWidgets();
    void messageBoxReturnsAtOnceOnModalDialog();
    void resourcePathAndSettings();
};

void tst_CorePlugin::progressEntryFollowsFuture()
{
    ProgressManager *manager = ProgressManager::instance();
    QSignalSpy added(manager, &ProgressManager::taskAdded);
    QSignalSpy started(manager, &ProgressManager::taskStarted);
    QSignalSpy allFinished(manager, &ProgressManager::allTasksFinished);

    QPromise<void> promise;
    promise.start();
    FutureProgress *progress
        = ProgressManager::addTask(promise.future(), "Installing", "Brindle.Test.Follow");
    QVERIFY(progress);
    QCOMPARE(progress->title(), QString("Installing"));
    QCOMPARE(progress->type(), Utils::Id("Brindle.Test.Follow"));
    QCOMPARE(manager->tasks(), QList<FutureProgress *>{progress});
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().first().value<FutureProgress *>(), progress);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().first().value<Utils::Id>(), Utils::Id("Brindle.Test.Follow"));

    auto bar = progress->findChild<QProgressBar *>();
    QVERIFY(bar);
    promise.setProgressRange(0, 10);
    promise.setProgressValue(4);
    QTRY_COMPARE_WITH_TIMEOUT(bar->maximum(), 10, timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 4, timeoutMs);

    QPointer<FutureProgress> entry(progress);
    QSignalSpy finished(progress, &FutureProgress::finished);
    promise.finish();
    QVERIFY(finished.wait(timeoutMs));
    QVERIFY(manager->tasks().isEmpty());
    QCOMPARE(allFinished.size(), 1);
    QCOMPARE(allFinished.first().first().value<Utils::Id>(), Utils::Id("Brindle.Test.Follow"));
    QTRY_VERIFY_WITH_TIMEOUT(entry.isNull(), timeoutMs);
}

void tst_CorePlugin::cancelCancelsFuture_data()
{
    QTest::addColumn<bool>("viaButton");

    QTest::newRow("cancel()") << false;
    QTest::newRow("cancel button") << true;
}

void tst_CorePlugin::cancelCancelsFuture()
{
    QFETCH(bool, viaButton);

    QPromise<void> promise;
    promise.start();
    FutureProgress *progress
        = ProgressManager::addTask(promise.future(), "Downloading", "Brindle.Test.Cancel");
    QSignalSpy canceled(progress, &FutureProgress::canceled);
    QSignalSpy finished(progress, &FutureProgress::finished);

    if (viaButton) {
        auto button = progress->findChild<QToolButton *>();
        QVERIFY(button);
        progress->show();
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        progress->cancel();
    }

    QCOMPARE(canceled.size(), 1);
    QVERIFY(promise.isCanceled());
    QVERIFY(progress->future().isCanceled());
    // Still running until the worker acknowledges the cancellation.
    QVERIFY(ProgressManager::instance()->tasks().contains(progress));

    promise.finish();
    QVERIFY(finished.wait(timeoutMs));
    QVERIFY(!ProgressManager::instance()->tasks().contains(progress));
}

void tst_CorePlugin::allTasksFinishedWaitsForLastOfType()
{
    QSignalSpy allFinished(ProgressManager::instance(), &ProgressManager::allTasksFinished);
    QPromise<void> first;
    QPromise<void> second;
    first.start();
    second.start();
    FutureProgress *firstEntry
        = ProgressManager::addTask(first.future(), "One", "Brindle.Test.Two");
    FutureProgress *secondEntry
        = ProgressManager::addTask(second.future(), "Two", "Brindle.Test.Two");
    QCOMPARE(ProgressManager::instance()->tasks(),
             QList<FutureProgress *>({firstEntry, secondEntry}));

    QSignalSpy firstFinished(firstEntry, &FutureProgress::finished);
    first.finish();
    QVERIFY(firstFinished.wait(timeoutMs));
    QCOMPARE(allFinished.size(), 0);

    QSignalSpy secondFinished(secondEntry, &FutureProgress::finished);
    second.finish();
    QVERIFY(secondFinished.wait(timeoutMs));
    QCOMPARE(allFinished.size(), 1);
}

void tst_CorePlugin::optionsPageListedAndCreatesWidgets()
{
    IOptionsPage::registerCategory(
        "Brindle.Test.Category", "Examples", Utils::FilePath::fromString(":/brindle/category.png"));
    QCOMPARE(IOptionsPage::categoryDisplayName("Brindle.Test.Category"), QString("Examples"));
    QCOMPARE(IOptionsPage::categoryIconPath("Brindle.Test.Category").path(),
             QString(":/brindle/category.png"));

    IOptionsPage *address = nullptr;
    {
        IOptionsPage page;
        address = &page;
        const IOptionsPage unlisted(false);
        QVERIFY(IOptionsPage::allOptionsPages().contains(&page));
        QVERIFY(!IOptionsPage::allOptionsPages().contains(&unlisted));

        page.setId("Brindle.Test.Page");
        page.setDisplayName("GitLab Examples");
        page.setCategory("Brindle.Test.Category");
        QCOMPARE(page.id(), Utils::Id("Brindle.Test.Page"));
        QCOMPARE(page.displayName(), QString("GitLab Examples"));
        QCOMPARE(page.category(), Utils::Id("Brindle.Test.Category"));

        int created = 0;
        int cancelled = 0;
        page.setWidgetCreator([&created, &cancelled] {
            ++created;
            auto widget = new CountingWidget;
            widget->setOnCancel([&cancelled] { ++cancelled; });
            return widget;
        });
        QPointer<QWidget> first = page.widget();
        QVERIFY(first);
        QCOMPARE(page.widget(), first.data());
        QCOMPARE(created, 1);

        page.apply();
        page.cancel();
        QCOMPARE(static_cast<CountingWidget *>(first.data())->applied, 1);
        QCOMPARE(cancelled, 1);

        page.finish();
        QVERIFY(first.isNull());
        QVERIFY(page.widget());
        QCOMPARE(created, 2);
    }
    QVERIFY(!IOptionsPage::allOptionsPages().contains(address));
}

void tst_CorePlugin::messageBoxReturnsAtOnceOnModalDialog()
{
    QCOMPARE(ICore::dialogParent(), nullptr);
    QMainWindow mainWindow;
    ICore::setMainWindow(&mainWindow);
    mainWindow.show();
    QCOMPARE(ICore::mainWindow(), &mainWindow);
    QCOMPARE(ICore::dialogParent(), &mainWindow);

    QDialog dialog(&mainWindow);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeModalWidget(), &dialog, timeoutMs);
    QCOMPARE(ICore::dialogParent(), &dialog);

    const QList<QPair<QWidget *(*)(const QString &, const QString &), QMessageBox::Icon>> kinds
        = {{&AsynchronousMessageBox::warning, QMessageBox::Warning},
           {&AsynchronousMessageBox::information, QMessageBox::Information},
           {&AsynchronousMessageBox::critical, QMessageBox::Critical}};
    for (const auto &[show, icon] : kinds) {
        QPointer<QWidget> widget = show("Download failed", "The server answered 404.");
        auto box = qobject_cast<QMessageBox *>(widget.data());
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &dialog);
        QVERIFY(box->isVisible());
        QCOMPARE(box->icon(), icon);
        QCOMPARE(box->windowTitle(), QString("Download failed"));
        QCOMPARE(box->text(), QString("The server answered 404."));
        box->close();
        QTRY_VERIFY_WITH_TIMEOUT(widget.isNull(), timeoutMs);
    }

    dialog.close();
    ICore::setMainWindow(nullptr);
}

void tst_CorePlugin::resourcePathAndSettings()
{
    QVERIFY(ICore::settings() == ExtensionSystem::PluginManager::settings());

    const QByteArray saved = qgetenv("BRINDLE_HOST_RESOURCE_PATH");
    qputenv("BRINDLE_HOST_RESOURCE_PATH", "/opt/brindle//share/");
    QCOMPARE(ICore::resourcePath("translations").path(),
             QString("/opt/brindle/share/translations"));
    QCOMPARE(ICore::resourcePath().path(), QString("/opt/brindle/share"));

    // Without the override: share/brindle-host beside the executable's bin directory.
    qunsetenv("BRINDLE_HOST_RESOURCE_PATH");
    const Utils::FilePath translations = ICore::resourcePath("translations");
    qputenv("BRINDLE_HOST_RESOURCE_PATH", saved);
    QCOMPARE(translations.path(), QString(BRINDLE_BINARY_DIR "/share/brindle-host/translations"));
    QVERIFY(translations.isDir());
}

QTEST_MAIN(tst_CorePlugin)

#include "tst_coreplugin.moc"
