// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "keychainwriter.h"

#include <qtkeychain/keychain.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace Brindle::Host {

namespace {

const char KEYCHAIN_SERVICE[] = "Brindle";

QString tr(const char *text)
{
    return QCoreApplication::translate("Brindle::Host::KeychainWriter", text);
}

} // namespace

KeychainWriter::Result
KeychainWriter::store(const QString &key, const QString &token, int timeoutMs, QString *error)
{
    // The job deletes itself once finished, also when the wait below gave up first: the
    // keychain backends call back into a running job.
    auto job = new QKeychain::WritePasswordJob(QString::fromLatin1(KEYCHAIN_SERVICE));
    job->setAutoDelete(true);
    // Never a file in place of the keychain.
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(token);

    QEventLoop loop;
    bool finished = false;
    QKeychain::Error code = QKeychain::NoError;
    QString message;
    // The loop is the context: once it is gone, a late answer reaches nothing.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        finished = true;
        code = done->error();
        message = done->errorString();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();

    if (!finished) {
        *error = tr("The system keychain did not answer within %1 s.").arg(timeoutMs / 1000);
        return Result::Failed;
    }
    switch (code) {
    case QKeychain::NoError:
        return Result::Stored;
    // Without a Secret Service the libsecret backend reports OtherError, as it does for an
    // unreachable D-Bus session.
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
        *error = message;
        return Result::NoKeychain;
    default:
        *error = message;
        return Result::Failed;
    }
}

} // namespace Brindle::Host
