// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// Updates every example of a repository of many with the options page open, once with that
// repository shown and once with another one shown, and prints how long each round took and
// the longest time the event loop was kept from running. Run it through page.sh, which keeps
// it away from the user's settings and examples.

#include "downloadservice.h"
#include "examplelistmodel.h"
#include "optionswidget.h"
#include "plugin.h"

#include "gitlabserver.h"

#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace Brindle::Internal;

// The largest lateness of a zero-interval timer while it runs.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            longest = std::max(longest, clock.restart());
        });
    }
    void start()
    {
        longest = 0;
        clock.start();
        timer.start(0);
    }
    qint64 stop()
    {
        timer.stop();
        return longest;
    }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

static bool waitUntilIdle(DownloadService *service, int seconds)
{
    return QTest::qWaitFor([service] { return !service->isBusy(); }, seconds * 1000);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    if (qEnvironmentVariableIsEmpty("BRINDLE_HOST_SETTINGS_PATH")) {
        std::fprintf(stderr, "page-bench: run it through bench/page.sh\n");
        return 2;
    }

    // The server answers in a thread of its own, so that its work is not counted as the
    // page's.
    QThread serverThread;
    serverThread.start();
    std::unique_ptr<GitLab::Server> server;
    QObject context;
    context.moveToThread(&serverThread);
    QUrl url;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            server = std::make_unique<GitLab::Server>();
            for (int i = 0; i < count; ++i) {
                GitLab::Project project{.path = QString("example-%1").arg(i, 4, 10, QChar('0'))};
                project.files
                    = {{"CMakeLists.txt", "project(x)\n"}, {"main.cpp", "int main() {}\n"}};
                server->addProject("acme/bench", project);
            }
            GitLab::Project other{.path = "other"};
            other.files = {{"CMakeLists.txt", "project(x)\n"}};
            server->addProject("acme/other", other);
            if (server->listen())
                url = server->baseUrl();
        },
        Qt::BlockingQueuedConnection);
    if (url.isEmpty()) {
        std::fprintf(stderr, "page-bench: the server did not start\n");
        return 2;
    }

    Utils::QtcSettings *settings = Core::ICore::settings();
    settings->clear();
    settings->setValue("Brindle/Repositories",
                       QStringList{"bench|" + url.toString() + "/acme/bench|",
                                   "other|" + url.toString() + "/acme/other|"});
    settings->setValue("Brindle/UpdatesCheckTimeoutDays", 1);

    int result = 0;
    {
        Plugin plugin;
        QString error;
        if (!plugin.initialize({}, &error)) {
            std::fprintf(stderr, "page-bench: %s\n", qPrintable(error));
            return 2;
        }
        DownloadService *service = Plugin::downloadService();
        // The first round installs everything; the updates below replace it.
        QTest::qWait(100);
        if (!waitUntilIdle(service, 600)) {
            std::fprintf(stderr, "page-bench: the first installation did not end\n");
            return 2;
        }

        StallProbe probe;
        for (const QString &shown : {QString("bench"), QString("other")}) {
            OptionsWidget page;
            page.resize(600, 500);
            page.show();
            auto combo = page.findChild<QComboBox *>("repositoryComboBox");
            combo->setCurrentText("bench");
            auto list = page.findChild<QListView *>("examplesListView");
            if (!QTest::qWaitFor([&] { return page.exampleModel()->rowCount() == count; }, 60000)) {
                std::fprintf(stderr, "page-bench: the page did not list the examples\n");
                return 2;
            }
            list->selectAll();
            page.findChild<QPushButton *>("updateButton")->click();
            combo->setCurrentText(shown);

            QElapsedTimer clock;
            clock.start();
            probe.start();
            page.apply();
            const bool done = waitUntilIdle(service, 600);
            const qint64 elapsed = clock.elapsed();
            const qint64 stall = probe.stop();
            const RepositoryState state = service->repositoryState("bench");
            int updated = 0;
            for (const ExampleResult &example : state.results)
                updated += example.outcome == ExampleResult::Outcome::Updated ? 1 : 0;
            std::printf(
                "shown: %-5s examples: %d updated: %d total: %.2f s longest stall: %lld ms\n",
                qPrintable(shown),
                count,
                updated,
                elapsed / 1000.0,
                stall);
            if (shown == "bench" && (!done || updated != count || elapsed > 5000 || stall > 50))
                result = 1;
        }
        service->shutdown();
    }
    QMetaObject::invokeMethod(
        &context, [&] { server.reset(); }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return result;
}
