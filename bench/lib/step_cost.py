#!/usr/bin/env python3
"""A librover step beside the server's own time per T on the same map, in
the same run: lockstep_bench's server time minus its floor (the same
messages exchanged by a process that does nothing else), divided by the
T count, against library_bench's CPU time per step.

    step_cost.py [--build build/release] [--lockstep-bench PATH] [--actions FILE] [--rounds 3] MAP

Rounds alternate lockstep_bench (--games 3: three server and three floor
games) and library_bench (one round of one game at a time, as the server
plays it: parked as lockstep_bench's client is, and with FILE's actions when
given, bench/lib/pilot_actions.py's). Many games per batch hold more of the
machine's caches; on a crowded map that makes a step dearer. Medians over
the rounds, with the load average.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def run(command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def server_own_us(lockstep_bench, server, map_path):
    """The server's own wall and CPU microseconds per T: its medians minus the floor's."""
    out = run([lockstep_bench, "--server", server, "--games", "3", map_path])
    recorded = re.search(r"\((\d+) T\)", out)
    server_line = re.search(r"^server\s+median\s+([\d.]+) ms wall.*CPU ([\d.]+) ms", out, re.M)
    floor_line = re.search(r"^floor\s+median\s+([\d.]+) ms wall.*CPU ([\d.]+) ms", out, re.M)
    if not (recorded and server_line and floor_line):
        sys.exit("step_cost: this lockstep_bench measures no floor (it needs the one that records the "
                 "messages and plays them back):\n" + out)
    count = int(recorded[1])
    wall = (float(server_line[1]) - float(floor_line[1])) * 1000 / count
    cpu = (float(server_line[2]) - float(floor_line[2])) * 1000 / count
    return wall, cpu, float(server_line[1]) / float(floor_line[1])


def library_us(library_bench, server, map_path, actions):
    command = [library_bench, "--server", server, "--batch", "1", "--rounds", "1", "--steps", "100000",
               map_path]
    if actions:
        command[1:1] = ["--actions", actions]
    step = re.search(r"([\d.]+) us a step", run(command))
    return float(step[1])


def load():
    return "%.2f %.2f %.2f" % os.getloadavg()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--lockstep-bench")
    parser.add_argument("--actions")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("map")
    args = parser.parse_args(argv)
    server = os.path.join(args.build, "server")
    lockstep_bench = args.lockstep_bench or os.path.join(args.build, "lockstep_bench")
    library_bench = os.path.join(args.build, "library_bench")
    figures = {"wall": [], "cpu": [], "parked": [], "steering": []}
    for number in range(args.rounds):
        wall, cpu, ratio = server_own_us(lockstep_bench, server, args.map)
        figures["wall"].append(wall)
        figures["cpu"].append(cpu)
        figures["parked"].append(library_us(library_bench, server, args.map, None))
        line = (f"round {number + 1}: server's own {wall:.1f} us a T by wall time ({ratio:.2f}x its floor), "
                f"{cpu:.1f} by CPU time; library {figures['parked'][-1]:.1f} us a step parked")
        if args.actions:
            figures["steering"].append(library_us(library_bench, server, args.map, args.actions))
            line += f", {figures['steering'][-1]:.1f} steering"
        print(f"{line}; load {load()}", flush=True)
    m = {name: statistics.median(values) for name, values in figures.items() if values}
    summary = (f"median: server's own {m['wall']:.1f} us a T (wall; {m['cpu']:.1f} by CPU), "
               f"library {m['parked']:.1f} us a step parked ({m['parked'] / m['wall']:.2f}x the server's)")
    if "steering" in m:
        summary += f", {m['steering']:.1f} steering ({m['steering'] / m['wall']:.2f}x)"
    print(f"{summary}; load {load()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
