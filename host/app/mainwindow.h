// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QMainWindow>

namespace Core {
class FutureProgress;
}
namespace Utils {
class QtcSettings;
}

namespace Brindle::Host {

class WelcomePage;

// The IDE's main window as far as the plugin can tell: the Welcome screen's examples, the
// progress entries in the status bar and Edit > Preferences.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(Utils::QtcSettings *settings, QWidget *parent = nullptr);
    ~MainWindow() override;

    WelcomePage *welcomePage() const { return m_welcomePage; }

public slots:
    void showOptions();
    void showAboutPlugins();

private:
    void addProgress(Core::FutureProgress *progress);

    WelcomePage *m_welcomePage = nullptr;
};

} // namespace Brindle::Host
