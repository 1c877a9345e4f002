#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Windows build under Wine, in a throw-away Wine prefix:
#   - the test programs of build-windows/, offscreen (their counts, and what was skipped);
#   - the zip's program on a fresh prefix: --version, and /B: of examples/site, whose pages
#     must be byte for byte those of the Linux program;
#   - a /W: watch says when its folder is deleted, and Ctrl+C ends it with 0, as a stop does;
#   - /A: writes the file types' registry keys, and wine start <document> then opens it in the
#     HTML editor;
#   - the installer installs, and its uninstaller leaves no file and no key of its own.
#
#   bash scripts/windows-check.sh [linux quillane] [build-windows folder]
# The Linux program defaults to build/quillane. Needs wine; the cross Qt's folder is
# $QUILLANE_WIN_DEPS/qt (default ~/.cache/quillane/windows-deps/qt).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="$(realpath "${1:-$root/build/quillane}")"
build="$(realpath "${2:-$root/build-windows}")"
qt="${QUILLANE_WIN_DEPS:-$HOME/.cache/quillane/windows-deps}/qt"
triple=x86_64-w64-mingw32

work_name=windows
# shellcheck source=lib/work.sh
source "$root/scripts/lib/work.sh"
before_cleanup() { wineserver -k >/dev/null 2>&1 || true; }
# No Mono or Gecko prompts, and no menu entries of Wine's own in the real home folder.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
say() { echo "windows-check: $*"; }
winpath() { echo "Z:${1//\//\\}"; }
# Wine's note about its missing 32-bit half is noise here.
quiet() { grep -v -e 'wine32 is missing' -e '^multiarch needs' -e 'dpkg --add-architecture' \
    -e 'apt-get install wine32' -e '^it looks like' || true; }

wineboot --init >/dev/null 2>&1 || true
wineserver -w || true
drive_c="$WINEPREFIX/drive_c"

# --- The test programs, with the cross Qt's DLLs and plugins where Wine looks for them.
gcc_dir="$(dirname "$("$triple-g++-posix" -print-libgcc-file-name)")"
# Qt finds its plugins beside its DLLs, and the window tests choose the offscreen platform
# themselves: Wine hands no QT_* variable to a Windows program.
tests_env=(env "WINEPATH=$(winpath "$qt/bin");$(winpath "$gcc_dir");$(winpath "/usr/$triple/lib")")
# Offscreen, Qt measures text with the faces in the Windows folder's Fonts. A Windows has Arial
# there, whose widths the windows' fixed layouts are drawn for; Liberation Sans (Wine's own
# dependency) has the same widths.
cp /usr/share/fonts/truetype/liberation/Liberation*.ttf "$drive_c/windows/Fonts/"
passed=0 skipped=0 failed=0
for exe in $(find "$build/tests" -name '*_tests.exe' | sort); do
    name="$(basename "$exe" .exe)"
    set +e
    (cd "$work" && timeout 900 "${tests_env[@]}" wine "$exe" --gtest_brief=1) >"$work/$name.txt" 2>&1
    status=$?
    set -e
    p="$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$work/$name.txt" | tail -n 1)"
    s="$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$work/$name.txt" | tail -n 1)"
    ran="$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$work/$name.txt" | tail -n 1)"
    f=$((${ran:-0} - ${p:-0} - ${s:-0}))
    say "$name: ${p:-0} passed, ${s:-0} skipped, $f failed (exit $status)"
    tr -d '\r' <"$work/$name.txt" | grep -E '^\[  FAILED  \] [A-Za-z]' | sort -u | sed 's/^/    /' || true
    # Brief output names no skipped test, but gives each one's place and reason.
    tr -d '\r' <"$work/$name.txt" | grep -A1 -E ': Skipped$' | grep -v -E '^--$' | paste -d ' ' - - |
        sed -e 's|^.*/tests/||' -e 's/: Skipped / skipped: /' -e 's/^/    /' || true
    passed=$((passed + ${p:-0}))
    skipped=$((skipped + ${s:-0}))
    failed=$((failed + f))
    [ -n "$ran" ] || fail "$name did not run: $(tail -n 5 "$work/$name.txt" | quiet)"
done
say "tests under Wine: $passed passed, $skipped skipped, $failed failed"
[ "$failed" -eq 0 ] || fail "$failed tests failed under Wine"

# --- The zip's program, alone on the fresh prefix: every DLL it needs is in its folder.
zip="$(ls "$build"/quillane-*-windows.zip | head -n 1)"
unzip -q "$zip" -d "$drive_c"
program_dir="$(find "$drive_c" -maxdepth 1 -name 'quillane-*-windows' | head -n 1)"
program="$program_dir/quillane.exe"
version="$(wine "$program" --version 2>&1 | quiet | tr -d '\r')"
say "wine quillane.exe --version: $version"
[ "$version" = "$("$linux" --version)" ] || fail "--version says '$version'"

# /B: of the example site, by both programs on copies of it: the same pages, byte for byte.
cp -r "$root/examples/site" "$work/linux-site"
cp -r "$root/examples/site" "$drive_c/site"
rm -rf "$work/linux-site/public" "$drive_c/site/public" # a build's output left in the tree
"$linux" /B:"$work/linux-site" >"$work/linux-batch.txt" 2>&1 || true
(cd "$drive_c" && wine "$program" '/B:C:\site') >"$work/windows-batch.txt" 2>&1 || true
tr -d '\r' <"$work/windows-batch.txt" | quiet | tail -n 1 | sed 's/^/    /'
# Both folders began as the same copy: every file in them must now be the same.
if diff -r "$work/linux-site" "$drive_c/site" >"$work/site-diff.txt" 2>&1; then
    pages="$(cd "$work/linux-site" && find . -name '*.htm*' | wc -l)"
else
    fail "the example site's pages differ: $(head -n 5 "$work/site-diff.txt" | tr '\n' ' ')"
    pages=0
fi
say "/B: of examples/site: the same bytes in every file ($pages HTML pages) as Linux's"

# A watch says when its folder is deleted (here by Linux: a folder a Windows program deletes stays
# there under Wine while the watch holds a handle on it), and Ctrl+C (Wine turns SIGINT into the
# console's Ctrl+C event) ends it with 0, as a stop does.
(cd "$drive_c" && exec wine "$program" '/W:C:\site') >"$work/watch.txt" 2>&1 &
watch=$!
sleep 8
rm -rf "$drive_c/site"
for _ in $(seq 20); do
    grep -q "is gone (renamed, deleted or unmounted)" "$work/watch.txt" && break
    sleep 0.5
done
kill -INT "$watch" || true # wine runs the Windows program in the process it was started as
set +e
wait "$watch"
status=$?
set -e
gone="$(tr -d '\r' <"$work/watch.txt" | quiet | grep -c "is gone (renamed, deleted or unmounted)" || true)"
say "/W: said its folder is gone: $gone time(s); after Ctrl+C: exit $status, $(tr -d '\r' <"$work/watch.txt" | quiet | tail -n 1)"
[ "$gone" -ge 1 ] || fail "the watch did not say that its folder was deleted"
[ "$status" -eq 0 ] || fail "a watch ended by Ctrl+C exited with $status (a stop ends it with 0)"

# /A: writes the file types' keys (no display asked for: no message box to wait on).
QUILLANE_NO_DISPLAY=1 wine "$program" /A: >/dev/null 2>&1 || true
wineserver -w || true
for key in '.qht' '.qtf' 'Quillane HTML file\Shell\Open\Command' 'Quillane template file\DefaultIcon'; do
    wine reg query "HKCR\\$key" 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ' ||
        fail "/A: did not write HKCR\\$key"
done
say "/A: $(wine reg query 'HKCR\Quillane HTML file\Shell\Open\Command' 2>/dev/null | tr -d '\r' | grep REG_SZ | sed 's/^ *//')"

# wine start <document>: Windows opens it through the keys /A: wrote, in the HTML editor.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    start_display
    cp -r "$root/examples/site" "$drive_c/started"
    DISPLAY="$display" wine start 'C:\started\index.qht' >/dev/null 2>&1 || true
    editor=""
    for _ in $(seq 60); do
        editor="$(DISPLAY="$display" xdotool search --onlyvisible --name 'HTML Editor' 2>/dev/null || true)"
        [ -n "$editor" ] && break
        sleep 0.5
    done
    started="$(ps -eo args | grep -a 'quillane.exe /H:' | grep -v grep | head -n 1 || true)"
    say "wine start C:\\started\\index.qht: ${started:-nothing started}"
    [ -n "$editor" ] && [ -n "$started" ] || fail "wine start did not open the document in the HTML editor"
    pkill -f 'quillane.exe /H:' || true
    wineserver -w || true
else
    say "wine start: SKIPPED (needs Xvfb and xdotool)"
fi

# --- The installer, on a prefix of its own: installs, registers, uninstalls to nothing.
export WINEPREFIX="$work/installed"
wineboot --init >/dev/null 2>&1 || true
wineserver -w || true
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o \
        -path './users/*/AppData/Local/Temp' -prune -o -print | sort) >"$1.files"
    grep -i -c quillane "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" >"$1.keys" || true
}
snapshot "$work/before"
installer="$(ls "$build"/quillane-*-windows-installer.exe | head -n 1)"
wine "$installer" /S >/dev/null 2>&1 || true
wineserver -w || true
pf="$WINEPREFIX/drive_c/Program Files/Quillane"
[ -f "$pf/quillane.exe" ] && [ -f "$pf/default.qtf" ] && [ -f "$pf/platforms/qwindows.dll" ] ||
    fail "the installer did not install the program"
find "$WINEPREFIX/drive_c" -iname 'Quillane.lnk' | grep -q . || fail "no Start menu entry"
wine reg query 'HKCR\.qht' 2>/dev/null | tr -d '\r' | grep -q 'Quillane HTML file' ||
    fail "the installer did not register .qht"
installed_version="$(wine "$pf/quillane.exe" --version 2>&1 | quiet | tr -d '\r')"
say "installed: $(cd "$pf" && find . -type f | wc -l) files, --version: $installed_version"
wine "$pf/uninstall.exe" /S >/dev/null 2>&1 || true
wineserver -w || true
sleep 2
wineserver -w || true
snapshot "$work/after"
if ! diff "$work/before.files" "$work/after.files" >"$work/left.txt"; then
    fail "the uninstaller left files behind: $(head -n 10 "$work/left.txt" | tr '\n' ' ')"
fi
diff -q "$work/before.keys" "$work/after.keys" >/dev/null ||
    fail "registry keys naming Quillane are left: $(grep -i quillane "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | head -n 5 | tr '\n' ' ')"
say "uninstalled: files and keys as before the installer"

if [ "$failures" -gt 0 ]; then
    say "$failures FAILED"
    exit 1
fi
say "all checks passed"
