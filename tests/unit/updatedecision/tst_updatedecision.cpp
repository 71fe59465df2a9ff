// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "updatedecision.h"

#include <QTest>

using namespace Brindle::Internal;

class tst_UpdateDecision : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
};

void tst_UpdateDecision::decide_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("checkedDaysAgo"); // -1: never checked
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QList<int>>("activitySecsAfterCheckDay"); // alpha, beta, gamma; 0: none
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QStringList>("downloaded"); // sorted; "-": not due
    QTest::addColumn<bool>("due");

    const int old = -10 * 86400;
    const QStringList all{"alpha", "beta", "gamma"};
    const QStringList ab{"alpha", "beta"};
    const QList<int> olds{old, old, old};
    // clang-format off
    QTest::newRow("updates off") << 0 << -1 << QStringList() << olds << QStringList() << QStringList() << false;
    QTest::newRow("never checked") << 1 << -1 << all << olds << QStringList() << all << true;
    QTest::newRow("never checked, one removed") << 1 << -1 << QStringList() << olds << QStringList{"beta"} << QStringList{"alpha", "gamma"} << true;
    QTest::newRow("within interval, all installed") << 7 << 3 << all << QList<int>{old, 2 * 86400, old} << QStringList() << QStringList() << false;
    QTest::newRow("on the last day of the interval") << 7 << 7 << all << QList<int>{old, 2 * 86400, old} << QStringList() << QStringList() << false;
    QTest::newRow("within interval, one missing") << 7 << 3 << ab << QList<int>{old, 2 * 86400, old} << QStringList() << QStringList{"beta", "gamma"} << true;
    QTest::newRow("missing but removed still counts short") << 7 << 3 << ab << olds << QStringList{"gamma"} << QStringList() << true;
    QTest::newRow("hidden folders do not count") << 7 << 3 << QStringList{"alpha", "beta", ".unpack-x"} << olds << QStringList() << QStringList{"gamma"} << true;
    QTest::newRow("activity on the check day") << 7 << 3 << ab << QList<int>{60, -60, old} << QStringList() << QStringList{"alpha", "gamma"} << true;
    QTest::newRow("unknown activity") << 7 << 8 << all << QList<int>{0, old, old} << QStringList() << QStringList{"alpha"} << true;
    QTest::newRow("interval passed") << 7 << 8 << all << QList<int>{old, 86400, old} << QStringList() << QStringList{"beta"} << true;
    // clang-format on
}

void tst_UpdateDecision::decide()
{
    QFETCH(int, interval);
    QFETCH(int, checkedDaysAgo);
    QFETCH(QStringList, folders);
    QFETCH(QList<int>, activitySecsAfterCheckDay);
    QFETCH(QStringList, removed);
    QFETCH(QStringList, downloaded);
    QFETCH(bool, due);

    const QDate today(2026, 3, 1);
    const QDate checkDay = today.addDays(checkedDaysAgo < 0 ? -5 : -checkedDaysAgo);
    UpdateDecision::Input input;
    input.intervalDays = quint32(interval);
    if (checkedDaysAgo >= 0)
        input.lastCheck = checkDay;
    input.removed = QSet<QString>(removed.cbegin(), removed.cend());
    const QStringList names{"alpha", "beta", "gamma"};
    for (int i = 0; i < names.size(); ++i) {
        const int secs = activitySecsAfterCheckDay.at(i);
        input.listed.append(
            {names.at(i), secs == 0 ? QDateTime() : checkDay.startOfDay().addSecs(secs)});
    }
    input.folders = folders;
    input.today = today;

    const UpdateDecision decision = UpdateDecision::decide(input);
    QCOMPARE(decision.due, due);
    QStringList result(decision.toDownload.cbegin(), decision.toDownload.cend());
    result.sort();
    QCOMPARE(result, downloaded);
    QCOMPARE(decision.checkedDate, due ? today : QDate());
}

QTEST_GUILESS_MAIN(tst_UpdateDecision)

#include "tst_updatedecision.moc"
