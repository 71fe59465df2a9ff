// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "endlessbody.h"

#include "tarwriter.h"

#include <QRegularExpression>

#include <memory>

namespace GitLab::Internal {

namespace {

constexpr qsizetype PieceSize = 32 * 1024;
// The largest size an 11-digit octal ustar field holds.
constexpr qint64 EndlessFileSize = Q_INT64_C(077777777777);

// Enough copies of unit to fill about one piece.
QByteArray repeated(const QByteArray &unit)
{
    if (unit.isEmpty())
        return QByteArray(PieceSize, ' ');
    return unit.repeated(qMax<qsizetype>(1, PieceSize / unit.size()));
}

} // namespace

QByteArray topDirectoryOf(const HttpResponse &response)
{
    static const QRegularExpression name(R"re(filename="([^"/]+?)(\.tar\.gz|\.tgz|\.tar)?")re");
    const QRegularExpressionMatch m
        = name.match(QString::fromLatin1(response.header("Content-Disposition")));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("endless");
}

QByteArray storedDeflateBlock(const QByteArray &data)
{
    // BFINAL 0, BTYPE 00, padded to the byte; then LEN and its complement, little-endian.
    const auto length = quint16(qMin<qsizetype>(data.size(), 0xffff));
    QByteArray block(5, '\0');
    block[1] = char(length & 0xff);
    block[2] = char(length >> 8);
    block[3] = char(~length & 0xff);
    block[4] = char((~length >> 8) & 0xff);
    return block + data.left(length);
}

QByteArray endlessArchiveStart(const QByteArray &topDirectory)
{
    const QByteArray top = topDirectory + '/';
    QByteArray tar = makeTarHeader({top, {}, '5', {}, 0775}, 0);
    tar += makeTarHeader({top + "endless.bin", {}, '0', {}, 0664}, EndlessFileSize);
    // gzip member header: deflate, no flags, no time, unknown OS.
    return QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10) + storedDeflateBlock(tar);
}

void makeEndless(HttpResponse *response)
{
    const QByteArray contentType = response->header("Content-Type");
    const QByteArray body = response->body;
    QByteArray unit;
    if (contentType == "application/json") {
        const QByteArray trimmed = body.trimmed();
        if (trimmed.startsWith('[')) {
            const QByteArray inner = trimmed.mid(1, trimmed.size() - 2).trimmed();
            unit = (inner.isEmpty() ? QByteArray("{\"id\":0}") : inner) + ',';
        } else {
            unit = (trimmed.isEmpty() ? QByteArray("{}") : trimmed) + ',';
        }
        response->body = "[";
        unit = repeated(unit);
    } else if (contentType == "application/octet-stream") {
        response->body = endlessArchiveStart(topDirectoryOf(*response));
        unit = storedDeflateBlock(repeated("endless archive member data\n"));
    } else {
        unit = repeated(body);
    }
    // Pieces share one buffer: the stream costs nothing however long it runs.
    response->stream = [unit] {
        return unit;
    };
    response->chunked = true;
}

} // namespace GitLab::Internal
