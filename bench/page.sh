#!/bin/bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# The options page while all examples of the shown repository are updated:
#
#   bench/page.sh [count]     (default 500)
#
# Exits with 1 when the round with the repository shown takes more than 5 s, or keeps the
# event loop from running for more than 50 ms at a time.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRINDLE_BENCH_BUILD_DIR:-$repo/build-bench}"

echo "Building page-bench in $build (RelWithDebInfo)..." >&2
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target page-bench >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/brindle-page-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# Neither the user's settings, nor their examples, nor their keychain.
unset QT_LOGGING_RULES
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"
export BRINDLE_HOST_SETTINGS_PATH="$work/settings" QT_QPA_PLATFORM=offscreen
export HOVRI_SDK_RELEASE_FILE="$repo/tests/data/sdk-release"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/runtime/no-session-bus"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"

${BRINDLE_BENCH_WRAP:-} "$build/bin/page-bench" "${1:-500}"
