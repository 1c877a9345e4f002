#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Live preview as an author sees it: `quillane --serve /W:` builds a copy of examples/site and
# serves it; a headless Chromium opens a page of it; then
#   1. a document is edited and saved: the page reloads by itself with the new text, styled;
#   2. the site's stylesheet (an asset) is changed: the page reloads, styled anew;
#   3. SIGTERM (what Ctrl+C is at a terminal; a background job ignores SIGINT) ends the
#      watch and the server with status 0.
#   bash scripts/live-reload-check.sh [program] [screenshot folder]
# Needs chromium and python3. Exit status 0 when all went as expected.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="$(realpath "${1:-$root/build/quillane}")"
shots="${2:-}"
for needed in chromium python3 "$program"; do
    command -v "$needed" >/dev/null || { echo "live-reload-check: needs $needed" >&2; exit 1; }
done
cdp=(python3 "$root/scripts/lib/cdp.py")

work_name=live
# shellcheck source=lib/work.sh
source "$root/scripts/lib/work.sh"
now() { date +%s.%N; }
since() { python3 -c "print(f'{$(now) - $1:.2f}')"; }

cp -r "$root/examples/site" "$work/site"
rm -rf "$work/site/public"
port="$(free_port)"
"$program" --serve="$port" /W:"$work/site" >"$work/out.txt" 2>"$work/err.txt" &
watch=$!
pids+=("$watch")
for _ in $(seq 100); do grep -q '^Serving ' "$work/out.txt" 2>/dev/null && break; sleep 0.1; done
grep '^Serving ' "$work/out.txt" || { cat "$work/err.txt"; fail "the server did not start"; exit 1; }
url="http://127.0.0.1:$port/blog/first-post.html"

debug="$(free_port)"
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --remote-debugging-port="$debug" --window-size=900,700 "$url" >"$work/chromium.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do "${cdp[@]}" "$debug" eval 1 >/dev/null 2>&1 && break; sleep 0.1; done

heading='document.querySelector("h1").textContent'
border='getComputedStyle(document.querySelector("header")).borderBottomColor'
shot() {
    [ -n "$shots" ] || return 0
    mkdir -p "$shots"
    "${cdp[@]}" "$debug" screenshot "$shots/$1.png"
}
"${cdp[@]}" "$debug" wait "document.readyState == 'complete' && $heading == 'The first post' &&
    $border == 'rgb(204, 204, 204)'" >/dev/null || fail "the page did not load, styled"
shot live-before

echo "1. the document edited and saved"
"${cdp[@]}" "$debug" eval 'window.mark = 1' >/dev/null
python3 - "$work/site/blog/first-post.qht" <<'EOF'
import pathlib, sys
p = pathlib.Path(sys.argv[1])
p.write_bytes(p.read_bytes().replace(b"The first post", b"The first post, edited"))
EOF
saved="$(now)"
"${cdp[@]}" "$debug" wait "!window.mark && $heading == 'The first post, edited' &&
    $border == 'rgb(204, 204, 204)'" >/dev/null || fail "the page did not reload with its new text"
echo "   reloaded with the new text $(since "$saved") s after the save"
shot live-after-edit

echo "2. the stylesheet changed"
"${cdp[@]}" "$debug" eval 'window.mark = 2' >/dev/null
sed -i 's/border-bottom: 1px solid #ccc/border-bottom: 1px solid #c00/' "$work/site/assets/css/site.css"
saved="$(now)"
"${cdp[@]}" "$debug" wait "!window.mark && $border == 'rgb(204, 0, 0)'" >/dev/null ||
    fail "the page did not reload with the new stylesheet"
echo "   reloaded, styled anew, $(since "$saved") s after the save"
shot live-after-style

echo "3. SIGTERM, as Ctrl+C"
kill -TERM "$watch"
status=0
wait "$watch" || status=$?
[ "$status" = 0 ] || fail "the watch ended with status $status, not 0"
chromium_errors="$(grep -c 'Uncaught' "$work/chromium.log" || true)"
[ "$chromium_errors" = 0 ] || fail "the page's console shows $chromium_errors uncaught errors"
if [ "$failures" -eq 0 ]; then echo "live-reload-check: all steps passed"; else exit 1; fi
