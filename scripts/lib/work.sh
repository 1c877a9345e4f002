# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the check scripts: a work folder under /tmp ($work, named after $work_name),
# removed on exit after the background processes listed in $pids are stopped (a script
# with more to undo defines before_cleanup), fail, which counts $failures, and start_display.
work="$(mktemp -d "/tmp/quillane-${work_name:-check}-XXXXXX")"
pids=()
cleanup() {
    local p
    if declare -F before_cleanup >/dev/null; then before_cleanup; fi
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# A virtual display of its own, stopped on exit like the rest: its name goes into $display (not
# into DISPLAY, which the caller sets where it wants it). `start_display openbox` runs a window
# manager on it too.
start_display() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    display=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if [ "${1:-}" = openbox ]; then
        DISPLAY="$display" openbox >/dev/null 2>&1 &
        pids+=($!)
    fi
}
