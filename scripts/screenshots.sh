#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots from the real program under a virtual X display.
#   bash scripts/screenshots.sh [program] [shot...]
# program: the quillane executable (default: build/quillane); shots: any of
# splash start designer editor designer-light designer-dark editor-light editor-dark
# (default: all). Needs xvfb-run, xdotool and ImageMagick's import. Writes
# docs/screenshots/<shot>.png. Runs with its own throw-away home folder.
# The -light and -dark shots pick the palette with QUILLANE_THEME; the editor ones show the HTML
# editor with the content of its second section open beside it (Tab to the list, Down, Enter).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ -z "${QUILLANE_SCREENSHOT_DISPLAY:-}" ]; then
    program="$(realpath "${1:-$root/build/quillane}")"
    shift || true
    exec xvfb-run -a -s "-screen 0 1024x768x24" env QUILLANE_SCREENSHOT_DISPLAY=1 \
        bash "$0" "$program" "$@"
fi

program="$1"
shift
shots=("$@")
[ ${#shots[@]} -gt 0 ] ||
    shots=(splash start designer editor designer-light designer-dark editor-light editor-dark)
out="$root/docs/screenshots"
mkdir -p "$out"
home="$(mktemp -d /tmp/quillane-shots-XXXXXX)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export XDG_CACHE_HOME="$home/.cache" QT_QPA_PLATFORM=xcb
cd "$root"

wanted() {
    local s
    for s in "${shots[@]}"; do [ "$s" = "$1" ] && return 0; done
    return 1
}

# The whole screen, cut down to what is drawn on its black background, kept small.
shoot() {
    import -window root "$home/screen.png"
    convert "$home/screen.png" -trim +repage -strip -define png:compression-level=9 "$out/$1.png"
    echo "wrote docs/screenshots/$1.png"
}

# Runs the program with the given arguments, waits, presses the keys of QUILLANE_KEYS (if any),
# takes a shot, ends it.
run_and_shoot() {
    local shot="$1" wait="$2"
    shift 2
    "$program" "$@" &
    local pid=$!
    sleep "$wait"
    if [ -n "${QUILLANE_KEYS:-}" ]; then
        # No window manager hands out the keyboard here: give it to the program's window.
        xdotool windowfocus --sync "$(xdotool search --onlyvisible --pid "$pid" | head -n 1)"
        # shellcheck disable=SC2086
        xdotool key --delay 200 $QUILLANE_KEYS
        sleep 1
        # A dialog that opened stands a little aside, so that the window behind it shows.
        local dialog
        for dialog in $(xdotool search --onlyvisible --name 'Editing section' 2>/dev/null); do
            xdotool windowmove --relative "$dialog" 180 150
        done
        sleep 0.5
    fi
    shoot "$shot"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# The splash stands over the start window for one second after the start.
if wanted splash; then run_and_shoot splash 0.4; fi
if wanted start; then run_and_shoot start 2; fi
if wanted designer; then run_and_shoot designer 2 "/T:examples/site/site.qtf"; fi
if wanted editor; then run_and_shoot editor 2 "/H:examples/site/index.qht"; fi
for theme in light dark; do
    if wanted "designer-$theme"; then
        QUILLANE_THEME=$theme run_and_shoot "designer-$theme" 2 "/T:examples/site/site.qtf"
    fi
    if wanted "editor-$theme"; then
        QUILLANE_THEME=$theme QUILLANE_KEYS="Tab Down Return" \
            run_and_shoot "editor-$theme" 2 "/H:examples/site/index.qht"
    fi
done
