#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole processes side by side on one generated site (make_site: 10 templates, documents of
# about 2.6 KB, pages of about 4 KB), each over an earlier build of its own:
#   full       quillane /B: after every template changed (every page rewritten)
#   full-j1    the same with QUILLANE_JOBS=1
#   baseline   bench/baseline: read each document, write a page of its size (temp + rename)
#   hugo       Hugo on the same content after its layouts changed (only where it is installed)
#   nochange   quillane /B: with nothing changed
#   onetmpl    quillane /B: after one template of the ten changed
#   first      quillane /B: into an empty output folder (a fresh clone, a clean rebuild)
#   hugofirst  Hugo into an empty output folder
#   sitefull   full, on the same site as a site: a site file, links from the site's top made
#              relative to each page, an asset, every link checked
#   sitesame   the same site with nothing changed
# Runs alternate, RUNS times (5), each after a sync; the table gives the medians of wall and cpu (user + system)
# time, then the ratios the project holds itself to. With a third argument, the peak memory of
# /B: on that many documents as well (/usr/bin/time -v).
#
#   bench/compare.sh [build folder] [documents] [documents for the memory run]
#
# The folder it works in is made under $TMPDIR (or /tmp); measure on the disk the sites live on
# (ext4 on the project's machines): a RAM disk hides the cost of replacing files.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
count=${2:-10000}
memory_count=${3:-}
runs=${RUNS:-5}
quillane=$build/quillane
for tool in "$quillane" "$build/bench/baseline" "$build/bench/make_site"; do
    [[ -x $tool ]] || { echo "missing $tool: build the quillane, baseline and make_site targets"; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (apt-get install time)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillane-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "working in $work ($(df -T "$work" | awk 'NR==2 {print $2}')), $count documents, $runs runs, $(nproc) processors"

hugo_bin=$(command -v hugo || true)
if [[ -n $hugo_bin ]]; then
    "$build/bench/make_site" "$work/site" "$count" --hugo "$work/hugo"
else
    "$build/bench/make_site" "$work/site" "$count"
    echo "hugo is not installed: its column stays empty"
fi
"$build/bench/make_site" "$work/sited" "$count" --site
mkdir -p "$work/base/public"
cp "$work"/site/*.qht "$work/base/"

# Every page changes: one byte of each template's (or layout's) footer flips.
flip() { # files...
    sed -i -e 's/Made with care (/Made with  care (/;t' -e 's/Made with  care (/Made with care (/' "$@"
}
hugo_build=("$hugo_bin" --quiet -s "$work/hugo" -d "$work/hugo/public")

# Earlier builds, so that every run replaces pages.
"$quillane" /B:"$work/site" >/dev/null
"$quillane" /B:"$work/sited" >/dev/null
"$build/bench/baseline" "$work/base" >/dev/null
[[ -n $hugo_bin ]] && "${hugo_build[@]}" >/dev/null

declare -A wall cpu
measure() { # name command...
    local name=$1 w u s
    shift
    sync # what an earlier run left to write back is not this run's cost
    /usr/bin/time -o "$work/time" -f '%e %U %S' "$@" >/dev/null 2>&1 || true
    read -r w u s <"$work/time"
    wall[$name]+="$w "
    cpu[$name]+="$(awk -v u="$u" -v s="$s" 'BEGIN {print u + s}') "
}

site_full() {
    flip "$work"/sited/t*.qtf
    measure sitefull "$quillane" /B:"$work/sited"
}
for ((run = 1; run <= runs; run++)); do
    # full and sitefull side by side, in turn first, as their ratio is a goal
    ((run % 2)) || site_full
    flip "$work"/site/t*.qtf
    measure full "$quillane" /B:"$work/site"
    ((run % 2)) && site_full
    measure baseline "$build/bench/baseline" "$work/base"
    if [[ -n $hugo_bin ]]; then
        flip "$work"/hugo/layouts/_default/t*.html
        measure hugo "${hugo_build[@]}"
    fi
    flip "$work"/site/t*.qtf
    measure full-j1 env QUILLANE_JOBS=1 "$quillane" /B:"$work/site"
    stamps=$(find "$work/site/public" -type f -printf '%p %T@\n' | sort | md5sum)
    measure nochange "$quillane" /B:"$work/site"
    [[ $stamps == $(find "$work/site/public" -type f -printf '%p %T@\n' | sort | md5sum) ]] ||
        echo "run $run: a page's time stamp moved in the no-change rebuild"
    flip "$work/site/t0.qtf"
    measure onetmpl "$quillane" /B:"$work/site"
    measure sitesame "$quillane" /B:"$work/sited"
    rm -rf "$work/site/public" && mkdir "$work/site/public"
    measure first "$quillane" /B:"$work/site"
    if [[ -n $hugo_bin ]]; then
        rm -rf "$work/hugo/public"
        measure hugofirst "${hugo_build[@]}"
    fi
    echo "run $run done"
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
declare -A mw mc
printf '\n%-10s %10s %10s\n' run wall_s cpu_s
for name in full full-j1 baseline hugo nochange onetmpl first hugofirst sitefull sitesame; do
    [[ -n ${wall[$name]:-} ]] || continue
    mw[$name]=$(echo "${wall[$name]}" | median)
    mc[$name]=$(echo "${cpu[$name]}" | median)
    printf '%-10s %10s %10s\n' "$name" "${mw[$name]}" "${mc[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "full / baseline (wall):  $(ratio "${mw[full]}" "${mw[baseline]}")   (at most 1.5)"
[[ -n ${mw[hugo]:-} ]] && echo "hugo / full (wall):      $(ratio "${mw[hugo]}" "${mw[full]}")   (at least 2)"
echo "full / nochange (wall):  $(ratio "${mw[full]}" "${mw[nochange]}")   (at least 4)"
[[ -n ${mw[hugofirst]:-} ]] && echo "hugo first / first:      $(ratio "${mw[hugofirst]}" "${mw[first]}")   (at least 2)"
echo "sitefull / full (wall):  $(ratio "${mw[sitefull]}" "${mw[full]}")   (at most 1.25)"
echo "sitefull / sitesame:     $(ratio "${mw[sitefull]}" "${mw[sitesame]}")   (at least 4)"

if [[ -n $memory_count ]]; then
    "$build/bench/make_site" "$work/big" "$memory_count"
    for pass in first again; do
        /usr/bin/time -o "$work/time" -v "$quillane" /B:"$work/big" >/dev/null 2>&1 || true
        peak=$(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' "$work/time")
        echo "$memory_count documents, $pass build: peak RSS $((peak / 1024)) MiB (under 64)"
    done
fi
