// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "hostapplication.h"

#include "checkreportformat.h"
#include "examplestable.h"
#include "keychainwriter.h"
#include "mainwindow.h"
#include "optionsdialog.h"
#include "pluginlog.h"
#include "repositoryconfig.h"
#include "stallprobe.h"
#include "syncwatcher.h"
#include "welcomepage.h"

#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/icore.h>
#include <extensionsystem/pluginmanager.h>
#include <utils/qtcsettings.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace Brindle::Host {

namespace {

const char HELP_CATEGORY[] = "H.Help";
const char HELP_CATEGORY_ICON[] = ":/brindlehost/images/category_help.png";
const char PLUGIN_LOG_PREFIX[] = "oskel.brindle.plugin";
// What the examples plugin publishes in the plugin manager's pool while it works.
const char EXAMPLES_SERVICE_NAME[] = "Brindle.DownloadService";
// The examples plugin's check of a group: "start(QUrl,QString)", "cancel()", the signal
// "finished()" and the property "report".
const char CHECK_OBJECT_NAME[] = "Brindle.RepositoryCheck";
const int DEFAULT_CHECK_TIMEOUT_SECONDS = 600;
// One line per failure of the examples' latest rounds; empty when they did all they tried.
const char FAILURES_PROPERTY[] = "failures";
// The access token for the repositories --add-repository configures. An environment
// variable, never an argument: arguments show in every process listing.
const char ACCESS_TOKEN_VARIABLE[] = "BRINDLE_ACCESS_TOKEN";
const int KEYCHAIN_TIMEOUT_MS = 60000;

void printError(const QString &text)
{
    std::fprintf(stderr, "brindle-host: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void printOut(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// GitLab's tokens are one word of printable characters.
bool isUsableToken(const QString &token)
{
    return std::none_of(token.cbegin(), token.cend(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control;
    });
}

bool hasArgument(int argc, char **argv, std::initializer_list<const char *> names)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *name : names) {
            if (std::strcmp(argv[i], name) == 0)
                return true;
        }
    }
    return false;
}

// Where the kernel keeps the environment the process was started with, which is what
// /proc/<pid>/environ shows for the process's whole life: [env_start, env_end), fields 50
// and 51 of /proc/self/stat. Empty when that cannot be read.
std::pair<const char *, const char *> startEnvironmentBlock()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    // The command name, field 2, is in parentheses and may itself hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 49)
        return {};
    bool startOk = false;
    bool endOk = false;
    const auto start = fields.at(47).toULongLong(&startOk);
    const auto end = fields.at(48).trimmed().toULongLong(&endOk);
    if (!startOk || !endOk || start >= end)
        return {};
    return {reinterpret_cast<const char *>(quintptr(start)),
            reinterpret_cast<const char *>(quintptr(end))};
}

// Reads the variable 'name' and takes it out of the environment. unsetenv() only drops the
// pointer to it; the text stays in the start-up environment, readable by every process of
// the same user through /proc as long as this one runs, so it is overwritten there.
QString takeEnvironmentVariable(const char *name)
{
    const QByteArray prefix = QByteArray(name) + '=';
    char *entry = nullptr;
    for (char **variable = environ; variable && *variable; ++variable) {
        if (std::strncmp(*variable, prefix.constData(), size_t(prefix.size())) == 0) {
            entry = *variable;
            break;
        }
    }
    const QString value = qEnvironmentVariable(name);
    qunsetenv(name);
    const auto [start, end] = startEnvironmentBlock();
    if (entry && entry >= start && entry < end)
        std::memset(entry, 0, ::strnlen(entry, size_t(end - entry)));
    return value;
}

} // namespace

HostApplication::HostApplication() = default;

HostApplication::~HostApplication()
{
    shutdown();
}

void HostApplication::preparePlatform(int argc, char **argv)
{
    if (hasArgument(argc, argv, {"-platform", "--platform"})
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    const bool haveDisplay = !qEnvironmentVariableIsEmpty("DISPLAY")
                             || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool unattended = hasArgument(argc,
                                        argv,
                                        {"--sync",
                                         "-sync",
                                         "--screenshot",
                                         "-screenshot",
                                         "--check-repository",
                                         "-check-repository"});
    if (!haveDisplay || unattended)
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int HostApplication::parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    // The IDE's own options are single-dash words ("-settingspath"); both forms work.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        tr("Stand-in for the Qt Creator IDE of the Palvex OS SDK: loads the IDE plugins and "
           "shows the Welcome screen's examples."));
    parser.addHelpOption();
    parser.addVersionOption();

    const QCommandLineOption settingsPath(
        "settingspath", tr("Keep the user settings in <dir>/QtProject."), tr("dir"));
    const QCommandLineOption pluginPath(
        "pluginpath", tr("Also load plugins from <dir> (repeatable)."), tr("dir"));
    const QCommandLineOption addRepository(
        "add-repository",
        tr("Configure the example repository NAME at the GitLab group URL, as the SDK "
           "installer does (repeatable). An access token in the environment variable "
           "BRINDLE_ACCESS_TOKEN goes into the system keychain for these repositories."),
        tr("NAME=URL"));
    const QCommandLineOption sync(
        "sync",
        tr("Wait until every repository finished its update or gave up for now, print the "
           "Welcome screen's examples and exit: 0 when everything tried was installed, 4 when "
           "a repository or an example failed, 1 after the time limit."));
    const QCommandLineOption checkRepository(
        "check-repository",
        tr("Check the GitLab group at URL as the examples plugin installs it, in a private "
           "temporary folder, without the user's settings, data or keychain; print one line per "
           "project and a summary and exit: 0 clean, 1 warnings only, 2 errors, 3 the group "
           "cannot be reached. An access token comes from BRINDLE_ACCESS_TOKEN."),
        tr("URL"));
    const QCommandLineOption json("json",
                                  tr("With --check-repository: also write the report as JSON "
                                     "to <file>."),
                                  tr("file"));
    const QCommandLineOption timeout("timeout",
                                     tr("Give --sync up after <seconds> (default 120), "
                                        "--check-repository after 600."),
                                     tr("seconds"),
                                     QString::number(m_options.timeoutSeconds));
    const QCommandLineOption quietPeriod(
        "quiet-period",
        tr("Once the plugins report their work done, --sync waits for <ms> without activity "
           "(default 1500)."),
        tr("ms"),
        QString::number(m_options.quietPeriodMs));
    const QCommandLineOption screenshot("screenshot",
                                        tr("Save the main window (or, with --options, the "
                                           "options dialog) to <file.png> and exit."),
                                        tr("file.png"));
    const QCommandLineOption options("options",
                                     tr("Open Edit > Preferences on the Help category."));
    const QCommandLineOption click(
        "click",
        tr("With --options: press the button <name> in the options dialog; --screenshot then "
           "saves the dialog it opens."),
        tr("name"));
    const QCommandLineOption select(
        "select",
        tr("With --options: choose <text> in the combo box <name> of the options dialog "
           "before --click (repeatable)."),
        tr("name=text"));
    const QCommandLineOption profile("profile",
                                     tr("Print how long each plugin took to load and start."));
    const QCommandLineOption stallProbe(
        "stall-probe",
        tr("Print the longest time the event loop was kept from running when the host exits "
           "(also when BRINDLE_HOST_STALL_PROBE is set)."));
    const QCommandLineOption platform("platform", tr("The Qt platform plugin to use."), tr("name"));
    const QCommandLineOption language(
        "language", tr("The interface language, e.g. de (as the IDE's -language)."), tr("locale"));

    parser.addOptions({settingsPath,
                       pluginPath,
                       addRepository,
                       sync,
                       checkRepository,
                       json,
                       timeout,
                       quietPeriod,
                       screenshot,
                       options,
                       click,
                       select,
                       profile,
                       stallProbe,
                       platform,
                       language});

    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        return 2;
    }
    if (parser.isSet("help")) {
        printOut(parser.helpText());
        return 0;
    }
    if (parser.isSet("version")) {
        printOut(QCoreApplication::applicationName() + QLatin1Char(' ')
                 + QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        printError(
            tr("Unexpected argument \"%1\".").arg(parser.positionalArguments().constFirst()));
        return 2;
    }

    bool ok = false;
    m_options.timeoutGiven = parser.isSet(timeout);
    m_options.timeoutSeconds = parser.value(timeout).toInt(&ok);
    // The limit runs on a millisecond timer.
    if (!ok || m_options.timeoutSeconds <= 0 || m_options.timeoutSeconds > 2147483) {
        printError(tr("--timeout needs a number of seconds from 1 to 2147483."));
        return 2;
    }
    m_options.quietPeriodMs = parser.value(quietPeriod).toInt(&ok);
    if (!ok || m_options.quietPeriodMs < 0) {
        printError(tr("--quiet-period needs a number of milliseconds."));
        return 2;
    }
    if (parser.isSet(settingsPath))
        m_options.settingsPath = QDir(parser.value(settingsPath)).absolutePath();
    for (const QString &path : parser.values(pluginPath))
        m_options.pluginPaths.append(QDir(path).absolutePath());
    m_options.repositories = parser.values(addRepository);
    m_options.screenshotFile = parser.value(screenshot);
    m_options.clickButton = parser.value(click);
    m_options.selections = parser.values(select);
    m_options.language = parser.value(language);
    m_options.sync = parser.isSet(sync);
    m_options.options = parser.isSet(options);
    m_options.profile = parser.isSet(profile);
    m_options.stallProbe
        = parser.isSet(stallProbe) || !qEnvironmentVariableIsEmpty("BRINDLE_HOST_STALL_PROBE");
    if ((!m_options.clickButton.isEmpty() || !m_options.selections.isEmpty())
        && !m_options.options) {
        printError(tr("--click and --select need --options."));
        return 2;
    }
    m_options.checkRepository = parser.value(checkRepository);
    m_options.jsonFile = parser.value(json);
    if (!m_options.jsonFile.isEmpty() && m_options.checkRepository.isEmpty()) {
        printError(tr("--json needs --check-repository."));
        return 2;
    }
    if (parser.isSet(checkRepository)) {
        const QUrl url(m_options.checkRepository, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty()
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            || url.path().size() < 2) {
            printError(tr("--check-repository needs the http or https address of a GitLab "
                          "group, e.g. https://gitlab.example.com/palvexos/examples."));
            return 2;
        }
        if (m_options.sync || m_options.options || !m_options.repositories.isEmpty()
            || !m_options.screenshotFile.isEmpty()) {
            printError(tr("--check-repository goes with neither --sync, --add-repository, "
                          "--options nor --screenshot."));
            return 2;
        }
        if (!m_options.timeoutGiven)
            m_options.timeoutSeconds = DEFAULT_CHECK_TIMEOUT_SECONDS;
    }
    return -1;
}

int HostApplication::start(const QStringList &arguments)
{
    // Taken out of the environment at once, so that no child process (tar) inherits it and
    // no other process reads it from this one's.
    const QString accessToken = takeEnvironmentVariable(ACCESS_TOKEN_VARIABLE).trimmed();

    if (const int code = parseArguments(arguments); code >= 0)
        return code;
    if (!m_options.checkRepository.isEmpty())
        return startCheck(accessToken);

    if (!m_options.settingsPath.isEmpty()) {
        const QString file = m_options.settingsPath + QLatin1String("/QtProject/QtCreator.ini");
        ExtensionSystem::PluginManager::setSettings(
            new Utils::QtcSettings(file, QSettings::IniFormat));
    }
    Utils::QtcSettings *settings = Core::ICore::settings();

    QList<std::pair<QString, QUrl>> repositories;
    for (const QString &argument : std::as_const(m_options.repositories)) {
        QString name;
        QUrl url;
        if (const QString error = RepositoryConfig::parse(argument, &name, &url);
            !error.isEmpty()) {
            printError(error);
            return 2;
        }
        repositories.append({name, url});
    }

    // The tokens first: a repository whose token cannot be kept is not configured either, so
    // that running the same command again once the keychain works is all it takes.
    if (!accessToken.isEmpty()) {
        if (const int code = storeAccessToken(accessToken, repositories); code >= 0)
            return code;
    }

    for (const auto &[name, url] : std::as_const(repositories)) {
        if (const QString error = RepositoryConfig::add(settings, name, url); !error.isEmpty()) {
            printError(error);
            return 2;
        }
        const QString line
            = tr("repository \"%1\" at %2, examples in %3")
                  .arg(name,
                       RepositoryConfig::displayUrl(url),
                       QDir::toNativeSeparators(RepositoryConfig::dataDirectory(name)));
        printError(accessToken.isEmpty() ? line
                                         : tr("%1, access token in the system keychain").arg(line));
    }

    installTranslators();
    Core::IOptionsPage::registerCategory(
        HELP_CATEGORY, tr("Help"), Utils::FilePath::fromString(HELP_CATEGORY_ICON));

    m_window = std::make_unique<MainWindow>(settings);
    Core::ICore::setMainWindow(m_window.get());

    if (m_options.sync) {
        m_watcher = new SyncWatcher(QLatin1String(EXAMPLES_SERVICE_NAME),
                                    m_options.quietPeriodMs,
                                    m_options.timeoutSeconds * 1000,
                                    this);
        connect(m_watcher, &SyncWatcher::settled, this, &HostApplication::onSettled);
        connect(m_watcher, &SyncWatcher::failed, this, &HostApplication::onSyncFailed);
        connect(m_watcher, &SyncWatcher::progress, this, &printError);
        QPointer<SyncWatcher> watcher = m_watcher;
        PluginLog::watch(PLUGIN_LOG_PREFIX, [watcher] {
            if (watcher)
                watcher->noteActivity();
        });
    }

    loadPlugins();
    // When Qt Creator's Welcome plugin builds its example set model: after every plugin's
    // initialize(), once.
    m_window->welcomePage()->readExampleSets();

    if (m_options.stallProbe) {
        m_stallProbe = new StallProbe(this);
        m_stallProbe->start();
    }
    if (m_options.sync) {
        m_watcher->start();
    } else if (!m_options.screenshotFile.isEmpty()) {
        QTimer::singleShot(0, this, [this] { QCoreApplication::exit(takeScreenshot()); });
    } else {
        m_window->show();
        if (m_options.options)
            QTimer::singleShot(0, m_window.get(), &MainWindow::showOptions);
    }
    return -1;
}

int HostApplication::storeAccessToken(const QString &token,
                                      const QList<std::pair<QString, QUrl>> &repositories)
{
    if (repositories.isEmpty()) {
        printError(tr("%1 is set, but no repository is added with --add-repository: the "
                      "access token is not stored.")
                       .arg(QLatin1String(ACCESS_TOKEN_VARIABLE)));
        return -1;
    }
    if (!isUsableToken(token)) {
        printError(tr("%1 holds spaces or control characters: that is no GitLab access token.")
                       .arg(QLatin1String(ACCESS_TOKEN_VARIABLE)));
        return 2;
    }
    for (const auto &[name, url] : repositories) {
        // The plugin's key for the entry: the URL as configured, without a password.
        QString error;
        switch (KeychainWriter::store(
            url.toString(QUrl::RemovePassword), token, KEYCHAIN_TIMEOUT_MS, &error)) {
        case KeychainWriter::Result::Stored:
            break;
        case KeychainWriter::Result::NoKeychain:
            printError(tr("No system keychain is available (%1): the access token of "
                          "repository \"%2\" cannot be kept, so the repository is not "
                          "configured. On Linux a Secret Service such as gnome-keyring must "
                          "run in the D-Bus session.")
                           .arg(error, name));
            return 2;
        case KeychainWriter::Result::Failed:
            printError(tr("The access token of repository \"%1\" could not be stored in the "
                          "system keychain: %2")
                           .arg(name, error));
            return 2;
        }
    }
    return -1;
}

void HostApplication::installTranslators()
{
    // Qt Creator's choice of its interface language: -language, then "General/OverrideLanguage",
    // then the system's languages; the first one it has translations for wins, and English
    // (or "C") ends the search with the built-in texts. The plugins ask for the result through
    // ICore::userInterfaceLanguage(). The stand-in has no translations of its own: it speaks
    // the languages its translations folder holds files for (those of its plugins).
    QStringList languages = QLocale::system().uiLanguages();
    const QString overrideLanguage
        = ExtensionSystem::PluginManager::settings()->value("General/OverrideLanguage").toString();
    if (!overrideLanguage.isEmpty())
        languages.prepend(overrideLanguage);
    if (!m_options.language.isEmpty())
        languages.prepend(m_options.language);
    const QDir translations(Core::ICore::resourcePath("translations").toFSPathString());
    for (const QString &language : std::as_const(languages)) {
        const QString locale = QLocale(language).name();
        // As QTranslator::load() looks: "de_DE", then "de".
        bool translated = false;
        for (QString name = locale; !name.isEmpty() && !translated;
             name.truncate(std::max(qsizetype(0), name.lastIndexOf(QLatin1Char('_'))))) {
            translated
                = !translations.entryList({QLatin1String("*_") + name + QLatin1String(".qm")})
                       .isEmpty();
        }
        if (translated) {
            qApp->setProperty("qtc_locale", locale);
            // Qt's own texts (standard buttons) in the same language.
            auto translator = new QTranslator(this);
            if (translator->load(QLatin1String("qtbase_") + locale,
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
                QCoreApplication::installTranslator(translator);
            }
            break;
        }
        if (locale == QLatin1String("C") || locale.startsWith(QLatin1String("en")))
            break;
    }
}

void HostApplication::loadPlugins()
{
    QStringList paths{QDir::cleanPath(QCoreApplication::applicationDirPath()
                                      + QLatin1String("/../lib/brindle-host/plugins"))};
    paths += m_options.pluginPaths;
    ExtensionSystem::PluginManager::setPluginPaths(paths);
    ExtensionSystem::PluginManager::setProfilingEnabled(m_options.profile);
    ExtensionSystem::PluginManager::loadPlugins();

    const QStringList errors = ExtensionSystem::PluginManager::allErrors();
    for (const QString &error : errors)
        printError(error);
    if (ExtensionSystem::PluginManager::plugins().isEmpty())
        printError(tr("No plugins found in %1.").arg(paths.join(QLatin1String(", "))));
}

void HostApplication::onSettled()
{
    // Printing the examples is not the plugins' work.
    if (m_stallProbe)
        m_stallProbe->stop();
    WelcomePage *page = m_window->welcomePage();
    printOut(formatExamplesTable(page->allExamples()));
    m_syncExitCode = ExtensionSystem::PluginManager::hasError() ? 3 : 0;
    if (!m_watcher->service()) {
        // Without the examples plugin nothing was installed, whatever else loaded.
        printError(tr("No plugin published %1: the examples were not updated.")
                       .arg(QLatin1String(EXAMPLES_SERVICE_NAME)));
        m_syncExitCode = 3;
    } else if (m_syncExitCode == 0) {
        // The rounds ended; whether they did all they tried is the service's to say.
        const QStringList failures
            = m_watcher->service()->property(FAILURES_PROPERTY).toStringList();
        if (!failures.isEmpty()) {
            printError(tr("Failed:"));
            for (const QString &failure : failures)
                printError(failure);
            m_syncExitCode = 4;
        }
    }
    if (m_options.screenshotFile.isEmpty()) {
        QCoreApplication::exit(m_syncExitCode);
        return;
    }
    const int code = takeScreenshot();
    QCoreApplication::exit(code != 0 ? code : m_syncExitCode);
}

void HostApplication::onSyncFailed(const QString &message)
{
    printError(message);
    QCoreApplication::exit(1);
}

int HostApplication::takeScreenshot()
{
    m_window->show();
    QCoreApplication::processEvents();

    QWidget *target = m_window.get();
    std::unique_ptr<OptionsDialog> dialog;
    QPixmap shot;
    if (m_options.options) {
        dialog = std::make_unique<OptionsDialog>(m_window.get());
        dialog->showCategory(HELP_CATEGORY);
        dialog->show();
        QCoreApplication::processEvents();
        target = dialog.get();
        for (const QString &selection : std::as_const(m_options.selections)) {
            const QString name = selection.section(QLatin1Char('='), 0, 0);
            const QString text = selection.section(QLatin1Char('='), 1);
            auto comboBox = dialog->findChild<QComboBox *>(name);
            const int index = comboBox ? comboBox->findText(text) : -1;
            if (index < 0) {
                printError(
                    tr("The options dialog has no combo box \"%1\" with \"%2\".").arg(name, text));
                return 1;
            }
            comboBox->setCurrentIndex(index);
        }
        if (!m_options.clickButton.isEmpty()) {
            auto button = dialog->findChild<QAbstractButton *>(m_options.clickButton);
            if (!button) {
                printError(
                    tr("The options dialog has no button \"%1\".").arg(m_options.clickButton));
                return 1;
            }
            // A modal dialog opened by the button runs its own event loop inside click().
            QTimer poll;
            poll.setInterval(20);
            connect(&poll, &QTimer::timeout, this, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                if (!modal || modal == dialog.get())
                    return;
                poll.stop();
                shot = modal->grab();
                if (auto modalDialog = qobject_cast<QDialog *>(modal))
                    modalDialog->reject();
                else
                    modal->close();
            });
            poll.start();
            button->click();
            poll.stop();
            QCoreApplication::processEvents();
            if (shot.isNull()) {
                // Message boxes do not block; take the newest window the click opened.
                const QList<QWidget *> windows = QApplication::topLevelWidgets();
                for (QWidget *window : windows) {
                    if (window->isVisible() && window != m_window.get() && window != dialog.get()
                        && qobject_cast<QDialog *>(window)) {
                        target = window;
                    }
                }
            }
        }
    }
    if (shot.isNull())
        shot = target->grab();
    if (dialog)
        dialog->reject();

    if (!shot.save(m_options.screenshotFile)) {
        printError(tr("Cannot save the screenshot to %1.")
                       .arg(QDir::toNativeSeparators(m_options.screenshotFile)));
        return 1;
    }
    return 0;
}

int HostApplication::startCheck(const QString &accessToken)
{
    // Everything the plugins write goes below one private folder: the settings, the data
    // location (fixed when the plugin's library loads, after this) and the temporary files.
    // The user's settings are never opened, and with no repository configured the plugin
    // asks the keychain for nothing.
    m_checkFolder = std::make_unique<QTemporaryDir>(QDir::tempPath()
                                                    + QLatin1String("/brindle-check-XXXXXX"));
    if (!m_checkFolder->isValid()) {
        printError(tr("Cannot create a temporary folder for the check: %1")
                       .arg(m_checkFolder->errorString()));
        return 2;
    }
    m_cleanedUp = false;
    const QDir folder(m_checkFolder->path());
    for (const char *sub : {"data", "tmp", "settings/QtProject"}) {
        if (!folder.mkpath(QLatin1String(sub))) {
            printError(tr("Cannot create a temporary folder for the check: %1")
                           .arg(folder.filePath(QLatin1String(sub))));
            return 2;
        }
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    qputenv("TMPDIR", QFile::encodeName(folder.filePath(QStringLiteral("tmp"))));
    ExtensionSystem::PluginManager::setSettings(new Utils::QtcSettings(
        folder.filePath(QStringLiteral("settings/QtProject/QtCreator.ini")), QSettings::IniFormat));

    installTranslators();
    m_window = std::make_unique<MainWindow>(Core::ICore::settings());
    Core::ICore::setMainWindow(m_window.get());
    loadPlugins();

    m_check = ExtensionSystem::PluginManager::getObjectByName(QLatin1String(CHECK_OBJECT_NAME));
    if (!m_check) {
        printError(tr("No plugin published %1: nothing was checked.")
                       .arg(QLatin1String(CHECK_OBJECT_NAME)));
        return 2;
    }
    connect(m_check, SIGNAL(finished()), this, SLOT(onCheckFinished()));
    bool started = false;
    if (!QMetaObject::invokeMethod(m_check,
                                   "start",
                                   Q_RETURN_ARG(bool, started),
                                   Q_ARG(QUrl, QUrl(m_options.checkRepository)),
                                   Q_ARG(QString, accessToken))
        || !started) {
        printError(tr("The examples plugin did not start the check."));
        return 2;
    }
    QTimer::singleShot(std::chrono::seconds(m_options.timeoutSeconds), this, [this] {
        printError(tr("The check did not finish within %1 s (--timeout): what is not done "
                      "counts as an error.")
                       .arg(m_options.timeoutSeconds));
        cancelCheck();
    });
    return -1;
}

void HostApplication::cancelCheck()
{
    if (m_check)
        QMetaObject::invokeMethod(m_check, "cancel");
}

void HostApplication::onCheckFinished()
{
    const QJsonObject report = m_check ? m_check->property("report").toJsonObject() : QJsonObject();
    printOut(CheckReportFormat::text(report));
    int code = CheckReportFormat::exitCode(report);
    if (!m_options.jsonFile.isEmpty()) {
        QSaveFile file(m_options.jsonFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(report).toJson()) < 0
            || !file.commit()) {
            printError(tr("Cannot write the report to %1: %2")
                           .arg(QDir::toNativeSeparators(m_options.jsonFile), file.errorString()));
            code = 2;
        }
    }
    QCoreApplication::exit(code);
}

void HostApplication::shutdown()
{
    if (m_stallProbe) {
        printError(
            tr("longest event loop stall: %1 ms").arg(m_stallProbe->longestStallMs(), 0, 'f', 1));
        printError(tr("longest event loop pass in GUI thread CPU time: %1 ms")
                       .arg(m_stallProbe->longestCpuPassMs(), 0, 'f', 1));
        delete m_stallProbe;
    }
    if (m_window) {
        ExtensionSystem::PluginManager::shutdown();
        Core::ICore::setMainWindow(nullptr);
        m_window.reset();
    }
    removeCheckFolder();
}

void HostApplication::removeCheckFolder()
{
    if (!m_checkFolder)
        return;
    // The plugins are gone, and with them everything that worked in the folder.
    m_cleanedUp = m_checkFolder->remove();
    if (!m_cleanedUp) {
        printError(tr("The check's temporary folder could not be removed entirely: %1")
                       .arg(QDir::toNativeSeparators(m_checkFolder->path())));
    }
    m_checkFolder.reset();
}

} // namespace Brindle::Host
