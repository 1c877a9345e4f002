#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows side of src/shell with the mingw-w64 cross compiler and
# runs its registry checks under Wine, in a throw-away Wine prefix.
# Exits 0 with a skip line when the cross compiler or Wine is missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cxx=x86_64-w64-mingw32-g++
wine_cmd=""
for candidate in wine wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then
        wine_cmd="$candidate"
        break
    fi
done
if ! command -v "$cxx" >/dev/null 2>&1 || [ -z "$wine_cmd" ]; then
    echo "wine-check: SKIPPED (needs $cxx and wine; Debian packages g++-mingw-w64-x86-64 and wine)"
    exit 0
fi

work="$(mktemp -d /tmp/quillane-wine-XXXXXX)"
export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# CMake chooses the Windows sources, exactly as for a Windows build of the program.
echo "wine-check: building the shell library and its checks with $cxx"
cmake -S "$root/tests/shell/wine" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_CXX_COMPILER="$cxx" >"$work/cmake.txt" 2>&1 ||
    { cat "$work/cmake.txt"; exit 1; }
cmake --build "$work/build"

echo "wine-check: preparing a Wine prefix in $WINEPREFIX"
"$wine_cmd" wineboot --init >/dev/null 2>&1 || true
wineserver -w || true

# A program folder and name with spaces, as users have them.
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/My Tools" "$drive_c/Program Files/Sys Info"
cp "$work/build/registry_check.exe" "$drive_c/My Tools/Quillane Check.exe"
cp "$work/build/started_marker.exe" "$drive_c/Program Files/Sys Info/msinfo32.exe"

set +e
(cd "$drive_c/My Tools" && "$wine_cmd" "C:\\My Tools\\Quillane Check.exe" "C:\\Program Files\\Sys Info\\msinfo32.exe") \
    >"$work/output.txt" 2>&1
status=$?
set -e
# Wine's note about the missing 32-bit half is noise for a 64-bit check.
grep -v -e 'wine32 is missing' -e '^multiarch needs' -e '^execute "dpkg' -e 'apt-get install wine32' \
    "$work/output.txt" || true
wineserver -w || true
if [ "$status" -ne 0 ]; then
    echo "wine-check: FAILED"
    exit 1
fi
echo "wine-check: all checks passed"
