# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# brindle_add_test(<name> SOURCES <files...> [LIBRARIES <targets...>] [ENVIRONMENT <VAR=value...>]
#                  [KEYRING] [UNPACKS])
#
# Builds a QtTest executable and registers it with CTest. Every run starts in a fresh,
# private environment below <build>/testenv/<name>, so no test ever sees the real home
# directory, the real settings or another test's files. Paths that the libraries compute
# while they load (data location, settings path, SDK release) are fixed here, before the
# process starts.
#
# The D-Bus session bus address points at a socket that does not exist, so no test reaches
# the user's keychain or any other service of the desktop. With KEYRING the test runs in a
# private D-Bus session with its own unlocked gnome-keyring instead (cmake/run-with-keyring.sh).
#
# The host's unarchiver, as Qt Creator's, prefers "cmake -E tar" to tar when cmake is in PATH,
# and the two disagree about damaged archives. A test with UNPACKS runs once more as
# <name>_tar, with a PATH that has every tool but cmake.
function(brindle_add_test name)
    cmake_parse_arguments(ARG "KEYRING;UNPACKS" "" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})

    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Xml ${ARG_LIBRARIES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        BRINDLE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        BRINDLE_BINARY_DIR="${PROJECT_BINARY_DIR}")

    brindle_register_test(${name} ${name} "${ARG_KEYRING}" "${ARG_ENVIRONMENT}" "")
    if(ARG_UNPACKS)
        brindle_register_test(${name}_tar ${name} "${ARG_KEYRING}" "${ARG_ENVIRONMENT}" cmake)
    endif()
endfunction()

# Registers the executable <target> as the test <test>, in its private environment. The tool
# named <hidden>, unless empty, is left out of the test's PATH.
function(brindle_register_test test target keyring environment hidden)
    set(env_root ${PROJECT_BINARY_DIR}/testenv/${test})
    set(path_environment)
    if(hidden)
        set(path_environment "PATH=${env_root}/bin")
    endif()
    add_test(NAME ${test}.prepare
        COMMAND ${CMAKE_COMMAND} -DROOT=${env_root} -DHIDDEN_TOOL=${hidden}
                -P ${PROJECT_SOURCE_DIR}/cmake/PrepareTestEnvironment.cmake)
    set_tests_properties(${test}.prepare PROPERTIES FIXTURES_SETUP ${test}.env)

    if(keyring)
        add_test(NAME ${test}
            COMMAND /bin/sh ${PROJECT_SOURCE_DIR}/cmake/run-with-keyring.sh $<TARGET_FILE:${target}>)
    else()
        add_test(NAME ${test} COMMAND ${target})
    endif()
    set_tests_properties(${test} PROPERTIES
        FIXTURES_REQUIRED ${test}.env
        TIMEOUT 300
        ENVIRONMENT "HOME=${env_root}/home;XDG_DATA_HOME=${env_root}/data;XDG_CONFIG_HOME=${env_root}/config;XDG_CACHE_HOME=${env_root}/cache;XDG_RUNTIME_DIR=${env_root}/runtime;TMPDIR=${env_root}/tmp;BRINDLE_HOST_SETTINGS_PATH=${env_root}/settings;BRINDLE_HOST_RESOURCE_PATH=${BRINDLE_RESOURCE_OUTPUT_DIRECTORY};HOVRI_SDK_RELEASE_FILE=${PROJECT_SOURCE_DIR}/tests/data/sdk-release;DBUS_SESSION_BUS_ADDRESS=unix:path=${env_root}/runtime/no-session-bus;QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=;BRINDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR};BRINDLE_BINARY_DIR=${PROJECT_BINARY_DIR};BRINDLE_TEST_ROOT=${env_root};${path_environment};${environment}")
endfunction()

# Adds every child folder of the current source folder that has a CMakeLists.txt.
function(brindle_add_child_folders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
