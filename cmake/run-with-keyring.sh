#!/bin/sh
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# run-with-keyring.sh <command> [<argument>...]
#
# Runs the command in a private D-Bus session that has its own gnome-keyring (a Secret
# Service) with an unlocked login keyring; the daemon ends with the session. The keyring
# files go below $XDG_DATA_HOME and the daemon's sockets below $XDG_RUNTIME_DIR, which
# brindle_add_test points into the test's private environment.
set -eu

fail() {
    echo "run-with-keyring: $*" >&2
    exit 1
}

if [ -z "${BRINDLE_KEYRING_SESSION:-}" ]; then
    for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (packages dbus, gnome-keyring)"
    done
    [ -n "${XDG_DATA_HOME:-}" ] && [ -n "${XDG_RUNTIME_DIR:-}" ] \
        || fail "XDG_DATA_HOME and XDG_RUNTIME_DIR must point into a private folder"
    # dbus-run-session starts this script again inside the new session.
    exec dbus-run-session -- env BRINDLE_KEYRING_SESSION=1 /bin/sh "$0" "$@"
fi

# QtKeychain picks its backend by the desktop it thinks it runs in; the test's session has
# only the Secret Service.
unset XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID \
    KDE_FULL_SESSION KDE_SESSION_VERSION

# The first unlock creates the login keyring with this password. With an empty one
# gnome-keyring asks a prompter first, and without a display there is none.
printf '%s' brindle-test-keyring \
    | gnome-keyring-daemon --unlock --components=secrets >/dev/null \
    || fail "gnome-keyring-daemon did not start"

# The daemon forks before it owns its bus name; give it up to 30 s.
tries=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null \
        | grep -q 'boolean true'; do
    tries=$((tries + 1))
    [ "$tries" -lt 300 ] || fail "the Secret Service did not appear on the session bus"
    sleep 0.1
done

exec "$@"
