// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>
#include <QStringList>

namespace GitLab::Internal {

// GitLab's fuzzy search: a stand-alone double-quoted term is one term, the rest splits on
// whitespace, and only terms of at least three characters count.
QStringList searchTerms(const QString &query);

// All terms occur in column (case-insensitive substrings); without any term long enough, the
// whole query must equal the column.
bool searchMatches(const QString &column, const QString &query);

// PostgreSQL pg_trgm similarity, which GitLab's order_by=similarity ranks with.
double trigramSimilarity(const QString &a, const QString &b);

} // namespace GitLab::Internal
