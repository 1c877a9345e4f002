#!/usr/bin/env bash
# Takes the README's screenshots from the real program under a virtual X display.
#   bash scripts/screenshots.sh [program] [shot...]
# program: the quillane executable (default: build/quillane); shots: any of
# splash start designer editor (default: all). Needs xvfb-run, xdotool and ImageMagick's import.
# Writes docs/screenshots/<shot>.png. Runs with its own throw-away home folder.
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
[ ${#shots[@]} -gt 0 ] || shots=(splash start designer editor)
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

# Runs the program with the given arguments, waits, takes a shot, ends it.
run_and_shoot() {
    local shot="$1" wait="$2"
    shift 2
    "$program" "$@" &
    local pid=$!
    sleep "$wait"
    shoot "$shot"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# The splash stands over the start window for one second after the start.
if wanted splash; then run_and_shoot splash 0.4; fi
if wanted start; then run_and_shoot start 2; fi
if wanted designer; then run_and_shoot designer 2 "/T:examples/site/site.qtf"; fi
if wanted editor; then run_and_shoot editor 2 "/H:examples/site/index.qht"; fi
