# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# Wipes and recreates a test's private environment (called with -DROOT=<dir>). With
# -DHIDDEN_TOOL=<name>, <dir>/bin gets a link to every program in PATH but that one, for the
# test's PATH: the test still finds sh, tar, perl, dbus and the keyring, only not <name>.
if(NOT ROOT)
    message(FATAL_ERROR "ROOT not set")
endif()
file(REMOVE_RECURSE ${ROOT})
foreach(dir home data config cache runtime tmp settings)
    file(MAKE_DIRECTORY ${ROOT}/${dir})
endforeach()
file(CHMOD ${ROOT}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

if(HIDDEN_TOOL)
    file(MAKE_DIRECTORY ${ROOT}/bin)
    # A shell, since CMake's lists cannot hold every program's name ("[" among them). ln refuses
    # a name that is there already, so the first folder in PATH that has a program wins, as in
    # a shell; relative entries would mean other folders from the test's working directory.
    execute_process(
        COMMAND /bin/sh -c [[
            IFS=:
            for dir in $PATH; do
                case $dir in /*) ln -s "$dir"/* "$0" 2>/dev/null ;; esac
            done
            rm -f "$0/$1"
            test -e "$0/sh" && ! test -e "$0/$1"
        ]] ${ROOT}/bin ${HIDDEN_TOOL}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not link the programs in PATH without ${HIDDEN_TOOL}")
    endif()
endif()
