// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "icore.h"

#include <extensionsystem/pluginmanager.h>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QPointer>

namespace Core {

namespace {

QPointer<QMainWindow> &theMainWindow()
{
    static QPointer<QMainWindow> mainWindow;
    return mainWindow;
}

} // namespace

Utils::QtcSettings *ICore::settings(QSettings::Scope scope)
{
    Q_UNUSED(scope)
    return ExtensionSystem::PluginManager::settings();
}

Utils::FilePath ICore::resourcePath(const QString &rel)
{
    QString dir = qEnvironmentVariable("BRINDLE_HOST_RESOURCE_PATH");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + "/../share/brindle-host";
    return Utils::FilePath::fromString(QDir::cleanPath(dir)).pathAppended(rel);
}

QString ICore::userInterfaceLanguage()
{
    return qApp ? qApp->property("qtc_locale").toString() : QString();
}

QWidget *ICore::dialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return theMainWindow().data();
}

QMainWindow *ICore::mainWindow()
{
    return theMainWindow().data();
}

void ICore::setMainWindow(QMainWindow *mainWindow)
{
    theMainWindow() = mainWindow;
}

} // namespace Core
