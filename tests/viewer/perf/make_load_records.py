#!/usr/bin/env python3
"""Plays the games whose records measure_load.mjs opens, with the real
server in lockstep, and keeps each record plain and gzip:

    make_load_records.py --server build/release/server --out DIR [--runs 1000,10000,25000]

DIR gets runs_N.jsonl(.gz) for each N (N short runs, ../make_runs_map.py) and
five_minutes.jsonl(.gz) (one five-minute run with 20 Martians,
make_perf_map.py). Records already in DIR are kept, so a second measurement
starts at once.
"""
import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import lockstep_client  # noqa: E402
from make_records import record_game  # noqa: E402

# perf_client.py's script: full speed and a steady left turn.
CIRCLING = {1: {1: "a;;", 2: "l;;"}}


def make(server, out, name, map_maker, map_args, script):
    for suffix in (".jsonl", ".jsonl.gz"):
        path = os.path.join(out, name + suffix)
        if os.path.exists(path):
            continue
        game_map = os.path.join(out, name + ".map.json")
        with open(game_map, "w") as f:
            subprocess.run([sys.executable, os.path.join(HERE, map_maker)] + map_args, stdout=f, check=True)
        lockstep_client.SCRIPT = script
        # The server prints a line per run: 25,000 of them are not news.
        # The server compresses by the name's suffix, so the part file keeps it.
        part = os.path.join(out, "part-" + name + suffix)
        # The server prints a line per run: 25,000 of them are not news.
        record_game(server, game_map, part, output=subprocess.DEVNULL)
        os.replace(part, path)
        print("%s: %.1f MB" % (path, os.path.getsize(path) / 1e6), flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--runs", default="1000,10000,25000")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    make(args.server, args.out, "five_minutes", "make_perf_map.py", [], CIRCLING)
    for runs in args.runs.split(","):
        make(args.server, args.out, "runs_" + runs, "../make_runs_map.py", [runs], {})


if __name__ == "__main__":
    main()
