// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// What the plugin library offers besides its entry point: its log and the location menu.

#include "logging.h"
#include "plugin.h"

#include <QApplication>
#include <QDesktopServices>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace Brindle::Internal;

static QStringList messages;

class tst_PluginParts : public QObject
{
    Q_OBJECT

    QListWidget list;
    QList<QUrl> opened;

    // Chooses "Open location..." in the menu the position brings up; false when none appears.
    bool openLocationAt(const QPoint &pos)
    {
        bool shown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                shown = true;
                poll.stop();
                QCOMPARE(menu->actions().size(), 1);
                QCOMPARE(menu->actions().first()->text(), QString("Open location..."));
                menu->setActiveAction(menu->actions().first());
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        poll.start(10);
        emit list.customContextMenuRequested(pos);
        return shown;
    }

public slots:
    void open(const QUrl &url) { opened.append(url); }

private slots:
    void logCategoriesAreSilentUntilARuleEnablesThem()
    {
        using namespace Brindle;
        const QList<const QLoggingCategory *> categories{
            &Log::api(), &Log::arch(), &Log::main(), &Log::repository(), &Log::service()};
        QStringList names;
        for (const QLoggingCategory *category : categories) {
            names.append(category->categoryName());
            QVERIFY(!category->isDebugEnabled());
            QVERIFY(category->isWarningEnabled());
        }
        QCOMPARE(names.join(' '),
                 "oskel.brindle.plugin.api oskel.brindle.plugin.archive oskel.brindle.plugin "
                 "oskel.brindle.plugin.repository oskel.brindle.plugin.service");
        QLoggingCategory::setFilterRules("oskel.brindle.plugin*.debug=true");
        for (const QLoggingCategory *category : categories)
            QVERIFY2(category->isDebugEnabled(), category->categoryName());
    }

    void opensEverySelectedItemInOrder()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            messages.append(message);
        });
        QDesktopServices::setUrlHandler("file", this, "open");
        for (const QString &path : {"/data/a", "/data/b", "/data/c"})
            (new QListWidgetItem(path, &list))->setData(Qt::UserRole, path);
        new QListWidgetItem("pending", &list); // an item without a location
        list.setSelectionMode(QAbstractItemView::MultiSelection);
        Plugin::initMenu(&list, [](const QString &text) { return QUrl::fromLocalFile(text); });
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (int row : {3, 2, 0})
            list.item(row)->setSelected(true);

        QVERIFY(!openLocationAt(QPoint(10, list.viewport()->height() - 5))); // empty space
        QVERIFY(openLocationAt(list.visualItemRect(list.item(1)).center())); // not selected
        QList<QUrl> expected;
        for (const QListWidgetItem *item : list.selectedItems()) {
            if (item != list.item(3))
                expected.append(QUrl::fromLocalFile(item->data(Qt::UserRole).toString()));
        }
        QCOMPARE(opened, expected);
        QCOMPARE(messages.filter("Unable to open location:"),
                 QStringList{"Unable to open location: \"\""});
        QDesktopServices::unsetUrlHandler("file");
    }
};

QTEST_MAIN(tst_PluginParts)

#include "tst_pluginparts.moc"
