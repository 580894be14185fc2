#!/bin/sh
# CI step: the settings file's fuzz target, built with clang and libFuzzer (the "fuzz" preset, in
# build-fuzz/) and run for FUZZ_SECONDS (60 by default) from its seed corpus in
# tests/fuzz/settings_file_corpus. Fails on a crash, a sanitizer's report or a broken promise of
# the module; the input that did it is kept in build-fuzz/fuzz-artifacts/ and its bytes printed.
set -eu
cd "$(dirname "$0")/../.."
seconds="${FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

artifacts=build-fuzz/fuzz-artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$artifacts"
mkdir -p "$artifacts"
# New inputs go into a folder of their own; the seed corpus is only read.
if build-fuzz/tests/fuzz/settings_file_fuzzer -max_total_time="$seconds" -max_len=4096 \
     -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
     "$work" tests/fuzz/settings_file_corpus; then
  echo "fuzz-settings: no fault in $seconds s"
else
  status=$?
  for input in "$artifacts"/*; do
    [ -e "$input" ] || continue
    echo "fuzz-settings: failing input $input:"
    od -A d -c "$input" | head -40
  done
  exit "$status"
fi
