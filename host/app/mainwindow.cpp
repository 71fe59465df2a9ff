// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "mainwindow.h"

#include "optionsdialog.h"
#include "welcomepage.h"

#include <coreplugin/icore.h>
#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <hovri/sdk.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Brindle::Host {

namespace {

QString stateName(ExtensionSystem::PluginSpec::State state)
{
    using PluginSpec = ExtensionSystem::PluginSpec;
    switch (state) {
    case PluginSpec::Invalid:
        return MainWindow::tr("Invalid");
    case PluginSpec::Read:
        return MainWindow::tr("Read");
    case PluginSpec::Resolved:
        return MainWindow::tr("Resolved");
    case PluginSpec::Loaded:
        return MainWindow::tr("Loaded");
    case PluginSpec::Initialized:
        return MainWindow::tr("Initialized");
    case PluginSpec::Running:
        return MainWindow::tr("Running");
    case PluginSpec::Stopped:
        return MainWindow::tr("Stopped");
    case PluginSpec::Deleted:
        return MainWindow::tr("Deleted");
    }
    return {};
}

} // namespace

MainWindow::MainWindow(Utils::QtcSettings *settings, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName("MainWindow");
    const auto [product, version, release, date] = Hovri::Sdk::releaseInfo();
    setWindowTitle(tr("Welcome - %1 %2").arg(product, version));

    m_welcomePage = new WelcomePage(settings, this);
    setCentralWidget(m_welcomePage);

    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    QAction *quit = fileMenu->addAction(tr("E&xit"), qApp, &QApplication::quit);
    quit->setShortcut(QKeySequence::Quit);

    // Where Qt Creator 16 has its options dialog on Linux and Windows.
    QMenu *editMenu = menuBar()->addMenu(tr("&Edit"));
    QAction *options = editMenu->addAction(tr("Preference&s..."), this, &MainWindow::showOptions);
    options->setObjectName("optionsAction");
    options->setShortcut(QKeySequence::Preferences);

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("About &Plugins..."), this, &MainWindow::showAboutPlugins);

    statusBar()->setSizeGripEnabled(true);
    connect(Core::ProgressManager::instance(),
            &Core::ProgressManager::taskAdded,
            this,
            &MainWindow::addProgress);
    for (Core::FutureProgress *progress : Core::ProgressManager::instance()->tasks())
        addProgress(progress);

    resize(1100, 720);
}

MainWindow::~MainWindow() = default;

void MainWindow::addProgress(Core::FutureProgress *progress)
{
    // The entry deletes itself when its task is over, which also takes it off the bar.
    statusBar()->addPermanentWidget(progress);
    progress->show();
}

void MainWindow::showOptions()
{
    OptionsDialog dialog(this);
    dialog.exec();
}

void MainWindow::showAboutPlugins()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Installed Plugins"));
    auto tree = new QTreeWidget(&dialog);
    tree->setRootIsDecorated(false);
    tree->setHeaderLabels({tr("Name"), tr("Version"), tr("Vendor"), tr("State"), tr("Location")});
    for (ExtensionSystem::PluginSpec *plugin : ExtensionSystem::PluginManager::plugins()) {
        auto item = new QTreeWidgetItem(tree,
                                        {plugin->name(),
                                         plugin->version(),
                                         plugin->vendor(),
                                         plugin->hasError() ? tr("Error") : stateName(plugin->state()),
                                         plugin->filePath()});
        if (plugin->hasError())
            item->setToolTip(3, plugin->errorString());
    }
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto layout = new QVBoxLayout(&dialog);
    layout->addWidget(tree);
    layout->addWidget(buttons);
    dialog.resize(760, 320);
    dialog.exec();
}

} // namespace Brindle::Host
