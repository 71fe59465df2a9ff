#!/usr/bin/env bash
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# realide-test.sh <scenario> <source folder> <build folder>
#
# The plugin in the real Qt Creator 16.0.1 (Debian 13 root, tools/real-ide), against the
# project's GitLab server, which runs here on the host's 127.0.0.1. Each scenario starts from a
# fresh folder <build>/testenv/realide_<scenario> with its own HOME, XDG folders and IDE
# settings path; the IDE's log of each start is kept there (ide-*.log). On failure the script
# says what it expected and prints the end of the log.
set -uo pipefail

scenario="$1"
src="$(cd "$2" && pwd)"
build="$(cd "$3" && pwd)"
realide="$build/realide"
env_root="$build/testenv/realide_$scenario"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

root="$("$src/tools/real-ide/prepare-root.sh")" || fail "no Debian 13 root"
[ -f "$realide/plugin-build/lib/qtcreator/plugins/libBrindle.so" ] \
    || fail "the plugin is not built against the real IDE (test realide_build)"

rm -rf "$env_root"
mkdir -p "$env_root"/{home,data,config,cache,tmp,settings/QtProject}
mkdir -p -m 700 "$env_root/runtime"
export HOME="$env_root/home" XDG_DATA_HOME="$env_root/data" XDG_CONFIG_HOME="$env_root/config" \
    XDG_CACHE_HOME="$env_root/cache" XDG_RUNTIME_DIR="$env_root/runtime" TMPDIR="$env_root/tmp" \
    BRINDLE_IDE_SETTINGS="$env_root/settings"
unset DISPLAY WAYLAND_DISPLAY HOVRI_SDK_RELEASE_FILE
# No session bus unless a scenario starts one: never the user's keychain.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$env_root/runtime/no-session-bus"
# Qt Creator's own example log, and the plugin's.
export QT_LOGGING_RULES="qtc.examples*=true;oskel.brindle.plugin*.debug=true"
ini="$env_root/settings/QtProject/QtCreator.ini"
data="$XDG_DATA_HOME/palvexos-sdk-5.0"

samples="$src/samples"
server_pid=""
stop_server() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    server_pid=""
}
trap stop_server EXIT

# start_server_with [<server option>...]: the project's GitLab server on a free port, serving
# $samples (samples/ unless a scenario changes it); sets $url.
start_server() { start_server_with; }
start_server_with() {
    "$build/bin/gitlab-server" --samples "$samples" --verbose "$@" \
        >"$env_root/gitlab-server.url" 2>"$env_root/gitlab-server.log" &
    server_pid=$!
    url=""
    for _ in $(seq 1 300); do
        url="$(head -n 1 "$env_root/gitlab-server.url" 2>/dev/null)"
        [ -n "$url" ] && return 0
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$env_root/gitlab-server.log" >&2
    fail "the GitLab server did not start"
}

archives_served() { grep -c '/repository/archive' "$env_root/gitlab-server.log"; }

# write_settings <selected example set> <repository>...: the IDE's settings as the SDK's
# installer leaves them: the plugin's repositories and a Welcome screen example set for each,
# plus the Welcome screen on its Examples page showing the given set.
write_settings() {
    local selected="$1" name repositories="" sets=""
    shift
    for name in "$@"; do
        repositories+="${repositories:+, }$name|$url/palvexos/$name|"
        sets+="${sets:+, }$name|$data/$name|$data/$name"
    done
    cat >"$ini" <<INI
[General]
Welcome2Tab=Examples

[WelcomePage]
SelectedExampleSet=$selected

[Brindle]
Repositories=$repositories
UpdatesCheckTimeoutDays=1

[Help]
InstalledExamples=$sets
INI
}

# select_set <name>: the Welcome screen shows this example set at the next start.
select_set() {
    sed -i "s/^SelectedExampleSet=.*/SelectedExampleSet=$1/" "$ini"
}

# ide <log name> <run-ide.sh option>...: one start of the real IDE. For "options" in a
# private D-Bus session with its own gnome-keyring (cmake/run-with-keyring.sh). With
# $ide_as_user set, without root's power over file permissions: the IDE and whatever it starts
# may read, write and search only what their owner's permission bits allow, as a user's IDE in
# a home folder of their own. (Another user could not even enter the root folder, which only
# root may open.)
ide_as_user=""
ide() {
    local log="$env_root/ide-$1.log" session=() user=()
    local powers=-dac_override,-dac_read_search,-fowner
    [ "$1" = options ] && session=(/bin/sh "$src/cmake/run-with-keyring.sh")
    [ -n "$ide_as_user" ] && user=(setpriv --bounding-set="$powers" --inh-caps="$powers" --)
    shift
    "$src/tools/real-ide/enter-root.sh" "$root" "$src" "$build" -- \
        "${user[@]}" "${session[@]}" /bin/bash "$src/tools/real-ide/run-ide.sh" "$realide" "$log" "$@"
}

# examples_log <log name>: Qt Creator's own examples log lines of that start.
examples_log() { grep '^qtc.examples' "$env_root/ide-$1.log"; }

# check_examples_log <log name> <set>...: the IDE added every example set, and its log has no
# error and no broken item.
check_examples_log() {
    local log="$1" set
    shift
    for set in "$@"; do
        examples_log "$log" | grep -Fq "Adding examples set displayName= \"$set\"" \
            || fail "($log) Qt Creator did not add the example set $set: $(examples_log "$log")"
    done
    if examples_log "$log" | grep -E 'ERROR|broken|not a readable directory'; then
        fail "($log) Qt Creator's examples log reports the errors above"
    fi
}

# manifest_pattern <set> <example>: the log line of Qt Creator reading that example's manifest.
manifest_pattern() { echo "^qtc.examples: .Reading file .*/$1/$2/examples-manifest\\.xml"; }

sample_examples() { # <group>: the example names of a sample group
    local dir
    for dir in "$samples/palvexos/$1"/*/; do
        [ -f "$dir/project.json" ] && basename "$dir"
    done
}

check_sample_manifests() { # every sample example of both groups has its manifest in $data
    local group name
    for group in examples demos; do
        for name in $(sample_examples "$group"); do
            [ -f "$data/$group/$name/examples-manifest.xml" ] \
                || fail "$group/$name has no manifest in $data"
        done
    done
}

# sample_title <group> <example>: the project's display name, which the plugin's statuses use.
sample_title() {
    grep -o '"name": *"[^"]*"' "$samples/palvexos/$1/$2/project.json" | head -n 1 \
        | sed 's/.*: *"//; s/"$//'
}

# project_id <group> <example>: the id the running server gives the project, asked through its
# API with bash alone. The ids follow from the samples tree, so two servers on the same tree
# agree; the archive routes name projects by id only.
project_id() {
    local answer
    exec 3<>"/dev/tcp/127.0.0.1/${url##*:}" || return 1
    printf 'GET /api/v4/projects/palvexos%%2F%s%%2F%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' \
        "$1" "$2" >&3
    answer="$(tr -d '\r' <&3)"
    exec 3<&-
    head -n 1 <<<"$answer" | grep -q ' 200 ' || return 1
    sed -n 's/^{"id":\([0-9][0-9]*\),.*/\1/p' <<<"$answer" | head -n 1 | grep .
}

case "$scenario" in
examples)
    start_server
    write_settings examples examples demos
    waits=()
    for name in $(sample_examples examples); do
        waits+=(--wait "$(manifest_pattern examples "$name")")
    done
    # First start: the folders are empty, the examples arrive while the IDE runs, and the
    # plugin's documentationChanged() makes the Welcome screen read their manifests.
    ide first --wait "brindle-probe: service idle" "${waits[@]}" --quit \
        || fail "first start: the examples did not reach the Welcome screen"
    check_examples_log first examples demos
    check_sample_manifests
    grep -q "brindle-probe: about to shut down" "$env_root/ide-first.log" \
        || fail "the IDE did not shut its plugins down"
    served="$(archives_served)"

    # Restart, now showing the other set: its manifests are read at start, and nothing is
    # downloaded again within the update interval.
    select_set demos
    waits=()
    for name in $(sample_examples demos); do
        waits+=(--wait "$(manifest_pattern demos "$name")")
    done
    ide second --wait "brindle-probe: service idle" "${waits[@]}" --quit \
        || fail "restart: the installed examples were not read"
    check_examples_log second examples demos
    [ "$(archives_served)" = "$served" ] || fail "the restart downloaded archives again"
    ;;
damaged)
    # Three archives of one repository come whole (200, full length) but damaged, each its
    # own way; the rest of it and a second repository come intact. Qt Creator's unarchiver
    # (cmake -E tar) takes a cut or a byte-flipped tar.gz for a good one, so only the plugin's
    # own check keeps them from being installed as examples.
    declare -A damage=([device-info]=truncated [hello-qml]=flipped [launcher-icon]=garbage)
    # Cut short, a small tar.gz makes cmake -E tar fail, but one cut some 300 KB in is unpacked
    # as far as it goes and cmake exits 0: the truncated example gets a large file, so that only
    # the plugin's check stands between that archive and an installed example.
    samples="$env_root/samples"
    cp -R "$src/samples" "$samples"
    mkdir -p "$samples/palvexos/examples/device-info/files/data"
    seq 1 300000 >"$samples/palvexos/examples/device-info/files/data/readings.txt"
    start_server
    declare -A ids=()
    for name in "${!damage[@]}"; do
        ids[$name]="$(project_id examples "$name")" || fail "the server has no id for examples/$name"
    done
    stop_server
    faults=()
    for name in "${!damage[@]}"; do
        faults+=(--damage-archives "^/api/v4/projects/${ids[$name]}/repository/archive=${damage[$name]}")
    done
    start_server_with "${faults[@]}"
    # A second server on the same samples must number them alike, or the faults hit others.
    for name in "${!damage[@]}"; do
        [ "$(project_id examples "$name")" = "${ids[$name]}" ] \
            || fail "examples/$name changed its id between two servers on the same samples"
    done
    write_settings examples examples demos
    # The Welcome screen reads the manifests of the set it shows (examples) only; the demos'
    # are checked on disk.
    intact=()
    waits=()
    for group in examples demos; do
        for name in $(sample_examples "$group"); do
            [ "$group" = examples ] && [ -n "${damage[$name]:-}" ] && continue
            intact+=("$group/$name")
            [ "$group" = examples ] && waits+=(--wait "$(manifest_pattern "$group" "$name")")
        done
    done
    [ "${#waits[@]}" -gt 0 ] || fail "the samples leave no intact example beside the damaged ones"
    ide damaged --wait "brindle-probe: service idle" "${waits[@]}" --quit \
        || fail "the intact examples did not reach the Welcome screen"
    log="$env_root/ide-damaged.log"
    check_examples_log damaged examples demos
    for name in "${!damage[@]}"; do
        title="$(sample_title examples "$name")"
        grep -q "GET /api/v4/projects/${ids[$name]}/repository/archive.* -> 200" \
            "$env_root/gitlab-server.log" \
            || fail "the plugin never got the ${damage[$name]} archive of examples/$name"
        [ -e "$data/examples/$name" ] \
            && fail "the ${damage[$name]} archive of examples/$name was installed: $(ls -A "$data/examples/$name")"
        grep 'Status: ' "$log" | grep -Fq "The archive of $title is damaged: " \
            || fail "no status says the ${damage[$name]} archive of $title is damaged: $(grep 'Status: ' "$log" | grep -F "$title")"
        if grep -E "$(manifest_pattern examples "$name")" "$log"; then
            fail "Qt Creator read a manifest of the ${damage[$name]} example $name"
        fi
        echo "examples/$name (${damage[$name]}): $(grep 'Status: ' "$log" | grep -F "The archive of $title is damaged: " | head -n 1)"
    done
    for example in "${intact[@]}"; do
        [ -f "$data/$example/examples-manifest.xml" ] || fail "$example has no manifest in $data"
    done
    # Nothing of the refused archives stays: no unpack folder, no saved archive.
    expected="$(printf '%s\n' "${intact[@]}" | sort)"
    found="$(cd "$data" && for group in examples demos; do ls -A "$group" | sed "s|^|$group/|"; done | sort)"
    [ "$found" = "$expected" ] \
        || fail "the data folder holds $(tr '\n' ' ' <<<"$found")instead of $(tr '\n' ' ' <<<"$expected")"
    [ -z "$(ls -A "$TMPDIR")" ] || fail "left in the temporary folder: $(ls -A "$TMPDIR")"
    ;;
quit)
    # Quitting while the plugin works: the server never answers an archive request. Qt Creator
    # cancels every progress entry when its window closes, and the plugin's aboutToShutdown()
    # ends the downloads; the IDE ends at once, and nothing of them stays behind.
    start_server_with --hang-archives 100
    write_settings examples examples
    waits=()
    for name in $(sample_examples examples); do
        title="$(grep -o '"name": *"[^"]*"' "$src/samples/palvexos/examples/$name/project.json" \
            | head -n 1 | sed 's/.*: *"//; s/"$//; s/[][().*^$]/./g')"
        waits+=(--wait "Status: .Downloading example: $title")
    done
    ide quit "${waits[@]}" --quit || fail "the IDE did not quit cleanly during downloads"
    log="$env_root/ide-quit.log"
    grep -q "brindle-probe: about to shut down" "$log" || fail "the IDE did not shut its plugins down"
    if grep -Ei 'QThread: Destroyed|ASSERT|Segmentation|still running' "$log"; then
        fail "the IDE reported the lines above while quitting"
    fi
    leftovers="$(ls -A "$data/examples") $(ls -A "$TMPDIR")"
    [ "$leftovers" = " " ] || fail "left in the data or temporary folder: $leftovers"
    ;;
quit_extracting)
    # Quitting while the plugin unpacks: every archive is a valid tar.gz whose one 16 MiB file
    # of zeros comes 512 times, so unpacking runs for seconds (while the folder never holds
    # more than 16 MiB each) but only 9 MB travel. The archive check counts the 8 GiB it
    # writes, so the limit is raised for it. The quit comes once an unpacking process (tar,
    # gzip, or cmake -E tar, whichever Qt Creator picks) works in the data folder; the
    # plugin's aboutToShutdown() stops it, and nothing of it stays behind.
    start_server_with --rewritten-zeros '/repository/archive=512'
    write_settings examples examples
    sed -i 's/^UpdatesCheckTimeoutDays=1$/&\nMaxUnpackedMegabytes=16384/' "$ini"
    ide quit_extracting --wait-process "$data" --quit \
        || fail "the IDE did not quit cleanly while it unpacked"
    log="$env_root/ide-quit_extracting.log"
    grep -q "brindle-probe: about to shut down" "$log" || fail "the IDE did not shut its plugins down"
    grep -q "Unpacking output: .Running" "$log" || fail "the plugin did not log its extraction"
    if grep -Ei 'QThread: Destroyed|ASSERT|Segmentation|still running' "$log"; then
        fail "the IDE reported the lines above while quitting"
    fi
    # Whatever the root's path shows as from here, the test folder's own path is in it.
    left=""
    for proc in /proc/[0-9]*; do
        cwd="$(readlink "$proc/cwd" 2>/dev/null)" || continue
        command="$(tr '\0' ' ' <"$proc/cmdline" 2>/dev/null)"
        case "$cwd $command" in
        *"$env_root"/*) left+=" ${proc#/proc/} ($command in $cwd)" ;;
        esac
    done
    [ -z "$left" ] || fail "still running after the IDE ended:$left"
    leftovers="$(ls -A "$data/examples") $(ls -A "$TMPDIR")"
    [ "$leftovers" = " " ] || fail "left in the data or temporary folder: $leftovers"
    ;;
copy)
    # Qt Creator opens an example from the Welcome screen in place when it may write there,
    # and the next update would replace what the user did in it. Opened as a user does, by
    # clicking its tile, an installed example makes the IDE offer a copy first. The IDE's check
    # asks the file system, which lets root write anywhere: the IDE runs with a user's powers
    # only, over folders it owns.
    ide_as_user=1
    start_server
    write_settings examples examples
    name="$(sample_examples examples | head -n 1)"
    title="$(sample_title examples "$name")"
    ide copy --wait "brindle-probe: service idle" --wait "$(manifest_pattern examples "$name")" \
        --send "click-example $title" --wait "brindle-probe: example tile" \
        --wait-window '^Copy Project to writable Location\?$' \
        --send dismiss --wait "brindle-probe: (dismissed|no modal)" --quit \
        || fail "Qt Creator did not offer to copy the example $title before opening it"
    log="$env_root/ide-copy.log"
    grep -q "^brindle-probe: modal dialog \"Copy Project to writable Location?\"" "$log" \
        || fail "the dialog was not Qt Creator's copy question: $(grep 'brindle-probe: ' "$log" | tail -n 3)"
    # Only the project file is read-only: a project kept in place still gets its settings and
    # builds in the folder.
    (( 8#$(stat -c %a "$data/examples/$name") & 8#200 )) \
        || fail "the example's folder is not writable for its owner"
    if ls -A "$data/examples/$name" | grep -F '.user'; then
        fail "the example was opened in place"
    fi
    ;;
options)
    # The plugin's page is in Edit > Preferences > Help, and a token entered there reaches
    # the system keychain: gnome-keyring in a D-Bus session of this test's own, inside the
    # root, read back through the IDE's own QtKeychain.
    token="glpat-realide-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')"
    GITLAB_SERVER_TOKENS="$token" start_server # accepts the token, kept out of ps
    write_settings examples examples
    ide options --wait "brindle-probe: service idle" --send "token examples $token" \
        --wait "brindle-probe: (keychain holds|keychain lacks|preferences closed)" \
        --wait "brindle-probe: keychain (holds|lacks)" --quit \
        || fail "setting the access token in the real IDE did not finish"
    log="$env_root/ide-options.log"
    grep -q 'brindle-probe: options page "Palvex OS Examples" in category "Help"' "$log" \
        || fail "the options page is not Help > Palvex OS Examples: $(grep 'options page' "$log")"
    # At the Preferences dialog's default size the whole page shows, without scrolling.
    grep -q 'brindle-probe: page layout: every control visible' "$log" \
        || fail "the page does not fit the Preferences dialog: $(grep 'page layout' "$log")"
    grep -q "brindle-probe: keychain holds the token of $url/palvexos/examples" "$log" \
        || fail "the token did not reach the keychain: $(grep 'brindle-probe: keychain' "$log")"
    grep -q "Access denied" "$log" && fail "the server refused the token the page stored"
    if grep -rqF "$token" "$log" "$env_root/settings"; then
        fail "the token shows in the IDE's log or settings"
    fi
    ;;
package)
    # The plugin as a user installs it: its archive unpacked into the user's plugin folder the
    # way Help > About Plugins > Install Plugin... does it, no -pluginpath for it, and the
    # build folders out of sight. The SDK's plugin still comes from the SDK's own folder.
    archives=("$realide"/package/Brindle-*.tar.gz)
    [ "${#archives[@]}" = 1 ] && [ -f "${archives[0]}" ] \
        || fail "cpack made no single plugin archive in $realide/package: ${archives[*]}"
    installed="$realide/plugin-install/lib/qtcreator/plugins/libBrindle.so"
    [ -f "$installed" ] || fail "cmake --install put no libBrindle.so into lib/qtcreator/plugins"
    for qm in "$realide"/plugin-build/share/qtcreator/translations/Brindle_*.qm; do
        [ -f "$realide/plugin-install/share/qtcreator/translations/${qm##*/}" ] \
            || fail "cmake --install left out the translation ${qm##*/}"
    done
    # runpath_of <library>: its RUNPATH and RPATH entries, one a line.
    runpath_of() {
        readelf -d "$1" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p' | tr ':' '\n'
    }
    unpacked="$env_root/unpacked"
    mkdir -p "$unpacked"
    tar -xzf "${archives[0]}" -C "$unpacked" || fail "the archive does not unpack"
    # What the wizard's check wants: exactly one plugin library, found at any depth.
    mapfile -t libraries < <(find "$unpacked" -name '*.so' -type f)
    [ "${#libraries[@]}" = 1 ] || fail "the archive holds ${#libraries[@]} libraries: ${libraries[*]}"
    for library in "$installed" "${libraries[0]}"; do
        entries="$(runpath_of "$library")"
        echo "RUNPATH of ${library#"$build"/}: $(tr '\n' ' ' <<<"$entries")"
        while read -r entry; do
            [ -z "$entry" ] && continue
            case "$entry" in
            '$ORIGIN' | '$ORIGIN/'*) ;;
            *) fail "$library has the search path $entry, not relative to itself" ;;
            esac
        done <<<"$entries"
    done
    # Qt Creator 16.0.1 on Linux: <GenericDataLocation>/data/QtProject/qtcreator/plugins/16.0.1,
    # and the wizard copies the archive into <VendorId>.<Id> there.
    vendor="$(sed -n 's/.*"VendorId" *: *"\([^"]*\)".*/\1/p' "$src/src/Brindle.json.in")"
    user_plugins="$XDG_DATA_HOME/data/QtProject/qtcreator/plugins/16.0.1"
    mkdir -p "$user_plugins/$vendor.brindle"
    cp -R "$unpacked/." "$user_plugins/$vendor.brindle/"

    start_server
    write_settings examples examples demos
    waits=()
    for name in $(sample_examples examples); do
        waits+=(--wait "$(manifest_pattern examples "$name")")
    done
    # In the run's own mount namespace the build's plugin and its installed copy are empty
    # folders, so that nothing can come from there.
    log="$env_root/ide-package.log"
    "$src/tools/real-ide/enter-root.sh" "$root" "$src" "$build" -- /bin/bash -c '
        mount -t tmpfs none "$1/plugin-build/lib" && mount -t tmpfs none "$1/plugin-install" \
            && BRINDLE_IDE_INSTALLED_PLUGIN=1 exec /bin/bash "${@:2}"' \
        hide "$realide" "$src/tools/real-ide/run-ide.sh" "$realide" "$log" \
        --wait "brindle-probe: service idle" "${waits[@]}" --quit \
        || fail "the installed plugin did not bring the examples to the Welcome screen"
    grep -q "brindle-probe: plugin brindle loaded from $user_plugins/$vendor.brindle/" "$log" \
        || fail "the plugin was not loaded from the user's plugin folder: $(grep 'brindle-probe: plugin' "$log")"
    check_examples_log package examples demos
    check_sample_manifests
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: realide_$scenario"
