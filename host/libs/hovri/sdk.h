// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>
#include <QtCore/qglobal.h>

#include <tuple>

#if defined(HOVRI_SDK_LIBRARY)
#define HOVRI_SDK_EXPORT Q_DECL_EXPORT
#else
#define HOVRI_SDK_EXPORT Q_DECL_IMPORT
#endif

namespace Hovri::Sdk {

// The installed SDK release: product name, version, release id (one path component, e.g.
// "palvexos-sdk-5.0") and build date. Read from the file named by HOVRI_SDK_RELEASE_FILE,
// else from share/hovri-sdk/release next to the SDK's lib directory, one field per line;
// missing fields fall back to built-in values. Safe before any QCoreApplication exists,
// e.g. during static initialisation of another library.
HOVRI_SDK_EXPORT std::tuple<QString, QString, QString, QString> releaseInfo();

// The OS variant's name for a text style:
//   0 (and any unknown style) "Palvex OS"
//   1 "PalvexOS"   (no spaces, for identifiers)
//   2 "PALVEX OS"  (upper case, for headings)
//   3 "palvexos"   (lower case, for file and directory names)
HOVRI_SDK_EXPORT QString osVariant(int style = 0);

} // namespace Hovri::Sdk
