#!/usr/bin/env bash
# Times mapcheck on one map file as a whole process, by CPU time (user +
# system), and prints the best and median throughput of N runs with the load
# average, so figures from a shared machine can be judged.
#   bench/map/time_mapcheck.sh build/release/mapcheck map.json [runs]
set -euo pipefail
mapcheck=$1
map=$2
runs=${3:-15}
bytes=$(stat -c %s "$map")
times=()
for ((i = 0; i < runs; ++i)); do
  # bash's time keyword reports the child's CPU seconds with millisecond precision.
  cpu=$( { TIMEFORMAT='%3U %3S'; time "$mapcheck" "$map" >/dev/null; } 2>&1 | awk '{print $1 + $2}')
  times+=("$cpu")
done
printf '%s\n' "${times[@]}" | sort -g | awk -v bytes="$bytes" -v runs="$runs" '
  { t[NR] = $1 }
  END {
    median = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "%d bytes, %d runs: best %.3f s CPU = %.1f MB/s, median %.3f s CPU = %.1f MB/s\n",
           bytes, runs, t[1], bytes / t[1] / 1e6, median, bytes / median / 1e6
  }'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
