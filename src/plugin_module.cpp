// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

// The plugin module is the whole BrindleLib archive; the entry point comes with plugin.cpp.
