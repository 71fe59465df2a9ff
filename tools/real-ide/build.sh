#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# build.sh <build folder>
#
# Builds the plugin against the real Qt Creator 16.0.1 into <build folder>/realide (see
# build-inside.sh), making the Debian 13 root first when there is none (prepare-root.sh).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="$(cd "$here/../.." && pwd)"
build="$(mkdir -p "$1" && cd "$1" && pwd)"

root="$("$here/prepare-root.sh")"
exec "$here/enter-root.sh" "$root" "$src" "$build" -- \
    /bin/bash "$src/tools/real-ide/build-inside.sh" "$src" "$build/realide"
