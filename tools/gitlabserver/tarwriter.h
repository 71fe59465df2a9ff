// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QByteArray>
#include <QList>

namespace GitLab {

// One member of a tar stream. Names and link targets are written exactly as given, so tests can
// build archives with absolute paths, "..", duplicate or oddly typed members.
struct TarEntry
{
    QByteArray name;
    QByteArray data;
    char type = '0'; // '0' file, '5' directory, '2' symlink, '1' hard link, 'g'/'x' pax headers
    QByteArray linkTarget;
    int mode = 0644;
    qint64 mtime = 1767225600; // 2026-01-01T00:00:00Z
};

// Uncompressed ustar stream padded to whole 10 KiB records like git-archive's. Names longer than
// 100 bytes go into the ustar prefix field when they can be split at a '/', otherwise into a GNU
// long-name member; long link targets get a GNU long-link member.
QByteArray makeTar(const QList<TarEntry> &entries);

// The header block(s) of one member whose data of the given size follows separately, for
// streamed or endless members; entry.data is ignored.
QByteArray makeTarHeader(const TarEntry &entry, qint64 size);

// gzip container (RFC 1952) around zlib's deflate of data.
QByteArray gzipCompress(const QByteArray &data);

QByteArray makeTarGz(const QList<TarEntry> &entries);

} // namespace GitLab
