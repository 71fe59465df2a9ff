// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "core_global.h"

#include <utils/filepath.h>
#include <utils/qtcsettings.h>

#include <QSettings>
#include <QString>

QT_BEGIN_NAMESPACE
class QMainWindow;
class QWidget;
QT_END_NAMESPACE

namespace Core {

class CORE_EXPORT ICore final
{
public:
    ICore() = delete;

    // The user settings, whatever the scope: the host keeps no separate system settings.
    static Utils::QtcSettings *settings(QSettings::Scope scope = QSettings::UserScope);

    // <BRINDLE_HOST_RESOURCE_PATH, else <application dir>/../share/brindle-host>/rel
    static Utils::FilePath resourcePath(const QString &rel = {});

    // The locale name of the language the IDE's interface speaks ("de", "ru_RU"), empty when
    // it speaks its built-in English. As in Qt Creator, the application decides it at start
    // (-language, "General/OverrideLanguage", the system's languages; only one the IDE has
    // translations for) and keeps it in the application's "qtc_locale" property.
    static QString userInterfaceLanguage();

    // The active modal dialog, else the main window, else nullptr.
    static QWidget *dialogParent();
    static QMainWindow *mainWindow();
    static void setMainWindow(QMainWindow *mainWindow);
};

} // namespace Core
