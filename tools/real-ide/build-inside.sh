#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# build-inside.sh <source folder> <output folder>
#
# Runs inside the Debian 13 root (build.sh). Builds, against Qt Creator 16.0.1 as Debian
# installs it:
#   <output>/sdk            the Palvex OS SDK's part (libHovriSdk, plugin palvexos), installed
#   <output>/sdk-build      its build, with the tests' probe plugin in probe-plugins/
#   <output>/plugin-build   the plugin through the top level's BRINDLE_WITH_QTCREATOR switch:
#                           lib/qtcreator/plugins/libBrindle.so, share/qtcreator/translations
#   <output>/plugin-install the same installed (cmake --install)
#   <output>/package        the plugin's archive (cpack), Brindle-*.tar.gz
set -euo pipefail

src="$1"
out="$2"
jobs="${BRINDLE_REAL_IDE_JOBS:-2}"
type="${BRINDLE_BUILD_TYPE:-RelWithDebInfo}"
sdk_config="$src/tools/real-ide/sdk"

# The caller's build settings are for its own machine, not for the root's tools.
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER CMAKE_GENERATOR CMAKE_PREFIX_PATH \
    CMAKE_BUILD_PARALLEL_LEVEL CXX CC CXXFLAGS LDFLAGS
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=)

mkdir -p "$out"
cmake -S "$src/tools/real-ide" -B "$out/sdk-build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
    "${launcher[@]}" -DCMAKE_PREFIX_PATH="$sdk_config" -DCMAKE_INSTALL_PREFIX="$out/sdk" >/dev/null
cmake --build "$out/sdk-build" -j"$jobs"
cmake --install "$out/sdk-build" >/dev/null

cmake -S "$src" -B "$out/plugin-build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
    "${launcher[@]}" -DBRINDLE_WITH_QTCREATOR=ON -DCMAKE_PREFIX_PATH="$sdk_config;$out/sdk" >/dev/null
cmake --build "$out/plugin-build" -j"$jobs" --target Brindle BrindleTranslations
# The installable forms: the layout "cmake --install" gives an IDE folder, and the archive
# that Help > About Plugins > Install Plugin... takes.
rm -rf "$out/plugin-install" "$out/package"
cmake --install "$out/plugin-build" --prefix "$out/plugin-install" >/dev/null
(cd "$out/plugin-build" && cpack -B "$out/package" >/dev/null)
