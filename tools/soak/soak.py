#!/usr/bin/env python3
"""Soak test: one long lockstep game with a client that sends random legal commands.

    python3 tools/soak/soak.py --server build/release/server [--runs 1000] [--seed 1]
                               [--rss-bound-kb 1024] [--no-rss]

Generates a map of --runs runs, plays it to the end, and checks two things:
every run ends with its result line, and the server's resident memory stays
flat: after the first tenth of the runs it may grow by at most --rss-bound-kb.
(Under AddressSanitizer the allocator grows the resident set by design; pass
--no-rss there and let LeakSanitizer judge the exit.) Exits 0 when both hold.
"""

import argparse
import json
import os
import random
import re
import socket
import subprocess
import sys
import tempfile
import time

REPLIES = ["a;;", "b;;", "l;;", "r;;", "al;;", "ar;;", "bl;;", "br;;", "a;l;;", ";", ";", ";"]


def make_map(runs, rng):
    """A 120 x 120 map with craters, boulders and a few Martians per run."""
    params = {"maxSpeed": 10, "accel": 4, "brake": 6, "turn": 30, "hardTurn": 90,
              "rotAccel": 360, "frontView": 30, "rearView": 8}
    def circle():
        return {"x": rng.uniform(-55, 55), "y": rng.uniform(-55, 55), "r": rng.uniform(0.5, 4)}
    def start():
        return {"x": rng.uniform(-55, 55), "y": rng.uniform(-55, 55), "dir": rng.uniform(-180, 180)}
    return {
        "size": 120, "timeLimit": 3000,
        "vehicleParams": params,
        "martianParams": dict(params, maxSpeed=4),
        "craters": [circle() for _ in range(40)],
        "boulders": [circle() for _ in range(40)],
        "runs": [{"vehicle": start(),
                  "enemies": [dict(start(), speed=rng.uniform(0, 3), view=rng.uniform(0, 30))
                              for _ in range(rng.randint(0, 4))]}
                 for _ in range(runs)],
    }


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--runs", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--rss-bound-kb", type=int, default=1024)
    parser.add_argument("--no-rss", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)

    with tempfile.TemporaryDirectory() as folder:
        map_path = os.path.join(folder, "soak.json")
        with open(map_path, "w") as f:
            json.dump(make_map(args.runs, rng), f)
        port = free_port()
        out_path = os.path.join(folder, "server.out")
        with open(out_path, "w") as out:
            server = subprocess.Popen([args.server, "--lockstep", "--reply-timeout", "0", "-p", str(port), map_path],
                                      stdout=out, stderr=subprocess.STDOUT)
        deadline = time.time() + 60
        sock = None
        while sock is None:
            try:
                sock = socket.create_connection(("127.0.0.1", port))
            except OSError:
                if time.time() > deadline or server.poll() is not None:
                    sys.exit("soak: the server never listened")
                time.sleep(0.05)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

        started = time.time()
        samples = []  # resident kB at each run's end
        pending = b""
        while True:
            data = sock.recv(1 << 16)
            if not data:
                break
            pending += data
            *messages, pending = pending.split(b";")
            replies = []
            for message in messages:
                if message.startswith(b"T"):
                    replies.append(rng.choice(REPLIES))
                elif message.startswith(b"E"):
                    samples.append(resident_kb(server.pid))
                    if len(samples) % 100 == 0:
                        print(f"soak: {len(samples)} runs, resident {samples[-1]} kB", flush=True)
            if replies:
                sock.sendall("".join(replies).encode("ascii"))
        sock.close()
        status = server.wait(timeout=120)
        wall = time.time() - started
        with open(out_path) as out:
            output = out.read()

    rounds = re.findall(r"^Round (\d+): [A-Za-z ]+; score = \d+$", output, re.MULTILINE)
    problems = []
    if status != 0:
        problems.append(f"the server exited with status {status}:\n{output[-2000:]}")
    if rounds != [str(n) for n in range(1, args.runs + 1)]:
        problems.append(f"{len(rounds)} result lines for {args.runs} runs")
    warm = samples[max(0, len(samples) // 10 - 1)] if samples else 0
    peak = max(samples[len(samples) // 10:], default=0)
    print(f"soak: {len(samples)} runs in {wall:.1f} s; resident kB: first {samples[0] if samples else 0}, "
          f"after a tenth {warm}, peak after that {peak}, last {samples[-1] if samples else 0}")
    if not args.no_rss and peak - warm > args.rss_bound_kb:
        problems.append(f"resident memory grew by {peak - warm} kB after the first tenth of the runs "
                        f"(bound {args.rss_bound_kb} kB)")
    for problem in problems:
        print("soak: FAILED: " + problem, file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
