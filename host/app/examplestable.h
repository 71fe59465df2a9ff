// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "examplesparser.h"

#include <QList>
#include <QPair>
#include <QString>

namespace Brindle::Host {

using ExampleSetContents = QList<QPair<ExampleSet, QList<ExampleItem>>>;

// The examples as a plain-text table for scripts and people: one row per example with its
// set, title, project file, image, files to open and tags. Paths inside the set's folder are
// shown relative to it; the folders themselves are listed above the table.
QString formatExamplesTable(const ExampleSetContents &sets);

} // namespace Brindle::Host
