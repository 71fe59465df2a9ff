// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "batcharchive.h"

#include <QByteArray>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace Brindle::Internal {

namespace {

const int BLOCK_SIZE = 64 * 1024;

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;
using Writer = std::unique_ptr<archive, decltype(&archive_write_free)>;

QString errorOf(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("libarchive error");
}

// Copies every member of the archive at 'source' into 'out', under 'prefix'.
QString copyMembers(const QString &source, const QByteArray &prefix, archive *out, QByteArray &buffer)
{
    Reader in(archive_read_new(), archive_read_free);
    archive_read_support_filter_gzip(in.get());
    archive_read_support_format_tar(in.get());
    if (archive_read_open_filename(in.get(), QFile::encodeName(source).constData(), BLOCK_SIZE)
        != ARCHIVE_OK) {
        return errorOf(in.get());
    }
    archive_entry *entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(in.get(), &entry)) == ARCHIVE_OK) {
        // Raw names, so that no conversion through the locale changes them.
        const char *path = archive_entry_pathname(entry);
        archive_entry_set_pathname(entry, (prefix + (path ? path : "")).constData());
        if (const char *target = archive_entry_hardlink(entry))
            archive_entry_set_hardlink(entry, (prefix + target).constData());
        // Holes are read as zeros and written as data.
        archive_entry_sparse_clear(entry);
        if (archive_write_header(out, entry) < ARCHIVE_WARN)
            return errorOf(out);
        for (;;) {
            const la_ssize_t read = archive_read_data(in.get(), buffer.data(), size_t(buffer.size()));
            if (read < 0)
                return errorOf(in.get());
            if (read == 0)
                break;
            if (archive_write_data(out, buffer.constData(), size_t(read)) != read)
                return errorOf(out);
        }
    }
    return status == ARCHIVE_EOF ? QString() : errorOf(in.get());
}

} // namespace

QString BatchArchive::write(const QStringList &sources, const QString &target)
{
    Writer out(archive_write_new(), archive_write_free);
    archive_write_set_format_pax_restricted(out.get());
    archive_write_add_filter_none(out.get());
    if (archive_write_open_filename(out.get(), QFile::encodeName(target).constData()) != ARCHIVE_OK)
        return errorOf(out.get());
    QByteArray buffer(BLOCK_SIZE, Qt::Uninitialized);
    for (int i = 0; i < sources.size(); ++i) {
        const QString error
            = copyMembers(sources.at(i), folderOf(i).toUtf8() + '/', out.get(), buffer);
        if (!error.isEmpty())
            return error;
    }
    // Writes the end-of-archive blocks, and reports a disk that filled up on the way.
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return errorOf(out.get());
    return {};
}

} // namespace Brindle::Internal
