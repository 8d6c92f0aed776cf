#!/usr/bin/env bash
# Installs what is missing, builds the server and starts it on an example map.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)" --target server
exec build/release/server "${@:-maps/open_plain.json}"
