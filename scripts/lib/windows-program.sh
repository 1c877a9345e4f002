#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program step of scripts/windows-build.sh: Quillane and its tests cross-built for Windows
# against the Qt in $1, into build-windows/, then packaged: a zip that runs where it is
# unpacked, and an NSIS installer.
#
#   bash scripts/lib/windows-program.sh <cross Qt folder> [build folder]
set -euo pipefail

qt="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${2:-$root/build-windows}"
triple=x86_64-w64-mingw32
say() { echo "windows-program: $*"; }

[ -f "$qt/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] ||
    { echo "windows-program: no cross Qt in $qt; run scripts/windows-build.sh deps" >&2; exit 1; }

start=$SECONDS
say "configuring in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQUILLANE_WIN_QT="$qt" \
    -DQUILLANE_WERROR=ON -DQUILLANE_BENCH=OFF >"$build.configure.log" 2>&1 ||
    { tail -n 40 "$build.configure.log"; exit 1; }
mv "$build.configure.log" "$build/configure.log"
say "building ($(nproc) jobs)"
cmake --build "$build" --parallel "${QUILLANE_BUILD_JOBS:-$(nproc)}"
say "built in $((SECONDS - start)) s"

version="$(sed -n 's/^project(quillane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="quillane-$version-windows"
stage="$build/package/$name"
rm -rf "$build/package" && mkdir -p "$stage/platforms" "$stage/styles"

# The program, and every DLL it loads that is not part of Windows: Qt's, QScintilla's and the
# MinGW runtime's, found by following each file's imports.
gcc_dir="$(dirname "$("$triple-g++-posix" -print-libgcc-file-name)")"
search=("$qt/bin" "$gcc_dir" "/usr/$triple/lib" "/usr/$triple/bin")
cp "$build/quillane.exe" "$root/default.qtf" "$stage/"
cp "$root/LICENSE" "$stage/LICENSE.txt"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/"*.dll "$stage/styles/" 2>/dev/null || true
declare -A seen=()
pending=("$stage/quillane.exe" "$stage/platforms/qwindows.dll")
for style in "$stage/styles/"*.dll; do [ -f "$style" ] && pending+=("$style"); done
while [ ${#pending[@]} -gt 0 ]; do
    file="${pending[0]}"
    pending=("${pending[@]:1}")
    while read -r dll; do
        key="${dll,,}"
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        for dir in "${search[@]}"; do
            found="$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null || true)"
            if [ -n "$found" ]; then
                cp "$found" "$stage/"
                pending+=("$stage/$(basename "$found")")
                break
            fi
        done
    done < <("$triple-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
"$triple-strip" --strip-unneeded "$stage/"*.exe "$stage/"*.dll "$stage/platforms/"*.dll \
    "$stage/styles/"*.dll 2>/dev/null || true
say "the program folder holds: $(cd "$stage" && find . -type f | sort | tr '\n' ' ')"

(cd "$build/package" && rm -f "../$name.zip" && zip -qr "../$name.zip" "$name")
say "wrote $build/$name.zip ($(du -h "$build/$name.zip" | cut -f1))"

# The installer installs, and its uninstaller removes, exactly the files of the zip.
files="$build/package/install-files.nsh"
unfiles="$build/package/uninstall-files.nsh"
: >"$files"
: >"$unfiles"
while read -r dir; do
    rel="${dir#.}"
    echo "SetOutPath \"\$INSTDIR${rel//\//\\}\"" >>"$files"
    for f in "$stage/$dir"/*; do
        [ -f "$f" ] || continue
        echo "File \"$f\"" >>"$files"
        echo "Delete \"\$INSTDIR${rel//\//\\}\\$(basename "$f")\"" >>"$unfiles"
    done
done < <(cd "$stage" && find . -type d | sort)
while read -r dir; do
    rel="${dir#.}"
    [ -n "$rel" ] && echo "RMDir \"\$INSTDIR${rel//\//\\}\"" >>"$unfiles"
done < <(cd "$stage" && find . -mindepth 1 -type d | sort -r)
echo "SetOutPath \"\$INSTDIR\"" >>"$files"
installer="$build/quillane-$version-windows-installer.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$installer" \
    -DICON="$build/quillane.ico" -DFILES="$files" -DUNFILES="$unfiles" "$root/data/windows/quillane.nsi"
say "wrote $installer ($(du -h "$installer" | cut -f1))"
say "done in $((SECONDS - start)) s"
