// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "settings.h"

#include <QLoggingCategory>
#include <QTest>

using namespace Brindle::Internal;

static QStringList messages;

static void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

class tst_SettingsUnsafeRelease : public QObject
{
    Q_OBJECT

private slots:
    void releaseNameWithControlCharacterIsReplaced()
    {
        QLoggingCategory::setFilterRules("oskel.brindle.plugin.debug=true");
        qInstallMessageHandler(collect);
        const QString location = Settings::location();
        qInstallMessageHandler(nullptr);

        const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        QCOMPARE(location, dataHome + "/sdk-release/%1");
        QVERIFY(!messages.filter("SDK release is not usable as a directory name:").isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_SettingsUnsafeRelease)

#include "tst_settings_unsaferelease.moc"
