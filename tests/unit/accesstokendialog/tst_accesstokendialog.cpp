// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "accesstokendialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTranslator>

using namespace Brindle::Internal;

class tst_AccessTokenDialog : public QObject
{
    Q_OBJECT

private slots:
    void textsAreNeverClipped_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("de") << "de";
        QTest::newRow("ru") << "ru";
    }
    // The problem line appears under a wrapped introduction: the dialog grows, at its
    // minimum width of 420, so that every line of every text stays in view.
    void textsAreNeverClipped()
    {
        QFETCH(QString, language);
        QTranslator translator;
        if (language != "en") {
            const QString folder
                = qEnvironmentVariable("BRINDLE_HOST_RESOURCE_PATH") + "/translations";
            QVERIFY(translator.load("Brindle_" + language, folder));
            QApplication::installTranslator(&translator);
        }

        AccessTokenDialog dialog(
            "a-repository-with-a-rather-long-name", AccessTokenDialog::Current::Unknown, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.width() >= 420);
        dialog.findChild<QLineEdit *>("tokenLineEdit")->insert("two words");
        auto problem = dialog.findChild<QLabel *>("problemLabel");
        QVERIFY(problem->isVisible());

        const auto fits = [&dialog] {
            for (const QLabel *label : dialog.findChildren<QLabel *>()) {
                if (!label->isVisible())
                    continue;
                const bool whole = label->height() >= label->heightForWidth(label->width())
                                   && dialog.rect().contains(label->geometry());
                if (!whole)
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(fits(), 30000);
        QVERIFY(dialog.width() >= 420);
        QApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(tst_AccessTokenDialog)

#include "tst_accesstokendialog.moc"
