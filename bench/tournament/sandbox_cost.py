#!/usr/bin/env python3
"""What the sandbox costs a game: `tournament play` of pilot on one map, N
games sandboxed and N not, alternated so that the machine's load falls on
both alike. Prints each side's median wall time (the whole `tournament play`
process, sandbox check included), the difference and the ratio, with the
load average before and after. Run as root, by hand:

    bench/tournament/sandbox_cost.py [--games 20] [--map maps/boulder_field.json] [--build build/release]
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOL = os.path.join(SOURCE, "tools", "tournament", "tournament")


def _tournament(*args):
    subprocess.run([sys.executable, TOOL, *args], check=True, stdout=subprocess.DEVNULL)


def _plan(folder, name, sandbox, args):
    path = os.path.join(folder, f"{name}.json")
    with open(path, "w", encoding="utf-8") as stream:
        json.dump({"controllers": [{"name": "pilot", "command": [os.path.join(args.build, "pilot"), "{host}",
                                                                 "{port}"]}],
                   "maps": [os.path.abspath(args.map)], "seeds": list(range(1, args.games + 1)),
                   "game_time_limit_s": 300, "sandbox": sandbox}, stream)
    out = os.path.join(folder, name)
    _tournament("plan", path, "-o", out, "--build", args.build)
    with open(os.path.join(out, "games.tsv"), encoding="utf-8") as stream:
        return out, [line.split("\t")[0] for line in stream]


def _timed_play(out, game):
    start = time.perf_counter()
    _tournament("play", out, game)
    elapsed = time.perf_counter() - start
    with open(os.path.join(out, "games", game, "game.json"), encoding="utf-8") as stream:
        status = json.load(stream)["status"]
    if status != "completed":
        raise SystemExit(f"{out}/{game}: {status}")
    return elapsed * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--games", type=int, default=20)
    parser.add_argument("--map", default=os.path.join(SOURCE, "maps", "boulder_field.json"))
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "release"))
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    with tempfile.TemporaryDirectory(prefix="sandbox_cost_") as folder:
        boxed, boxed_games = _plan(folder, "boxed", "bwrap", args)
        bare, bare_games = _plan(folder, "bare", "none", args)
        load_before = os.getloadavg()
        times = {"sandboxed": [], "unsandboxed": []}
        for index, (one, other) in enumerate(zip(boxed_games, bare_games)):
            # Alternate which goes first, too.
            order = [("sandboxed", boxed, one), ("unsandboxed", bare, other)]
            for side, out, game in order if index % 2 == 0 else reversed(order):
                times[side].append(_timed_play(out, game))
        load_after = os.getloadavg()
    sandboxed, unsandboxed = (statistics.median(times[side]) for side in ("sandboxed", "unsandboxed"))
    print(f"{args.games} games of pilot on {os.path.basename(args.map)} each way, alternated; "
          f"load average {load_before[0]:.2f} before, {load_after[0]:.2f} after")
    print(f"  unsandboxed: median {unsandboxed:.1f} ms (min {min(times['unsandboxed']):.1f}, "
          f"max {max(times['unsandboxed']):.1f})")
    print(f"  sandboxed:   median {sandboxed:.1f} ms (min {min(times['sandboxed']):.1f}, "
          f"max {max(times['sandboxed']):.1f})")
    print(f"  the sandbox costs {sandboxed - unsandboxed:+.1f} ms per game; ratio {sandboxed / unsandboxed:.3f}")


if __name__ == "__main__":
    main()
