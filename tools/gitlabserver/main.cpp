// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// Serves the bundled sample examples over GitLab's REST API on 127.0.0.1, for demos and manual
// testing of the plugin.

#include "gitlabserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QtEndian>

#include <csignal>
#include <cstdio>
#include <memory>

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

enum class Draw { PerPath, PerRequest };

// PerPath: the same paths fail every time. PerRequest: each request of a path draws anew (by how
// often that path was asked for), so a client that retries gets through eventually.
void addShareFault(GitLab::Server &server,
                   uint seed,
                   const char *route,
                   int from,
                   int to,
                   const char *label,
                   const GitLab::Fault &fault,
                   Draw mode = Draw::PerPath)
{
    if (from >= to)
        return;
    const QRegularExpression pattern(route);
    const auto seen = std::make_shared<QHash<QString, int>>();
    server.addFault(
        [=](const GitLab::RecordedRequest &request) {
            if (!pattern.match(request.path).hasMatch())
                return false;
            const QString key = mode == Draw::PerPath
                                    ? request.path
                                    : request.path + '#' + QString::number((*seen)[request.path]++);
            const int value = draw(seed, route, key);
            if (value < from || value >= to)
                return false;
            std::fprintf(stderr, "fault %s %s\n", label, qPrintable(request.path));
            return true;
        },
        fault);
}

// "GROUP=N" with N > 0.
bool parseGroupCount(const QString &text, QString *group, int *count)
{
    const qsizetype eq = text.lastIndexOf('=');
    bool ok = false;
    *group = text.left(eq);
    *count = eq > 0 ? text.mid(eq + 1).toInt(&ok) : 0;
    return ok && *count > 0 && *count <= 1000000;
}

// Redirects stay on this machine: only loopback origins are accepted.
bool isLoopbackOrigin(const QUrl &url)
{
    if (!url.isValid() || url.scheme() != "http" || url.host().isEmpty() || !url.path().isEmpty())
        return false;
    if (url.host() == "localhost")
        return true;
    const QHostAddress address(url.host());
    return !address.isNull() && address.isLoopback();
}

QList<QByteArray> tokensIn(const QByteArray &text)
{
    QList<QByteArray> tokens;
    for (const QByteArray &token : text.simplified().split(' ')) {
        if (!token.isEmpty() && !token.startsWith('#'))
            tokens.append(token);
    }
    return tokens;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "gitlab-server: %s\n", qPrintable(message));
    return 2;
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
    const QCommandLineOption generateOption(
        "generate", "Add N generated projects to GROUP (repeatable).", "GROUP=N");
    const QCommandLineOption subgroupsOption(
        "generate-subgroups",
        "Add N look-alike subgroups below GROUP that sort before it (repeatable).",
        "GROUP=N");
    const QCommandLineOption tokenOption(
        "token", "Accept this access token (repeatable; prefer --tokens-file).", "token");
    const QCommandLineOption tokensFileOption(
        "tokens-file", "Accept the access tokens in this file, one a line.", "file");
    const QCommandLineOption busyOption(
        "busy", "Answer this share of all requests as a busy server.", "percent", "0");
    const QCommandLineOption busyStatusOption(
        "busy-status", "Status of busy answers: 429, 502, 503 or 504.", "status", "429");
    const QCommandLineOption retryAfterOption(
        "retry-after", "Retry-After of busy answers in seconds (-1: none).", "seconds", "2");
    const QCommandLineOption retryDateOption("retry-after-date",
                                             "Send Retry-After as an HTTP date.");
    const QCommandLineOption endlessOption(
        "endless", "Never end the body of answers to paths matching this (repeatable).", "regex");
    const QCommandLineOption hugeOption(
        "huge-length",
        "Declare a 5 GiB Content-Length for paths matching this (repeatable).",
        "regex");
    const QCommandLineOption trickleOption(
        "trickle",
        "Send the body of answers to paths matching this one byte every 20 s (repeatable).",
        "regex");
    const QCommandLineOption bombOption(
        "gzip-bomb",
        "Answer paths matching this with a gzip encoding of endless zeros (repeatable).",
        "regex");
    const QCommandLineOption zerosOption(
        "rewritten-zeros",
        "Answer archives of paths matching REGEX with N copies of one 16 MiB file of zeros "
        "(repeatable).",
        "REGEX=N");
    const QCommandLineOption damageOption(
        "damage-archives",
        "Answer archives of paths matching REGEX with a damaged archive, KIND one of truncated, "
        "flipped, garbage, tar-cut-at-member, tar-cut-in-member (repeatable).",
        "REGEX=KIND");
    const QCommandLineOption floodOption(
        "flood",
        "Answer group details and project pages of paths matching REGEX with N projects, "
        "each page naming a next one (repeatable).",
        "REGEX=N");
    const QCommandLineOption redirectOption(
        "redirect",
        "Redirect paths matching REGEX to the same path on ORIGIN (repeatable, loopback only).",
        "REGEX=ORIGIN");
    const QCommandLineOption certificateOption(
        "tls-certificate",
        "Serve HTTPS with this certificate (PEM: the server's, then its chain); needs --tls-key.",
        "file");
    const QCommandLineOption keyOption(
        "tls-key", "The private key (PEM) of --tls-certificate.", "file");
    parser.addOption(certificateOption);
    parser.addOption(keyOption);
    parser.addOptions({samplesOption,  portOption,       verboseOption,    failOption,
                       hangOption,     cutOption,        avatarOption,     seedOption,
                       generateOption, subgroupsOption,  tokenOption,      tokensFileOption,
                       busyOption,     busyStatusOption, retryAfterOption, retryDateOption,
                       endlessOption,  hugeOption,       trickleOption,    bombOption,
                       floodOption,    redirectOption,   zerosOption,      damageOption});
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
    bool busyOk = false;
    const int busyShare = parser.value(busyOption).toInt(&busyOk);
    if (!busyOk || busyShare < 0 || busyShare > 100)
        return usageError("--busy needs a percentage");
    const int busyStatus = parser.value(busyStatusOption).toInt();
    if (!QList<int>{429, 502, 503, 504}.contains(busyStatus))
        return usageError("--busy-status must be 429, 502, 503 or 504");
    bool retryOk = false;
    const int retryAfter = parser.value(retryAfterOption).toInt(&retryOk);
    if (!retryOk || retryAfter < -1)
        return usageError("--retry-after needs a number of seconds");
    for (const QString &pattern : parser.values(endlessOption) + parser.values(hugeOption)
                                      + parser.values(trickleOption) + parser.values(bombOption)) {
        if (!QRegularExpression(pattern).isValid())
            return usageError(QString("invalid regular expression \"%1\"").arg(pattern));
    }
    QList<QPair<QRegularExpression, QUrl>> redirects;
    for (const QString &text : parser.values(redirectOption)) {
        const qsizetype eq = text.lastIndexOf('=');
        const QRegularExpression pattern(text.left(qMax<qsizetype>(0, eq)));
        const QUrl origin(text.mid(eq + 1));
        if (eq <= 0 || !pattern.isValid() || !isLoopbackOrigin(origin))
            return usageError(
                QString("--redirect needs REGEX=http://127.0.0.1:PORT, not \"%1\"").arg(text));
        redirects.append({pattern, origin});
    }
    QList<QPair<QString, int>> floods;
    for (const QString &text : parser.values(floodOption)) {
        const qsizetype eq = text.lastIndexOf('=');
        bool ok = false;
        const int count = text.mid(eq + 1).toInt(&ok);
        if (eq <= 0 || !ok || count < 0 || !QRegularExpression(text.left(eq)).isValid())
            return usageError(QString("--flood needs REGEX=N, not \"%1\"").arg(text));
        floods.append({text.left(eq), count});
    }
    QList<QPair<QString, int>> zeroArchives;
    for (const QString &text : parser.values(zerosOption)) {
        const qsizetype eq = text.lastIndexOf('=');
        bool ok = false;
        const int copies = text.mid(eq + 1).toInt(&ok);
        if (eq <= 0 || !ok || copies < 1 || copies > 10000
            || !QRegularExpression(text.left(eq)).isValid())
            return usageError(QString("--rewritten-zeros needs REGEX=N, not \"%1\"").arg(text));
        zeroArchives.append({text.left(eq), copies});
    }
    QList<QPair<QString, GitLab::ArchiveDamage>> damagedArchives;
    for (const QString &text : parser.values(damageOption)) {
        const qsizetype eq = text.lastIndexOf('=');
        const std::optional<GitLab::ArchiveDamage> damage
            = GitLab::archiveDamageNamed(text.mid(eq + 1));
        if (eq <= 0 || !damage || !QRegularExpression(text.left(eq)).isValid())
            return usageError(QString("--damage-archives needs REGEX=KIND, not \"%1\"").arg(text));
        damagedArchives.append({text.left(eq), *damage});
    }
    QList<QByteArray> tokens;
    for (const QString &token : parser.values(tokenOption))
        tokens += tokensIn(token.toUtf8());
    tokens += tokensIn(qgetenv("GITLAB_SERVER_TOKENS"));
    if (parser.isSet(tokensFileOption)) {
        QFile file(parser.value(tokensFileOption));
        if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024) {
            std::fprintf(
                stderr, "gitlab-server: cannot read tokens from %s\n", qPrintable(file.fileName()));
            return 1;
        }
        for (const QByteArray &line : file.readAll().split('\n'))
            tokens += tokensIn(line);
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

    for (const QByteArray &token : std::as_const(tokens))
        server.addToken(token);
    for (const auto &[pattern, origin] : std::as_const(redirects))
        server.addFault(pattern.pattern(), GitLab::Fault::redirect(origin, 302));
    for (const QString &pattern : parser.values(endlessOption))
        server.addFault(pattern, GitLab::Fault::endless());
    for (const QString &pattern : parser.values(hugeOption))
        server.addFault(pattern, GitLab::Fault::hugeContentLength());
    for (const QString &pattern : parser.values(trickleOption))
        server.addFault(pattern, GitLab::Fault::trickle(20000));
    for (const QString &pattern : parser.values(bombOption))
        server.addFault(pattern, GitLab::Fault::gzipBomb());
    for (const auto &[pattern, copies] : std::as_const(zeroArchives))
        server.addFault(pattern, GitLab::Fault::rewrittenZeros(copies));
    for (const auto &[pattern, damage] : std::as_const(damagedArchives))
        server.addFault(pattern, GitLab::Fault::damagedArchive(damage));
    for (const auto &[pattern, count] : std::as_const(floods))
        server.addFault(pattern, GitLab::Fault::projectFlood(count));
    addShareFault(server,
                  seed,
                  "^/",
                  0,
                  busyShare,
                  "busy",
                  GitLab::Fault::busy(busyStatus, retryAfter, parser.isSet(retryDateOption)),
                  Draw::PerRequest);

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
    for (const auto &[option, subgroups] :
         {std::pair{&generateOption, false}, {&subgroupsOption, true}}) {
        for (const QString &text : parser.values(*option)) {
            QString group;
            int count = 0;
            if (!parseGroupCount(text, &group, &count))
                return usageError(QString("--%1 needs GROUP=N, not \"%2\"")
                                      .arg(option->names().constFirst(), text));
            const QList<qint64> added = subgroups ? server.addGeneratedSubgroups(group, count)
                                                  : server.addGeneratedProjects(group, count);
            if (added.isEmpty())
                return usageError(QString("cannot add to group \"%1\"").arg(group));
        }
    }
    if (parser.isSet(certificateOption) != parser.isSet(keyOption))
        return usageError("--tls-certificate and --tls-key go together");
    if (parser.isSet(certificateOption)) {
        QString error;
        if (!server.setTls(parser.value(certificateOption), parser.value(keyOption), &error))
            return usageError(error);
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
