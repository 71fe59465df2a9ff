// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// Serves the bundled sample examples over GitLab's REST API on 127.0.0.1, for demos and manual
// testing of the plugin.

#include "gitlabserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QtEndian>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
const char StatsRequest = 's';

void onSignal(int signal)
{
    const char byte = signal == SIGUSR1 ? StatsRequest : 'q';
    // Only async-signal-safe calls here; the event loop does the real work.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0
           && ::sigaction(SIGUSR1, &action, nullptr) == 0;
}

// Soak runs fail a share of the requests. Each request path draws a number below 100 from the
// seed, so the same paths fail in every run with that seed, whatever order requests come in.
int draw(uint seed, const char *salt, const QString &path)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray::number(seed) + salt + path.toUtf8(), QCryptographicHash::Sha1);
    return int(qFromBigEndian<quint32>(digest.constData()) % 100);
}

void addShareFault(GitLab::Server &server,
                   uint seed,
                   const char *route,
                   int from,
                   int to,
                   const char *label,
                   const GitLab::Fault &fault)
{
    if (from >= to)
        return;
    const QRegularExpression pattern(route);
    server.addFault(
        [=](const GitLab::RecordedRequest &request) {
            if (!pattern.match(request.path).hasMatch())
                return false;
            const int value = draw(seed, route, request.path);
            if (value < from || value >= to)
                return false;
            std::fprintf(stderr, "fault %s %s\n", label, qPrintable(request.path));
            return true;
        },
        fault);
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
    const QCommandLineOption failOption(
        "fail-archives", "Answer this share of archive requests with 500.", "percent", "0");
    const QCommandLineOption hangOption(
        "hang-archives", "Never answer this share of archive requests.", "percent", "0");
    const QCommandLineOption cutOption("cut-archives",
                                       "Close the connection mid-body for this share of archives.",
                                       "percent",
                                       "0");
    const QCommandLineOption avatarOption(
        "bad-avatars", "Send bytes that are no image for this share of avatars.", "percent", "0");
    const QCommandLineOption seedOption("seed", "Chooses which requests fail.", "n", "1");
    parser.addOptions({samplesOption,
                       portOption,
                       verboseOption,
                       failOption,
                       hangOption,
                       cutOption,
                       avatarOption,
                       seedOption});
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(
            stderr, "gitlab-server: invalid port \"%s\"\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    int percents[4] = {};
    const QCommandLineOption *shareOptions[4]
        = {&failOption, &hangOption, &cutOption, &avatarOption};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        percents[i] = parser.value(*shareOptions[i]).toInt(&ok);
        if (!ok || percents[i] < 0 || percents[i] > 100) {
            std::fprintf(stderr,
                         "gitlab-server: --%s needs a percentage\n",
                         qPrintable(shareOptions[i]->names().constFirst()));
            return 2;
        }
    }
    const auto [failShare, hangShare, cutShare, avatarShare] = percents;
    bool seedOk = false;
    const uint seed = parser.value(seedOption).toUInt(&seedOk);
    if (!seedOk || failShare + hangShare + cutShare > 100) {
        std::fprintf(stderr, "gitlab-server: invalid --seed or archive shares above 100%%\n");
        return 2;
    }

    if (!installSignalHandlers()) {
        std::perror("gitlab-server: cannot install signal handlers");
        return 1;
    }
    GitLab::Server server;
    qint64 requestCount = 0;
    QObject::connect(
        &server, &GitLab::Server::requestReceived, &app, [&requestCount] { ++requestCount; });

    QSocketNotifier signalNotifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        if (byte != StatsRequest) {
            QCoreApplication::quit();
            return;
        }
        std::printf("requests %lld bytes %lld\n", requestCount, server.bytesSent());
        std::fflush(stdout);
    });

    const char archiveRoute[] = "^/api/v4/projects/[^/]+/repository/archive";
    const int hangFrom = failShare;
    const int cutFrom = hangFrom + hangShare;
    addShareFault(server, seed, archiveRoute, 0, hangFrom, "fail", GitLab::Fault::status500());
    addShareFault(
        server, seed, archiveRoute, hangFrom, cutFrom, "hang", {GitLab::Fault::NeverAnswer});
    addShareFault(server,
                  seed,
                  archiveRoute,
                  cutFrom,
                  cutFrom + cutShare,
                  "cut",
                  {GitLab::Fault::CloseMidBody});
    GitLab::Fault badImage;
    badImage.status = 200;
    badImage.body = "GIF89a, or so it says";
    badImage.headers = {{"Content-Type", "image/png"}};
    addShareFault(
        server, seed, "^/uploads/-/system/project/avatar/", 0, avatarShare, "avatar", badImage);

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
