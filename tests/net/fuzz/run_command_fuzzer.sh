#!/usr/bin/env bash
# Builds the command reader's libFuzzer target with clang and runs it for a
# while, seeded with the kept inputs.
# Usage: tests/net/fuzz/run_command_fuzzer.sh [seconds] [build folder] [more libFuzzer options]
# Crashes land in <build folder>/command-artifacts; keep each one (and any
# input worth replaying) in tests/net/command_regressions as <name>.bin, with
# its outcome in expected_outcomes.tsv (net_tests prints the line to add).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
seconds="${1:-300}"
build="${2:-$repo/build/fuzz}"
shift $(($# < 2 ? $# : 2))

# libFuzzer comes with clang's runtime, which the normal build does not need.
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  apt-get update && apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROVER_SANITIZE=ON -DROVER_BENCHMARKS=OFF -DROVER_FUZZERS=ON >/dev/null
cmake --build "$build" -j2 --target command_fuzzer

corpus="$build/command-corpus"
mkdir -p "$corpus" "$build/command-artifacts"
cp "$repo"/tests/net/command_regressions/*.bin "$corpus"/
# Inputs stay small: 64 KiB of stream at most, most of it from repeated chunks.
"$build/command_fuzzer" -dict="$here/commands.dict" -max_len=512 -rss_limit_mb=2048 -timeout=10 \
  -max_total_time="$seconds" -artifact_prefix="$build/command-artifacts/" "$@" "$corpus"
