#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the Windows program (the zip's, on a fresh Wine prefix) under a virtual display
# with a window manager (Xvfb and openbox): the start window, the designer, the HTML editor, and
# the HTML editor in the middle of a batch of 3,000 documents. Writes
# docs/screenshots/windows-{start,designer,editor,batch}.png.
#   bash scripts/windows-screenshots.sh [build-windows folder]
# Needs wine, xvfb, openbox, xdotool, x11-utils and ImageMagick.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build-windows}")"
out="$root/docs/screenshots"

work_name=winshots
# shellcheck source=lib/work.sh
source "$root/scripts/lib/work.sh"
before_cleanup() { wineserver -k >/dev/null 2>&1 || true; }
# No Mono or Gecko prompts, and no menu entries of Wine's own in the real home folder.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

start_display openbox
export DISPLAY="$display"

wineboot --init >/dev/null 2>&1 || true
wineserver -w || true
drive_c="$WINEPREFIX/drive_c"
unzip -q "$(ls "$build"/quillane-*-windows.zip | head -n 1)" -d "$drive_c"
program="$(find "$drive_c" -maxdepth 2 -name quillane.exe | head -n 1)"
cp -r "$root/examples/site" "$drive_c/site"
rm -rf "$drive_c/site/public"
# A folder large enough for the batch's progress to be seen.
mkdir -p "$drive_c/many"
cp "$root/examples/site/site.qtf" "$drive_c/many/"
python3 - "$drive_c/many" <<'PY'
import sys
for i in range(3000):
    with open(f"{sys.argv[1]}/page{i:04}.qht", "w", newline="") as f:
        f.write(f"#QH1#\r\nPage {i}\r\nsite.qtf\r\npage{i:04}.htm\r\n#STARTSECTION#\r\n"
                f"<p>Page {i}</p>\r\n#STARTSECTION#\r\n")
PY

shoot() {
    import -window root "$work/screen.png"
    convert "$work/screen.png" -trim +repage -strip -colors 256 -define png:compression-level=9 \
        "$out/windows-$1.png"
    echo "wrote docs/screenshots/windows-$1.png ($(du -h "$out/windows-$1.png" | cut -f1))"
}
window_of() {
    local id=""
    for _ in $(seq 60); do
        id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1 || true)"
        [ -n "$id" ] && break
        sleep 0.5
    done
    echo "$id"
}
# Starts the program, waits for its window (by title), lets it settle, shoots, ends it.
run_and_shoot() {
    local shot="$1" title="$2"
    shift 2
    (cd "$drive_c" && exec wine "$program" "$@") >/dev/null 2>&1 &
    local id
    id="$(window_of "$title")"
    [ -n "$id" ] || echo "windows-screenshots: no window '$title' for $shot"
    sleep 3
    shoot "$shot"
    wineserver -k >/dev/null 2>&1 || true
    sleep 1
}

run_and_shoot start "Quillane"
run_and_shoot designer "Template designer" '/T:C:\site\site.qtf'
run_and_shoot editor "HTML Editor" '/H:C:\site\index.qht'

# The batch: File > Batch build..., a document of the folder chosen in the file dialog.
(cd "$drive_c" && exec wine "$program" '/H:C:\many\page0000.qht') >/dev/null 2>&1 &
id="$(window_of "HTML Editor")"
sleep 3
xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
xdotool key --delay 300 alt+f b
dialog="$(window_of "Choose template folder")"
sleep 1
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool type --delay 50 'C:\many\page0001.qht'
sleep 2
# Escape closes the completer's list of names (only it), Return opens the file.
xdotool key Escape
sleep 0.5
xdotool key Return
# Shots a second apart while it runs; the last one that shows the progress is kept.
last=20
for i in $(seq "$last"); do
    sleep 1
    import -window root "$work/batch-$i.png"
done
for i in $(seq "$last" -1 1); do
    cp "$work/batch-$i.png" "$work/screen.png"
    if [ "$i" = 1 ] || [ "$(convert "$work/batch-$i.png" -format '%[fx:mean]' info:)" != \
        "$(convert "$work/batch-$last.png" -format '%[fx:mean]' info:)" ]; then
        break
    fi
done
convert "$work/screen.png" -trim +repage -strip -colors 256 -define png:compression-level=9 \
    "$out/windows-batch.png"
echo "wrote docs/screenshots/windows-batch.png ($(du -h "$out/windows-batch.png" | cut -f1))"
wineserver -k >/dev/null 2>&1 || true
