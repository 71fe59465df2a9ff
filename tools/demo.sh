#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# The plugin at work, from scratch: the sample GitLab server, a fresh IDE settings and data
# folder under demo/, two example repositories, a first start that installs every example
# and a second start that finds nothing due.
#
#   tools/demo.sh <build dir> [--gui]
#
# --gui opens the host's window instead of the headless runs (needs a display). The server then
# also has the private group palvexos/partners, configured as the repository "partners" without
# a token: the token printed at the start makes it reachable through the options page's
# "Access token..." button. The window runs in a D-Bus session of its own with a fresh
# gnome-keyring under demo/, so the token never reaches the user's own keychain.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-}"
[ $# -gt 0 ] && shift
gui=0
for arg in "$@"; do
    case "$arg" in
        --gui) gui=1 ;;
        *) echo "usage: $0 <build dir> [--gui]" >&2; exit 2 ;;
    esac
done
if [ -z "$build" ] || [ ! -x "$build/bin/brindle-host" ] || [ ! -x "$build/bin/gitlab-server" ]; then
    echo "usage: $0 <build dir> [--gui]   (the build dir must hold bin/brindle-host and bin/gitlab-server)" >&2
    exit 2
fi
build="$(cd "$build" && pwd)"
host="$build/bin/brindle-host"

demo="$here/demo"
settings="$demo/settings"
data="$demo/data"

bold() { if [ -t 1 ]; then printf '\033[1m%s\033[0m\n' "$*"; else printf '%s\n' "$*"; fi; }

# The demo must not see or touch the user's own IDE settings, data or logging rules.
unset BRINDLE_HOST_SETTINGS_PATH BRINDLE_HOST_RESOURCE_PATH HOVRI_SDK_RELEASE_FILE QT_LOGGING_RULES
export XDG_DATA_HOME="$data"

rm -rf "$demo"
mkdir -p "$settings" "$data"

server_pid=""
stop_server() {
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
}
trap stop_server EXIT
trap 'exit 130' INT TERM

gui_ready=0
if [ "$gui" = 1 ]; then
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "--gui needs a display (DISPLAY or WAYLAND_DISPLAY); running headless instead." >&2
    else
        gui_ready=1
    fi
fi

samples="$here/samples"
token=""
if [ "$gui_ready" = 1 ]; then
    # The bundled samples plus a private group, for the options page's access token.
    samples="$demo/samples"
    cp -r "$here/samples" "$samples"
    partners="$samples/palvexos/partners"
    mkdir -p "$partners/sensor-board/files"
    printf '{\n    "name": "Partners",\n    "visibility": "private"\n}\n' >"$partners/group.json"
    cat >"$partners/sensor-board/project.json" <<'JSON'
{
    "name": "Sensor Board",
    "description": "A partner's example, seen only with an access token.",
    "topics": ["cmake", "console"],
    "last_activity_at": "2025-12-02T09:00:00.000Z"
}
JSON
    printf 'cmake_minimum_required(VERSION 3.16)\nproject(sensor-board LANGUAGES CXX)\nadd_executable(sensor-board main.cpp)\n' \
        >"$partners/sensor-board/files/CMakeLists.txt"
    printf '#include <cstdio>\n\nint main()\n{\n    std::puts("sensor board ready");\n}\n' \
        >"$partners/sensor-board/files/main.cpp"
    token="glpat-demo-$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')"
fi

# The token goes to the server through its environment, out of sight of ps.
server_env=()
[ -n "$token" ] && server_env=(env GITLAB_SERVER_TOKENS="$token")
"${server_env[@]}" "$build/bin/gitlab-server" --samples "$samples" --verbose \
    >"$demo/gitlab-server.url" 2>"$demo/gitlab-server.log" &
server_pid=$!
url=""
for _ in $(seq 1 100); do
    url="$(head -n 1 "$demo/gitlab-server.url" 2>/dev/null || true)"
    [ -n "$url" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$url" ]; then
    echo "The sample GitLab server did not start:" >&2
    cat "$demo/gitlab-server.log" >&2
    exit 1
fi

archives() { grep -c '/repository/archive' "$demo/gitlab-server.log" || true; }
lookups() { grep -c 'GET /api/v4/groups' "$demo/gitlab-server.log" || true; }

bold "Brindle demo"
echo "  sample GitLab server  $url (serving ${samples#$here/}/)"
echo "  IDE settings          ${settings#$here/}/QtProject/QtCreator.ini"
echo "  example data          ${data#$here/}"
echo

repositories=(--add-repository "examples=$url/palvexos/examples"
              --add-repository "demos=$url/palvexos/demos")

if [ "$gui_ready" = 1 ]; then
    repositories+=(--add-repository "partners=$url/palvexos/partners")
    bold "Opening the host window; the examples appear on the Welcome page as they arrive."
    echo "  Edit > Preferences... > Help shows the plugin's page. Close the window to end the demo."
    echo
    echo "  The repository \"partners\" is a private group: it stays empty until it has a token."
    echo "  Choose it on the options page, press \"Access token...\", paste"
    echo
    echo "      $token"
    echo
    echo "  and press Apply: the example \"Sensor Board\" is installed."
    # A private D-Bus session with its own keyring, kept under demo/.
    runtime="$demo/runtime"
    mkdir -p -m 700 "$runtime"
    launcher=()
    if command -v dbus-run-session >/dev/null && command -v gnome-keyring-daemon >/dev/null; then
        launcher=(env XDG_RUNTIME_DIR="$runtime" /bin/sh "$here/cmake/run-with-keyring.sh")
    else
        echo "  (no dbus-run-session or gnome-keyring-daemon: the token lasts for this session only)"
        launcher=(env DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/no-session-bus")
    fi
    QT_LOGGING_RULES="oskel.brindle.plugin*.debug=true" \
        "${launcher[@]}" "$host" -settingspath "$settings" "${repositories[@]}" \
        2>"$demo/host-gui.log"
    exit 0
fi

bold "First start: the plugin finds both groups and installs every example"
echo "  \$ brindle-host -settingspath demo/settings --add-repository examples=$url/palvexos/examples \\"
echo "        --add-repository demos=$url/palvexos/demos --sync"
echo
if ! QT_LOGGING_RULES="oskel.brindle.plugin*.debug=true" \
    "$host" -settingspath "$settings" "${repositories[@]}" --sync --timeout 50 \
    >"$demo/first.txt" 2>"$demo/host-first.log"; then
    cat "$demo/first.txt"
    echo "The first start failed; the end of demo/host-first.log:" >&2
    tail -n 30 "$demo/host-first.log" >&2
    exit 1
fi
sed 's/^/  /' "$demo/first.txt"
first_archives="$(archives)"
echo
echo "  Archives downloaded: $first_archives"
echo
bold "On disk"
find "$data" -name examples-manifest.xml -printf '%h\n' | sort | while read -r dir; do
    files="$(find "$dir" -type f | wc -l)"
    printf '  %-60s %3s files\n' "${dir#$here/}/" "$files"
done
echo

bold "Second start: the update interval has not passed, so nothing is downloaded"
echo "  \$ brindle-host -settingspath demo/settings --sync"
before_lookups="$(lookups)"
if ! QT_LOGGING_RULES="oskel.brindle.plugin*.debug=true" \
    "$host" -settingspath "$settings" --sync --timeout 50 \
    >"$demo/second.txt" 2>"$demo/host-second.log"; then
    echo "The second start failed; the end of demo/host-second.log:" >&2
    tail -n 30 "$demo/host-second.log" >&2
    exit 1
fi
second_archives=$(( $(archives) - first_archives ))
second_lookups=$(( $(lookups) - before_lookups ))
if cmp -s "$demo/first.txt" "$demo/second.txt"; then
    echo "  The Welcome page lists the same examples: $(tail -n 1 "$demo/second.txt")"
else
    sed 's/^/  /' "$demo/second.txt"
fi
echo "  Group requests: $second_lookups, archives downloaded: $second_archives"
echo

bold "Logs"
echo "  demo/host-first.log, demo/host-second.log   the plugin's debug log"
echo "  demo/gitlab-server.log                       every request the server answered"
echo
echo "See the window: ./run demo --gui"

if [ "$second_archives" -ne 0 ]; then
    echo "Unexpected: the second start downloaded $second_archives archives." >&2
    exit 1
fi
