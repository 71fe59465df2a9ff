// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "example.h"
#include "examplelistmodel.h"

#include <QAbstractItemModelTester>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace Brindle::Internal;
using State = ExampleListModel::State;

static InstalledExamples installed(const QStringList &names)
{
    InstalledExamples result;
    for (const QString &name : names)
        result.insert(name, {"/examples/" + name, QDateTime(QDate(2024, 3, 1), QTime(12, 0))});
    return result;
}

class tst_ExampleListModel : public QObject
{
    Q_OBJECT

    static QString text(const ExampleListModel &model, const QString &name)
    {
        return model.index(model.rowOf(name)).data().toString();
    }
    static State stateOf(const ExampleListModel &model, const QString &name)
    {
        return model.index(model.rowOf(name)).data(ExampleListModel::StateRole).value<State>();
    }

private slots:
    // Each row tells what the disk, the service and the page's edits say of its example.
    void rowsComeFromDiskServiceAndEdits()
    {
        ExampleListModel model;
        QAbstractItemModelTester tester(&model);
        RepositoryState state;
        state.installing = {"gamma"};
        state.updatable = {"beta", "gamma"};
        state.changedLocally = {"alpha", "beta"};
        state.results.insert("delta",
                             ExampleResult::failed(ExampleResult::Failure::Download, "HTTP 500"));
        const QList<QSharedPointer<Example>> online{QSharedPointer<Example>::create(
            QJsonObject{{"path", "epsilon"}, {"web_url", "https://git.example.org/epsilon"}})};
        model.setRepository("widgets",
                            installed({"alpha", "beta", "zeta"}),
                            state,
                            online,
                            {.toInstall = {"epsilon"}});

        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(text(model, "alpha"), "alpha (changed locally)");
        QCOMPARE(text(model, "beta"), "beta (update available) (changed locally)");
        QCOMPARE(text(model, "gamma"), "gamma (installing...)");
        QCOMPARE(text(model, "delta"), "delta (could not be installed: HTTP 500)");
        QCOMPARE(text(model, "epsilon"), "epsilon (will be installed)");
        QCOMPARE(text(model, "zeta"), "zeta");
        const QModelIndex alpha = model.index(model.rowOf("alpha"));
        QCOMPARE(alpha.data(ExampleListModel::ChangedLocallyRole), QVariant(true));
        QCOMPARE(alpha.data(ExampleListModel::LocationRole), QVariant("/examples/alpha"));
        QCOMPARE(model.index(model.rowOf("epsilon")).data(ExampleListModel::LocationRole),
                 QVariant("https://git.example.org/epsilon"));
        // Only what is on disk or under way can be taken back.
        QVERIFY(ExampleListModel::canRemove(stateOf(model, "gamma")));
        QVERIFY(ExampleListModel::canUpdate(stateOf(model, "gamma")));
        QVERIFY(!ExampleListModel::canUpdate(stateOf(model, "delta")));

        // Removing one being installed withdraws it; a failure taken out of the list goes.
        model.setEdits({.toInstall = {"epsilon"}, .toRemove = {"gamma"}, .dismissed = {"delta"}});
        QCOMPARE(stateOf(model, "gamma"), State::WillBeRemoved);
        QCOMPARE(model.rowOf("delta"), -1);
        model.setEdits({.toInstall = {"zeta"}});
        QCOMPARE(model.rowOf("epsilon"), -1);
        QCOMPARE(text(model, "zeta"), "zeta (will be updated)");
    }

    // A finished install changes its own row and nothing else; the same news twice changes
    // nothing at all.
    void aFinishedInstallChangesOneRow()
    {
        QStringList names;
        for (int i = 0; i < 500; ++i)
            names.append(QString("example-%1").arg(i, 3, 10, QChar('0')));
        ExampleListModel model;
        QAbstractItemModelTester tester(&model);
        RepositoryState state;
        state.installing = QSet<QString>(names.cbegin(), names.cend());
        model.setRepository("widgets", installed(names.mid(0, 250)), state, {}, {});
        QCOMPARE(model.rowCount(), 500);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        state.installing.remove("example-300");
        state.results.insert("example-300", ExampleResult::installed(false));
        model.setState(state);
        model.setInstalledExample("example-300", installed({"example-300"}).value("example-300"));
        QVERIFY(!changed.isEmpty());
        for (const QList<QVariant> &change : std::as_const(changed)) {
            QCOMPARE(change.at(0).toModelIndex(), change.at(1).toModelIndex());
            QCOMPARE(change.at(0).toModelIndex().row(), model.rowOf("example-300"));
        }
        QCOMPARE(text(model, "example-300"), "example-300");
        QCOMPARE(model.index(model.rowOf("example-300")).data(ExampleListModel::LocationRole),
                 QVariant("/examples/example-300"));
        changed.clear();
        model.setState(state);
        model.setInstalled(model.installed());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(inserted.count() + removed.count() + reset.count(), 0);

        // One that never came goes from the list by itself.
        state.installing.remove("example-400");
        model.setState(state);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.rowOf("example-400"), -1);
        QCOMPARE(model.rowCount(), 499);
    }
};

QTEST_MAIN(tst_ExampleListModel)

#include "tst_examplelistmodel.moc"
