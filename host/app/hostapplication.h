// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

QT_BEGIN_NAMESPACE
class QTemporaryDir;
QT_END_NAMESPACE

#include <memory>
#include <utility>

namespace Brindle::Host {

class MainWindow;
class StallProbe;
class SyncWatcher;

class HostOptions
{
public:
    QString settingsPath;
    QString language; // -language
    QStringList pluginPaths;
    QStringList repositories; // NAME=URL
    QString screenshotFile;
    QString clickButton;
    QStringList selections;  // comboBoxName=text
    QString checkRepository; // --check-repository URL
    QString jsonFile;
    int timeoutSeconds = 120;
    bool timeoutGiven = false;
    int quietPeriodMs = 1500;
    bool sync = false;
    bool options = false;
    bool profile = false;
    bool stallProbe = false;
};

// The stand-in IDE: loads the plugins, shows the main window or, for scripts, waits for the
// plugins' downloads to settle (--sync) and takes screenshots (--screenshot).
class HostApplication final : public QObject
{
    Q_OBJECT

public:
    HostApplication();
    ~HostApplication() override;

    // Chooses the offscreen platform when there is no display or nobody will look at the
    // window; must run before the QApplication exists.
    static void preparePlatform(int argc, char **argv);

    // Returns -1 to go on into the event loop, or the process' exit code.
    int start(const QStringList &arguments);
    void shutdown();
    // False when the private folder of --check-repository could not be removed entirely.
    bool isCleanedUp() const { return m_cleanedUp; }

private slots:
    void onCheckFinished();

private:
    int parseArguments(const QStringList &arguments);
    // Returns -1 when the token is stored for every repository, or the process' exit code.
    int storeAccessToken(const QString &token, const QList<std::pair<QString, QUrl>> &repositories);
    void installTranslators();
    void loadPlugins();
    void onSettled();
    void onSyncFailed(const QString &message);
    int takeScreenshot();
    // --check-repository: the plugins run with settings, data and temporary folder in one
    // private folder, which goes when the host ends.
    int startCheck(const QString &accessToken);
    void cancelCheck();
    void removeCheckFolder();

    HostOptions m_options;
    std::unique_ptr<MainWindow> m_window;
    QPointer<SyncWatcher> m_watcher;
    QPointer<StallProbe> m_stallProbe;
    int m_syncExitCode = 0;
    std::unique_ptr<QTemporaryDir> m_checkFolder;
    QPointer<QObject> m_check;
    bool m_cleanedUp = true;
};

} // namespace Brindle::Host
