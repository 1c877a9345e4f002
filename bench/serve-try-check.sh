#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Live reload as a browser sees it: quillane_serve_try serves a small site, a headless Chromium
# opens its page (a stylesheet, a picture, scrolled down), and then
#   1. the stylesheet is written again and told: the page reloads by itself, styled anew,
#      at the same scroll position;
#   2. the page itself is written again: it shows the new text;
#   3. a page held in memory is served at its address (unsaved edits), then cleared;
#   4. the server is started again on the same port: the page comes back to it and reloads.
#   bash bench/serve-try-check.sh [build folder] [screenshot folder]
# Needs chromium and python3. Exit status 0 when all went as expected.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
shots="${2:-}"
tool="$build/bench/quillane_serve_try"
for needed in chromium python3 "$tool"; do
    command -v "$needed" >/dev/null || { echo "serve-try-check: needs $needed" >&2; exit 1; }
done
cdp=(python3 "$root/scripts/lib/cdp.py")

work_name=serve
# shellcheck source=../scripts/lib/work.sh
source "$root/scripts/lib/work.sh"
before_cleanup() { exec 3>&- 2>/dev/null || true; }

site="$work/site/output"
mkdir -p "$site/css" "$site/img"
page() {
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Try</title>\n'
    printf '<link rel="stylesheet" href="css/site.css"></head>\n<body>\n<h1>%s</h1>\n' "$1"
    printf '<img src="img/dot.svg" width="80" height="80" alt="dot">\n'
    printf '<div style="height: 3000px">Caf\xc3\xa9 au lait</div>\n</body></html>\n'
}
page "First text" >"$site/index.html"
printf 'h1 { color: rgb(200, 0, 0) }\n' >"$site/css/site.css"
printf '<svg xmlns="http://www.w3.org/2000/svg" width="80" height="80"><circle cx="40" cy="40" r="38" fill="teal"/></svg>\n' >"$site/img/dot.svg"

# The server reads its commands from a pipe held open here (descriptor 3).
serve() {
    mkfifo "$work/commands.$1"
    "$tool" "$site" "${2:-0}" <"$work/commands.$1" >>"$work/server.log" 2>&1 &
    pids+=($!)
    exec 3>"$work/commands.$1"
    for _ in $(seq 50); do grep -q '^url ' "$work/server.log" 2>/dev/null && break; sleep 0.1; done
}
tell() {
    echo "$*" >&3
    sleep 0.05
}
serve 1
url="$(grep -m1 '^url ' "$work/server.log" | cut -d' ' -f2)"
port="${url##*:}"
port="${port%/}"
echo "server: $(head -n1 "$work/server.log")"

debug="$(free_port)"
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --remote-debugging-port="$debug" --window-size=800,600 "${url}index.html" \
    >"$work/chromium.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do "${cdp[@]}" "$debug" eval 1 >/dev/null 2>&1 && break; sleep 0.1; done

color='getComputedStyle(document.querySelector("h1")).color'
# A picture of the top of the page, when a folder for them was given.
shot() {
    [ -n "$shots" ] || return 0
    mkdir -p "$shots"
    "${cdp[@]}" "$debug" eval 'scrollTo(0, 0)' >/dev/null
    "${cdp[@]}" "$debug" screenshot "$shots/$1.png"
}
now() { date +%s.%N; }
"${cdp[@]}" "$debug" wait "document.readyState == 'complete' && $color == 'rgb(200, 0, 0)' &&
    document.querySelector('img').naturalWidth == 80" >/dev/null || fail "the page did not load styled"
shot before
"${cdp[@]}" "$debug" eval 'scrollTo(0, 700); window.mark = 1' >/dev/null

echo "1. the stylesheet written again"
printf 'h1 { color: rgb(0, 0, 220) }\n' >"$site/css/site.css"
told="$(now)"
tell written "$site/css/site.css"
"${cdp[@]}" "$debug" wait "!window.mark && $color == 'rgb(0, 0, 220)'" >/dev/null ||
    fail "the page did not reload with the new stylesheet"
echo "   reloaded and styled anew $(python3 -c "print(f'{$(now) - $told:.2f}')") s after it was told"
sleep 0.3
scrolled="$("${cdp[@]}" "$debug" eval 'scrollY')"
[ "$scrolled" = 700 ] || fail "the scroll position after the reload is $scrolled, not 700"
shot after-stylesheet

echo "2. the page written again"
"${cdp[@]}" "$debug" eval 'window.mark = 2' >/dev/null
page "Second text" >"$site/index.html"
tell written "$site/index.html"
"${cdp[@]}" "$debug" wait "document.querySelector('h1').textContent == 'Second text'" >/dev/null ||
    fail "the page did not show its new text"
tell written "$site/img/other.svg"
sleep 0.5
[ "$("${cdp[@]}" "$debug" eval 'document.querySelector("h1").textContent')" = '"Second text"' ] ||
    fail "the page changed without a reason"
shot after-page

echo "3. a page held in memory, then cleared"
page "Unsaved text" >"$work/unsaved.html"
tell virtual /index.html "$work/unsaved.html"
"${cdp[@]}" "$debug" wait "document.querySelector('h1').textContent == 'Unsaved text' &&
    $color == 'rgb(0, 0, 220)'" >/dev/null || fail "the page in memory was not shown, styled"
shot unsaved
tell showing /index.html
tell clear /index.html
"${cdp[@]}" "$debug" wait "document.querySelector('h1').textContent == 'Second text'" >/dev/null ||
    fail "the page on disk did not come back"

echo "4. the server started again"
"${cdp[@]}" "$debug" eval 'window.mark = 3' >/dev/null
tell quit
exec 3>&-
sleep 0.5
serve 2 "$port"
"${cdp[@]}" "$debug" wait '!window.mark' 15 >/dev/null || fail "the page did not reload after the restart"

echo "-- what the server saw"
grep -v '^url ' "$work/server.log" | sed 's/^/   /'
grep -q '^showing yes' "$work/server.log" || fail "the server did not know the page was showing"
chromium_errors="$(grep -c 'Uncaught' "$work/chromium.log" || true)"
[ "$chromium_errors" = 0 ] || fail "the page's console shows $chromium_errors uncaught errors"
if [ "$failures" -eq 0 ]; then echo "serve-try-check: all steps passed"; else exit 1; fi
