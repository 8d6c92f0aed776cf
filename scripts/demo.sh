#!/usr/bin/env bash
# The demo: installs what is missing, builds the server, the bundled
# controller and the tools the README uses next (replay, mapcheck), starts the server on an example map on a free port and lets
# `pilot` play every run of it, then shows the server's own result lines.
# The game's record goes to build/demo/game.jsonl, for the replay viewer.
#
#   scripts/demo.sh [--window] [map.json]      (default map: maps/boulder_field.json)
#
# --window shows the same game in the server's window (needs a display, or
# run it under xvfb-run); the window stays open after the last run until you
# press q in it.
set -euo pipefail
cd "$(dirname "$0")/.."

window=()
if [[ "${1:-}" == "--window" ]]; then
  window=(-v)
  shift
  if [[ -z "${DISPLAY:-}" ]]; then
    echo "demo: --window needs a display (try: xvfb-run scripts/demo.sh --window)" >&2
    exit 1
  fi
fi
map="${1:-maps/boulder_field.json}"
record=build/demo/game.jsonl

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j2 --target server pilot replay mapcheck

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log=$(mktemp)
server_pid=
cleanup() {
  if [[ -n "$server_pid" ]] && kill -0 "$server_pid" 2>/dev/null; then kill "$server_pid"; fi
  rm -f "$log"
}
trap cleanup EXIT

mkdir -p "$(dirname "$record")"
echo "== server on $map, port $port, recording to $record"
build/release/server "${window[@]}" -p "$port" --record "$record" "$map" >"$log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q "waiting for client connection" "$log" && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$log" >&2; exit 1; }
  sleep 0.1
done

echo "== pilot's results"
build/release/pilot localhost "$port"
status=0
wait "$server_pid" || status=$?
server_pid=
echo "== server's results"
grep "^Round" "$log" || true
if ((status != 0)); then
  cat "$log" >&2
  exit "$status"
fi
echo "== record: $record"
echo "== to watch it: python3 -m http.server 8000 --bind 127.0.0.1   and open"
echo "   http://127.0.0.1:8000/viewer/?record=/$record"
