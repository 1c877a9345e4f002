# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the check scripts: a work folder under /tmp ($work, named after $work_name),
# removed on exit after the background processes listed in $pids are stopped (a script
# with more to undo defines before_cleanup), and fail, which counts $failures.
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
