// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

namespace Brindle::Internal {

// How the plugin checks a GitLab server's certificate: always, against the system's
// certificate authorities, and against those that SSL_CERT_FILE and SSL_CERT_DIR name, as
// OpenSSL's own tools do (a company's authority is often given that way). A certificate that
// fails the check is never accepted, and the failure is told in words.
class CertificateCheck
{
public:
    // The TLS settings of every request to a server: the default ones, with the authorities
    // of SSL_CERT_FILE and SSL_CERT_DIR added when either is set. Read once.
    static QSslConfiguration configuration();

    // What is wrong with the server's certificate, as a phrase for a status line ("the
    // server's certificate has expired"); the phrases of several errors are joined.
    static QString reasonOf(const QList<QSslError> &errors);
};

} // namespace Brindle::Internal
