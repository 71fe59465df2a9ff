// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"
#include "examplesdialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Brindle::Internal;

// Listed by name: hello-qml, undated, zeta.
static QList<QSharedPointer<Example>> examples()
{
    const QByteArray json = R"([
        {"path": "zeta", "name": "Zeta", "description": "a qml demo",
         "web_url": "zeta.html", "last_activity_at": "2024-05-01T10:00:00.000Z"},
        {"path": "hello-qml", "name": "Hello <i>QML</i>", "description": "<b>bold</b> & %2",
         "web_url": "hello-qml.html", "last_activity_at": "2024-05-01T10:00:00.000Z"},
        {"path": "undated", "name": "Undated", "web_url": "u.html", "last_activity_at": "soon"}
    ])";
    QList<QSharedPointer<Example>> result;
    for (const QJsonValue &value : QJsonDocument::fromJson(json).array())
        result.append(QSharedPointer<Example>::create(value.toObject()));
    return result;
}

class tst_ExamplesDialog : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }

private:
    QList<QUrl> opened;

private slots:
    void itemsCarryEscapedDetailsAndFilterByName()
    {
        ExamplesDialog dialog(examples(), nullptr);
        auto list = dialog.findChild<QListWidget *>("examplesListWidget");
        QCOMPARE(list->count(), 3);
        // The title goes with the name; the selection is made of names.
        QCOMPARE(list->item(0)->text(), QString("hello-qml - Hello <i>QML</i>"));
        QCOMPARE(list->item(0)->data(ExamplesDialog::NameRole), QVariant("hello-qml"));
        QCOMPARE(list->item(0)->data(Qt::UserRole), QVariant("hello-qml.html"));
        const QString tip = list->item(0)->toolTip();
        QVERIFY2(tip.contains("Hello &lt;i&gt;QML&lt;/i&gt;"), qPrintable(tip));
        // A "%2" inside a value stays as it is.
        QVERIFY2(tip.contains("&lt;b&gt;bold&lt;/b&gt; &amp; %2</td>"), qPrintable(tip));
        const QString updated = QDateTime::fromString("2024-05-01T10:00:00.000Z", Qt::ISODate)
                                    .toLocalTime()
                                    .toString(Qt::TextDate);
        const QString cell = "Updated:&nbsp;</td><td style=\"width: 60%;\">";
        QVERIFY(tip.contains(cell + updated + "</td>"));
        QVERIFY(list->item(1)->toolTip().contains(cell + "</td>"));

        // What is shown counts (name and title), not the description.
        auto filter = dialog.findChild<QLineEdit *>("filterLineEdit");
        filter->setText("QML");
        QVERIFY(!list->item(0)->isHidden() && list->item(1)->isHidden()
                && list->item(2)->isHidden());
        filter->clear();
        QVERIFY(!list->item(1)->isHidden() && !list->item(2)->isHidden());
    }

    // Return in the filter moves on to the rows left instead of ending the dialog with
    // whatever happens to be selected.
    void returnInTheFilterKeepsTheDialogOpen()
    {
        ExamplesDialog dialog(
            examples(),
            {{"zeta", ExamplesDialog::Mark::Installed}, {"undated", ExamplesDialog::Mark::Pending}},
            nullptr);
        auto list = dialog.findChild<QListWidget *>("examplesListWidget");
        QCOMPARE(list->item(1)->text(), QString("undated - Undated (will be installed)"));
        QCOMPARE(list->item(2)->text(), QString("zeta - Zeta (installed)"));
        QVERIFY(!list->accessibleName().isEmpty());
        // The marks are not searched.
        auto filter = dialog.findChild<QLineEdit *>("filterLineEdit");
        filter->setText("install");
        QVERIFY(list->item(1)->isHidden() && list->item(2)->isHidden());
        filter->clear();

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        filter->setFocus();
        QTest::keyClicks(filter, "zet");
        QTest::keyClick(filter, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(filter->text(), QString("zet"));
        QCOMPARE(list->currentItem(), list->item(2));
        QCOMPARE(dialog.focusWidget(), list);
        dialog.reject();
    }

    void selectionOnlyOnOk_data()
    {
        QTest::addColumn<QStringList>("select");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("chosen");
        // clang-format off
        QTest::newRow("ok, nothing selected") << QStringList() << QString() << true << QStringList();
        QTest::newRow("ok, filter hides all selected") << QStringList{"zeta"} << "QML" << true << QStringList();
        QTest::newRow("ok, two selected") << QStringList{"zeta", "hello-qml"} << QString() << true << QStringList{"zeta", "hello-qml"};
        QTest::newRow("cancel after selecting") << QStringList{"undated"} << QString() << false << QStringList();
        QTest::newRow("ok, filter hides selected") << QStringList{"zeta", "hello-qml", "undated"} << "QML" << true << QStringList{"hello-qml"};
        // clang-format on
    }
    void selectionOnlyOnOk()
    {
        QFETCH(QStringList, select);
        QFETCH(QString, filter);
        QFETCH(bool, ok);
        QFETCH(QStringList, chosen);

        ExamplesDialog dialog(examples(), nullptr);
        auto list = dialog.findChild<QListWidget *>("examplesListWidget");
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem *item = list->item(row);
            item->setSelected(select.contains(item->data(ExamplesDialog::NameRole).toString()));
        }
        // Filtering keeps a selection the user can no longer see.
        dialog.findChild<QLineEdit *>("filterLineEdit")->setText(filter);
        auto buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
        // OK takes what is chosen and visible; with nothing, only Cancel is left.
        QCOMPARE(buttons->button(QDialogButtonBox::Ok)->isEnabled(), !ok || !chosen.isEmpty());
        buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();

        const bool accepted = ok && !chosen.isEmpty();
        QCOMPARE(dialog.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(dialog.selectedExamples(), QSet<QString>(chosen.begin(), chosen.end()));
    }

    // The web address comes from the server: the menu opens web pages only.
    void openLocationOpensOnlyWebPages()
    {
        const QList<QStringList> projects = {{"web", "https://git.example.org/acme/web"},
                                             {"local", "file:///etc/passwd"},
                                             {"other", "smb://host/share"}};
        QList<QSharedPointer<Example>> list;
        for (const QStringList &project : projects) {
            list.append(QSharedPointer<Example>::create(
                QJsonObject{{"path", project.at(0)}, {"web_url", project.at(1)}}));
        }
        ExamplesDialog dialog(list, nullptr);
        auto view = dialog.findChild<QListWidget *>("examplesListWidget");
        view->selectAll();
        QDesktopServices::setUrlHandler("https", this, "openUrl");
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        QDesktopServices::setUrlHandler("smb", this, "openUrl");
        QTimer::singleShot(0, this, [] {
            auto menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (menu && menu->actions().size() == 1)
                menu->actions().first()->trigger();
            if (menu)
                menu->close();
        });
        emit view->customContextMenuRequested(view->visualItemRect(view->item(0)).center());
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("smb");
        QCOMPARE(opened, QList<QUrl>{QUrl("https://git.example.org/acme/web")});
    }
};

QTEST_MAIN(tst_ExamplesDialog)

#include "tst_examplesdialog.moc"
