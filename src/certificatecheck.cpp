// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "certificatecheck.h"

#include "logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>

namespace Brindle::Internal {

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Internal::CertificateCheck)
};

// A bundle of every public authority is about 200 KiB.
const qint64 MAX_BUNDLE_BYTES = 16 * 1024 * 1024;
const int MAX_DIRECTORY_FILES = 4096;

QList<QSslCertificate> certificatesIn(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MAX_BUNDLE_BYTES)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QSslCertificate::fromData(file.read(MAX_BUNDLE_BYTES), QSsl::Pem);
}

QList<QSslCertificate> authoritiesFromEnvironment()
{
    QList<QSslCertificate> authorities;
    const QString bundle = qEnvironmentVariable("SSL_CERT_FILE");
    if (!bundle.isEmpty())
        authorities += certificatesIn(bundle);
    const QStringList folders = qEnvironmentVariable("SSL_CERT_DIR")
                                    .split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &file : files.mid(0, MAX_DIRECTORY_FILES))
            authorities += certificatesIn(file.absoluteFilePath());
    }
    return authorities;
}

} // namespace

QSslConfiguration CertificateCheck::configuration()
{
    static const QSslConfiguration theConfiguration = [] {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        if (qEnvironmentVariableIsEmpty("SSL_CERT_FILE")
            && qEnvironmentVariableIsEmpty("SSL_CERT_DIR")) {
            return configuration;
        }
        const QList<QSslCertificate> added = authoritiesFromEnvironment();
        qCDebug(Log::api) << "Certificate authorities from SSL_CERT_FILE and SSL_CERT_DIR:"
                          << added.size();
        // Setting authorities ends the loading of the system's on demand: they are all added.
        configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + added);
        return configuration;
    }();
    return theConfiguration;
}

QString CertificateCheck::reasonOf(const QList<QSslError> &errors)
{
    QStringList reasons;
    const auto add = [&reasons](const QString &reason) {
        if (!reasons.contains(reason))
            reasons.append(reason);
    };
    for (const QSslError &error : errors) {
        switch (error.error()) {
        case QSslError::CertificateExpired:
            add(Tr::tr("the server's certificate has expired"));
            break;
        case QSslError::CertificateNotYetValid:
            add(Tr::tr("the server's certificate is not valid yet"));
            break;
        case QSslError::HostNameMismatch:
            add(Tr::tr("the server's certificate is made out to another host name"));
            break;
        case QSslError::CertificateRevoked:
            add(Tr::tr("the server's certificate has been revoked"));
            break;
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
        case QSslError::CertificateRejected:
            add(Tr::tr("the server's certificate is issued by an authority this system does "
                       "not trust"));
            break;
        case QSslError::NoPeerCertificate:
            add(Tr::tr("the server sent no certificate"));
            break;
        default:
            add(Tr::tr("the server's certificate is not accepted: %1").arg(error.errorString()));
            break;
        }
    }
    if (reasons.isEmpty())
        return Tr::tr("the server's certificate is not accepted");
    return reasons.join(QStringLiteral("; "));
}

} // namespace Brindle::Internal
