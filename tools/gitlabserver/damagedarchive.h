// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "gitlabserver.h"

namespace GitLab::Internal {

// The archive damaged the given way, built from its real bytes: a .tar.gz keeps its gzip layer
// (whole or cut, as the damage says), a plain tar gets the same tar-level damage without one.
// Bytes that are no tar stream at all are cut or flipped at 60% of their length.
QByteArray damagedArchive(const QByteArray &archive, ArchiveDamage how);

} // namespace GitLab::Internal
