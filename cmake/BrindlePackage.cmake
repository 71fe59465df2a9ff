# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# The plugin as an archive for Qt Creator 16's Help > About Plugins > Install Plugin...: the
# wizard unpacks it, takes the one plugin library it finds at any depth, checks its metadata
# and dependencies, and copies the whole tree into <user plugins>/<VendorId>.<Id>. The archive
# holds what "cmake --install" puts into an IDE folder:
#   lib/qtcreator/plugins/libBrindle.so          (metadata embedded)
#   share/qtcreator/translations/Brindle_*.qm    (found next to the library when installed so)
set(CPACK_PACKAGE_NAME "Brindle")
set(CPACK_PACKAGE_VENDOR "The Brindle Authors")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Palvex OS brindle plugin for Qt Creator 16")
set(CPACK_GENERATOR "TGZ")
set(CPACK_PACKAGE_FILE_NAME
    "Brindle-${PROJECT_VERSION}-qtcreator16-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
# The wizard copies the archive's contents as they are; no folder named after the package.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
