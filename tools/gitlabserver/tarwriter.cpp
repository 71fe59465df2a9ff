// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "tarwriter.h"

#include <zlib.h>

#include <cstring>

namespace GitLab {

namespace {

constexpr int BlockSize = 512;
constexpr int RecordSize = 20 * BlockSize;

void writeOctal(char *field, int width, quint64 value)
{
    // width includes the terminating NUL, as GNU tar and git-archive write it
    const QByteArray digits = QByteArray::number(value, 8).rightJustified(width - 1, '0');
    std::memcpy(field, digits.constData(), qMin<qsizetype>(digits.size(), width - 1));
    field[width - 1] = '\0';
}

void writeString(char *field, int width, const QByteArray &value)
{
    std::memcpy(field, value.constData(), qMin<qsizetype>(value.size(), width));
}

// Splits a long name into ustar's prefix (up to 155 bytes) and name (up to 100 bytes) at a '/'.
bool splitUstarName(const QByteArray &name, QByteArray *prefix, QByteArray *rest)
{
    if (name.size() > 255)
        return false;
    for (qsizetype slash = name.lastIndexOf('/'); slash > 0;
         slash = name.lastIndexOf('/', slash - 1)) {
        const qsizetype restSize = name.size() - slash - 1;
        if (restSize > 100)
            return false;
        if (slash <= 155 && restSize > 0) {
            *prefix = name.left(slash);
            *rest = name.mid(slash + 1);
            return true;
        }
    }
    return false;
}

QByteArray header(const QByteArray &name,
                  const QByteArray &prefix,
                  char type,
                  const QByteArray &linkTarget,
                  int mode,
                  qint64 size,
                  qint64 mtime)
{
    QByteArray block(BlockSize, '\0');
    char *h = block.data();
    writeString(h, 100, name);
    writeOctal(h + 100, 8, quint64(mode) & 07777);
    writeOctal(h + 108, 8, 0);
    writeOctal(h + 116, 8, 0);
    writeOctal(h + 124, 12, quint64(size));
    writeOctal(h + 136, 12, quint64(qMax<qint64>(mtime, 0)));
    h[156] = type;
    writeString(h + 157, 100, linkTarget);
    std::memcpy(h + 257,
                "ustar\0"
                "00",
                8);
    writeString(h + 265, 32, "root");
    writeString(h + 297, 32, "root");
    writeOctal(h + 329, 8, 0);
    writeOctal(h + 337, 8, 0);
    writeString(h + 345, 155, prefix);

    std::memset(h + 148, ' ', 8);
    unsigned int sum = 0;
    for (int i = 0; i < BlockSize; ++i)
        sum += static_cast<unsigned char>(h[i]);
    writeOctal(h + 148, 7, sum);
    h[155] = ' ';
    return block;
}

void appendPadded(QByteArray *out, const QByteArray &data)
{
    out->append(data);
    const qsizetype rest = data.size() % BlockSize;
    if (rest)
        out->append(BlockSize - rest, '\0');
}

void appendGnuLong(QByteArray *out, char type, const QByteArray &value)
{
    const QByteArray data = value + '\0';
    out->append(header("././@LongLink", {}, type, {}, 0, data.size(), 0));
    appendPadded(out, data);
}

} // namespace

QByteArray makeTarHeader(const TarEntry &entry, qint64 size)
{
    QByteArray out;
    QByteArray name = entry.name;
    QByteArray prefix;
    if (name.size() > 100) {
        QByteArray rest;
        if (splitUstarName(name, &prefix, &rest)) {
            name = rest;
        } else {
            appendGnuLong(&out, 'L', entry.name);
            name.truncate(100);
        }
    }
    QByteArray link = entry.linkTarget;
    if (link.size() > 100) {
        appendGnuLong(&out, 'K', link);
        link.truncate(100);
    }
    out.append(header(name, prefix, entry.type, link, entry.mode, size, entry.mtime));
    return out;
}

QByteArray makeTar(const QList<TarEntry> &entries)
{
    QByteArray out;
    for (const TarEntry &entry : entries) {
        out.append(makeTarHeader(entry, entry.data.size()));
        appendPadded(&out, entry.data);
    }
    out.append(2 * BlockSize, '\0');
    const qsizetype rest = out.size() % RecordSize;
    if (rest)
        out.append(RecordSize - rest, '\0');
    return out;
}

QByteArray gzipCompress(const QByteArray &data)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY)
        != Z_OK) {
        return {};
    }
    QByteArray out;
    out.resize(qsizetype(deflateBound(&stream, uLong(data.size()))) + 32);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const qsizetype written = qsizetype(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return {};
    out.truncate(written);
    return out;
}

QByteArray makeTarGz(const QList<TarEntry> &entries)
{
    return gzipCompress(makeTar(entries));
}

} // namespace GitLab
