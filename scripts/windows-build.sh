#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Quillane for Windows on Debian 12 with mingw-w64.
#
# First, once: Qt (Core, Gui, Widgets, Network, PrintSupport, Test, the windows and
# offscreen platform plugins, the Windows styles), Qt WebSockets, Qt HTTP Server and
# QScintilla, from Debian's own source packages, into a cache folder outside the tree
# ($QUILLANE_WIN_DEPS, default ~/.cache/quillane/windows-deps). Only what that folder
# lacks is built. Then the program and its tests into build-windows/, and the packages:
# build-windows/quillane-<version>-windows.zip and an NSIS installer beside it.
#
#   bash scripts/windows-build.sh            everything
#   bash scripts/windows-build.sh deps       only the cross Qt and QScintilla
#   bash scripts/windows-build.sh program    the program and packages (deps must exist)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="${QUILLANE_WIN_DEPS:-$HOME/.cache/quillane/windows-deps}"
what="${1:-all}"
jobs="$(nproc)"
triple=x86_64-w64-mingw32
cc="$triple-gcc-posix"
cxx="$triple-g++-posix"
qt="$deps/qt"
say() { echo "windows-build: $*"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

install_tools() {
    local packages=(
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
        cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools
        qt6-websockets-dev qt6-httpserver-dev nsis zip wine wine64 perl python3
    )
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Debian's source packages need a deb-src line for bookworm next to the deb one.
enable_sources() {
    local list=/etc/apt/sources.list.d/quillane-sources.sources
    if apt-get indextargets 2>/dev/null | grep -q '^Identifier: Sources'; then
        return 0
    fi
    say "adding Debian's bookworm source packages to apt ($list)"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' \
        'Suites: bookworm bookworm-updates' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $sudo tee "$list" >/dev/null
    $sudo apt-get update -qq
}

# Unpacks a Debian source package into $deps/src/<name> (once).
fetch_source() {
    local package="$1" name="$2"
    [ -d "$deps/src/$name" ] && return 0
    enable_sources
    mkdir -p "$deps/src/download"
    (cd "$deps/src/download" && rm -rf ./* && apt-get source -qq "$package" >/dev/null) ||
        { rm -rf "$deps/src/download"; return 1; }
    local dir
    dir="$(find "$deps/src/download" -mindepth 1 -maxdepth 1 -type d | head -n 1)"
    [ -n "$dir" ] || return 1
    mv "$dir" "$deps/src/$name"
    rm -rf "$deps/src/download"
}

build_qtbase() {
    [ -f "$qt/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] && return 0
    fetch_source qt6-base qtbase
    local src="$deps/src/qtbase"
    # With OpenGL off the Windows platform plugin still asks for dynamic OpenGL.
    sed -i 's/#if QT_CONFIG(dynamicgl)/#if QT_CONFIG(opengl) \&\& QT_CONFIG(dynamicgl)/' \
        "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
    say "configuring qtbase for $triple (about 40 minutes on two cores)"
    rm -rf "$deps/build/qtbase"
    cmake -S "$src" -B "$deps/build/qtbase" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt" \
        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
        -DCMAKE_RC_COMPILER="$triple-windres" \
        -DCMAKE_FIND_ROOT_PATH=/usr/$triple -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
        -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
        -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
        -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_openssl=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_system_zlib=OFF -DINPUT_zlib=qt \
        -DINPUT_pcre=qt -DFEATURE_system_pcre2=OFF -DINPUT_freetype=qt \
        -DFEATURE_system_freetype=OFF -DINPUT_harfbuzz=qt -DFEATURE_system_harfbuzz=OFF \
        -DINPUT_libpng=qt -DFEATURE_system_png=OFF -DINPUT_libjpeg=qt -DFEATURE_system_jpeg=OFF \
        -DFEATURE_sql_sqlite=OFF -DFEATURE_concurrent=ON -DFEATURE_network=ON \
        -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_xml=ON \
        -DFEATURE_vulkan=OFF -DFEATURE_fontconfig=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
        -DFEATURE_brotli=OFF -DFEATURE_zstd=OFF -DFEATURE_egl=OFF -DFEATURE_system_doubleconversion=OFF \
        >"$deps/build/qtbase-configure.log" 2>&1 ||
        { tail -n 40 "$deps/build/qtbase-configure.log"; exit 1; }
    cmake --build "$deps/build/qtbase" --parallel "$jobs"
    cmake --install "$deps/build/qtbase"
}

# Qt WebSockets and Qt HTTP Server: the preview server's modules. Without them the
# Windows program is built without --serve and without served previews.
build_qt_module() {
    local package="$1" name="$2" marker="$3"
    [ -f "$qt/lib/cmake/$marker/${marker}Config.cmake" ] && return 0
    if ! fetch_source "$package" "$name"; then
        say "could not fetch the source of $package; building without it"
        return 0
    fi
    say "building $name for $triple"
    rm -rf "$deps/build/$name"
    "$qt/bin/qt-cmake" -S "$deps/src/$name" -B "$deps/build/$name" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        >"$deps/build/$name-configure.log" 2>&1 ||
        { tail -n 40 "$deps/build/$name-configure.log"; exit 1; }
    cmake --build "$deps/build/$name" --parallel "$jobs"
    cmake --install "$deps/build/$name"
}

build_qscintilla() {
    [ -f "$qt/lib/libqscintilla2_qt6.dll.a" ] || [ -f "$qt/lib/libqscintilla2_qt6.a" ] && return 0
    fetch_source qscintilla2 qscintilla
    say "building QScintilla for $triple"
    local build="$deps/build/qscintilla"
    rm -rf "$build" && mkdir -p "$build"
    (cd "$build" && "$qt/bin/qmake" "$deps/src/qscintilla/src/qscintilla.pro" \
        -early "QMAKE_CC=$cc" "QMAKE_CXX=$cxx" "QMAKE_LINK=$cxx" "QMAKE_LINK_SHLIB=$cxx" \
        "QMAKE_LINK_C=$cc" "QMAKE_LINK_C_SHLIB=$cc" CONFIG+=release \
        >"$deps/build/qscintilla-qmake.log" 2>&1 &&
        make -j"$jobs" >"$deps/build/qscintilla-make.log" 2>&1) ||
        { tail -n 40 "$deps/build/qscintilla-make.log" "$deps/build/qscintilla-qmake.log" 2>/dev/null; exit 1; }
    cp "$build"/release/*.dll "$qt/bin/" 2>/dev/null || cp "$build"/*.dll "$qt/bin/"
    cp "$build"/release/*.a "$qt/lib/" 2>/dev/null || cp "$build"/*.a "$qt/lib/"
    mkdir -p "$qt/include/Qsci"
    cp "$deps/src/qscintilla/src/Qsci/"*.h "$qt/include/Qsci/"
}

# Where Debian's source of gumbo cannot be had, the same release (0.10.1) as the npm package
# gumbo-parser 0.3.0 carries it.
fetch_gumbo_from_npm() {
    say "Debian's gumbo source is not reachable; taking gumbo 0.10.1 from the npm package gumbo-parser"
    command -v npm >/dev/null || { $sudo apt-get install -y -qq --no-install-recommends npm; }
    rm -rf "$deps/src/download" && mkdir -p "$deps/src/download"
    (cd "$deps/src/download" && npm pack -q gumbo-parser@0.3.0 >/dev/null &&
        tar xzf gumbo-parser-0.3.0.tgz) || return 1
    grep -q 'AC_INIT(\[gumbo\], \[0.10.1\]' "$deps/src/download/package/deps/gumbo-parser/configure.ac" ||
        { say "the npm package holds another gumbo release"; return 1; }
    mv "$deps/src/download/package/deps/gumbo-parser" "$deps/src/gumbo"
    rm -rf "$deps/src/download"
}

# gumbo, the HTML parser of the link check: a static library and a pkg-config file.
build_gumbo() {
    [ -f "$qt/lib/libgumbo.a" ] && return 0
    fetch_source gumbo-parser gumbo || fetch_gumbo_from_npm
    say "building gumbo for $triple"
    local build="$deps/build/gumbo"
    rm -rf "$build" && mkdir -p "$build"
    (cd "$build" && for c in "$deps/src/gumbo/src/"*.c; do
        "$cc" -std=gnu99 -O2 -c "$c" -o "$(basename "$c" .c).o" || exit 1
    done && "$triple-ar" rcs libgumbo.a ./*.o)
    mkdir -p "$qt/lib/pkgconfig" "$qt/include"
    cp "$build/libgumbo.a" "$qt/lib/"
    cp "$deps/src/gumbo/src/gumbo.h" "$deps/src/gumbo/src/tag_enum.h" "$qt/include/"
    printf '%s\n' "prefix=$qt" 'Name: gumbo' 'Description: HTML5 parser' 'Version: 0.10.1' \
        'Libs: -L${prefix}/lib -lgumbo' 'Cflags: -I${prefix}/include' >"$qt/lib/pkgconfig/gumbo.pc"
}

build_deps() {
    install_tools
    mkdir -p "$deps/src" "$deps/build"
    local start=$SECONDS
    build_qtbase
    build_qt_module qt6-websockets qtwebsockets Qt6WebSockets
    build_qt_module qt6-httpserver qthttpserver Qt6HttpServer
    build_qscintilla
    build_gumbo
    say "dependencies ready in $deps ($((SECONDS - start)) s this run)"
}

case "$what" in
deps) build_deps ;;
all | program)
    [ "$what" = all ] && build_deps
    bash "$root/scripts/lib/windows-program.sh" "$qt"
    ;;
*)
    echo "usage: $0 [all|deps|program]" >&2
    exit 2
    ;;
esac
