# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# brindle_add_test(<name> SOURCES <files...> [LIBRARIES <targets...>] [ENVIRONMENT <VAR=value...>]
#                  [KEYRING])
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
function(brindle_add_test name)
    cmake_parse_arguments(ARG "KEYRING" "" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})

    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Xml ${ARG_LIBRARIES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        BRINDLE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        BRINDLE_BINARY_DIR="${PROJECT_BINARY_DIR}")

    set(env_root ${PROJECT_BINARY_DIR}/testenv/${name})
    add_test(NAME ${name}.prepare
        COMMAND ${CMAKE_COMMAND} -DROOT=${env_root} -P ${PROJECT_SOURCE_DIR}/cmake/PrepareTestEnvironment.cmake)
    set_tests_properties(${name}.prepare PROPERTIES FIXTURES_SETUP ${name}.env)

    if(ARG_KEYRING)
        add_test(NAME ${name}
            COMMAND /bin/sh ${PROJECT_SOURCE_DIR}/cmake/run-with-keyring.sh $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED ${name}.env
        TIMEOUT 300
        ENVIRONMENT "HOME=${env_root}/home;XDG_DATA_HOME=${env_root}/data;XDG_CONFIG_HOME=${env_root}/config;XDG_CACHE_HOME=${env_root}/cache;XDG_RUNTIME_DIR=${env_root}/runtime;TMPDIR=${env_root}/tmp;BRINDLE_HOST_SETTINGS_PATH=${env_root}/settings;BRINDLE_HOST_RESOURCE_PATH=${BRINDLE_RESOURCE_OUTPUT_DIRECTORY};HOVRI_SDK_RELEASE_FILE=${PROJECT_SOURCE_DIR}/tests/data/sdk-release;DBUS_SESSION_BUS_ADDRESS=unix:path=${env_root}/runtime/no-session-bus;QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=;BRINDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR};BRINDLE_BINARY_DIR=${PROJECT_BINARY_DIR};${ARG_ENVIRONMENT}")
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
