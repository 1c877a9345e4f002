# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# the cross Qt is built with as well). QUILLANE_WIN_QT names that Qt's install folder
# (scripts/windows-build.sh passes it); Qt's host tools (moc, rcc, uic) are the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# The tests run under Wine where it is installed (ctest, and test discovery).
find_program(QUILLANE_WINE NAMES wine wine64)
if(QUILLANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLANE_WINE})
endif()

# Test projects CMake configures for itself see the same Qt.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLANE_WIN_QT)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
if(QUILLANE_WIN_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${QUILLANE_WIN_QT})
    list(APPEND CMAKE_PREFIX_PATH ${QUILLANE_WIN_QT})
    # pkg-config looks only at the cross Qt's folder (gumbo's file is there), never the host's.
    set(ENV{PKG_CONFIG_LIBDIR} ${QUILLANE_WIN_QT}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
    set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
