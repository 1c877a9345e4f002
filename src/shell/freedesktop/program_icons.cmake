# SPDX-License-Identifier: GPL-3.0-or-later
# Writes OUTPUT, a C++ source that holds the program's icons from the folder ICONS (one PNG a
# size, quillane-<size>.png, and quillane.svg), for the registration to install them.
# Run as: cmake -DICONS=<folder> -DOUTPUT=<file> -P program_icons.cmake
file(GLOB pngs RELATIVE ${ICONS} ${ICONS}/quillane-*.png)
list(SORT pngs COMPARE NATURAL)
set(arrays "")
set(entries "")
set(n 0)
foreach(name ${pngs} quillane.svg)
    file(READ ${ICONS}/${name} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND arrays "const char kIcon${n}[] = {${bytes}};\n")
    if(name MATCHES "^quillane-([0-9]+)\\.png$")
        set(folder "${CMAKE_MATCH_1}x${CMAKE_MATCH_1}")
        set(file "quillane.png")
    else()
        set(folder "scalable")
        set(file "quillane.svg")
    endif()
    string(APPEND entries "        {\"${folder}\", \"${file}\", {kIcon${n}, ${size}}},\n")
    math(EXPR n "${n} + 1")
endforeach()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT [[
// Written by program_icons.cmake from the program's icons; do not edit.
#include "freedesktop/program_icons.h"

namespace quillane::shell {
namespace {
@arrays@} // namespace

const std::vector<ProgramIcon>& programIcons() {
    static const std::vector<ProgramIcon> icons = {
@entries@    };
    return icons;
}

} // namespace quillane::shell
]] @ONLY)
