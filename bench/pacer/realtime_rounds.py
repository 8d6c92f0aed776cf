#!/usr/bin/env python3
"""Telemetry lateness of real-time servers beside the pacer's, rounds alternated.

    bench/pacer/realtime_rounds.py [--rounds N] [--seconds S] [--probe PATH] \\
        pacer=build/release/pacer NAME=SERVER... [--map MAP]

Each NAME=COMMAND is a program that serves one controller on a port: the
first is the floor (the pacer, which only keeps the schedule), the others
are servers, started as `COMMAND -p PORT MAP`. In every round each is
started in turn and latency_probe reads its telemetry for S seconds (20 by
default) with an idle controller. The table gives, per program and round,
the median, 99th percentile and maximum lateness of the "T" messages
against the 100 ms schedule, each program's ratios to the floor of the same
round, and the load averages. Example:

    bench/pacer/realtime_rounds.py pacer=build/release/pacer \\
        server=build/release/server before=/tmp/old/server
"""

import os
import random
import re
import shlex
import subprocess
import sys
import time

LINE = re.compile(r"lateness ms: median ([-\d.]+), p99 ([-\d.]+), max ([-\d.]+)")


def load_average():
    with open("/proc/loadavg", encoding="ascii") as f:
        return " ".join(f.read().split()[:3])


def measure(command, probe, seconds, map_path, is_pacer):
    port = random.randint(20000, 60000)
    argv = command + ["-p", str(port)]
    argv += ["-s", str(seconds + 2)] if is_pacer else [map_path]
    program = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        done = subprocess.run([probe, "-p", str(port), "-s", str(seconds)], capture_output=True, text=True,
                              timeout=seconds + 60, check=False)
    finally:
        program.terminate()
        program.wait()
    found = LINE.search(done.stdout)
    if not found:
        sys.exit(f"no lateness from {argv[0]}:\n{done.stdout}{done.stderr}")
    return tuple(float(v) for v in found.groups())


def _ratio(value, floor):
    # The floor's lateness can be 0 or below (early): no ratio then.
    return f"{value / floor:.2f}" if floor > 0 else "n/a"


def main(argv):
    rounds, seconds = 2, 20
    probe = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../build/release/latency_probe")
    map_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/latency/minute_run.json")
    programs = []
    args = list(argv)
    while args:
        arg = args.pop(0)
        if arg in ("--rounds", "--seconds", "--probe", "--map") and args:
            value = args.pop(0)
            if arg == "--rounds":
                rounds = int(value)
            elif arg == "--seconds":
                seconds = float(value)
            elif arg == "--probe":
                probe = value
            else:
                map_path = value
        elif "=" in arg:
            name, command = arg.split("=", 1)
            programs.append((name, shlex.split(command)))
        else:
            sys.exit(__doc__)
    if len(programs) < 2:
        sys.exit(__doc__)
    print(f"{seconds:g} s rounds with an idle controller, lateness ms (median / p99 / max)")
    for r in range(rounds):
        load = load_average()
        results = {}
        for i, (name, command) in enumerate(programs):
            results[name] = measure(command, probe, seconds, map_path, i == 0)
            time.sleep(0.5)
        floor = results[programs[0][0]]
        print(f"round {r + 1} (load average {load} before, {load_average()} after):")
        for name, _ in programs:
            median, p99, worst = results[name]
            ratio = "" if name == programs[0][0] else \
                f"  ratio to {programs[0][0]}: p99 {_ratio(p99, floor[1])}, max {_ratio(worst, floor[2])}"
            print(f"  {name:>10}: {median:7.3f} / {p99:7.3f} / {worst:7.3f}{ratio}")


if __name__ == "__main__":
    main(sys.argv[1:])
