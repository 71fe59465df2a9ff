// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only
