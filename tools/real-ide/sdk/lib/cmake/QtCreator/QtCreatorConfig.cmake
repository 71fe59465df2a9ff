# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Qt Creator's development package, as far as a plugin needs it, for a Qt Creator that its
# distribution installed without one (Debian's qtcreator): the libraries the IDE runs with,
# and the headers of the same release's sources. The imported targets are named as the IDE's
# own QtCreatorConfig.cmake names them.
#
#   QTCREATOR_SOURCE_DIR   Qt Creator's source tree (default /opt/qtcreator-src)
#   QTCREATOR_LIBRARY_DIR  the IDE's library folder (default /usr/lib/<triplet>/qtcreator)

include(CMakeFindDependencyMacro)
find_dependency(Qt6 COMPONENTS Core Gui Widgets Network Concurrent)

set(QTCREATOR_SOURCE_DIR /opt/qtcreator-src CACHE PATH "Qt Creator's source tree (headers)")
if(NOT CMAKE_LIBRARY_ARCHITECTURE)
    set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
endif()
set(QTCREATOR_LIBRARY_DIR /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/qtcreator
    CACHE PATH "The installed IDE's library folder")

foreach(header libs/utils/utils_global.h plugins/coreplugin/icore.h
               libs/3rdparty/qtkeychain/keychain.h)
    if(NOT EXISTS ${QTCREATOR_SOURCE_DIR}/src/${header})
        set(QtCreator_FOUND FALSE)
        set(QtCreator_NOT_FOUND_MESSAGE "${QTCREATOR_SOURCE_DIR}/src/${header} is missing")
        return()
    endif()
endforeach()

set(_qtc_src ${QTCREATOR_SOURCE_DIR}/src)
file(READ ${_qtc_src}/../cmake/QtCreatorIDEBranding.cmake _qtc_branding)
string(REGEX MATCH "IDE_VERSION \"([0-9.]+)\"" _ ${_qtc_branding})
set(QtCreator_VERSION ${CMAKE_MATCH_1})
set(PACKAGE_VERSION ${QtCreator_VERSION})

# <name> <library file> <include folders> <link dependencies>
function(_qtc_import name file includes deps)
    if(TARGET QtCreator::${name})
        return()
    endif()
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "Qt Creator library ${file} is missing")
    endif()
    add_library(QtCreator::${name} SHARED IMPORTED)
    set_target_properties(QtCreator::${name} PROPERTIES
        IMPORTED_LOCATION ${file}
        INTERFACE_INCLUDE_DIRECTORIES "${includes}"
        INTERFACE_LINK_LIBRARIES "${deps}")
endfunction()

set(_qtc_lib ${QTCREATOR_LIBRARY_DIR})
_qtc_import(qtkeychain ${_qtc_lib}/libqtkeychain.so.16 "${_qtc_src}/libs/3rdparty" "Qt6::Core")
_qtc_import(Aggregation ${_qtc_lib}/libAggregation.so.16 "${_qtc_src}/libs" "Qt6::Core")
# Tasking is compiled into Utils; its headers are <solutions/tasking/...>.
_qtc_import(Utils ${_qtc_lib}/libUtils.so.16
    "${_qtc_src}/libs;${_qtc_src}/libs/3rdparty;${_qtc_src}/libs/solutions"
    "Qt6::Core;Qt6::Gui;Qt6::Widgets;Qt6::Network;Qt6::Concurrent")
_qtc_import(ExtensionSystem ${_qtc_lib}/libExtensionSystem.so.16 "${_qtc_src}/libs"
    "QtCreator::Aggregation;QtCreator::Utils")
_qtc_import(Core ${_qtc_lib}/plugins/libCore.so "${_qtc_src}/plugins"
    "QtCreator::ExtensionSystem;QtCreator::Utils;QtCreator::Aggregation")

set(QtCreator_FOUND TRUE)
