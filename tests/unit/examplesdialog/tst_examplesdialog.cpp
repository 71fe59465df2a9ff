// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"
#include "examplesdialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Brindle::Internal;

static QSharedPointer<Example> example(const QString &path, const QString &name = "Example",
                                       const QString &description = {},
                                       const QString &lastActivity = "2024-05-01T10:00:00.000Z")
{
    return QSharedPointer<Example>::create(QJsonObject{{"id", 17},
                                                       {"path", path},
                                                       {"name", name},
                                                       {"description", description},
                                                       {"web_url", "http://gitlab.test/g/" + path},
                                                       {"last_activity_at", lastActivity}});
}

static const QList<QSharedPointer<Example>> FOUR = {example("alpha"), example("beta"),
                                                    example("gamma"), example("delta")};

class tst_ExamplesDialog : public QObject
{
    Q_OBJECT

private slots:
    void itemsCarryNameAndEscapedDetails();
    void selectionReflectsHowDialogCloses_data();
    void selectionReflectsHowDialogCloses();
    void filterMatchesNameCaseInsensitively();
};

void tst_ExamplesDialog::itemsCarryNameAndEscapedDetails()
{
    ExamplesDialog dialog({example("zeta"),
                           example("hello-qml", "Hello <i>QML</i>", "<b>bold</b> & %2"),
                           example("undated", "Undated", {}, "soon")},
                          nullptr);
    auto list = dialog.findChild<QListWidget *>("examplesListWidget");
    QCOMPARE(dialog.windowTitle(), QString("Select Examples to Install"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QString("hello-qml")); // sorted by name
    QCOMPARE(list->item(2)->text(), QString("zeta"));

    QListWidgetItem *item = list->item(0);
    QCOMPARE(item->data(Qt::UserRole).toString(), QString("http://gitlab.test/g/hello-qml"));
    const QString tip = item->toolTip();
    QVERIFY2(tip.contains("Hello &lt;i&gt;QML&lt;/i&gt;"), qPrintable(tip));
    // A "%2" inside a value stays as it is: the template is filled in one go.
    QVERIFY2(tip.contains("&lt;b&gt;bold&lt;/b&gt; &amp; %2</td>"), qPrintable(tip));
    QVERIFY(!tip.contains("<b>") && !tip.contains("<i>"));
    const QString updated = QDateTime::fromString("2024-05-01T10:00:00.000Z", Qt::ISODate)
                                .toLocalTime().toString(Qt::TextDate);
    QVERIFY(tip.contains("Updated:&nbsp;</td><td style=\"width: 60%;\">" + updated + "</td>"));

    QVERIFY(list->item(1)->toolTip().contains(
        "Updated:&nbsp;</td><td style=\"width: 60%;\"></td>"));
}

void tst_ExamplesDialog::selectionReflectsHowDialogCloses_data()
{
    QTest::addColumn<QStringList>("select");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ok, nothing selected") << QStringList() << true << QStringList();
    QTest::newRow("ok, three selected") << QStringList{"gamma", "alpha", "delta"} << true
                                        << QStringList{"alpha", "delta", "gamma"};
    QTest::newRow("cancel after selecting") << QStringList{"alpha", "beta"} << false
                                            << QStringList();
}

void tst_ExamplesDialog::selectionReflectsHowDialogCloses()
{
    QFETCH(QStringList, select);
    QFETCH(bool, accept);
    QFETCH(QStringList, expected);

    ExamplesDialog dialog(FOUR, nullptr);
    auto list = dialog.findChild<QListWidget *>("examplesListWidget");
    for (const QString &name : std::as_const(select))
        list->findItems(name, Qt::MatchExactly).first()->setSelected(true);
    QPushButton *button = dialog.findChild<QDialogButtonBox *>("buttonBox")->button(
        accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
    QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });

    QCOMPARE(dialog.exec(), accept ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QStringList selected = dialog.selectedExamples().values();
    selected.sort();
    QCOMPARE(selected, expected);
}

void tst_ExamplesDialog::filterMatchesNameCaseInsensitively()
{
    // Only the name counts, not the display name or the description.
    ExamplesDialog dialog({example("my-abc-demo"), example("demo"),
                           example("other", "A demo", "demo of demos")},
                          nullptr);
    auto list = dialog.findChild<QListWidget *>("examplesListWidget");
    auto filter = dialog.findChild<QLineEdit *>("filterLineEdit");
    const auto hidden = [list] {
        QStringList result;
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->isHidden())
                result.append(list->item(row)->text());
        }
        return result;
    };

    filter->setText("ABC");
    QCOMPARE(hidden(), QStringList({"demo", "other"}));
    filter->setText("Demo");
    QCOMPARE(hidden(), QStringList("other"));
    filter->clear();
    QCOMPARE(hidden(), QStringList());
}

QTEST_MAIN(tst_ExamplesDialog)

#include "tst_examplesdialog.moc"
