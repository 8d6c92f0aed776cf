#!/usr/bin/env bash
# Builds the replay tool's record-reading libFuzzer target with clang and runs
# it for a while, seeded with real records of short lockstep games.
# Usage: tests/tools/fuzz/run_record_fuzzer.sh [seconds] [build folder]
# Keep every crash (and any input worth replaying) in tests/tools/record_regressions.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
seconds="${1:-300}"
build="${2:-$repo/build/fuzz}"

if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  apt-get update && apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROVER_SANITIZE=ON -DROVER_BENCHMARKS=OFF -DROVER_FUZZERS=ON >/dev/null
cmake --build "$build" -j2 --target record_fuzzer server pilot

corpus="$build/record-corpus"
mkdir -p "$corpus" "$build/record-artifacts"
cp "$repo"/tests/tools/record_regressions/* "$corpus"/ 2>/dev/null || true
# Seeds: the first lines of real records, plain and gzip.
for map in open_plain martian_patrol; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$build/server" --lockstep --reply-timeout 0 -p "$port" --record "$corpus/$map.jsonl" "$repo/maps/$map.json" >/dev/null &
  sleep 0.5
  "$build/pilot" localhost "$port" >/dev/null
  wait
  head -c 6000 "$corpus/$map.jsonl" >"$corpus/$map.head.jsonl"
  gzip -c "$corpus/$map.head.jsonl" >"$corpus/$map.head.jsonl.gz"
done
"$build/record_fuzzer" -max_len=16384 -rss_limit_mb=2048 -timeout=20 \
  -max_total_time="$seconds" -artifact_prefix="$build/record-artifacts/" "$corpus"
