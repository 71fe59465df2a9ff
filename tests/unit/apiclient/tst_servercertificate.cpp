// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The client against a GitLab server over HTTPS, whose certificate a test authority issued:
// trusted through SSL_CERT_FILE, everything works as over HTTP; a certificate that fails its
// check ends the request before anything is sent, and the status says what is wrong with it.

#include "apiclient.h"
#include "apirequest.h"
#include "archivefolder.h"
#include "gitlabserver.h"
#include "testcertificates.h"
#include "testfiles.h"

#include <coreplugin/icore.h>
#include <utils/qtcsettings.h>

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

using namespace Brindle::Internal;
using TestCertificates::certificateDate;

namespace {

const QByteArray TOKEN = "glpat-secret-token";

GitLab::Project project(const QString &path)
{
    // A 1x1 PNG
    static const QByteArray avatar
        = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                                 "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
    return {.path = path,
            .name = "Example " + path,
            .files = {{"main.cpp", "int main() { return 0; }\n"}},
            .avatar = avatar,
            .avatarFileName = "logo.png"};
}

// A client that lists its group as soon as it is ready, and what it reports.
struct Listing
{
    Listing(const QUrl &repository, const QByteArray &token)
        : client(repository)
        , status(&client, &ApiClient::statusChanged)
        , fetched(&client, &ApiClient::fetched)
        , failed(&client, &ApiClient::failed)
    {
        client.setAccessToken(QString::fromUtf8(token));
        QObject::connect(&client, &ApiClient::ready, &client, &ApiClient::fetch);
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return !fetched.isEmpty() || !failed.isEmpty(); }, 60000);
    }
    QStringList texts() const
    {
        QStringList texts;
        for (const QList<QVariant> &arguments : status)
            texts.append(arguments.first().toString());
        return texts;
    }
    QString failure() const { return failed.isEmpty() ? QString() : failed.first().at(1).toString(); }

    ApiClient client;
    QSignalSpy status;
    QSignalSpy fetched;
    QSignalSpy failed;
};

bool sawToken(const GitLab::Server &server)
{
    for (const GitLab::RecordedRequest &request : server.requests()) {
        if (request.header("PRIVATE-TOKEN") == TOKEN)
            return true;
    }
    return false;
}

} // namespace

class tst_ServerCertificate final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestCertificates::Authority> trusted;
    std::unique_ptr<TestCertificates::Authority> unknown;
    QHash<QString, TestCertificates::ServerCertificate> certificates;

    // A server with a private group of two projects, seen with TOKEN, on the certificate.
    std::unique_ptr<GitLab::Server> serverWith(const QString &certificate)
    {
        auto server = std::make_unique<GitLab::Server>();
        const TestCertificates::ServerCertificate &files = certificates.value(certificate);
        QString error;
        if (!server->setTls(files.certificate, files.key, &error)) {
            qWarning("%s", qPrintable(error));
            return {};
        }
        if (!server->listen())
            return {};
        server->addToken(TOKEN);
        server->addGroup("acme/examples", "Examples", false);
        server->addProject("acme/examples", project("alpha"));
        server->addProject("acme/examples", project("beta"));
        return server;
    }

private slots:
    void initTestCase()
    {
        const QString folder = TestFiles::testRoot() + "/certificates";
        QVERIFY2(folder.startsWith(QDir::tempPath().section('/', 0, -2)),
                 "Run this test through ctest");
        trusted = std::make_unique<TestCertificates::Authority>(folder + "/trusted", "Test CA");
        unknown = std::make_unique<TestCertificates::Authority>(folder + "/unknown", "Rogue CA");
        QVERIFY(trusted->isValid() && unknown->isValid());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QString from = certificateDate(now.addDays(-1));
        const QString to = certificateDate(now.addDays(30));
        const QString local = "IP:127.0.0.1,DNS:localhost";
        certificates["good"] = trusted->issue("good", local, from, to);
        certificates["expired"] = trusted->issue(
            "expired", local, certificateDate(now.addDays(-60)), certificateDate(now.addDays(-30)));
        certificates["not yet valid"] = trusted->issue(
            "future", local, certificateDate(now.addDays(30)), certificateDate(now.addDays(60)));
        certificates["wrong host name"] = trusted->issue("wronghost", "DNS:gitlab.example.com",
                                                         from, to);
        certificates["unknown authority"] = unknown->issue("rogue", local, from, to);
        for (auto it = certificates.cbegin(); it != certificates.cend(); ++it)
            QVERIFY2(!it->certificate.isEmpty(), qPrintable(it.key()));
        // As a company's authority is given to OpenSSL's tools
        qputenv("SSL_CERT_FILE", QFile::encodeName(trusted->certificatePath()));
    }

    void cleanup()
    {
        Core::ICore::settings()->remove("Brindle/MaxUnpackedMegabytes");
        QTRY_VERIFY_WITH_TIMEOUT(QDir(ArchiveFolder::path()).isEmpty(), 30000);
    }

    void trustedCertificateWorksAsOverHttp()
    {
        const auto server = serverWith("good");
        QVERIFY(server);
        QCOMPARE(server->baseUrl().scheme(), QString("https"));
        Listing listing(QUrl(server->baseUrl().toString() + "/acme/examples"), TOKEN);
        QVERIFY(listing.wait());
        QVERIFY2(listing.failed.isEmpty(), qPrintable(listing.failure()));
        const Repository::Examples examples
            = listing.fetched.first().first().value<Repository::Examples>();
        QCOMPARE(examples.size(), 2);

        // The archives and avatars come over HTTPS too.
        QSignalSpy finished(&listing.client, &ApiClient::downloadsFinished);
        QSignalSpy downloaded(&listing.client, &ApiClient::exampleDownloaded);
        listing.client.download(examples);
        QVERIFY(finished.wait(60000));
        QCOMPARE(downloaded.count(), 2);
        for (const QList<QVariant> &arguments : downloaded) {
            const auto example = arguments.first().value<QSharedPointer<Example>>();
            QVERIFY(QFileInfo(example->archiveFile()).size() > 0);
            QFile::remove(example->archiveFile());
        }
        int avatars = 0;
        for (const GitLab::RecordedRequest &request : server->requests())
            avatars += request.path.startsWith("/uploads/") ? 1 : 0;
        QCOMPARE(avatars, 2);
        QVERIFY(sawToken(*server));
        QCOMPARE(server->failedHandshakes(), 0);
    }

    void refusedCertificateSendsNothing_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("reason");
        QTest::newRow("expired") << "expired" << "the server's certificate has expired";
        QTest::newRow("not yet valid")
            << "not yet valid" << "the server's certificate is not valid yet";
        QTest::newRow("wrong host name")
            << "wrong host name" << "the server's certificate is made out to another host name";
        QTest::newRow("unknown authority")
            << "unknown authority"
            << "the server's certificate is issued by an authority this system does not trust";
    }
    void refusedCertificateSendsNothing()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, reason);

        const auto server = serverWith(certificate);
        QVERIFY(server);
        const QString group = server->baseUrl().toString() + "/acme/examples";
        Listing listing(QUrl(group), TOKEN);
        QVERIFY(listing.wait());
        QCOMPARE(listing.fetched.count(), 0);
        QCOMPARE(listing.failure(), reason);
        const QString status = QString("The connection to %1/api/v4/groups is refused, nothing "
                                       "was sent: %2")
                                   .arg(server->baseUrl().toString(), reason);
        QVERIFY2(listing.texts().contains(status) || !listing.texts().filter(reason).isEmpty(),
                 qPrintable(listing.texts().join('\n')));
        // Not a request, not a header, let alone the token
        QCOMPARE(server->requests().size(), 0);
        QVERIFY(server->failedHandshakes() > 0);
    }

    void redirectToPlainHttpIsRefused_data()
    {
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("redirected");
        QTest::newRow("lookup with token") << TOKEN << "lookup";
        QTest::newRow("lookup without token") << QByteArray() << "lookup";
        QTest::newRow("avatar with token") << TOKEN << "avatar";
    }
    void redirectToPlainHttpIsRefused()
    {
        QFETCH(QByteArray, token);
        QFETCH(QString, redirected);

        const auto server = serverWith("good");
        QVERIFY(server);
        server->addGroup("acme/public", "Public");
        server->addProject("acme/public", project("gamma"));
        GitLab::Server plain;
        QVERIFY(plain.listen());
        plain.addGroup("acme/examples", "Examples");
        plain.addGroup("acme/public", "Public");
        server->addFault(redirected == "lookup" ? "^/api/v4/groups$" : "^/uploads/",
                         GitLab::Fault::redirect(plain.baseUrl()));

        const QString group = token.isEmpty() ? "/acme/public" : "/acme/examples";
        Listing listing(QUrl(server->baseUrl().toString() + group), token);
        QVERIFY(listing.wait());
        if (redirected == "lookup") {
            QCOMPARE(listing.failure(),
                     QString("the server sent the request on from https to plain http"));
        } else {
            // An avatar is decoration: the examples come with the default image.
            QVERIFY2(listing.failed.isEmpty(), qPrintable(listing.failure()));
            QSignalSpy finished(&listing.client, &ApiClient::downloadsFinished);
            QSignalSpy downloaded(&listing.client, &ApiClient::exampleDownloaded);
            listing.client.download(
                listing.fetched.first().first().value<Repository::Examples>());
            QVERIFY(finished.wait(60000));
            QCOMPARE(downloaded.count(), 2);
            for (const QList<QVariant> &arguments : downloaded) {
                const auto example = arguments.first().value<QSharedPointer<Example>>();
                QFile::remove(example->archiveFile());
            }
        }
        QVERIFY(!server->requests().isEmpty());
        QCOMPARE(plain.requests().size(), 0);
    }
};

QTEST_MAIN(tst_ServerCertificate)

#include "tst_servercertificate.moc"
