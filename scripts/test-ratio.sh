#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints how much of the code is tests: non-blank, non-comment lines under tests/ against
# those under src/ and tests/ together. The project keeps it at a third or less; exit 1 above.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -- "$@" | xargs -r cat | grep -v '^[[:space:]]*$' | grep -v -c '^[[:space:]]*//' || true; }
src=$(count 'src/*.cpp' 'src/*.h')
tests=$(count 'tests/*.cpp' 'tests/*.h')
pct=$((100 * tests / (src + tests)))
echo "tests: $tests lines, src: $src lines, tests are $pct % of all code (at most 33 %)"
[ $((3 * tests)) -le $((src + tests)) ]
