#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# run-ide.sh <realide build folder> <log file>
#            [--wait <pattern> | --wait-process <folder> | --wait-window <pattern>
#             | --send <command>]... [--quit]
#            [-- <IDE argument>...]
#
# Runs inside the Debian 13 root (enter-root.sh). Starts the real Qt Creator with the plugin,
# the Palvex OS SDK plugin and the tests' probe plugin, its output in <log file>, on an Xvfb
# display of its own unless DISPLAY is set. The IDE's settings path is $BRINDLE_IDE_SETTINGS;
# HOME and the XDG folders come from the caller.
#
# The steps run in the order given. --wait waits until a line matching the extended regular
# expression shows in the log (up to $BRINDLE_IDE_TIMEOUT seconds, default 300, for all
# waits together); --wait-process waits, within the same time, until a process works in
# <folder> or below it (its working folder, as tar's while it unpacks there); --wait-window
# waits, within the same time, until a window whose title matches the regular expression shows
# on the IDE's display (xdotool search --name); --send hands the
# probe plugin a command (tests/realide/probe). --quit asks
# the IDE to quit through the probe (Core::ICore::exit()) and waits for it to end. Without
# --quit the script waits until the IDE is closed. Exits with the IDE's exit code; 124 when a
# wait timed out or the IDE ended before a pattern showed (the log's end is printed then).
set -uo pipefail

build="$1"
log="$2"
shift 2
steps=()
quit=0
while [ $# -gt 0 ]; do
    case "$1" in
        --wait) steps+=("wait" "$2"); shift 2 ;;
        --wait-process) steps+=("process" "$2"); shift 2 ;;
        --wait-window) steps+=("window" "$2"); shift 2 ;;
        --send) steps+=("send" "$2"); shift 2 ;;
        --quit) quit=1; shift ;;
        --) shift; break ;;
        *) echo "run-ide: unknown option $1" >&2; exit 2 ;;
    esac
done
timeout_s="${BRINDLE_IDE_TIMEOUT:-300}"
: "${BRINDLE_IDE_SETTINGS:?must name the settings path of the IDE}"
export BRINDLE_PROBE_DIR="${BRINDLE_PROBE_DIR:-$BRINDLE_IDE_SETTINGS/probe}"
mkdir -p "$BRINDLE_PROBE_DIR"

xvfb_pid=""
ide_pid=""
cleanup() {
    [ -n "$ide_pid" ] && kill -9 "$ide_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

show_log() {
    echo "run-ide: $*; the IDE's log ($log) ends with:" >&2
    tail -n 80 "$log" >&2
}

if [ -z "${DISPLAY:-}" ]; then
    # -displayfd: Xvfb takes a free display number itself; parallel runs share the host's
    # abstract socket namespace, so a fixed number could clash.
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1600x1200x24 3>"$display_file" \
        >"$log.xvfb" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 300); do
        [ -s "$display_file" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$display_file" ] || { cat "$log.xvfb" >&2; echo "run-ide: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(tr -d '\n' <"$display_file")"
    rm -f "$display_file"
fi

: >"$log" # there before the first wait looks into it
# With BRINDLE_IDE_INSTALLED_PLUGIN=1 the plugin is not taken from the build: it has been
# installed into the user's plugin folder, which the IDE searches by itself.
own_plugin=(-pluginpath "$build/plugin-build/lib/qtcreator/plugins")
[ "${BRINDLE_IDE_INSTALLED_PLUGIN:-0}" = 1 ] && own_plugin=()
qtcreator -settingspath "$BRINDLE_IDE_SETTINGS" \
    "${own_plugin[@]}" \
    -pluginpath "$build/sdk/lib/qtcreator/plugins" \
    -pluginpath "$build/sdk-build/probe-plugins" \
    "$@" >"$log" 2>&1 </dev/null &
ide_pid=$!

# worker <folder>: the first process whose working folder is <folder> or below it.
worker() {
    find /proc/[0-9]*/cwd -maxdepth 0 \( -lname "$1" -o -lname "$1/*" \) 2>/dev/null | head -n 1
}

# matched <step> <argument>: whether the step's wait is over.
matched() {
    if [ "$1" = window ]; then
        xdotool search --name "$2" >/dev/null 2>&1 || return 1
        echo "run-ide: a window titled \"$(xdotool getwindowname "$(xdotool search --name "$2" | head -n 1)")\" shows" >&2
        return 0
    fi
    if [ "$1" = process ]; then
        local found
        found="$(worker "$2")"
        [ -n "$found" ] || return 1
        found="${found%/cwd}"
        echo "run-ide: process ${found#/proc/} ($(cat "$found/comm" 2>/dev/null)) works in $2" >&2
        return 0
    fi
    grep -Eq -- "$2" "$log"
}

commands=0
send() { # the probe takes whole files only: write, then rename
    commands=$((commands + 1))
    printf '%s\n' "$1" >"$BRINDLE_PROBE_DIR/$commands.tmp"
    mv "$BRINDLE_PROBE_DIR/$commands.tmp" "$BRINDLE_PROBE_DIR/$(printf '%04d' "$commands").cmd"
}

deadline=$((SECONDS + timeout_s))
for ((i = 0; i < ${#steps[@]}; i += 2)); do
    pattern="${steps[$((i + 1))]}"
    if [ "${steps[$i]}" = send ]; then
        send "$pattern"
        continue
    fi
    until matched "${steps[$i]}" "$pattern"; do
        if grep -q '^brindle-probe: plugin error' "$log"; then
            show_log "a plugin did not load"
            exit 1
        fi
        if ! kill -0 "$ide_pid" 2>/dev/null; then
            wait "$ide_pid"
            status=$?
            ide_pid=""
            show_log "the IDE ended (exit $status) before a line matched \"$pattern\""
            exit 124
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            show_log "no line matched \"$pattern\" within ${timeout_s} s"
            exit 124
        fi
        sleep 0.2
    done
done

if [ "$quit" = 1 ]; then
    send quit
    # Quitting ends downloads and extractions; a minute is plenty.
    deadline=$((SECONDS + 120))
    while kill -0 "$ide_pid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            show_log "the IDE did not quit within 120 s"
            exit 124
        fi
        sleep 0.2
    done
fi
wait "$ide_pid"
status=$?
ide_pid=""
[ "$status" -eq 0 ] || show_log "the IDE ended with exit code $status"
exit "$status"
