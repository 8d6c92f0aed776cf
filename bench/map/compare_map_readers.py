#!/usr/bin/env python3
"""Whole-process speed of map readers on the same files, runs alternated.

    bench/map/compare_map_readers.py [--runs N] READER... -- MAP...

Each READER is NAME=COMMAND (the map's path is appended to COMMAND); the
first is the yardstick. Every map is read by every reader in turn, N rounds
(7 by default), so that a noisy moment on a shared machine hits all of
them alike. For each map the table gives each reader's best and median CPU
time (user + system, as the kernel counts it for the child) and, for the
others, their speed as a fraction of the yardstick's by the best times,
then the load averages before and after. Example, with the maps of
`map_gen --all DIR`:

    bench/map/compare_map_readers.py rapidjson=build/release/rapidjson_load \\
        mapcheck=build/release/mapcheck -- DIR/*.json
"""

import os
import resource
import shlex
import statistics
import subprocess
import sys


def cpu_seconds(command):
    """Runs command with its output dropped: its user + system CPU seconds,
    and its error output when it failed."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    seconds = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    error = "" if done.returncode == 0 else done.stderr.decode(errors="replace") or f"status {done.returncode}"
    return seconds, error


def parse_arguments(argv):
    runs = 7
    readers = []
    maps = []
    args = list(argv)
    while args and args[0] != "--":
        arg = args.pop(0)
        if arg == "--help":
            print(__doc__)
            sys.exit(0)
        if arg == "--runs" and args:
            runs = int(args.pop(0))
        elif "=" in arg:
            name, command = arg.split("=", 1)
            readers.append((name, shlex.split(command)))
        else:
            sys.exit(f"compare_map_readers: unknown argument {arg!r}\n{__doc__}")
    maps = args[1:]
    if len(readers) < 2 or not maps or runs < 1:
        sys.exit(__doc__)
    return runs, readers, maps


def load_average():
    with open("/proc/loadavg", encoding="ascii") as f:
        return " ".join(f.read().split()[:3])


def main(argv):
    runs, readers, maps = parse_arguments(argv)
    print(f"load average before: {load_average()}")
    for path in maps:
        times = {name: [] for name, _ in readers}
        for _ in range(runs):
            for name, command in readers:
                seconds, error = cpu_seconds(command + [path])
                if error:
                    sys.exit(f"{name} on {path}: {error.strip()}")
                times[name].append(seconds)
        size = os.path.getsize(path)
        yardstick = min(times[readers[0][0]])
        print(f"{os.path.basename(path)} ({size / 1e6:.1f} MB), {runs} alternated runs, CPU ms:")
        for name, _ in readers:
            best = min(times[name])
            median = statistics.median(times[name])
            ratio = "" if name == readers[0][0] else f"  speed {yardstick / best:.2f}x {readers[0][0]}'s"
            print(f"  {name:>12}: best {best * 1e3:8.1f}  median {median * 1e3:8.1f}"
                  f"  ({size / best / 1e6:6.1f} MB/s){ratio}")
    print(f"load average after: {load_average()}")


if __name__ == "__main__":
    main(sys.argv[1:])
