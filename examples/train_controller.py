#!/usr/bin/env python3
"""Learns a controller by machine: the cross-entropy method over the
parameters of examples/learned_bot.py, each candidate played in-process
(librover, through RoverEnv), then the result played by the real server.

    python3 examples/train_controller.py [--map maps/boulder_field.json] [--out learned.json]

It scores the starting parameters and the learned ones on the same seeds
(lockstep games: the same parameters always score the same), writes the
learned ones to --out, and plays them with tools/play/play, which starts
the server in lockstep with each seed. Scores are the server's, summed over
the runs of every seed's game: lower is better. Standard library only; a
few minutes on two cores with the defaults, seconds with --quick.
"""

import argparse
import json
import math
import os
import random
import re
import subprocess
import sys
import time
from multiprocessing import Pool

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "clients", "python"))

from learned_bot import MAX_OBJECTS, PARAMETERS, Policy  # noqa: E402
from rover_env import RoverEnv  # noqa: E402

_env = None  # each worker process's environment


def _environment(map_path):
    global _env
    if _env is None:
        _env = RoverEnv(map_path, max_objects=MAX_OBJECTS)
    return _env


def game_score(map_path, values, seed):
    """The summed score of every run of one game with these parameters."""
    env = _environment(map_path)
    policy = Policy(values)
    obs, info = env.reset(seed=seed)
    total, runs = 0, 0
    while True:
        obs, _, terminated, _, info = env.step(policy.act(obs))
        if terminated:
            total += info["score_ms"]
            runs += 1
            obs, info = env.reset()
            if info["seed"] != seed:
                return total


def score(map_path, values, seeds):
    return sum(game_score(map_path, values, seed) for seed in seeds)


def _score_task(task):
    return score(*task)


def cross_entropy(map_path, seeds, iterations, population, elite, workers, rng):
    """The mean of the best candidates, moved toward them each iteration."""
    names = list(PARAMETERS)
    mean = [PARAMETERS[name][0] for name in names]
    spread = [PARAMETERS[name][1] for name in names]
    best = (score(map_path, dict(zip(names, mean)), seeds), dict(zip(names, mean)))
    with Pool(workers) as pool:
        for iteration in range(iterations):
            candidates = [dict(zip(names, (max(0.0, rng.gauss(m, s)) for m, s in zip(mean, spread))))
                          for _ in range(population)]
            scores = pool.map(_score_task, [(map_path, values, seeds) for values in candidates])
            ranked = sorted(zip(scores, range(population)))[:elite]
            chosen = [candidates[i] for _, i in ranked]
            if ranked[0][0] < best[0]:
                best = (ranked[0][0], chosen[0])
            for k, name in enumerate(names):
                values = [c[name] for c in chosen]
                mean[k] = sum(values) / elite
                # Never collapse entirely: a little noise keeps the search moving.
                spread[k] = max(math.sqrt(sum((v - mean[k]) ** 2 for v in values) / elite),
                                0.02 * PARAMETERS[name][1])
            print(f"iteration {iteration + 1}/{iterations}: best of the population {ranked[0][0]}, "
                  f"best so far {best[0]}", flush=True)
    return best


def play_through_server(map_path, params_path, seeds, build):
    """Each seed's game through tools/play/play; the summed score of the server's result lines."""
    play = [sys.executable, os.path.join(ROOT, "tools", "play", "play")]
    if build is not None:
        play += ["--build", build]
    total = 0
    for seed in seeds:
        done = subprocess.run(play + ["--seed", str(seed), map_path, "--", sys.executable,
                                      os.path.join(HERE, "learned_bot.py"), params_path, "{host}", "{port}"],
                              capture_output=True, text=True, timeout=600, check=False)
        print(done.stdout, end="", flush=True)
        scores = [int(s) for s in re.findall(r"^Round \d+: .*; score = (\d+)$", done.stdout, re.MULTILINE)]
        if done.returncode != 0 or not scores:
            sys.exit(f"train_controller: play failed (status {done.returncode}): {done.stderr.strip()}")
        total += sum(scores)
    return total


def main(argv):
    parser = argparse.ArgumentParser(description="Learns learned_bot.py's parameters by the cross-entropy method.")
    parser.add_argument("--map", default=os.path.join(ROOT, "maps", "boulder_field.json"))
    parser.add_argument("--seeds", type=int, default=2, help="games per evaluation: seeds 0 .. N-1")
    parser.add_argument("--iterations", type=int, default=12)
    parser.add_argument("--population", type=int, default=32)
    parser.add_argument("--elite", type=int, default=6)
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--search-seed", type=int, default=1, help="seed of the search's own random choices")
    parser.add_argument("--out", default="learned.json", help="where the learned parameters go")
    parser.add_argument("--quick", action="store_true", help="a tiny search, for a smoke test")
    parser.add_argument("--no-play", action="store_true", help="skip the games against the real server")
    parser.add_argument("--build", help="the folder of the server play starts (play's own rule without it)")
    args = parser.parse_args(argv)
    if args.quick:
        args.iterations, args.population, args.elite, args.seeds = 2, 6, 2, 1
    seeds = list(range(args.seeds))
    start = time.monotonic()
    before = score(args.map, Policy.start().values, seeds)
    print(f"before: {before} ms over seeds {seeds} (starting parameters)", flush=True)
    after, learned = cross_entropy(args.map, seeds, args.iterations, args.population, args.elite, args.workers,
                                   random.Random(args.search_seed))
    print(f"after:  {after} ms over the same seeds ({before / after:.2f}x better), "
          f"learned in {time.monotonic() - start:.0f} s", flush=True)
    with open(args.out, "w", encoding="utf-8") as out:
        json.dump(learned, out, indent=1)
        out.write("\n")
    print(f"parameters written to {args.out}", flush=True)
    if not args.no_play:
        served = play_through_server(args.map, os.path.abspath(args.out), seeds, args.build)
        print(f"through the real server: {served} ms over the same seeds"
              f"{' (the same as in-process)' if served == after else ' (in-process: %d)' % after}", flush=True)
        if served != after:
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
