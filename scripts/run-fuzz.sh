#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs each fuzz target for the given number of seconds, keeping its corpus in the build folder.
# The field reader's target starts from the pictures, music and movies the tests make.
# Usage: scripts/run-fuzz.sh BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
"$build/fuzz/fuzz_rules" -max_total_time="$seconds" -max_len=512 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus"

fields="$build/fuzz-corpus-fields"
seeds="$build/fuzz-seeds-fields"
if [ ! -d "$seeds" ]; then
    mkdir -p "$seeds.tmp"
    tests/metadata/make_corpus.sh "$seeds.tmp"
    mv "$seeds.tmp" "$seeds"
fi
mkdir -p "$fields"
"$build/fuzz/fuzz_fields" -max_total_time="$seconds" -max_len=65536 -timeout=30 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$build/fields-" "$fields" "$seeds"
