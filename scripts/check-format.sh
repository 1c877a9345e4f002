#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ file differs from what the committed .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (apt-get install clang-format)"; exit 1; }
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "clang-format: every file as formatted"
