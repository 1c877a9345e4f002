#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the real program with the keyboard only, as a user without a mouse would, under a
# virtual display with a window manager (openbox): starts it, designs a template with three
# sections, saves it, starts over, opens it again and previews it. Then checks the saved file,
# the preview page, and the opening sizes of the designer and the section editor.
#   bash scripts/keyboard-check.sh [program]
# program: the quillane executable (default: build/quillane). Needs Xvfb, openbox and xdotool
# (installed with apt-get when missing). Runs in a throw-away folder with its own home folder;
# the browser is a stand-in that only notes the page it was given. Exit status 0 when all went
# as expected.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="$(realpath "${1:-$root/build/quillane}")"

# shellcheck source=lib/x-session.sh
source "$root/scripts/lib/x-session.sh"
mkdir -p "$work/site"
# The outer size of a window in pixels: the client plus the frame the window manager gives it.
outer_size() {
    local extents l r t b
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
    extents="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    read -r l r t b <<<"$extents"
    echo "$((WIDTH + l + r))x$((HEIGHT + t + b))"
}
# The window's outer size, once it has settled (the frame comes a moment after the window),
# against the expected one: at 96 dots per inch, twips / 15.
expect_size() {
    local got
    for _ in $(seq 20); do
        got="$(outer_size "$1")"
        [ "$got" = "$2" ] && break
        sleep 0.1
    done
    if [ "$got" = "$2" ]; then
        echo "   $3 opens at ${got} pixels outer"
    else
        fail "$3 opens at $got pixels outer, not its minimum $2"
    fi
}

cd "$work"
"$work/program/quillane" &
app=$!
pids+=("$app")

step "start window: Enter starts the designer"
wait_for '^Quillane$' >/dev/null
sleep 1.5 # the splash stands over it for a second
key Return
designer="$(wait_for 'Template designer')"
expect_size "$designer" 391x413 "the designer"

step "name, then the three default sections deleted through the tab order"
key ctrl+a
type_text "Keyboard site"
key Tab
for _ in 1 2 3; do
    key space               # the list: select the entry that has the focus
    key Tab Tab Tab Tab     # HTML field, Add, Edit, Delete
    key Return              # Delete
    wait_for 'Quillane Template designer' >/dev/null
    key Return              # Yes
    wait_gone 'Quillane Template designer'
    key shift+Tab shift+Tab shift+Tab # back from Preview, past the disabled buttons, to the list
done

step "the default HTML"
key Tab # the HTML field
key ctrl+a
type_text "<html><title>::title::</title>"
key Return
type_text "<body>::top::::main::::bottom::</body></html>"

step "three sections added, one Add cancelled with Escape from its HTML field"
key Tab # Add
add_section() {
    key Return
    local dlg
    dlg="$(wait_for 'Adding section ID')"
    [ -n "$4" ] && expect_size "$dlg" 391x284 "the section editor"
    key ctrl+a
    type_text "$1"
    key Tab ctrl+a
    type_text "$2"
    if [ "$3" = no ]; then
        key Tab Tab Tab space shift+Tab shift+Tab # untick, back to OK
    else
        key Tab
    fi
    key Return # OK
    wait_gone 'Adding section ID'
}
add_section top "<h1>Top</h1>" yes size
add_section main "<p>Main</p>" yes ""
key Return
wait_for 'Adding section ID 3' >/dev/null
key Tab
type_text "junk"
key Escape
wait_gone 'Adding section ID'
add_section bottom "<p>Bottom</p>" no ""

step "Ctrl+S asks where, Enter saves"
key ctrl+s
wait_for 'Save a template' >/dev/null
type_text "$work/site/keys.qtf"
key Return
wait_gone 'Save a template'
expected="$work/expected.qtf"
printf '%s\r\n' '#QT1#' 'Keyboard site' '#DEFAULTHTML#' '<html><title>::title::</title>' \
    '<body>::top::::main::::bottom::</body></html>' '#ENDDEFAULTHTML#' \
    '#STARTSECTION#' top ' 1 ' '<h1>Top</h1>' '#STARTSECTION#' main ' 1 ' '<p>Main</p>' \
    '#STARTSECTION#' bottom ' 0 ' '<p>Bottom</p>' '#STARTSECTION#' >"$expected"
if cmp -s "$expected" "$work/site/keys.qtf"; then
    echo "   saved exactly as expected"
else
    fail "the saved template differs:"
    diff <(cat -A "$expected") <(cat -A "$work/site/keys.qtf" 2>/dev/null) || true
fi

step "New, then Open the saved template again"
key ctrl+n
key ctrl+o
wait_for 'Load a template' >/dev/null
type_text "$work/site/keys.qtf"
key Return
wait_gone 'Load a template'

step "Preview, reached with Tab from where the focus came back"
key Tab # from Add, past the disabled Edit and Delete
key Return
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
opened="$(head -n1 "$work/opened" 2>/dev/null || true)"
# The preview server shows the default HTML beside the template, at keys.preview.html.
if [[ $opened == http://127.0.0.1:*/keys.preview.html ]]; then
    echo "   the browser was given $opened"
else
    fail "the browser was given '$opened'"
fi
printf '%s\r\n' '<html><title>::title::</title>' '<body>::top::::main::::bottom::</body></html>' \
    >"$work/expected.htm"
# As served, without the live-reload script the server adds before </body>.
if python3 - "$opened" "$work/expected.htm" <<'EOF'
import re, sys, urllib.request
page = urllib.request.urlopen(sys.argv[1], timeout=5).read()
page = re.sub(rb"<script[^>]*>.*?</script>\n?", b"", page, flags=re.S)
sys.exit(page != open(sys.argv[2], "rb").read())
EOF
then
    echo "   preview shows the reopened template"
else
    fail "the preview page is not the reopened template's default HTML"
fi

step "File > Exit with the keyboard"
exit_program

if [ "$failures" -eq 0 ]; then
    echo "keyboard check passed"
else
    echo "keyboard check: $failures failure(s)"
    exit 1
fi
