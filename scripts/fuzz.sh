#!/usr/bin/env bash
# Builds the fuzz target NAME (fuzz/NAME_fuzzer.cpp) with the "fuzz" preset (clang, libFuzzer,
# AddressSanitizer), writes its seed corpus and runs it for SECONDS seconds. The corpus, with
# what the fuzzer adds to it, stays in build/fuzz/corpus/NAME; a crash leaves its input in
# build/fuzz/crashes/NAME and makes the script fail.
set -euo pipefail
usage="usage: scripts/fuzz.sh NAME SECONDS (e.g. scripts/fuzz.sh team_snapshot 60)"
name=${1:?$usage}
seconds=${2:?$usage}
cd "$(dirname "$0")/.."

scripts/setup.sh --fuzz
cmake --preset fuzz
cmake --build --preset fuzz -j6 --target "${name}_fuzzer" "${name}_corpus"

corpus="build/fuzz/corpus/$name"
crashes="build/fuzz/crashes/$name"
mkdir -p "$corpus" "$crashes"
"build/fuzz/fuzz/${name}_corpus" "$corpus"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "build/fuzz/fuzz/${name}_fuzzer" \
  -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="$crashes/" "$corpus"
