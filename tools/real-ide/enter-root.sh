#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# enter-root.sh <root> <folder>... -- <command> [<argument>...]
#
# Runs the command inside the Debian 13 root made by prepare-root.sh, as root, with the
# environment of the caller (PATH set for the root). Each <folder> (source and build folders)
# is bind-mounted at the same path inside, so paths mean the same on both sides. /proc, /dev
# and a fresh /tmp are mounted too.
#
# Everything is mounted in a mount namespace of this run alone: parallel runs do not see each
# other's mounts, and the kernel drops them when the run ends, whatever way it ends. The trap
# unmounts them in order on the way out as well. The network is the host's, so a server on the
# host's 127.0.0.1 is reachable from inside.
set -euo pipefail

fail() {
    echo "enter-root: $*" >&2
    exit 1
}

[ $# -ge 3 ] || fail "usage: enter-root.sh <root> <folder>... -- <command> [<argument>...]"
root="$1"
shift
[ -f "$root/.brindle-recipe" ] || fail "$root is not a prepared root (tools/real-ide/prepare-root.sh)"
folders=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    folders+=("$(cd "$1" && pwd -P)")
    shift
done
[ "${1:-}" = "--" ] || fail "missing -- before the command"
shift
[ $# -gt 0 ] || fail "no command"

if [ -z "${BRINDLE_IN_ROOT_NAMESPACE:-}" ]; then
    # Keep the root from being removed as outdated while it is in use (prepare-root.sh).
    exec 8>>"$root/.in-use"
    flock -s 8
    export BRINDLE_IN_ROOT_NAMESPACE=1
    exec unshare --mount --propagation private "$0" "$root" "${folders[@]}" -- "$@"
fi
unset BRINDLE_IN_ROOT_NAMESPACE

mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[$i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT

mount_at() { # <what> <where> <mount options...>
    local target="$root$2"
    mkdir -p "$target"
    mount "${@:3}" "$1" "$target"
    mounted+=("$target")
}

mount_at proc /proc -t proc
mount_at /dev /dev --rbind
mount_at tmpfs /tmp -t tmpfs -o mode=1777
for folder in "${folders[@]}"; do
    mount_at "$folder" "$folder" --bind
done

status=0
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin chroot "$root" "$@" || status=$?
exit "$status"
