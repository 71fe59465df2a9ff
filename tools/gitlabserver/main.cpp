// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// Serves the bundled sample examples over GitLab's REST API on 127.0.0.1, for demos and manual
// testing of the plugin.

#include "gitlabserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop does the real work.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0
           && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("gitlab-server");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Serves example projects through GitLab's REST API v4 on 127.0.0.1.\n"
        "The first line printed is the server's base URL.");
    parser.addHelpOption();
    const QCommandLineOption samplesOption(
        "samples", "Sample projects to serve.", "dir", GITLAB_SAMPLES_DIR);
    const QCommandLineOption portOption("port", "Port to listen on (0: any free port).", "n", "0");
    const QCommandLineOption verboseOption("verbose", "Log every request to stderr.");
    parser.addOptions({samplesOption, portOption, verboseOption});
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(
            stderr, "gitlab-server: invalid port \"%s\"\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    if (!installSignalHandlers()) {
        std::perror("gitlab-server: cannot install signal handlers");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });

    GitLab::Server server;
    QString error;
    if (!server.loadSamples(parser.value(samplesOption), &error)) {
        std::fprintf(stderr, "gitlab-server: cannot load samples: %s\n", qPrintable(error));
        return 1;
    }
    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "gitlab-server: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    if (parser.isSet(verboseOption)) {
        QObject::connect(&server,
                         &GitLab::Server::requestAnswered,
                         &app,
                         [](const GitLab::RecordedRequest &request, int status) {
                             const QString query = request.query.toString(QUrl::FullyEncoded);
                             std::fprintf(stderr,
                                          "%s %s%s%s -> %d\n",
                                          request.method.constData(),
                                          qPrintable(request.path),
                                          query.isEmpty() ? "" : "?",
                                          qPrintable(query),
                                          status);
                         });
    }

    std::printf("%s\n", qPrintable(server.baseUrl().toString()));
    std::fflush(stdout);
    return app.exec();
}
