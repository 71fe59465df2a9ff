// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httptestclient.h"

#include <gitlabserver.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace TestClient;

class tst_GitLabHttp final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void keptAliveConnectionsServeParallelRequests();
    void rawConnectionsStayOpenAcrossRequests();
    void pipelinedRequestsAreAnsweredInOrder();
    void headRequestsGetHeadersOnly();
    void http10ClientGetsArchiveUntilClose();
    void connectionCloseIsHonoured();
    void requestBodiesAreSkipped();
    void malformedOrOversizedRequestsGet400AndClose_data();
    void malformedOrOversizedRequestsGet400AndClose();
    void requestsBeforeAMalformedOneAreStillAnswered();
    void stalledClientsDoNotBlockOthers();
    void idleAndTricklingConnectionsAreClosed();
    void requestsAreRecordedInOrder();

    void statusFaultAnswersInsteadForItsUses();
    void rateLimitShapesMatchGitLab();
    void delayFaultAnswersAfterLaterRequests();
    void neverAnswerFaultStaysSilent();
    void closeMidBodyFaultCutsTheBody_data();
    void closeMidBodyFaultCutsTheBody();
    void wrongContentTypeFaultReplacesTheType();
    void invalidJsonFaultBreaksTheBody();
    void predicateFaultSelectsByRequest();

private:
    QUrl url(const QString &pathAndQuery) const
    {
        return QUrl(m_server.baseUrl().toString() + pathAndQuery);
    }

    GitLab::Server m_server;
    QNetworkAccessManager m_manager;
    qint64 m_project = 0;
    QByteArray m_archivePath;
};

void tst_GitLabHttp::initTestCase()
{
    QVERIFY(m_server.listen());
    QCOMPARE(m_server.baseUrl(), QUrl(QString("http://127.0.0.1:%1").arg(m_server.port())));
    m_server.addGroup("palvexos/examples", "Examples");
    GitLab::Project project;
    project.path = "big";
    project.name = "Big";
    // Incompressible content, so the archive spans many chunks and socket writes.
    QByteArray noise;
    quint32 x = 12345;
    for (int i = 0; i < 600 * 1024; ++i) {
        x = x * 1664525u + 1013904223u;
        noise.append(char(x >> 24));
    }
    project.files = {{"data.bin", noise}, {"README.md", "big\n"}};
    m_project = m_server.addProject("palvexos/examples", project);
    m_archivePath = QString("/api/v4/projects/%1/repository/archive").arg(m_project).toLatin1();
}

void tst_GitLabHttp::init()
{
    m_server.clearFaults();
    m_server.clearRequests();
}

void tst_GitLabHttp::keptAliveConnectionsServeParallelRequests()
{
    const QStringList paths{"/api/v4/groups",
                            "/api/v4/groups/palvexos%2Fexamples",
                            "/api/v4/projects/" + QString::number(m_project),
                            QString::fromLatin1(m_archivePath)};
    const QByteArray archive = m_server.archiveOf(m_project);
    auto runBatch = [&] {
        QList<QNetworkReply *> replies;
        for (int i = 0; i < 24; ++i)
            replies.append(startGet(m_manager, url(paths.at(i % paths.size()))));
        for (int i = 0; i < replies.size(); ++i) {
            const Reply reply = waitFor(replies.at(i));
            QCOMPARE(reply.error, QNetworkReply::NoError);
            QCOMPARE(reply.status, 200);
            if (i % paths.size() == 3)
                QCOMPARE(reply.body, archive);
            else
                QVERIFY(!reply.json().isNull());
        }
    };
    const int before = m_server.connectionsAccepted();
    runBatch();
    if (QTest::currentTestFailed())
        return;
    runBatch();
    QCOMPARE(m_server.requests().size(), 48);
    // QNetworkAccessManager opens at most six connections per host and now and then drops one
    // on its own; 48 requests over a dozen connections at most means they were kept alive.
    QVERIFY(m_server.connectionsAccepted() - before <= 12);
}

void tst_GitLabHttp::rawConnectionsStayOpenAcrossRequests()
{
    const int before = m_server.connectionsAccepted();
    QList<RawConnection *> connections;
    for (int i = 0; i < 3; ++i)
        connections.append(new RawConnection(m_server.port()));
    for (int round = 0; round < 3; ++round) {
        for (RawConnection *connection : std::as_const(connections))
            connection->send(TestClient::get("/api/v4/groups?page=" + QByteArray::number(round)));
        for (RawConnection *connection : std::as_const(connections)) {
            const RawResponse response = connection->readResponse();
            QCOMPARE(response.status, 200);
            QCOMPARE(response.header("Connection"), "keep-alive");
            QVERIFY(connection->isConnected());
        }
    }
    qDeleteAll(connections);
    QCOMPARE(m_server.connectionsAccepted() - before, 3);
    QCOMPARE(m_server.requests().size(), 9);
}

void tst_GitLabHttp::pipelinedRequestsAreAnsweredInOrder()
{
    RawConnection connection(m_server.port());
    connection.send(TestClient::get("/api/v4/groups/palvexos%2Fexamples?with_projects=false")
                    + "\r\n" + TestClient::get(m_archivePath) + TestClient::get("/api/v4/unknown")
                    + TestClient::get("/api/v4/projects/" + QByteArray::number(m_project)));

    const RawResponse group = connection.readResponse();
    QCOMPARE(group.status, 200);
    QCOMPARE(QJsonDocument::fromJson(group.body)["full_path"].toString(), "palvexos/examples");
    const RawResponse archive = connection.readResponse();
    QCOMPARE(archive.status, 200);
    QCOMPARE(archive.body, m_server.archiveOf(m_project));
    const RawResponse unknown = connection.readResponse();
    QCOMPARE(unknown.status, 404);
    QCOMPARE(unknown.body, R"({"error":"404 Not Found"})");
    const RawResponse project = connection.readResponse();
    QCOMPARE(project.status, 200);
    QCOMPARE(QJsonDocument::fromJson(project.body)["id"].toInteger(), m_project);
    QVERIFY(connection.isConnected());
}

void tst_GitLabHttp::headRequestsGetHeadersOnly()
{
    RawConnection connection(m_server.port());
    const QByteArray path = "/api/v4/projects/" + QByteArray::number(m_project);
    connection.send("HEAD " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const RawResponse head = connection.readResponse(true);
    QCOMPARE(head.status, 200);
    QCOMPARE(head.header("Content-Type"), "application/json");

    connection.send(TestClient::get(path));
    const RawResponse full = connection.readResponse();
    QCOMPARE(full.status, 200);
    QCOMPARE(head.header("Content-Length").toInt(), full.body.size());

    connection.send("HEAD " + m_archivePath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const RawResponse archiveHead = connection.readResponse(true);
    QCOMPARE(archiveHead.header("Transfer-Encoding"), "chunked");
    connection.send(TestClient::get("/api/v4/groups?per_page=1"));
    QCOMPARE(connection.readResponse().status, 200);
}

void tst_GitLabHttp::http10ClientGetsArchiveUntilClose()
{
    RawConnection connection(m_server.port());
    connection.send("GET " + m_archivePath + " HTTP/1.0\r\n\r\n");
    const RawResponse response = connection.readResponse();
    QVERIFY(response.complete);
    QCOMPARE(response.status, 200);
    QVERIFY(!response.chunked);
    QVERIFY(!response.hasHeader("Content-Length"));
    QCOMPARE(response.header("Connection"), "close");
    QCOMPARE(response.body, m_server.archiveOf(m_project));
}

void tst_GitLabHttp::connectionCloseIsHonoured()
{
    RawConnection connection(m_server.port());
    connection.send(TestClient::get("/api/v4/groups", "Connection: close\r\n"));
    const RawResponse response = connection.readResponse();
    QCOMPARE(response.status, 200);
    QCOMPARE(response.header("Connection"), "close");
    QVERIFY(connection.waitForClose());
}

void tst_GitLabHttp::requestBodiesAreSkipped()
{
    RawConnection connection(m_server.port());
    connection.send("POST /api/v4/groups HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 11\r\n\r\n"
                    "GET / HTTP/"
                    + TestClient::get("/api/v4/groups?per_page=1"));
    const RawResponse post = connection.readResponse();
    QCOMPARE(post.status, 405);
    QCOMPARE(post.header("Content-Type"), "application/json");
    const RawResponse next = connection.readResponse();
    QCOMPARE(next.status, 200);
    QCOMPARE(next.header("X-Per-Page"), "1");
}

void tst_GitLabHttp::malformedOrOversizedRequestsGet400AndClose_data()
{
    QTest::addColumn<QByteArray>("request");

    const QByteArray host = "Host: 127.0.0.1\r\n";
    QTest::newRow("not http") << QByteArray("HELLO THERE\r\n\r\n");
    QTest::newRow("no version") << "GET /api/v4/groups\r\n" + host + "\r\n";
    QTest::newRow("unknown version") << "GET /api/v4/groups HTTP/2.0\r\n" + host + "\r\n";
    QTest::newRow("lower-case version") << "GET /api/v4/groups http/1.1\r\n" + host + "\r\n";
    QTest::newRow("double space") << "GET  /api/v4/groups HTTP/1.1\r\n" + host + "\r\n";
    QTest::newRow("relative target") << "GET api/v4/groups HTTP/1.1\r\n" + host + "\r\n";
    QTest::newRow("control byte in target") << "GET /api/\x01v4 HTTP/1.1\r\n" + host + "\r\n";
    QTest::newRow("missing host") << QByteArray("GET /api/v4/groups HTTP/1.1\r\n\r\n");
    QTest::newRow("two hosts") << "GET /api/v4/groups HTTP/1.1\r\n" + host + host + "\r\n";
    QTest::newRow("header without colon") << "GET / HTTP/1.1\r\n" + host + "Broken\r\n\r\n";
    QTest::newRow("space before colon") << "GET / HTTP/1.1\r\n" + host + "X-A : b\r\n\r\n";
    QTest::newRow("folded header") << "GET / HTTP/1.1\r\n" + host + "X-A: b\r\n  c\r\n\r\n";
    QTest::newRow("NUL in header")
        << "GET / HTTP/1.1\r\n" + host + QByteArray("X-A: b\0c\r\n\r\n", 12);
    QTest::newRow("chunked request body") << "POST /api/v4/groups HTTP/1.1\r\n" + host
                                                 + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n";
    QTest::newRow("bad content length")
        << "POST / HTTP/1.1\r\n" + host + "Content-Length: 1x\r\n\r\n";
    QTest::newRow("negative content length")
        << "POST / HTTP/1.1\r\n" + host + "Content-Length: -1\r\n\r\n";
    QTest::newRow("conflicting content lengths")
        << "POST / HTTP/1.1\r\n" + host + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab";
    QTest::newRow("body too large")
        << "POST / HTTP/1.1\r\n" + host + "Content-Length: 5000000\r\n\r\n";
    QTest::newRow("request line too long")
        << "GET /" + QByteArray(9000, 'a') + " HTTP/1.1\r\n" + host + "\r\n";
    QTest::newRow("request line never ends") << "GET /" + QByteArray(20000, 'a');
    QTest::newRow("header section too large")
        << "GET / HTTP/1.1\r\n" + host + "X-Big: " + QByteArray(17 * 1024, 'b') + "\r\n\r\n";
    QByteArray many = "GET / HTTP/1.1\r\n" + host;
    for (int i = 0; i < 101; ++i)
        many += "X-H" + QByteArray::number(i) + ": v\r\n";
    QTest::newRow("too many headers") << many + "\r\n";
    QTest::newRow("headers never end") << "GET / HTTP/1.1\r\n" + QByteArray(40000, 'h');
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) & 0xff));
    QTest::newRow("binary junk") << junk + "\r\n\r\n";
}

void tst_GitLabHttp::malformedOrOversizedRequestsGet400AndClose()
{
    QFETCH(QByteArray, request);

    RawConnection connection(m_server.port());
    QVERIFY(connection.isConnected());
    connection.send(request);
    const RawResponse response = connection.readResponse();
    QCOMPARE(response.status, 400);
    QCOMPARE(response.header("Connection"), "close");
    QVERIFY(connection.waitForClose());
    QVERIFY(m_server.requests().isEmpty());

    // The server is unharmed.
    QCOMPARE(get(m_manager, url("/api/v4/groups")).status, 200);
}

void tst_GitLabHttp::requestsBeforeAMalformedOneAreStillAnswered()
{
    RawConnection connection(m_server.port());
    connection.send(TestClient::get("/api/v4/groups") + "BROKEN\r\n\r\n"
                    + TestClient::get("/api/v4/groups"));
    QCOMPARE(connection.readResponse().status, 200);
    QCOMPARE(connection.readResponse().status, 400);
    QVERIFY(connection.waitForClose());
    QCOMPARE(m_server.requests().size(), 1);
}

void tst_GitLabHttp::stalledClientsDoNotBlockOthers()
{
    RawConnection silent(m_server.port());
    RawConnection halfRequest(m_server.port());
    halfRequest.send("GET /api/v4/groups HTTP/1.1\r\nHo");
    RawConnection halfBody(m_server.port());
    halfBody.send("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 100\r\n\r\nabc");
    RawConnection unreading(m_server.port());
    for (int i = 0; i < 8; ++i)
        unreading.send(TestClient::get(m_archivePath));

    m_server.addFault("/groups/never$", {GitLab::Fault::NeverAnswer});
    RawConnection waiting(m_server.port());
    waiting.send(TestClient::get("/api/v4/groups/never"));

    const Reply reply = get(m_manager, url("/api/v4/groups/palvexos%2Fexamples"));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.json()["full_path"].toString(), "palvexos/examples");
    QCOMPARE(get(m_manager, url(QString::fromLatin1(m_archivePath))).body,
             m_server.archiveOf(m_project));
    QVERIFY(silent.isConnected());
    QVERIFY(halfRequest.isConnected());
}

void tst_GitLabHttp::idleAndTricklingConnectionsAreClosed()
{
    GitLab::Server server;
    server.setIdleTimeout(200);
    QCOMPARE(server.idleTimeout(), 200);
    QVERIFY(server.listen());

    RawConnection idle(server.port());
    RawConnection trickling(server.port());
    trickling.send("GET /api/v4/groups HTTP/1.1\r\n");
    RawConnection afterAnswer(server.port());
    afterAnswer.send(TestClient::get("/api/v4/groups"));
    QCOMPARE(afterAnswer.readResponse().status, 200);

    QVERIFY(idle.waitForClose());
    QVERIFY(trickling.waitForClose());
    QVERIFY(afterAnswer.waitForClose());
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, Timeout);
}

void tst_GitLabHttp::requestsAreRecordedInOrder()
{
    QSignalSpy received(&m_server, &GitLab::Server::requestReceived);
    get(m_manager,
        url("/api/v4/groups?search=%22palvexos%2Fexamples%22&per_page=5"),
        {{"X-Trace", "one"}});
    get(m_manager, url("/api/v4/groups/palvexos%2Fexamples"), {{"X-Trace", "two"}});
    RawConnection connection(m_server.port());
    connection.send(
        "HEAD /api/v4/groups HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Trace: a\r\nx-trace: b\r\n\r\n");
    QCOMPARE(connection.readResponse(true).status, 200);

    const QList<GitLab::RecordedRequest> requests = m_server.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(received.size(), 3);
    QCOMPARE(requests.at(0).method, "GET");
    QCOMPARE(requests.at(0).path, "/api/v4/groups");
    QCOMPARE(requests.at(0).query.queryItemValue("search", QUrl::FullyDecoded),
             "\"palvexos/examples\"");
    QCOMPARE(requests.at(0).query.queryItemValue("per_page"), "5");
    QCOMPARE(requests.at(0).header("x-trace"), "one");
    QCOMPARE(requests.at(1).path, "/api/v4/groups/palvexos%2Fexamples");
    QCOMPARE(requests.at(1).header("X-TRACE"), "two");
    QCOMPARE(requests.at(2).method, "HEAD");
    QCOMPARE(requests.at(2).header("X-Trace"), "a, b");
    QVERIFY(requests.at(2).header("Accept").isNull());
    QCOMPARE(received.at(1).at(0).value<GitLab::RecordedRequest>().path, requests.at(1).path);

    m_server.clearRequests();
    QVERIFY(m_server.requests().isEmpty());
}

void tst_GitLabHttp::statusFaultAnswersInsteadForItsUses()
{
    GitLab::Fault fault;
    fault.status = 503;
    fault.body = R"({"message":"503 Service Unavailable"})";
    fault.headers = {{"Retry-After", "5"}};
    fault.times = 2;
    m_server.addFault("^/api/v4/groups$", fault);

    for (int i = 0; i < 2; ++i) {
        const Reply reply = get(m_manager, url("/api/v4/groups"));
        QCOMPARE(reply.status, 503);
        QCOMPARE(reply.body, fault.body);
        QCOMPARE(reply.header("Retry-After"), "5");
        QCOMPARE(reply.header("Content-Type"), "application/json");
    }
    QCOMPARE(get(m_manager, url("/api/v4/groups")).status, 200);
    // The regex is unanchored and anchored as written.
    QCOMPARE(get(m_manager, url("/api/v4/groups/palvexos%2Fexamples")).status, 200);

    m_server.addFault("/groups", GitLab::Fault::status500());
    QCOMPARE(get(m_manager, url("/api/v4/groups/palvexos%2Fexamples")).status, 500);
    m_server.clearFaults();
    QCOMPARE(get(m_manager, url("/api/v4/groups")).status, 200);
}

void tst_GitLabHttp::rateLimitShapesMatchGitLab()
{
    m_server.addFault("/repository/archive", GitLab::Fault::archiveRateLimited());
    m_server.addFault("^/api/v4/groups$", GitLab::Fault::endpointRateLimited());
    m_server.addFault("^/api/v4/projects/\\d+$", GitLab::Fault::instanceThrottled());

    const Reply archive = get(m_manager, url(QString::fromLatin1(m_archivePath)));
    QCOMPARE(archive.status, 429);
    QCOMPARE(archive.json()["message"]["error"].toString(),
             "This archive has been requested too many times. Try again later.");
    QVERIFY(!archive.hasHeader("Retry-After"));

    const Reply endpoint = get(m_manager, url("/api/v4/groups"));
    QCOMPARE(endpoint.status, 429);
    QCOMPARE(endpoint.header("Retry-After"), "60");
    QVERIFY(endpoint.json()["message"].isObject());

    const Reply throttled = get(m_manager, url("/api/v4/projects/" + QString::number(m_project)));
    QCOMPARE(throttled.status, 429);
    QCOMPARE(throttled.header("Content-Type"), "text/plain");
    QCOMPARE(throttled.body.trimmed(), "Retry later");
    QCOMPARE(throttled.header("Retry-After"), "30");
}

void tst_GitLabHttp::delayFaultAnswersAfterLaterRequests()
{
    GitLab::Fault delay;
    delay.kind = GitLab::Fault::Delay;
    delay.delayMs = 4000;
    m_server.addFault("/groups/palvexos%2Fexamples", delay);

    QNetworkReply *slow = startGet(m_manager, url("/api/v4/groups/palvexos%2Fexamples"));
    QSignalSpy slowFinished(slow, &QNetworkReply::finished);
    const Reply fast = get(m_manager, url("/api/v4/groups?per_page=1"));
    QCOMPARE(fast.status, 200);
    QVERIFY(slowFinished.isEmpty());

    const Reply delayed = waitFor(slow);
    QCOMPARE(delayed.status, 200);
    QCOMPARE(delayed.json()["full_path"].toString(), "palvexos/examples");
}

void tst_GitLabHttp::neverAnswerFaultStaysSilent()
{
    GitLab::Fault never;
    never.kind = GitLab::Fault::NeverAnswer;
    never.times = 1;
    m_server.addFault("^/api/v4/groups$", never);

    RawConnection connection(m_server.port());
    connection.send(TestClient::get("/api/v4/groups"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server.requests().size(), 1, Timeout);

    // Another client's full round trip gives the silent one every chance to get bytes.
    QCOMPARE(get(m_manager, url("/api/v4/groups")).status, 200);
    QCOMPARE(get(m_manager, url("/api/v4/groups?page=2")).status, 200);
    QCOMPARE(connection.readAvailable(), QByteArray());
    QVERIFY(connection.isConnected());
}

void tst_GitLabHttp::closeMidBodyFaultCutsTheBody_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("chunked");

    QTest::newRow("json with length") << "/api/v4/groups/palvexos%2Fexamples" << false;
    QTest::newRow("chunked archive") << QString::fromLatin1(m_archivePath) << true;
}

void tst_GitLabHttp::closeMidBodyFaultCutsTheBody()
{
    QFETCH(QString, path);
    QFETCH(bool, chunked);

    GitLab::Fault cut;
    cut.kind = GitLab::Fault::CloseMidBody;
    m_server.addFault(QRegularExpression::escape(path) + '$', cut);

    RawConnection connection(m_server.port());
    connection.send(TestClient::get(path.toLatin1()));
    const RawResponse response = connection.readResponse();
    QCOMPARE(response.status, 200);
    QVERIFY(!response.complete);
    QCOMPARE(response.chunked, chunked);
    QVERIFY(connection.waitForClose());
    if (!chunked)
        QVERIFY(response.body.size() < response.header("Content-Length").toInt());

    // Qt 6.4 sometimes takes a chunked body that ends with the connection as complete, so
    // only the length-delimited case is sure to be reported as an error.
    const Reply reply = get(m_manager, url(path));
    QVERIFY(reply.finished);
    if (chunked)
        QVERIFY(reply.body.size() < m_server.archiveOf(m_project).size());
    else
        QCOMPARE(reply.error, QNetworkReply::RemoteHostClosedError);
}

void tst_GitLabHttp::wrongContentTypeFaultReplacesTheType()
{
    GitLab::Fault fault;
    fault.kind = GitLab::Fault::WrongContentType;
    fault.contentType = "application/json; charset=utf-8";
    m_server.addFault("/groups$", fault);

    const Reply reply = get(m_manager, url("/api/v4/groups"));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("Content-Type"), "application/json; charset=utf-8");
    QVERIFY(reply.json().isArray());

    m_server.clearFaults();
    fault.contentType.clear();
    m_server.addFault("/groups$", fault);
    QCOMPARE(get(m_manager, url("/api/v4/groups")).header("Content-Type"),
             "text/html; charset=utf-8");
}

void tst_GitLabHttp::invalidJsonFaultBreaksTheBody()
{
    GitLab::Fault fault;
    fault.kind = GitLab::Fault::InvalidJson;
    m_server.addFault("/groups", fault);

    for (const QString &path :
         {"/api/v4/groups", "/api/v4/groups/palvexos%2Fexamples", "/api/v4/groups/none"}) {
        const Reply reply = get(m_manager, url(path));
        QCOMPARE(reply.error == QNetworkReply::NoError, reply.status == 200);
        QCOMPARE(reply.header("Content-Type"), "application/json");
        QVERIFY(!reply.body.isEmpty());
        QJsonParseError error;
        QJsonDocument::fromJson(reply.body, &error);
        QVERIFY2(error.error != QJsonParseError::NoError, reply.body.constData());
    }
}

void tst_GitLabHttp::predicateFaultSelectsByRequest()
{
    m_server.addFault(
        [](const GitLab::RecordedRequest &request) {
            return request.query.queryItemValue("page") == "2";
        },
        GitLab::Fault::status500());

    QCOMPARE(get(m_manager, url("/api/v4/groups?page=1")).status, 200);
    QCOMPARE(get(m_manager, url("/api/v4/groups?page=2")).status, 500);
    QCOMPARE(get(m_manager, url("/api/v4/groups/palvexos%2Fexamples/projects?page=2")).status, 500);
}

QTEST_GUILESS_MAIN(tst_GitLabHttp)

#include "tst_gitlabhttp.moc"
