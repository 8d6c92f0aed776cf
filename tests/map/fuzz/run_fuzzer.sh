#!/usr/bin/env bash
# Builds the map reader's libFuzzer target with clang and runs it for a while.
# Usage: tests/map/fuzz/run_fuzzer.sh [seconds] [build folder]
# Crashes land in <build folder>/fuzz-artifacts; keep each one (and any input
# worth replaying) in tests/map/regressions with its outcome in
# expected_outcomes.tsv.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
seconds="${1:-300}"
build="${2:-$repo/build/fuzz}"

# libFuzzer comes with clang's runtime, which the normal build does not need.
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  apt-get update && apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROVER_SANITIZE=ON -DROVER_BENCHMARKS=OFF -DROVER_FUZZERS=ON >/dev/null
cmake --build "$build" -j2 --target map_fuzzer

corpus="$build/fuzz-corpus"
mkdir -p "$corpus" "$build/fuzz-artifacts"
cp "$repo"/maps/*.json "$repo"/tests/map/regressions/*.json "$corpus"/
"$build/map_fuzzer" -dict="$here/map.dict" -max_len=8192 -rss_limit_mb=2048 -timeout=10 \
  -max_total_time="$seconds" -artifact_prefix="$build/fuzz-artifacts/" "$corpus"
