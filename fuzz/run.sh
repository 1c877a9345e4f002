#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang and runs each for a bounded time, within 2 GiB of memory.
#   fuzz/run.sh [seconds per target, default 60]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$here/build-fuzz"
CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLANE_FUZZ=ON -DQUILLANE_UI=OFF -DQUILLANE_TESTS=OFF -DQUILLANE_BENCH=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
status=0
for target in template_reader document_reader build_engine page_links; do
    corpus="$here/fuzz/corpus-$target"
    mkdir -p "$corpus"
    cp -n "$here"/fuzz/seeds/"$target"/* "$corpus"/ 2>/dev/null || true
    echo "== $target: ${seconds}s"
    dict=()
    [ -f "$here/fuzz/$target.dict" ] && dict=(-dict="$here/fuzz/$target.dict")
    if ! "$build/fuzz/fuzz_$target" "${dict[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$here/fuzz/crash-$target-" "$corpus" \
        2>"$here/fuzz/$target.log"; then
        status=1
        echo "   FAILED: see fuzz/$target.log"
    fi
    grep -E '^#[0-9]+.*(DONE|pulse)' "$here/fuzz/$target.log" | tail -1 || true
done
exit $status
