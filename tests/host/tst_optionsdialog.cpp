// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The stand-in's Edit > Preferences creates, applies and ends page widgets when Qt Creator 16's
// does: widgets on the first showing of their tab or when the filter asks a page, apply() only
// for visited pages, cancel() and finish() for every page.

#include "optionsdialog.h"

#include <coreplugin/dialogs/ioptionspage.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

QStringList events; // "<page>: created|apply|cancel|deleted"

class PageWidget final : public Core::IOptionsPageWidget
{
public:
    PageWidget(const QString &name, const QString &label)
        : m_name(name)
    {
        events << name + ": created";
        (new QVBoxLayout(this))->addWidget(new QLabel(label, this));
    }
    ~PageWidget() override { events << m_name + ": deleted"; }
    void apply() final { events << m_name + ": apply"; }
    void cancel() final { events << m_name + ": cancel"; }

private:
    QString m_name;
};

std::unique_ptr<Core::IOptionsPage>
makePage(const char *id, const char *category, const QString &label)
{
    auto page = std::make_unique<Core::IOptionsPage>();
    page->setId(id);
    page->setDisplayName(QString::fromLatin1(id));
    page->setCategory(category);
    page->setWidgetCreator(
        [name = QString::fromLatin1(id), label] { return new PageWidget(name, label); });
    return page;
}

} // namespace

class tst_OptionsDialog : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<Core::IOptionsPage>> pages;

private slots:
    void initTestCase()
    {
        Core::IOptionsPage::registerCategory("A.First", "First", {});
        Core::IOptionsPage::registerCategory("H.Help", "Help", {});
        pages.push_back(makePage("a1", "A.First", "Colours"));
        pages.push_back(makePage("h1", "H.Help", "Manuals"));
        pages.push_back(makePage("h2", "H.Help", "Example repositories"));
    }
    void init() { events.clear(); }

    void widgetsComeWithTheirTabAndApplyGoesToVisitedPages()
    {
        Brindle::Host::OptionsDialog dialog;
        QVERIFY(dialog.showPage("h2"));
        QCOMPARE(events, QStringList()); // nothing before the dialog shows
        dialog.show();
        QCOMPARE(events, QStringList{"h2: created"});
        events.clear();
        dialog.apply(); // a1 and h1 were current for a moment, but have no widget
        QCOMPARE(events, QStringList{"h2: apply"});

        events.clear();
        QVERIFY(dialog.showCategory("A.First"));
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(
            events,
            QStringList({"a1: created", "a1: apply", "h2: apply", "a1: deleted", "h2: deleted"}));
    }

    void filterCreatesTheWidgetsItAsksAndCancelEndsThemAll()
    {
        Brindle::Host::OptionsDialog dialog;
        dialog.show();
        QCOMPARE(events, QStringList{"a1: created"});
        events.clear();
        // Neither category nor page names hold "repos": the filter asks every page's texts.
        dialog.setFilterText("repos");
        QCOMPARE(events, QStringList({"h1: created", "h2: created"}));
        QCOMPARE(dialog.visibleCategories(), QList<Utils::Id>{"H.Help"});

        // The Help pages were never shown: no apply() for them, but like every page they are
        // cancelled and their widgets deleted.
        events.clear();
        dialog.apply();
        QCOMPARE(events, QStringList{"a1: apply"});
        events.clear();
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(events,
                 QStringList({"a1: cancel",
                              "a1: deleted",
                              "h1: cancel",
                              "h1: deleted",
                              "h2: cancel",
                              "h2: deleted"}));
    }

    void filterEnablesTheTabsThatMatch()
    {
        Brindle::Host::OptionsDialog dialog;
        dialog.show();
        dialog.setFilterText("repos");
        QVERIFY(dialog.showCategory("H.Help"));
        auto tabs = dialog.findChild<QTabWidget *>("pages_H.Help");
        QVERIFY(!tabs->isTabEnabled(0));
        QCOMPARE(tabs->currentIndex(), 1);
        dialog.setFilterText(QString());
        QVERIFY(tabs->isTabEnabled(0));
        QCOMPARE(dialog.visibleCategories(), QList<Utils::Id>({"A.First", "H.Help"}));
    }
};

QTEST_MAIN(tst_OptionsDialog)

#include "tst_optionsdialog.moc"
