#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Regenerates the README's screenshots in docs/images from the sample GitLab server:
#
#   docs/make-screenshots.sh <build dir>
#
# Runs headless (the host renders offscreen) in a throw-away home folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:?usage: $0 <build dir>}" && pwd)"
host="$build/bin/brindle-host"
images="$here/docs/images"

work="$(mktemp -d)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

unset BRINDLE_HOST_SETTINGS_PATH BRINDLE_HOST_RESOURCE_PATH HOVRI_SDK_RELEASE_FILE QT_LOGGING_RULES
unset XDG_DATA_HOME
export HOME="$work/home"
mkdir -p "$HOME"

"$build/bin/gitlab-server" --samples "$here/samples" >"$work/url" 2>"$work/server.log" &
server_pid=$!
url=""
for _ in $(seq 1 100); do
    url="$(head -n 1 "$work/url" 2>/dev/null || true)"
    [ -n "$url" ] && break
    sleep 0.1
done
[ -n "$url" ] || { cat "$work/server.log" >&2; exit 1; }

run() { "$host" -settingspath "$work/settings" --sync "$@" >/dev/null 2>>"$work/host.log"; }

mkdir -p "$images"
run --add-repository "examples=$url/palvexos/examples" \
    --add-repository "demos=$url/palvexos/demos" \
    --screenshot "$images/welcome.png"
run --options --select repositoryComboBox=examples --screenshot "$images/options.png"
run --options --select repositoryComboBox=examples --click addButton \
    --screenshot "$images/selection-dialog.png"
echo "Updated: docs/images/welcome.png options.png selection-dialog.png"
