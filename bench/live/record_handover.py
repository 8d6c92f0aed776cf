#!/usr/bin/env python3
"""What handing a record's lines to the writing thread at every T costs a
lockstep game: lockstep_bench on one map with servers before and after a
change, each with no record, a plain record and a .gz record, one game of
each in turn per round so that the machine's load falls on all alike.

    bench/live/record_handover.py before=OLD/server after=build/release/server... \\
        [--bench build/release/lockstep_bench] [--rounds 15] [--map maps/dense_field.json]

Prints, per server and record kind, the median wall ms per simulated minute
and the server's median CPU seconds per game, each with its ratio to the same
server without a record (the goal: within 1.2x), the .gz record's size with
its growth from the first server's, and the load averages before and after.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GAME = re.compile(r"^server game \d+: .*? in ([\d.]+) ms wall \(([\d.]+) ms per simulated minute.*? ([\d.]+) s$", re.M)
KINDS = ("none", "plain", "gz")


def load_average():
    with open("/proc/loadavg", encoding="ascii") as stream:
        return " ".join(stream.read().split()[:3])


def one_game(bench, server, map_path, record):
    """(wall ms per simulated minute, server CPU s) of one game."""
    argv = [bench, "--server", server, "--games", "1"]
    if record:
        argv += ["--server-arg", "--record", "--server-arg", record]
    done = subprocess.run(argv + [map_path], capture_output=True, text=True, timeout=600, check=False)
    found = GAME.search(done.stdout)
    if done.returncode != 0 or not found:
        sys.exit(f"lockstep_bench failed:\n{done.stdout}{done.stderr}")
    return float(found.group(2)), float(found.group(3))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("servers", nargs="+", metavar="NAME=SERVER", help="the servers, the one before first")
    parser.add_argument("--bench", default=os.path.join(SOURCE, "build", "release", "lockstep_bench"))
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--map", default=os.path.join(SOURCE, "maps", "dense_field.json"))
    args = parser.parse_args(argv)
    servers = [tuple(word.split("=", 1)) for word in args.servers]
    figures = {(name, kind): ([], []) for name, _ in servers for kind in KINDS}
    sizes = {}
    load_start = load_average()
    with tempfile.TemporaryDirectory(prefix="record_handover_") as scratch:
        for _ in range(args.rounds):
            for name, server in servers:
                for kind in KINDS:
                    record = None if kind == "none" else os.path.join(
                        scratch, f"{name}.jsonl" + (".gz" if kind == "gz" else ""))
                    wall, cpu = one_game(args.bench, server, args.map, record)
                    figures[(name, kind)][0].append(wall)
                    figures[(name, kind)][1].append(cpu)
                    if record:
                        sizes[(name, kind)] = os.path.getsize(record)
    load_end = load_average()
    print(f"{os.path.basename(args.map)}, {args.rounds} rounds; load average {load_start} before, "
          f"{load_end} after")
    print(f"{'server':<7} {'record':<6} {'wall ms/sim min':>16} {'ratio':>6} {'cpu s/game':>11} {'ratio':>6} "
          f"{'record bytes':>13}")
    for name, _ in servers:
        base_wall = statistics.median(figures[(name, "none")][0])
        base_cpu = statistics.median(figures[(name, "none")][1])
        for kind in KINDS:
            wall = statistics.median(figures[(name, kind)][0])
            cpu = statistics.median(figures[(name, kind)][1])
            print(f"{name:<7} {kind:<6} {wall:>16.1f} {wall / base_wall:>6.2f} {cpu:>11.3f} {cpu / base_cpu:>6.2f} "
                  f"{sizes.get((name, kind), 0):>13}")
    first = servers[0][0]
    for name, _ in servers[1:]:
        for kind in ("plain", "gz"):
            before, after = sizes[(first, kind)], sizes[(name, kind)]
            print(f"{kind} record: {before} bytes with {first}, {after} with {name} "
                  f"({100 * (after / before - 1):+.1f} %)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
