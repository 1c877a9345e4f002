#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Changes the example site's template in the real designer with the keyboard only, under a
# virtual display with a window manager (openbox), answering every question with Enter:
#   1. the locked nav section made editable and saved: the documents are updated, the pages
#      built again, and every page shows its own intro and body in their places;
#   2. the intro section made locked and saved: the intros are taken out of the documents and
#      kept in name.qht.bak copies, and the pages show the template's intro and their own body.
#   bash scripts/template-change-check.sh [program]
# program: the quillane executable (default: build/quillane). Needs Xvfb, openbox, xdotool and
# python3 (installed with apt-get when missing). Runs in a throw-away folder with its own home
# folder; the browser is a stand-in on PATH. Exit status 0 when all went as expected.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="$(realpath "${1:-$root/build/quillane}")"

extra_packages=(python3:python3)
# shellcheck source=lib/x-session.sh
source "$root/scripts/lib/x-session.sh"
cp -r "$root/examples/site" "$work/site"
cp -r "$work/site" "$work/original"
# Presses Enter in the window titled $1 until that window is gone (a question, or the pages
# dialog, where Enter does nothing until the build has finished).
answer() {
    local id
    id="$(wait_for "$1")"
    for _ in $(seq 40); do
        xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -qx "$id" || return 0
        xdotool key Return
        sleep 0.5
    done
    fail "window '$1' still open after Enter"
}

# Edits the section at list position $1 (0 = first): its editable box is toggled, then OK.
# The focus starts on Preview, where it comes back after every command of this check.
toggle_editable() {
    key shift+Tab shift+Tab shift+Tab # past the disabled Edit and Delete, Add, HTML: the list
    key Home
    for _ in $(seq "$1"); do key Down; done
    key space              # select the entry that has the focus
    key Tab Tab Tab Return # HTML field, Add, Edit
    wait_for 'Editing section ID' >/dev/null
    key Tab Tab Tab space shift+Tab Return # name, HTML, OK, the box; back to OK
    wait_gone 'Editing section ID'
}

# Saves with Ctrl+S and answers with Enter: update the documents, build the pages, close.
save_and_enter() {
    key ctrl+s
    answer 'Quillane Template designer' # update the documents
    answer 'Quillane Template designer' # build their pages
    answer 'Building the pages using this template'
}

# Every page shows the nav (the template's, or the block the update gave it), its own title,
# the intro (its own, or with $1 = template the template's) and its own body, in this order.
check_pages() {
    python3 - "$work" "$1" <<'EOF' || fail "the pages do not show each page's own text in place"
import pathlib, sys
work, intro_from = pathlib.Path(sys.argv[1]), sys.argv[2]
def text(path):
    b = path.read_bytes()
    return b[3:].decode("utf-8") if b.startswith(b"\xef\xbb\xbf") else b.decode("cp1252")
def blocks(path):
    lines = text(path).split("\r\n")
    title, parts, cur = lines[1], [], None
    for line in lines[4:]:
        if line == "#STARTSECTION#":
            if cur is not None: parts.append("\r\n".join(cur))
            cur = []
        elif cur is not None:
            cur.append(line)
    return title, parts
sections = text(work / "site/site.qtf").split("#STARTSECTION#\r\n")[1:]
html = {s.split("\r\n")[0]: "\r\n".join(s.split("\r\n")[2:]).rstrip("\r\n") for s in sections}
bad = 0
for doc in sorted((work / "original").rglob("*.qht")):
    title, blocks_of_doc = blocks(doc)
    intro = html["intro"] if intro_from == "template" else blocks_of_doc[0]
    # The nav (its links made relative to each page), then the page's own title and intro.
    output = text(doc).split("\r\n")[3]
    page_path = (work / "site" / doc.relative_to(work / "original")).parent / output
    page = page_path.read_bytes().decode("utf-8")
    want = "</nav></header>\r\n<main>\r\n<h1>" + title + "</h1>\r\n" + intro
    if "Example site</a>" not in page or want not in page:
        print("   " + str(doc.relative_to(work / "original")) + ": page lacks\n" + want); bad += 1
    else:
        print("   " + str(doc.relative_to(work / "original")) + ": nav, title and intro in place")
sys.exit(bad)
EOF
}

cd "$work"
"$work/program/quillane" "/T:$work/site/site.qtf" &
app=$!
pids+=("$app")
wait_for 'Template designer' >/dev/null

step "File > Open the template, so that Save writes it back"
key ctrl+o
wait_for 'Load a template' >/dev/null
key ctrl+a
xdotool type --delay 40 "$work/site/site.qtf"
key Return
wait_gone 'Load a template'
key Tab Tab Tab Tab # from the name past the list, HTML and Add (Edit, Delete are disabled) to Preview

step "nav made editable, saved; every question answered with Enter"
toggle_editable 0
save_and_enter
check_pages own
while IFS= read -r doc; do
    grep -q '^<header>' "$doc" || fail "$doc got no nav block"
done < <(find "$work/site" -name '*.qht')
[ -z "$(find "$work/site" -name '*.bak')" ] || fail "copies were made though nothing was taken out"

step "intro made locked, saved; every question answered with Enter"
cp -r "$work/site" "$work/before-intro"
toggle_editable 1
save_and_enter
check_pages template
while IFS= read -r doc; do
    name="${doc#"$work"/before-intro/}"
    if cmp -s "$doc" "$work/site/$name.bak"; then
        echo "   $name.bak holds the document as it was"
    else
        fail "$name.bak does not hold the document as it was"
    fi
done < <(find "$work/before-intro" -name '*.qht')

step "File > Exit"
exit_program

if [ "$failures" -eq 0 ]; then
    echo "template change check passed"
else
    echo "template change check: $failures failure(s)"
    exit 1
fi
