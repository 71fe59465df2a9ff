#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Fault soak: the host with the plugin syncs a generated group from a GitLab server that fails
# 10% of the archive requests (500), never answers 5% (past the inactivity timeout, shortened
# to 3 s), cuts 5% mid-body and sends 5% invalid avatars. Then every example must be installed
# completely (manifest read by the host, files equal to the archive's) or absent and named in
# the log, with nothing half-unpacked left; a second sync against a healthy server must
# install the rest. Prints the counts; exits 1 when a check fails.
#
#   bench/soak.sh [--count 100] [--size small|large] [--seed 21]
#
# Which requests fail follows from the seed; 21 gives shares close to the nominal ones for
# 100 examples.
set -euo pipefail

count=100
size=small
seed=21
while [ $# -gt 0 ]; do
    case "$1" in
        --count) count="$2"; shift 2 ;;
        --size) size="$2"; shift 2 ;;
        --seed) seed="$2"; shift 2 ;;
        *) echo "usage: $0 [--count <n>] [--size small|large] [--seed <n>]" >&2; exit 2 ;;
    esac
done
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

group="bench/soak"
samples="$work/samples"
perl "$repo/bench/genexamples.pl" "$samples" "$group" "$count" "$size" "$avatar"
start_server "$samples" --fail-archives 10 --hang-archives 5 --cut-archives 5 --bad-avatars 5 \
    --seed "$seed"
list_projects "$group" >"$work/projects"

export BRINDLE_TRANSFER_TIMEOUT_MS=3000 QT_LOGGING_RULES="oskel.brindle.plugin*.debug=true"

failures=0
fail() {
    echo "  $*"
    failures=$((failures + 1))
}

# check <label>: sorts every example of the group into installed, absent or broken.
check() {
    local log="$work/soak/$1.log" examples id name dir title
    examples="$(sed -n 's/.* examples in //p' "$work/soak/first.log" | head -n 1)"
    installed=0
    absent=0
    reported=0
    while read -r id name; do
        dir="$examples/$name"
        title="Bench Example $((10#${name#example-}))"
        if [ ! -e "$dir" ]; then
            absent=$((absent + 1))
            if grep -q -e "Request failed: \"$url/api/v4/projects/$id/" \
                -e "Unable to unpack example: \"$name\"" "$log"; then
                reported=$((reported + 1))
            else
                fail "$name is absent and the log does not say why"
            fi
        elif ! grep -qw "$title" "$work/soak/$1.out"; then
            fail "$name is on disk but the host does not list it (manifest missing or unreadable)"
        elif ! diff -rq -x examples-manifest.xml -x example-icon.png \
            "$samples/$group/$name/files" "$dir" >/dev/null; then
            fail "$name differs from its archive"
        else
            installed=$((installed + 1))
        fi
    done <"$work/projects"
    local leftovers
    leftovers="$(find "$examples" -mindepth 1 -maxdepth 1 -name '.*' | wc -l)"
    leftovers=$((leftovers + $(find "$TMPDIR" -name '*.tar.gz' | wc -l)))
    [ "$leftovers" -eq 0 ] || fail "$leftovers unpack folders or temporary archives left behind"
}

sync_once() {
    local t0
    t0="$(now)"
    run_host soak "$@" --sync --timeout 300
    seconds="$(calc %.1f "$(now) - $t0")"
    cp "$work/soak/host.log" "$work/soak/$label.log"
    cp "$work/soak/host.out" "$work/soak/$label.out"
    [ "$host_status" -eq 0 ] || fail "the host ended with $host_status"
}

echo "First sync against the faulty server..." >&2
label=first
sync_once --add-repository "bench=$url/$group"
check first
first="$installed installed completely, $absent absent ($reported named in the log); $seconds s"
faults() { grep -c "^fault $1 " "$work/server.log" || true; }
injected="archives: $(faults fail) failed, $(faults hang) hung, $(faults cut) cut;"
injected+=" avatars: $(faults avatar) invalid"

echo "Second sync against the same server, healthy now..." >&2
port="${url##*:}"
stop_server
: >"$work/server.log"
start_server "$samples" --port "$port"
label=second
sync_once
read -r requests _ < <(server_counters)
check second
second="$installed installed completely, $absent absent; $seconds s, $requests requests"
[ "$installed" -eq "$count" ] || fail "the second sync left $((count - installed)) examples out"

echo
echo "Fault soak: $count $size examples, seed $seed, inactivity timeout 3 s"
echo "Faults injected: $injected"
echo "First sync:  $first"
echo "Second sync: $second"
if [ "$failures" -eq 0 ]; then
    echo "Every example complete or absent and named in the log, nothing left behind: ok"
else
    echo "$failures checks failed"
    exit 1
fi
