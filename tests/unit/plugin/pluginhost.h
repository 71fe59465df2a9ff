// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <coreplugin/dialogs/ioptionspage.h>

#include <QLibrary>
#include <QStringList>

// What the plugin tests share: the built plugin file, the log they write and access to the
// plugin's own service holder.
namespace PluginHost {

inline const char PLUGIN_DIR[] = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins";
inline const char PLUGIN_FILE[] = BRINDLE_BINARY_DIR "/lib/brindle-host/plugins/libBrindle.so";

inline QStringList messages;

inline void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

// Brindle::Internal::Plugin::downloadService(), taken from the loaded plugin file itself:
// the test process has no copy of the plugin code, so this is the plugin's own holder.
inline void *downloadService()
{
    using Function = void *(*)();
    const auto function = reinterpret_cast<Function>(
        QLibrary::resolve(PLUGIN_FILE, "_ZN7Brindle8Internal6Plugin15downloadServiceEv"));
    Q_ASSERT(function);
    return function();
}

inline Core::IOptionsPage *optionsPage()
{
    for (Core::IOptionsPage *page : Core::IOptionsPage::allOptionsPages()) {
        if (page->id() == Utils::Id("Oskel.Brindle.Plugin.Settings.Page"))
            return page;
    }
    return nullptr;
}

} // namespace PluginHost
