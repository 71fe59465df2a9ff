#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# prepare-root.sh
#
# Makes, or reuses, a Debian 13 ("trixie") root folder with the real Qt Creator 16.0.1, the
# Qt it was built with, a compiler, Xvfb and Qt Creator's own sources (for the headers that
# Debian ships in no package). Prints the root's path on stdout.
#
# The root lives in $BRINDLE_REAL_IDE_CACHE (default /var/cache/brindle/real-ide), outside any
# build folder, so every build and every clone on the machine shares it. Its folder is named
# after a hash of this recipe: a changed recipe builds a new root and removes the old ones.
# Two runs that race take the same lock; the second one waits and then reuses the root.
# Debian's mirror is the one this machine's own apt uses (override: BRINDLE_DEBIAN_MIRROR).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cache="${BRINDLE_REAL_IDE_CACHE:-/var/cache/brindle/real-ide}"
suite=trixie
qtcreator_version=16.0.1

# What the root holds. Qt Creator and Qt's development files to build the plugin; Xvfb to run
# the IDE without a display; a D-Bus session with gnome-keyring and libsecret, which the IDE's
# QtKeychain loads at run time, for the keychain tests (cmake/run-with-keyring.sh); zlib and
# libarchive, which the plugin checks archives with; xdotool, to click in the IDE's window.
packages=(
    qtcreator qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qtkeychain-qt6-dev
    g++ cmake ninja-build xvfb xauth xz-utils
    dbus-bin dbus-daemon gnome-keyring libsecret-1-0
    zlib1g-dev libarchive-dev xdotool
)

fail() {
    echo "prepare-root: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap and chroot)"
command -v debootstrap >/dev/null || fail "debootstrap is missing (apt-get install debootstrap)"

# The parts of the source tree kept in the root: the headers a plugin needs, the IDE's
# version (cmake/), and the code that reads example sets and starts the IDE, for reading.
source_parts=(src/libs src/plugins/coreplugin src/plugins/qtsupport src/plugins/welcome src/app
              cmake LICENSE.GPL3-EXCEPT)
# Bump when the way the root is made changes in a way the lists above do not show.
recipe_revision=1

# The recipe: what goes into the root. Its hash names the root's folder.
recipe_hash="$(printf '%s\n' "$suite" "$qtcreator_version" "$recipe_revision" "${packages[*]}" \
    "${source_parts[*]}" | sha256sum | cut -c1-16)"
root="$cache/root-$recipe_hash"

# The first URI of a Debian archive (not the security archive) in this machine's apt sources.
debian_mirror() {
    if [ -n "${BRINDLE_DEBIAN_MIRROR:-}" ]; then
        echo "$BRINDLE_DEBIAN_MIRROR"
        return
    fi
    local f uri=""
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        # deb822: one stanza per paragraph; take URIs of a stanza whose Suites are not security.
        uri="$(awk 'BEGIN { RS = ""; FS = "\n" }
            {
                u = ""; s = ""
                for (i = 1; i <= NF; i++) {
                    if ($i ~ /^URIs:/) { u = $i; sub(/^URIs:[ \t]*/, "", u); split(u, a, /[ \t]+/); u = a[1] }
                    if ($i ~ /^Suites:/) { s = $i }
                }
                if (u != "" && s !~ /security/) { print u; exit }
            }' "$f")"
        [ -n "$uri" ] && break
    done
    if [ -z "$uri" ]; then
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -e "$f" ] || continue
            uri="$(awk '$1 == "deb" && $0 !~ /security/ {
                for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) { print $i; exit } }' "$f")"
            [ -n "$uri" ] && break
        done
    fi
    [ -n "$uri" ] || fail "found no Debian mirror in /etc/apt/sources.list*; set BRINDLE_DEBIAN_MIRROR"
    echo "${uri%/}"
}

# in_root <root> <shell command>: runs the command in the root, with /proc mounted in a private
# mount namespace.
in_root() {
    unshare --mount --propagation private /bin/sh -c \
        'mount -t proc proc "$1/proc" && exec chroot "$1" /usr/bin/env -i \
            PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive /bin/sh -c "$2"' \
        in_root "$1" "$2"
}

build_root() {
    local mirror new
    mirror="$(debian_mirror)"
    SECONDS=0
    new="$(mktemp -d "$cache/new-XXXXXX")"
    # A failed build leaves nothing half made behind. The root's /proc is mounted in a mount
    # namespace of its own (in_root), which takes the mount with it however the run ends.
    trap 'rm -rf --one-file-system "$new"' EXIT

    echo "prepare-root: debootstrap $suite from $mirror into $new" >&2
    debootstrap --variant=minbase "$suite" "$new" "$mirror" >"$cache/debootstrap.log" 2>&1 \
        || { tail -n 30 "$cache/debootstrap.log" >&2; fail "debootstrap failed"; }

    printf 'deb %s %s main\ndeb-src %s %s main\n' "$mirror" "$suite" "$mirror" "$suite" \
        >"$new/etc/apt/sources.list"
    echo "prepare-root: debootstrap took $SECONDS s; installing ${packages[*]}" >&2
    in_root "$new" "apt-get update -qq && apt-get install -y -qq --no-install-recommends ${packages[*]}" \
        >"$cache/install.log" 2>&1 \
        || { tail -n 30 "$cache/install.log" >&2; fail "apt-get install in the root failed"; }

    # Headers come from the IDE's own sources. --tar-only: some mirrors lack the .dsc, and the
    # tarball is all that is needed.
    mkdir -p "$new/opt/qtcreator-src"
    in_root "$new" "cd /opt/qtcreator-src && apt-get source -qq --download-only --tar-only qtcreator" \
        >>"$cache/install.log" 2>&1 || true
    local tarball
    tarball="$(ls "$new"/opt/qtcreator-src/qtcreator_${qtcreator_version}.orig.tar.* 2>/dev/null | head -n 1)"
    [ -n "$tarball" ] || { tail -n 30 "$cache/install.log" >&2; fail "no qtcreator $qtcreator_version source tarball"; }
    local top="qt-creator-opensource-src-$qtcreator_version" part members=()
    for part in "${source_parts[@]}"; do
        members+=("$top/$part")
    done
    tar -xf "$tarball" -C "$new/opt/qtcreator-src" --strip-components=1 "${members[@]}" \
        || fail "unpacking $tarball failed"
    rm -f "$new"/opt/qtcreator-src/qtcreator_*
    [ -x "$new/usr/bin/qtcreator" ] || fail "qtcreator is not in the root"
    apt_cache_clean "$new"

    echo "$recipe_hash" >"$new/.brindle-recipe"
    echo "prepare-root: the root was ready after $SECONDS s" >&2
    mv "$new" "$root"
    trap - EXIT
}

apt_cache_clean() {
    rm -rf "$1"/var/cache/apt/archives/*.deb "$1"/var/lib/apt/lists/*_Packages "$1"/var/lib/apt/lists/*_Sources
}

mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9
[ -f "$root/.brindle-recipe" ] || build_root
# Roots of older recipes go, unless a run still uses one (enter-root.sh holds a shared lock on
# .in-use while it runs); --one-file-system keeps rm out of anything mounted.
for old in "$cache"/root-* "$cache"/new-*; do
    [ "$old" != "$root" ] && [ -d "$old" ] || continue
    (
        exec 8>>"$old/.in-use"
        flock -n -x 8 && rm -rf --one-file-system "$old"
    ) || echo "prepare-root: $old is in use, left for a later run" >&2
done
echo "$root"
