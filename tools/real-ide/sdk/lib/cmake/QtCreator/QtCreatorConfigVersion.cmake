# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# The IDE's version is read from its sources by QtCreatorConfig.cmake; any request is taken.
set(PACKAGE_VERSION_COMPATIBLE TRUE)
