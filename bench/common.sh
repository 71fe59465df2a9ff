# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Shared by sync.sh and soak.sh: builds what the runs need, keeps every run inside one private
# work folder, and drives the GitLab server and the host.

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRINDLE_BENCH_BUILD_DIR:-$repo/build-bench}"
avatar="$repo/samples/palvexos/demos/compass/avatar.png"

for tool in curl tar gzip perl cmake; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

echo "Building brindle-host, gitlab-server and the plugin in $build (RelWithDebInfo)..." >&2
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target brindle-host gitlab-server Brindle >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/brindle-bench-XXXXXX")"
server_pid=""
cleanup() {
    stop_server
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The host must see neither the user's IDE settings nor their examples or logging rules.
unset BRINDLE_HOST_SETTINGS_PATH BRINDLE_HOST_RESOURCE_PATH HOVRI_SDK_RELEASE_FILE QT_LOGGING_RULES
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache" TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$TMPDIR"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

# start_server <samples dir> [gitlab-server options...]; sets url and server_pid
start_server() {
    local samples="$1"
    shift
    : >"$work/server.out"
    "$build/bin/gitlab-server" --samples "$samples" "$@" >"$work/server.out" 2>>"$work/server.log" &
    server_pid=$!
    url=""
    for _ in $(seq 1 600); do
        url="$(head -n 1 "$work/server.out")"
        [ -n "$url" ] && return 0
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "bench: the GitLab server did not start:" >&2
    tail -n 5 "$work/server.log" >&2
    exit 1
}

stop_server() {
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill "$server_pid"
        wait "$server_pid" 2>/dev/null || true
    fi
    server_pid=""
}

# Prints "<requests> <bytes>" the server counted so far.
server_counters() {
    local lines
    lines="$(wc -l <"$work/server.out")"
    kill -USR1 "$server_pid"
    for _ in $(seq 1 100); do
        [ "$(wc -l <"$work/server.out")" -gt "$lines" ] && break
        sleep 0.05
    done
    tail -n 1 "$work/server.out" | awk '{ print $2, $4 }'
}

# Lines "<project id> <path>" of the group's projects.
list_projects() {
    local group="${1//\//%2F}" page=1 headers
    headers="$(mktemp)"
    while [ -n "$page" ]; do
        curl -sSf -D "$headers" \
            "$url/api/v4/groups/$group/projects?simple=true&per_page=100&page=$page" \
            | perl -ne 'print "$1 $2\n" while /\{"id":(\d+),"description":.*?"path":"([^"]+)"/g'
        page="$(awk -F': ' 'tolower($1) == "x-next-page" { gsub(/\r/, "", $2); print $2 }' "$headers")"
    done
    rm -f "$headers"
}

# run_host <label> <host options...>: one host run with its own settings and examples in
# $work/<label>. Sets host_start, host_rss_kb (peak resident memory) and host_status; the
# host's stderr is in <label>/host.log.
run_host() {
    local label="$1"
    shift
    mkdir -p "$work/$label"
    host_start="$(now)"
    host_status=0
    XDG_DATA_HOME="$work/$label/data" /usr/bin/time -f '%M' -o "$work/$label/rss" \
        ${BRINDLE_BENCH_HOST_WRAP:-} "$build/bin/brindle-host" -settingspath "$work/$label/settings" "$@" \
        >"$work/$label/host.out" 2>"$work/$label/host.log" || host_status=$?
    host_rss_kb="$(tail -n 1 "$work/$label/rss")"
}
