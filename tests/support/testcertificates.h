// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

// Certificates for HTTPS tests, made with the openssl command when a test starts: a test
// authority, and server certificates it signed (good, expired, for another host name), and
// one signed by an authority nobody trusts.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestCertificates {

// A certificate and its key, as PEM files.
struct ServerCertificate
{
    QString certificate;
    QString key;
};

class Authority
{
public:
    // Makes the authority's key and certificate in 'folder'; isValid() tells whether it could.
    Authority(const QString &folder, const QString &name)
        : m_folder(folder)
        , m_name(name)
    {
        QDir().mkpath(folder + "/db");
        QFile index(folder + "/db/index.txt");
        m_ok = index.open(QIODevice::WriteOnly) && writeText(folder + "/db/serial", "1000\n")
               && writeText(configPath(),
                            "[ca]\ndefault_ca = authority\n"
                            "[authority]\ndatabase = " + folder + "/db/index.txt\n"
                            "new_certs_dir = " + folder + "/db\n"
                            "serial = " + folder + "/db/serial\n"
                            "default_md = sha256\npolicy = any\nunique_subject = no\n"
                            "[any]\ncommonName = supplied\n")
               && openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                           keyPath(), "-out", certificatePath(), "-days", "30", "-subj",
                           "/CN=" + name});
    }

    bool isValid() const { return m_ok; }
    QString certificatePath() const { return m_folder + '/' + m_name + ".pem"; }

    // A server certificate for 'hosts' (subjectAltName entries such as "IP:127.0.0.1"), valid
    // from 'start' to 'end' (openssl's YYYYMMDDHHMMSSZ); an empty certificate path on failure.
    ServerCertificate issue(const QString &name,
                            const QString &hosts,
                            const QString &start,
                            const QString &end) const
    {
        const QString base = m_folder + '/' + name;
        const QString extensions = base + ".ext";
        if (!writeText(extensions, "[server]\nsubjectAltName = " + hosts + "\n"))
            return {};
        if (!openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out",
                      base + ".csr", "-subj", "/CN=" + name})
            || !openssl({"ca", "-batch", "-config", configPath(), "-cert", certificatePath(),
                         "-keyfile", keyPath(), "-in", base + ".csr", "-out", base + ".pem",
                         "-startdate", start, "-enddate", end, "-extfile", extensions,
                         "-extensions", "server", "-notext"})) {
            return {};
        }
        return {base + ".pem", base + ".key"};
    }

private:
    QString keyPath() const { return m_folder + '/' + m_name + ".key"; }
    QString configPath() const { return m_folder + "/authority.cnf"; }

    static bool writeText(const QString &path, const QString &text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    }

    static bool openssl(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("openssl", arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            qWarning("openssl %s failed: %s",
                     qPrintable(arguments.join(' ')),
                     process.readAll().constData());
            return false;
        }
        return true;
    }

    QString m_folder;
    QString m_name;
    bool m_ok = false;
};

// Dates for Authority::issue(), as openssl writes them.
inline QString certificateDate(const QDateTime &when)
{
    return when.toUTC().toString("yyyyMMddHHmmss") + 'Z';
}

} // namespace TestCertificates
