#!/usr/bin/env python3
"""Puts the records the browser tests open into one folder.

    make_records.py --fixtures tests/fixtures --server build/release/server --out DIR [--many-runs N]

DIR/game.jsonl and DIR/game.jsonl.gz are the lockstep fixture game of
tests/fixtures (README.md there), plain and gzip; the two must hold the same
lines, which is checked here too. With --many-runs, also
DIR/many_runs.jsonl.gz: a game of N one-step runs (make_runs_map.py), played
with the real server in lockstep.
"""
import argparse
import gzip
import os
import shutil
import socket
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lockstep_client  # noqa: E402

SEED = str(2**64 - 1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def record_game(server, game_map, path, output=subprocess.PIPE):
    """Plays one game. The server's output is read at the end, so a game of
    many runs (a line each) sends it to a file instead."""
    if os.path.exists(path):
        os.remove(path)
    port = free_port()
    # The largest seed, beyond 2^53, so the viewer must show it exactly.
    command = [server, "--lockstep", "--reply-timeout", "0", "--seed", SEED, "-p", str(port), "--record", path, game_map]
    proc = subprocess.Popen(command, stdout=output, stderr=subprocess.STDOUT, text=True)
    try:
        line = ""
        while output == subprocess.PIPE and "waiting for client connection" not in line:
            more = proc.stdout.readline()
            if not more:
                raise SystemExit("server did not start: %r (command: %s)" % (line, " ".join(command)))
            line += more
        lockstep_client.play("127.0.0.1", port)
        rest, _ = proc.communicate(timeout=120)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if proc.returncode != 0:
        raise SystemExit("server exited with status %d:\n%s%s" % (proc.returncode, line, rest))
    if not os.path.exists(path):
        raise SystemExit("the server wrote no record at %s" % path)
    if rest:
        print(rest, end="")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--many-runs", type=int, default=0)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    plain = os.path.join(args.out, "game.jsonl")
    packed = os.path.join(args.out, "game.jsonl.gz")
    shutil.copyfile(os.path.join(args.fixtures, "lockstep.jsonl"), plain)
    shutil.copyfile(os.path.join(args.fixtures, "lockstep.jsonl.gz"), packed)
    with open(plain, "rb") as f:
        plain_bytes = f.read()
    with gzip.open(packed, "rb") as f:
        packed_bytes = f.read()
    if plain_bytes != packed_bytes:
        raise SystemExit("the plain and the gzip record of the same game differ")
    if b'"kind":"bounce"' not in plain_bytes:
        raise SystemExit("the test game has no bounce; the browser tests need one")
    print("records: %s (%d bytes), %s" % (plain, len(plain_bytes), packed))
    if args.many_runs:
        many_map = os.path.join(args.out, "many_runs_map.json")
        with open(many_map, "w") as f:
            subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "make_runs_map.py"),
                            str(args.many_runs)], stdout=f, check=True)
        with open(os.path.join(args.out, "many_runs_server.txt"), "w") as log:
            record_game(args.server, many_map, os.path.join(args.out, "many_runs.jsonl.gz"), output=log)
        print("record of %d runs: %s" % (args.many_runs, os.path.join(args.out, "many_runs.jsonl.gz")))


if __name__ == "__main__":
    main()
