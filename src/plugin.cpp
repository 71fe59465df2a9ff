// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "plugin.h"

#include "constants.h"
#include "downloadservice.h"
#include "logging.h"
#include "optionspage.h"
#include "optionswidget.h"
#include "repositorycheck.h"
#include "settings.h"

#include <coreplugin/icore.h>
#include <extensionsystem/pluginmanager.h>
#include <hovri/sdk.h>
#include <utils/filepath.h>
#include <utils/qtcsettings.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QScopedPointer>
#include <QSslSocket>
#include <QTranslator>

#include <dlfcn.h>

namespace Brindle::Internal {

// The name under which the service is published in the IDE's object pool. Whoever waits for
// the examples (an installer's script through the IDE) finds it by this name and reads its
// "busy" property; nothing outside the plugin needs its class.
const char SERVICE_OBJECT_NAME[] = "Brindle.DownloadService";
// The maintainers' check of a group, published the same way: a host runs it through its
// "start" method and reads its "report" when it has "finished".
const char CHECK_OBJECT_NAME[] = "Brindle.RepositoryCheck";

// The translations folder of the package this library came with: beside an installation
// into the IDE's own folders that is the IDE's, but a plugin installed into the user's plugin
// folder (Help > About Plugins > Install Plugin...) keeps the package's layout there,
// <folder>/lib/qtcreator/plugins/libBrindle.so and <folder>/share/qtcreator/translations.
static QString packageTranslationsPath()
{
    Dl_info info;
    if (::dladdr(reinterpret_cast<void *>(&packageTranslationsPath), &info) == 0
        || !info.dli_fname) {
        return {};
    }
    const QFileInfo library(QFile::decodeName(info.dli_fname));
    return QDir::cleanPath(library.absolutePath()
                           + QLatin1String("/../../../share/qtcreator/translations"));
}

// The one service of the process. It has no QObject parent: the plugin shuts it down and
// deletes it before anything else goes away, and a service still held at library unload
// is deleted here.
static QScopedPointer<DownloadService> pServiceManager;

class BrindlePluginPrivate final : public QObject
{
public:
    BrindlePluginPrivate();
    ~BrindlePluginPrivate() override;

    // Ends a check under way, while every other plugin is still there.
    void shutdown() { check->cancel(); }

private:
    RepositoryCheck *check = nullptr;
};

BrindlePluginPrivate::BrindlePluginPrivate()
{
    // Before the service exists, so that the host's example sets already point at this
    // release's data location when the first downloads land.
    Settings::updateInstalledExamplesValue(Core::ICore::settings(QSettings::UserScope));

    const QString displayName
        = Hovri::Sdk::osVariant(0) + u' '
          + QCoreApplication::translate("Brindle::Internal::BrindlePlugin", "Examples");
    new OptionsPage(displayName,
                    Utils::Id(Constants::OPTIONS_PAGE_ID),
                    [] { return new OptionsWidget(); },
                    this);

    pServiceManager.reset(new DownloadService(nullptr));
    pServiceManager->setObjectName(QLatin1String(SERVICE_OBJECT_NAME));
    ExtensionSystem::PluginManager::addObject(pServiceManager.data());

    check = new RepositoryCheck(this);
    check->setObjectName(QLatin1String(CHECK_OBJECT_NAME));
    ExtensionSystem::PluginManager::addObject(check);
}

BrindlePluginPrivate::~BrindlePluginPrivate()
{
    ExtensionSystem::PluginManager::removeObject(check);
    delete check;
}

Plugin::Plugin() = default;

Plugin::~Plugin()
{
    // The service goes first: none of its replies or extractions may arrive once the
    // options page and the plugin are gone.
    if (pServiceManager) {
        // Out of the pool while it still exists: the IDE holds plain pointers there.
        ExtensionSystem::PluginManager::removeObject(pServiceManager.data());
        pServiceManager->shutdown();
        pServiceManager.reset();
    }
    delete d;
    d = nullptr;
}

bool Plugin::initialize(const QStringList &arguments, QString *errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)

    // The language the IDE itself speaks: its -language option, its settings and the system's
    // languages decide it, and only a language the IDE has translations for counts. Empty
    // means the IDE's built-in English, and then the plugin speaks English too, whatever the
    // system's locale.
    const QString language = Core::ICore::userInterfaceLanguage();
    if (language.isEmpty()) {
        qCDebug(Log::main) << "The IDE speaks English: no translator";
    } else {
        // Installed before the private part is built, so the options page title is translated.
        auto translator = new QTranslator(this);
        const QString directory = Core::ICore::resourcePath("translations").toFSPathString();
        const QString packageDirectory = packageTranslationsPath();
        if (translator->load(QLocale(language), "Brindle", "_", directory, QString())
            || (!packageDirectory.isEmpty()
                && translator->load(
                    QLocale(language), "Brindle", "_", packageDirectory, QString()))) {
            QCoreApplication::installTranslator(translator);
        } else {
            qCDebug(Log::main) << "Failed to load translator:" << directory << "Brindle";
        }
    }

    d = new BrindlePluginPrivate;
    return true;
}

void Plugin::extensionsInitialized() {}

bool Plugin::delayedInitialize()
{
    // Asking for the SSL library's version loads the TLS backend, about 10 ms that the IDE's
    // start-up should not wait for.
    if (QSslSocket::sslLibraryBuildVersionNumber() != QSslSocket::sslLibraryVersionNumber()) {
        qCDebug(Log::main) << "SSL versions mismatch!\nCompiled version:\t"
                           << QSslSocket::sslLibraryBuildVersionString() << "\nSystem version:\t"
                           << QSslSocket::sslLibraryVersionString();
    }
    return true;
}

ExtensionSystem::IPlugin::ShutdownFlag Plugin::aboutToShutdown()
{
    // Qt Creator cancels every progress entry when its main window closes, and the events of
    // that cancel arrive before the plugins are deleted; downloads and extractions end here,
    // while every other plugin is still there, and nothing new starts afterwards. The service
    // itself goes with the plugin.
    if (pServiceManager)
        pServiceManager->shutdown();
    if (d)
        d->shutdown();
    return SynchronousShutdown;
}

DownloadService *Plugin::downloadService()
{
    return pServiceManager.data();
}

void Plugin::initMenu(QListWidget *list, std::function<QUrl(const QString &)> location)
{
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        list,
        &QWidget::customContextMenuRequested,
        list,
        [list, location = std::move(location)](const QPoint &pos) {
            if (!list->itemAt(pos))
                return;
            QMenu menu;
            QAction *open = menu.addAction(
                QCoreApplication::translate("Brindle::Internal::Plugin", "Open location..."));
            // The action does the work, however it is chosen (click, keys, accessibility):
            // what exec() reports depends on how the menu was closed.
            QObject::connect(open, &QAction::triggered, list, [list, &location] {
                const QList<QListWidgetItem *> items = list->selectedItems();
                for (const QListWidgetItem *item : items) {
                    // Rows the filter hides may still be selected; they are not opened.
                    if (item->isHidden())
                        continue;
                    const QString text = item->data(Qt::UserRole).toString();
                    if (!QDesktopServices::openUrl(location(text)))
                        qCDebug(Log::main) << "Unable to open location:" << text;
                }
            });
            // The menu runs its own event loop; the list goes with it if its dialog closes
            // meanwhile, and with it the connection above.
            menu.exec(list->viewport()->mapToGlobal(pos));
        },
        Qt::DirectConnection);
}

} // namespace Brindle::Internal
