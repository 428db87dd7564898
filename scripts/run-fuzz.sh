#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the fuzz target for the given number of seconds, keeping its corpus in the build folder.
# Usage: scripts/run-fuzz.sh BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
"$build/fuzz/fuzz_rules" -max_total_time="$seconds" -max_len=512 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus"
