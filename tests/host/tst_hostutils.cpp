// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include <hovri/sdk.h>
#include <utils/fancylineedit.h>
#include <utils/filepath.h>
#include <utils/id.h>
#include <utils/qtcsettings.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace Utils;

namespace {

using ReleaseInfo = std::tuple<QString, QString, QString, QString>;

// Libraries may ask for the release while they are being loaded, long before main().
struct StartupRelease
{
    bool beforeApplication = false;
    ReleaseInfo fromEnvironment;
    ReleaseInfo fromInstallation;
};

const StartupRelease startupRelease = [] {
    StartupRelease result;
    result.beforeApplication = QCoreApplication::instance() == nullptr;
    result.fromEnvironment = Hovri::Sdk::releaseInfo();
    const QByteArray saved = qgetenv("HOVRI_SDK_RELEASE_FILE");
    qunsetenv("HOVRI_SDK_RELEASE_FILE");
    result.fromInstallation = Hovri::Sdk::releaseInfo();
    qputenv("HOVRI_SDK_RELEASE_FILE", saved);
    return result;
}();

ReleaseInfo readReleaseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    return {lines.value(0), lines.value(1), lines.value(2), lines.value(3)};
}

class ReleaseFileOverride final
{
public:
    explicit ReleaseFileOverride(const QString &path)
        : m_saved(qgetenv("HOVRI_SDK_RELEASE_FILE"))
    {
        qputenv("HOVRI_SDK_RELEASE_FILE", QFile::encodeName(path));
    }
    ~ReleaseFileOverride() { qputenv("HOVRI_SDK_RELEASE_FILE", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class tst_HostUtils final : public QObject
{
    Q_OBJECT

private slots:
    void settingsRoundTripThroughIniFile();
    void idsAreInterned();
    void filePathAppends_data();
    void filePathAppends();
    void filePathFromUserInputExpandsHomeAndCleans();
    void filterClearButtonFollowsText();
    void releaseInfoWorksBeforeApplicationExists();
    void releaseInfoReadsOverrideFile();
    void releaseInfoFillsMissingFieldsWithDefaults();
};

void tst_HostUtils::settingsRoundTripThroughIniFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath("QtCreator.ini");
    {
        QtcSettings settings(fileName, QSettings::IniFormat);
        settings.beginGroup("Brindle");
        settings.setValue("Url", QString("https://gitlab.example.org"));
        settings.setValue(keyFromString("Sets"), QStringList{"one", "two, three"});
        settings.setValue(Key(QByteArray("Removed")), 1);
        QCOMPARE(settings.group(), QString("Brindle"));
        settings.endGroup();
        settings.setValue(Key("Plain", 5), true);
        settings.remove("Brindle/Removed");
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }

    QFile raw(fileName);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(raw.readAll().contains("[Brindle]"));

    const QtcSettings settings(fileName, QSettings::IniFormat);
    QCOMPARE(settings.value("Brindle/Url").toString(), QString("https://gitlab.example.org"));
    QCOMPARE(settings.value("Brindle/Sets").toStringList(), QStringList({"one", "two, three"}));
    QVERIFY(settings.value("Plain").toBool());
    QVERIFY(!settings.contains("Brindle/Removed"));
    QCOMPARE(settings.value("Brindle/Missing", 7).toInt(), 7);
    QCOMPARE(settings.childGroups(), QStringList{"Brindle"});
    QCOMPARE(stringFromKey(keyFromString("Grüße/Key")), QString("Grüße/Key"));
}

void tst_HostUtils::idsAreInterned()
{
    const Id id("Brindle.Examples");
    QVERIFY(id.isValid());
    QCOMPARE(Id::fromString("Brindle.Examples"), id);
    QCOMPARE(Id::fromName("Brindle.Examples"), id);
    QCOMPARE(id.name(), QByteArray("Brindle.Examples"));
    QCOMPARE(id.toString(), QString("Brindle.Examples"));
    QVERIFY(Id("Brindle.Other") != id);
    QVERIFY(!Id().isValid());
    QVERIFY(!Id("").isValid());
    QVERIFY(!Id::fromString(QString()).isValid());
}

void tst_HostUtils::filePathAppends_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("appended");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "/data/examples"
                           << "set"
                           << "/data/examples/set";
    QTest::newRow("trailing slash") << "/data/examples/"
                                    << "set"
                                    << "/data/examples/set";
    QTest::newRow("leading slash") << "/data/examples"
                                   << "/set/a"
                                   << "/data/examples/set/a";
    QTest::newRow("empty base") << ""
                                << "set"
                                << "set";
    QTest::newRow("nothing appended") << "/data"
                                      << ""
                                      << "/data";
}

void tst_HostUtils::filePathAppends()
{
    QFETCH(QString, base);
    QFETCH(QString, appended);
    QFETCH(QString, expected);

    const FilePath result = FilePath::fromString(base).pathAppended(appended);
    QCOMPARE(result.toFSPathString(), expected);
    QCOMPARE(result.path(), expected);
    QCOMPARE(result.toUserOutput(), QDir::toNativeSeparators(expected));
}

void tst_HostUtils::filePathFromUserInputExpandsHomeAndCleans()
{
    QCOMPARE(FilePath::fromUserInput("~/examples").path(), QDir::homePath() + "/examples");
    QCOMPARE(FilePath::fromUserInput(" /data//sets/../examples/ ").path(),
             QString("/data/examples"));
    QVERIFY(FilePath::fromUserInput("").isEmpty());
}

void tst_HostUtils::filterClearButtonFollowsText()
{
    FancyLineEdit edit;
    edit.resize(300, edit.sizeHint().height());
    edit.setFiltering(true);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    QCOMPARE(edit.placeholderText(), QString("Filter"));
    QAbstractButton *clear = edit.button(FancyLineEdit::Right);
    QVERIFY(clear);
    QCOMPARE(clear->toolTip(), QString("Clear text"));
    QVERIFY(!clear->isVisible());

    QTest::keyClicks(&edit, "qml");
    QVERIFY(clear->isVisible());
    QVERIFY(clear->geometry().left() > edit.width() / 2);
    QVERIFY(clear->geometry().right() < edit.width());

    QTest::mouseClick(clear, Qt::LeftButton);
    QVERIFY(edit.text().isEmpty());
    QVERIFY(!clear->isVisible());

    edit.setText("kept");
    edit.setFiltering(false);
    QVERIFY(!clear->isVisible());
    QVERIFY(edit.placeholderText().isEmpty());
}

void tst_HostUtils::releaseInfoWorksBeforeApplicationExists()
{
    QVERIFY(startupRelease.beforeApplication);
    const QString testFile = qEnvironmentVariable("HOVRI_SDK_RELEASE_FILE");
    QVERIFY(!testFile.isEmpty());
    QCOMPARE(startupRelease.fromEnvironment, readReleaseFile(testFile));
    QCOMPARE(std::get<2>(startupRelease.fromEnvironment), QString("palvexos-sdk-5.0"));
    // Without the override the library finds the release file shipped in the build tree.
    QCOMPARE(startupRelease.fromInstallation,
             readReleaseFile(BRINDLE_BINARY_DIR "/share/hovri-sdk/release"));
    QCOMPARE(Hovri::Sdk::osVariant(), QString("Palvex OS"));
}

void tst_HostUtils::releaseInfoReadsOverrideFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("release"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Palvex OS SDK Beta\r\n6.1.0\r\npalvexos-sdk-6.1\r\n2027-02-03\r\n");
    file.close();

    const ReleaseFileOverride override(file.fileName());
    QCOMPARE(Hovri::Sdk::releaseInfo(),
             ReleaseInfo("Palvex OS SDK Beta", "6.1.0", "palvexos-sdk-6.1", "2027-02-03"));
}

void tst_HostUtils::releaseInfoFillsMissingFieldsWithDefaults()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("release"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Custom SDK\n7.0\n  \n");
    file.close();

    {
        const ReleaseFileOverride override(file.fileName());
        const auto [name, version, releaseId, date] = Hovri::Sdk::releaseInfo();
        QCOMPARE(name, QString("Custom SDK"));
        QCOMPARE(version, QString("7.0"));
        QCOMPARE(releaseId, QString("palvexos-sdk-5.0"));
        QVERIFY(!date.isEmpty());
    }
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Custom SDK\n7.0\n../../escape\n");
    file.close();
    {
        const ReleaseFileOverride override(file.fileName());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("escape"));
        QCOMPARE(std::get<2>(Hovri::Sdk::releaseInfo()), QString("palvexos-sdk-5.0"));
    }
    const ReleaseFileOverride missing(dir.filePath("missing"));
    QCOMPARE(std::get<2>(Hovri::Sdk::releaseInfo()), QString("palvexos-sdk-5.0"));
}

QTEST_MAIN(tst_HostUtils)

#include "tst_hostutils.moc"
