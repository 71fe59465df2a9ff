#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# demo.sh <build folder>   (./run demo --real-ide)
#
# Opens the real Qt Creator 16.0.1 (Debian 13's, from the root of prepare-root.sh) on this
# machine's X display with the plugin and the demo's repositories, palvexos/examples and
# palvexos/demos, served by the sample GitLab server. Everything the IDE writes stays under
# demo/real-ide/: settings, HOME, the XDG folders, the examples and the IDE's log. The IDE
# runs in a D-Bus session of its own with a fresh gnome-keyring, so a token set on the
# options page never reaches your own keychain. Close the IDE to end the demo.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:?usage: demo.sh <build folder>}" && pwd)"
demo="$here/demo/real-ide"

bold() { if [ -t 1 ]; then printf '\033[1m%s\033[0m\n' "$*"; else printf '%s\n' "$*"; fi; }
fail() { echo "demo: $*" >&2; exit 1; }

# The IDE runs in the root but draws on this display: X's abstract socket is shared through
# the network namespace, the cookie is handed over as a file.
[ -n "${DISPLAY:-}" ] || fail "--real-ide needs an X display (DISPLAY); Wayland sessions need XWayland"
[ -x "$build/bin/gitlab-server" ] || fail "$build/bin/gitlab-server is missing (./run build)"

bold "Building the plugin against the real Qt Creator 16.0.1 (the first time also makes the Debian 13 root)"
"$here/tools/real-ide/build.sh" "$build" >"$build/realide-demo-build.log" 2>&1 \
    || { tail -n 30 "$build/realide-demo-build.log" >&2; fail "the real-IDE build failed"; }
root="$("$here/tools/real-ide/prepare-root.sh")"

rm -rf "$demo"
mkdir -p "$demo"/{home,data,config,cache,tmp,settings/QtProject}
mkdir -p -m 700 "$demo/runtime"
if [ -n "${XAUTHORITY:-}" ] && [ -r "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$demo/Xauthority"
elif [ -r "$HOME/.Xauthority" ]; then
    cp "$HOME/.Xauthority" "$demo/Xauthority"
fi

server_pid=""
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; wait 2>/dev/null || true' EXIT
"$build/bin/gitlab-server" --samples "$here/samples" --verbose \
    >"$demo/gitlab-server.url" 2>"$demo/gitlab-server.log" &
server_pid=$!
url=""
for _ in $(seq 1 100); do
    url="$(head -n 1 "$demo/gitlab-server.url" 2>/dev/null || true)"
    [ -n "$url" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$url" ] || { cat "$demo/gitlab-server.log" >&2; fail "the sample GitLab server did not start"; }

# The settings as the SDK's installer writes them, and the Welcome screen on its Examples page.
data="$demo/data/palvexos-sdk-5.0"
cat >"$demo/settings/QtProject/QtCreator.ini" <<INI
[General]
Welcome2Tab=Examples

[WelcomePage]
SelectedExampleSet=examples

[Brindle]
Repositories=examples|$url/palvexos/examples|, demos|$url/palvexos/demos|

[Help]
InstalledExamples=examples|$data/examples|$data/examples, demos|$data/demos|$data/demos
INI

bold "Opening Qt Creator 16.0.1 with the plugin"
echo "  sample GitLab server  $url"
echo "  IDE settings          demo/real-ide/settings/QtProject/QtCreator.ini"
echo "  examples              demo/real-ide/data/palvexos-sdk-5.0"
echo "  the IDE's log         demo/real-ide/qtcreator.log"
echo
echo "  The examples appear on Welcome > Examples as they arrive (choose the set \"examples\" or"
echo "  \"demos\"). Edit > Preferences... > Help > Palvex OS Examples is the plugin's page."
echo "  Close Qt Creator to end the demo."

env HOME="$demo/home" XDG_DATA_HOME="$demo/data" XDG_CONFIG_HOME="$demo/config" \
    XDG_CACHE_HOME="$demo/cache" XDG_RUNTIME_DIR="$demo/runtime" TMPDIR="$demo/tmp" \
    XAUTHORITY="$demo/Xauthority" BRINDLE_IDE_SETTINGS="$demo/settings" \
    QT_LOGGING_RULES="oskel.brindle.plugin*.debug=true;qtc.examples*=true" \
    "$here/tools/real-ide/enter-root.sh" "$root" "$here" "$build" -- \
    /bin/sh "$here/cmake/run-with-keyring.sh" \
    /bin/bash "$here/tools/real-ide/run-ide.sh" "$build/realide" "$demo/qtcreator.log"
