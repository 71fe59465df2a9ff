// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The real-IDE tests' hands inside Qt Creator. It writes "brindle-probe: ..." lines on stderr,
// which the tests wait for, and carries out command files that the tests drop into
// $BRINDLE_PROBE_DIR:
//   quit   Core::ICore::exit(), the way File > Exit ends the IDE
//   token <repository> <token>
//          Edit > Preferences on the plugin's page: chooses the repository, enters the token
//          through "Access token...", presses Apply and OK, then reads the keychain entry
//          (service "Brindle", key the repository's URL) back through the IDE's QtKeychain
//          until it holds the token
//   click-example <title>
//          clicks the example's tile on the Welcome screen with the X server's own pointer
//          (xdotool), once the tile is on screen
//   dismiss
//          names the active modal dialog and rejects it, as its Escape key would
// It finds the Brindle plugin's download service only through the IDE's object pool, as any
// other plugin would, and reads its "busy" property through the meta-object.

#include <coreplugin/icore.h>
#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>

#include <qtkeychain/keychain.h>
#include <utils/qtcsettings.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace BrindleProbe::Internal {

static void report(const QString &line)
{
    std::fprintf(stderr, "brindle-probe: %s\n", qPrintable(line));
    std::fflush(stderr);
}

class ProbePlugin final : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "probe.json")

public:
    void extensionsInitialized() final
    {
        m_dir = qEnvironmentVariable("BRINDLE_PROBE_DIR");
        if (!m_dir.isEmpty()) {
            QDir().mkpath(m_dir);
            m_watcher.addPath(m_dir);
            connect(
                &m_watcher, &QFileSystemWatcher::directoryChanged, this, &ProbePlugin::runCommands);
        }
        auto pm = ExtensionSystem::PluginManager::instance();
        connect(pm, &ExtensionSystem::PluginManager::objectAdded, this, &ProbePlugin::watch);
        watch(ExtensionSystem::PluginManager::getObjectByName("Brindle.DownloadService"));
        // The IDE shows these in a dialog that waits for a click; the tests need them in the log.
        for (const ExtensionSystem::PluginSpec *plugin : ExtensionSystem::PluginManager::plugins()) {
            if (plugin->hasError())
                report("plugin error: " + plugin->name() + ": " + plugin->errorString());
            else if (plugin->id() == "brindle")
                report("plugin brindle loaded from " + plugin->filePath().toUserOutput());
        }
        report("started");
    }

    bool delayedInitialize() final
    {
        report("delayed initialization done");
        runCommands(); // files dropped before the IDE was up
        return true;
    }

    ShutdownFlag aboutToShutdown() final
    {
        report("about to shut down");
        return SynchronousShutdown;
    }

private:
    void watch(QObject *object)
    {
        if (!object || object->objectName() != "Brindle.DownloadService" || m_service == object)
            return;
        m_service = object;
        const QMetaObject *meta = object->metaObject();
        const QMetaProperty busy = meta->property(meta->indexOfProperty("busy"));
        if (!busy.isValid() || !busy.hasNotifySignal()) {
            report("the download service has no busy property");
            return;
        }
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("busyChanged()"));
        connect(object, busy.notifySignal(), this, slot);
        m_busy = object->property("busy").toBool();
        report(m_busy ? "download service found, busy" : "download service found, not busy");
    }

    // "service idle" only ends a busy time, so a test that waits for it never takes the
    // quiet before the service's first round for its end.
    Q_SLOT void busyChanged()
    {
        if (!m_service)
            return;
        const bool busy = m_service->property("busy").toBool();
        if (busy == m_busy)
            return;
        m_busy = busy;
        report(busy ? "service busy" : "service idle");
    }

    void runCommands()
    {
        if (m_dir.isEmpty())
            return;
        const QStringList names = QDir(m_dir).entryList({"*.cmd"}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            QFile file(m_dir + '/' + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString command = QString::fromUtf8(file.readAll()).trimmed();
            file.close();
            file.remove();
            // A token never goes to the log, not even the tests' own.
            report(
                "command "
                + (command.startsWith("token ") ? command.section(' ', 0, 1) + " ..." : command));
            const QStringList words = command.split(' ', Qt::SkipEmptyParts);
            if (command == "quit")
                QTimer::singleShot(0, this, [] { Core::ICore::exit(); });
            else if (words.size() == 3 && words.first() == "token")
                QTimer::singleShot(0, this, [this, words] { setToken(words.at(1), words.at(2)); });
            else if (words.size() > 1 && words.first() == "click-example")
                clickExample(command.section(' ', 1).trimmed());
            else if (command == "dismiss")
                QTimer::singleShot(0, this, [] { dismiss(); });
            else
                report("unknown command " + command);
        }
    }

    // The Welcome screen's tiles are the items of its grid views, whose display text is the
    // example's title followed by its tags.
    static std::optional<QPoint> tileCenter(const QString &title)
    {
        for (QWidget *widget : QApplication::allWidgets()) {
            auto view = qobject_cast<QAbstractItemView *>(widget);
            if (!view || !view->isVisible() || !view->model())
                continue;
            const QAbstractItemModel *model = view->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                const QModelIndex index = model->index(row, 0);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text != title && !text.startsWith(title + ' '))
                    continue;
                const QRect rect = view->visualRect(index);
                if (rect.isValid() && view->viewport()->rect().contains(rect.center()))
                    return view->viewport()->mapToGlobal(rect.center());
            }
        }
        return std::nullopt;
    }

    void clickExample(const QString &title)
    {
        auto finder = new QTimer(this);
        finder->setInterval(100);
        int ticks = 0;
        connect(finder, &QTimer::timeout, this, [=]() mutable {
            const std::optional<QPoint> center = tileCenter(title);
            if (!center) {
                if (++ticks == 600) {
                    report("no tile of example \"" + title + "\" on the screen");
                    finder->deleteLater();
                }
                return;
            }
            finder->deleteLater();
            report(QString("example tile \"%1\" at %2,%3").arg(title).arg(center->x()).arg(center->y()));
            // The click may open a dialog that runs its own event loop: never waited for here.
            QProcess::startDetached("xdotool",
                                    {"mousemove",
                                     "--sync",
                                     QString::number(center->x()),
                                     QString::number(center->y()),
                                     "click",
                                     "1"});
        });
        finder->start();
    }

    static void dismiss()
    {
        auto dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            report("dismissed nothing: no modal dialog");
            return;
        }
        report("modal dialog \"" + dialog->windowTitle() + "\"");
        dialog->reject();
        report("dismissed");
    }

    // Drives the Preferences dialog through its widgets' own signals and slots, as a user's
    // clicks would, from a timer that keeps running in the dialogs' nested event loops.
    void setToken(const QString &repository, const QString &token)
    {
        const QString url = m_service ? repositoryUrl(repository) : QString();
        auto driver = new QTimer(this);
        driver->setInterval(50);
        int step = 0;
        int ticks = 0;
        connect(driver, &QTimer::timeout, this, [=]() mutable {
            QWidget *modal = QApplication::activeModalWidget();
            // A step that does not come within 20 s says where it stands, once.
            if (++ticks == 400) {
                report(QString("still at step %1 of setting the token; active modal widget: %2 %3")
                           .arg(step)
                           .arg(modal ? modal->metaObject()->className() : "none",
                                modal ? modal->objectName() : QString()));
            }
            if (!modal)
                return;
            if (step == 0) {
                auto combo = modal->findChild<QComboBox *>("repositoryComboBox");
                if (!combo || !combo->isVisible())
                    return;
                reportPage(modal, combo);
                combo->setCurrentIndex(combo->findText(repository));
                auto button = modal->findChild<QPushButton *>("accessTokenButton");
                report(
                    QString("repository \"%1\", access token button %2")
                        .arg(combo->currentText(), button->isEnabled() ? "enabled" : "disabled"));
                step = 1;
                ticks = 0;
                // Opens the token dialog and runs its event loop. Clicked from an event of its
                // own: a timer does not fire again while its own slot runs a nested loop.
                QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
            } else if (step == 1) {
                auto edit = modal->findChild<QLineEdit *>("tokenLineEdit");
                if (!edit)
                    return;
                edit->setText(token);
                step = 2;
                ticks = 0;
                modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            } else if (step == 2 && modal->findChild<QComboBox *>("repositoryComboBox")) {
                step = 3;
                driver->stop();
                QDialogButtonBox *buttons = settingsButtons(modal);
                buttons->button(QDialogButtonBox::Apply)->click();
                report("applied; the page says: "
                       + modal->findChild<QLabel *>("accessTokenLabel")->text());
                buttons->button(QDialogButtonBox::Ok)->click();
            }
        });
        driver->start();
        report("opening the preferences");
        Core::ICore::showOptionsDialog(Utils::Id("Oskel.Brindle.Plugin.Settings.Page"));
        report("preferences closed");
        driver->deleteLater();
        readKeychain(url, token, 0);
    }

    // The dialog's own button box, not one of the page's.
    static QDialogButtonBox *settingsButtons(QWidget *dialog)
    {
        const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>();
        for (QDialogButtonBox *box : boxes) {
            if (box->button(QDialogButtonBox::Apply))
                return box;
        }
        return boxes.value(0);
    }

    // Where the page is: the category list's current item and its tab's title.
    void reportPage(QWidget *dialog, QWidget *pageChild)
    {
        QString tabTitle;
        QWidget *tab = pageChild;
        for (; tab && tab->parentWidget() && tab != dialog; tab = tab->parentWidget()) {
            QWidget *stack = tab->parentWidget();
            if (auto tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
                tabTitle = tabs->tabText(tabs->indexOf(tab));
                break;
            }
        }
        QString category;
        for (QAbstractItemView *view : dialog->findChildren<QAbstractItemView *>()) {
            if (view->currentIndex().isValid() && !(tab && tab->isAncestorOf(view))) {
                category = view->currentIndex().data().toString();
                break;
            }
        }
        report(QString("options page \"%1\" in category \"%2\"").arg(tabTitle, category));
    }

    QString repositoryUrl(const QString &name) const
    {
        const QStringList items
            = Core::ICore::settings()->value("Brindle/Repositories").toStringList();
        for (const QString &item : items) {
            const QStringList fields = item.split('|');
            if (fields.size() >= 2 && fields.at(0) == name)
                return fields.at(1);
        }
        return {};
    }

    void readKeychain(const QString &url, const QString &token, int attempt)
    {
        auto job = new QKeychain::ReadPasswordJob("Brindle", this);
        job->setKey(url);
        job->setAutoDelete(true);
        connect(job, &QKeychain::Job::finished, this, [=](QKeychain::Job *) {
            if (job->error() == QKeychain::NoError && job->textData() == token) {
                report(QString("keychain holds the token of %1").arg(url));
            } else if (attempt < 150) {
                QTimer::singleShot(200, this, [=] { readKeychain(url, token, attempt + 1); });
            } else {
                report(QString("keychain lacks the token of %1: %2")
                           .arg(url,
                                job->error() == QKeychain::NoError ? "another value"
                                                                   : job->errorString()));
            }
        });
        job->start();
    }

    QString m_dir;
    QFileSystemWatcher m_watcher;
    QPointer<QObject> m_service;
    bool m_busy = false;
};

} // namespace BrindleProbe::Internal

#include "probeplugin.moc"
