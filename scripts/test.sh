#!/usr/bin/env bash
# Installs what is missing, builds from scratch (a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure -j2 --timeout 600)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DROVER_SANITIZE=ON -DROVER_BENCHMARKS=OFF
cmake --build build/sanitize -j"$jobs"
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 600 -LE no_sanitize)
