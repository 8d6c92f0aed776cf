#!/usr/bin/env bash
# Installs what is missing, then builds from scratch and runs every test:
#  1. the server and its tools alone, in Release and in Debug, with neither
#     GoogleTest nor Google Benchmark visible, as a user builds them;
#  2. a Release build with the tests and benchmarks, warnings as errors,
#     and every test;
#  3. an AddressSanitizer + UndefinedBehaviorSanitizer build and every test
#     that can run under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --kits
jobs=$(nproc)

# Fresh build folders: nothing from an earlier run is reused.
rm -rf build/server-release build/server-debug build/release build/sanitize

for type in Release Debug; do
  dir=build/server-${type,,}
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DROVER_WERROR=ON \
    -DROVER_TESTS=OFF -DROVER_BENCHMARKS=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
  cmake --build "$dir" -j"$jobs"
done

# The package test packages the server-only Release build above, as a
# packager would, instead of this one with the tests.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DROVER_WERROR=ON -DROVER_PACKAGE_BUILD="$PWD/build/server-release"
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure -j2 --timeout 600)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DROVER_WERROR=ON -DROVER_SANITIZE=ON -DROVER_BENCHMARKS=OFF
cmake --build build/sanitize -j"$jobs"
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 600 -LE no_sanitize)
