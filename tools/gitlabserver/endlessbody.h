// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "httpmessage.h"

namespace GitLab::Internal {

// Turns an answer into one whose body never ends, shaped after its content type so a client
// gets well past its first checks: a JSON array repeats its elements (an object becomes an array
// of copies), an archive is a valid tar.gz whose one file never ends, and anything else (an
// avatar) repeats its bytes. The body is produced piece by piece as the connection drains.
void makeEndless(HttpResponse *response);

// The start of a gzip stream of stored deflate blocks: the archive form above. Each piece after
// it is one more non-final stored block, so the stream stays valid however much is read.
QByteArray endlessArchiveStart(const QByteArray &topDirectory);
QByteArray storedDeflateBlock(const QByteArray &data);
// The top folder that the archive answer's file name promises ("endless" when it names none).
QByteArray topDirectoryOf(const HttpResponse &response);

} // namespace GitLab::Internal
