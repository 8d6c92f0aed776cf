#!/usr/bin/env python3
"""How fast the Python environment steps, beside librover from C++ and the
lockstep server on the same map in the same run.

    env_bench.py [--build build/release] [--actions FILE] [--rounds 5] [--seconds 3] MAP

Each round measures RoverEnv (one game) and RoverVectorEnv (64 games per
step call), each for about --seconds of process CPU time, then runs
build/release/library_bench for one round (the C++ batch call and the
server with the same actions). A game's k-th T gets the k-th action of
FILE (bench/lib/pilot_actions.py writes them from a pilot game), or action
0 without one. Figures are steps per CPU second of this process, medians
over the rounds, with the load average.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "clients", "python"))

from rover_env import RoverEnv  # noqa: E402
from rover_vector_env import RoverVectorEnv  # noqa: E402


def single_rate(map_path, actions, seconds):
    env = RoverEnv(map_path)
    env.reset(seed=0)
    steps, answered, game = 0, 0, 0
    start = time.process_time()
    while time.process_time() - start < seconds:
        for _ in range(1000):
            _, _, terminated, truncated, info = env.step(actions[answered % len(actions)])
            answered += 1
            if terminated or truncated:
                env.reset()
                if env.seed != game:
                    game, answered = env.seed, 0
        steps += 1000
    rate = steps / (time.process_time() - start)
    env.close()
    return rate


def vector_rate(map_path, actions, seconds, count=64):
    envs = RoverVectorEnv(map_path, num_envs=count)
    envs.reset(seed=0)
    answered = [0] * count
    seeds = list(range(count))
    steps = 0
    start = time.process_time()
    while time.process_time() - start < seconds:
        for _ in range(50):
            chosen = [actions[answered[i] % len(actions)] for i in range(count)]
            _, _, _, _, info = envs.step(chosen)
            for i in range(count):
                answered[i] = 0 if info["seed"][i] != seeds[i] else answered[i] + 1
                seeds[i] = info["seed"][i]
            steps += count
    rate = steps / (time.process_time() - start)
    envs.close()
    return rate


def load():
    return "%.2f %.2f %.2f" % os.getloadavg()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--actions")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("map")
    args = parser.parse_args(argv)
    os.environ.setdefault("ROVER_LIB", os.path.join(args.build, "librover.so"))
    actions = [0]
    if args.actions:
        with open(args.actions, encoding="ascii") as source:
            actions = [int(c) for c in source.read() if c in "012345678"]
    figures = {"single": [], "vector": [], "library": [], "server": []}
    for round_number in range(args.rounds):
        figures["single"].append(single_rate(args.map, actions, args.seconds))
        figures["vector"].append(vector_rate(args.map, actions, args.seconds))
        bench = [os.path.join(args.build, "library_bench"), "--server", os.path.join(args.build, "server"),
                 "--rounds", "1", "--steps", "1000000", args.map]
        if args.actions:
            bench[1:1] = ["--actions", args.actions]
        out = subprocess.run(bench, capture_output=True, text=True, check=True).stdout
        median = re.search(r"median: library (\d+) steps/s on one core, server (\d+) T/s", out)
        figures["library"].append(float(median[1]))
        figures["server"].append(float(median[2]))
        print(f"round {round_number + 1}: single {figures['single'][-1]:.0f}, vector {figures['vector'][-1]:.0f}, "
              f"library (C++) {median[1]} steps/s; server {median[2]} T/s; load {load()}", flush=True)
    m = {name: statistics.median(values) for name, values in figures.items()}
    print(f"median: RoverEnv {m['single']:.0f} steps/s ({m['single'] / m['server']:.2f}x the server), "
          f"RoverVectorEnv(64) {m['vector']:.0f} ({m['vector'] / m['server']:.2f}x), "
          f"C++ batch {m['library']:.0f} ({m['library'] / m['server']:.2f}x), server {m['server']:.0f} T/s; "
          f"load {load()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
