#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark that was built. Usage: scripts/run-benchmarks.sh BUILD_DIR
set -eu
build=$1
scripts/deps.sh rename
for bench in "$build"/bench/bench_*; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench"
done
