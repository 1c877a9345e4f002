# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the checks that drive the real program: a throw-away folder ($work) with its own
# home folder, the program copied beside its default template ($work/program), a browser
# stand-in that notes the pages it is given ($work/opened), and a virtual display with a window
# manager (openbox). Before sourcing: root, program, and extra_packages (tools the check needs
# besides Xvfb, openbox, xdotool and x11-utils, as "command:package" pairs).
missing=()
for pair in Xvfb:xvfb openbox:openbox xdotool:xdotool xprop:x11-utils xdpyinfo:x11-utils \
    ${extra_packages[@]+"${extra_packages[@]}"}; do
    command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        $(printf '%s\n' "${missing[@]}" | sort -u)
fi

# shellcheck source=work.sh
source "$(dirname "${BASH_SOURCE[0]}")/work.sh"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
export XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/program" "$work/bin"
chmod 700 "$XDG_RUNTIME_DIR"

# The program beside its default template, in a folder of its own: the preview goes there.
cp "$program" "$work/program/quillane"
cp "$(dirname "$program")/default.qtf" "$work/program/"
# shellcheck disable=SC2016 # $1 is the stand-in's own argument
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH" BROWSER="$work/bin/xdg-open"

start_display openbox
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
sleep 1

step() { echo "-- $*"; }

# Waits until a window whose title matches is shown (and has the keyboard); the check ends
# when none comes.
wait_for() {
    local id
    id="$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1)" || true
    if [ -z "$id" ]; then
        echo "FAIL: no window '$1' came; check stopped" >&2
        exit 1
    fi
    for _ in $(seq 50); do
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$id" ] && break
        sleep 0.1
    done
    sleep 0.3
    echo "$id"
}
wait_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window '$1' still open"
}
key() {
    xdotool key --delay 120 "$@"
    sleep 0.3
}
# File > Exit with the keyboard in the active window; the program ($app) must end with 0.
exit_program() {
    local status=0
    key alt+f
    key x
    for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$app" 2>/dev/null; then
        fail "the program is still running after File > Exit"
        return
    fi
    wait "$app" || status=$?
    if [ "$status" -eq 0 ]; then echo "   ended with status 0"; else fail "ended with status $status"; fi
}
type_text() {
    xdotool type --delay 40 "$1"
    sleep 0.2
}
