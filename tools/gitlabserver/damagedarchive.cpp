// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "damagedarchive.h"

#include "tarwriter.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace GitLab::Internal {

namespace {

constexpr qsizetype BlockSize = 512;

struct Member
{
    qsizetype data = 0; // offset of its data, right after its header block
    qsizetype size = 0;
    qsizetype end = 0; // offset of the next header: data padded to whole blocks
    bool regular = false;
};

struct Inflated
{
    qint64 size = 0;
    bool complete = false; // the stream ended and its CRC and length matched
};

// Inflates the first 'length' bytes of a gzip stream as far as they go.
Inflated inflatePrefix(const QByteArray &gzip, qsizetype length, QByteArray *out = nullptr)
{
    z_stream stream = {};
    if (inflateInit2(&stream, 15 + 16) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gzip.constData()));
    stream.avail_in = uInt(qMin(length, gzip.size()));
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer.data());
        stream.avail_out = uInt(buffer.size());
        result = inflate(&stream, Z_NO_FLUSH);
        if (out)
            out->append(buffer.constData(), buffer.size() - stream.avail_out);
    }
    const Inflated inflated{qint64(stream.total_out), result == Z_STREAM_END};
    inflateEnd(&stream);
    return inflated;
}

// The longest prefix of a gzip stream that inflates to at most 'size' bytes: a cut at the byte
// that would give more.
qsizetype prefixInflatingTo(const QByteArray &gzip, qint64 size)
{
    qsizetype fits = 0;
    qsizetype tooLong = gzip.size();
    while (tooLong - fits > 1) {
        const qsizetype middle = fits + (tooLong - fits) / 2;
        (inflatePrefix(gzip, middle).size <= size ? fits : tooLong) = middle;
    }
    return fits;
}

bool checksumMatches(const char *header)
{
    const QByteArray field = QByteArray(header + 148, 8).replace('\0', ' ').trimmed();
    bool ok = false;
    const uint expected = field.toUInt(&ok, 8);
    uint sum = 0;
    for (int i = 0; i < BlockSize; ++i)
        sum += (i >= 148 && i < 156) ? uint(' ') : uint(static_cast<unsigned char>(header[i]));
    return ok && sum == expected;
}

// The members up to the end-of-archive blocks, or up to the first block that is no header.
QList<Member> membersOf(const QByteArray &tar)
{
    QList<Member> members;
    qsizetype pos = 0;
    while (pos + BlockSize <= tar.size()) {
        const char *header = tar.constData() + pos;
        if (!checksumMatches(header))
            break;
        QByteArray sizeField(header + 124, 12);
        sizeField.truncate(sizeField.indexOf('\0') < 0 ? 12 : sizeField.indexOf('\0'));
        bool ok = false;
        const qsizetype size = sizeField.trimmed().toLongLong(&ok, 8);
        const qsizetype data = pos + BlockSize;
        const qsizetype end = data + (size + BlockSize - 1) / BlockSize * BlockSize;
        if (!ok || size < 0 || end > tar.size())
            break;
        const char type = header[156];
        members.append({data, size, end, type == '0' || type == '\0'});
        pos = end;
    }
    return members;
}

// An error page where the archive should be, as long as the archive.
QByteArray garbage(qsizetype length)
{
    const QByteArray head = "<!DOCTYPE html>\n<html>\n<head>\n"
                            "<title>We're sorry, but something went wrong (500)</title>\n"
                            "</head>\n<body>\n<h1>500</h1>\n"
                            "<p>Whoops, something went wrong on our end.</p>\n";
    const QByteArray filler = "<!-- the archive is not available -->\n";
    const QByteArray tail = "</body>\n</html>\n";
    const qsizetype fill = length - head.size() - tail.size();
    QByteArray page = head;
    if (fill > 0)
        page += filler.repeated(fill / filler.size() + 1).left(fill);
    return (page + tail).left(length);
}

} // namespace

QByteArray damagedArchive(const QByteArray &archive, ArchiveDamage how)
{
    if (how == ArchiveDamage::Garbage)
        return garbage(archive.size());

    QByteArray tar;
    const bool gzipped = archive.startsWith("\x1f\x8b\x08")
                         && inflatePrefix(archive, archive.size(), &tar).complete;
    if (!gzipped)
        tar = archive;
    if (tar.isEmpty())
        return archive;
    const QList<Member> members = membersOf(tar);

    // Cuts and the flip inside a file land in the middle of the largest file's data, so that a
    // file is known to be incomplete or wrong, however small the archive.
    const Member *largest = nullptr;
    for (const Member &member : members) {
        if (member.regular && member.size > 0 && (!largest || member.size > largest->size))
            largest = &member;
    }
    const qsizetype inData = largest ? largest->data + largest->size / 2 : tar.size() * 3 / 5;

    switch (how) {
    case ArchiveDamage::Garbage:
        break;
    case ArchiveDamage::Truncated:
        return gzipped ? archive.left(prefixInflatingTo(archive, inData)) : tar.left(inData);
    case ArchiveDamage::FlippedByte: {
        QByteArray flipped = tar;
        flipped[inData] = char(flipped.at(inData) ^ 0xff);
        if (!gzipped)
            return flipped;
        // The original content's trailer: the deflate data is valid, only the CRC check can
        // tell.
        QByteArray out = gzipCompress(flipped);
        if (out.size() < 18)
            return out;
        const uLong crc
            = crc32(0, reinterpret_cast<const Bytef *>(tar.constData()), uInt(tar.size()));
        qToLittleEndian(quint32(crc), out.data() + out.size() - 8);
        qToLittleEndian(quint32(tar.size()), out.data() + out.size() - 4);
        return out;
    }
    case ArchiveDamage::TarCutAtMember: {
        // After the last member that ends within the first 60% of the members, but after at
        // least one, so files are missing while every member present is whole.
        qsizetype cut = tar.size() * 3 / 5 / BlockSize * BlockSize;
        if (!members.isEmpty()) {
            const qsizetype limit = members.constLast().end * 3 / 5;
            cut = members.constFirst().end;
            for (const Member &member : members) {
                if (member.end <= limit)
                    cut = qMax(cut, member.end);
            }
        }
        return gzipped ? gzipCompress(tar.left(cut)) : tar.left(cut);
    }
    case ArchiveDamage::TarCutInMember:
        return gzipped ? gzipCompress(tar.left(inData)) : tar.left(inData);
    }
    return archive;
}

} // namespace GitLab::Internal
