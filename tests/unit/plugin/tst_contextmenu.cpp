// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

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

static void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

class Opener : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl &url) { urls.append(url); }

public:
    QList<QUrl> urls;
};

class tst_ContextMenu : public QObject
{
    Q_OBJECT

private:
    // Answers the next popup menu with the given key; returns whether one appeared.
    bool requestMenu(QListWidget &list, const QPoint &pos, Qt::Key key)
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
                QTest::keyClick(menu, key);
            }
        });
        poll.start(10);
        emit list.customContextMenuRequested(pos);
        return shown;
    }

    QListWidget list;
    Opener opener;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler(collect);
        QDesktopServices::setUrlHandler("file", &opener, "open");

        for (const QString &path : {"/data/a", "/data/b", "/data/c"}) {
            auto item = new QListWidgetItem(path, &list);
            item->setData(Qt::UserRole, path);
        }
        new QListWidgetItem("pending", &list); // an item without a location
        list.setSelectionMode(QAbstractItemView::MultiSelection);
        Plugin::initMenu(&list, [](const QString &text) { return QUrl::fromLocalFile(text); });
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void init()
    {
        opener.urls.clear();
        messages.clear();
    }

    void opensEverySelectedItemButNotTheOneUnderTheCursor()
    {
        list.clearSelection();
        for (int row : {3, 2, 0})
            list.item(row)->setSelected(true);
        const QList<QListWidgetItem *> selected = list.selectedItems();

        QVERIFY(requestMenu(list, list.visualItemRect(list.item(1)).center(), Qt::Key_Return));

        QList<QUrl> expected;
        for (QListWidgetItem *item : selected) {
            if (item != list.item(3))
                expected.append(QUrl::fromLocalFile(item->data(Qt::UserRole).toString()));
        }
        QCOMPARE(opener.urls, expected);
        QCOMPARE(messages.filter("Unable to open location:"),
                 QStringList{"Unable to open location: \"\""});
    }

    void noMenuOverEmptySpace()
    {
        list.item(0)->setSelected(true);
        QVERIFY(!requestMenu(list, QPoint(10, list.viewport()->height() - 5), Qt::Key_Return));
        QVERIFY(opener.urls.isEmpty());
    }
};

QTEST_MAIN(tst_ContextMenu)

#include "tst_contextmenu.moc"
