# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only

# Wipes and recreates a test's private environment (called with -DROOT=<dir>).
if(NOT ROOT)
    message(FATAL_ERROR "ROOT not set")
endif()
file(REMOVE_RECURSE ${ROOT})
foreach(dir home data config cache runtime tmp settings)
    file(MAKE_DIRECTORY ${ROOT}/${dir})
endforeach()
file(CHMOD ${ROOT}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
