#!/usr/bin/env python3
"""What watching a real-time game costs the game: the telemetry lateness
latency_probe measures as the server's client, in three set-ups alternated
round by round, so that the machine's load falls on all alike:

    none      the server without a record
    live      --record GAME.jsonl.gz, followed by tools/live (under nice), no spectator
    live+N    the same with N Server-Sent Events clients that only read

    bench/live/live_cost.py [--rounds 5] [--seconds 15] [--spectators 10]
        [--build build/release] [--map maps/martian_patrol.json]

Prints the median over rounds of each set-up's median, p99 and max lateness,
each p99 with its ratio to the set-up without a record, and the load
averages. The goal: p99 with the spectators within 1.2x of that without a
record, or within 0.5 ms of it, whichever is larger.
"""

import argparse
import http.client
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LIVE = os.path.join(SOURCE, "tools", "live", "live")
LINE = re.compile(r"lateness ms: median ([-\d.]+), p99 ([-\d.]+), max ([-\d.]+)")


def load_average():
    with open("/proc/loadavg", encoding="ascii") as stream:
        return " ".join(stream.read().split()[:3])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def reader(port, sockets):
    """One spectator: reads the event stream until its socket is closed."""
    connection = http.client.HTTPConnection("127.0.0.1", port)
    try:
        connection.request("GET", "/live/1")
        sockets.append(connection.sock)
        response = connection.getresponse()
        while response.read1(65536):
            pass
    except OSError:
        pass


def measure(args, scratch, spectators):
    """(median, p99, max) lateness of one game; spectators None: no record."""
    port = free_port()
    server = [os.path.join(args.build, "server"), "-p", str(port)]
    live, sockets, threads = None, [], []
    if spectators is not None:
        record = os.path.join(scratch, f"game{time.monotonic_ns()}.jsonl.gz")
        server += ["--record", record]
        live = subprocess.Popen(["nice", "-n", "10", sys.executable, LIVE, record], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        live_port = int(live.stdout.readline().decode().rstrip("/\n").rsplit(":", 1)[1])
        for _ in range(spectators):
            threads.append(threading.Thread(target=reader, args=(live_port, sockets), daemon=True))
            threads[-1].start()
        while len(sockets) < spectators:
            time.sleep(0.01)
    program = subprocess.Popen(server + [args.map], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.2)  # the server listens
        done = subprocess.run([os.path.join(args.build, "latency_probe"), "-p", str(port), "-s", str(args.seconds)],
                              capture_output=True, text=True, timeout=args.seconds + 60, check=False)
    finally:
        program.terminate()
        program.wait()
        for s in sockets:
            s.shutdown(socket.SHUT_RDWR)
        if live is not None:
            live.terminate()
            live.wait()
    found = LINE.search(done.stdout)
    if not found:
        sys.exit(f"no lateness from latency_probe:\n{done.stdout}{done.stderr}")
    return tuple(float(v) for v in found.groups())


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=15)
    parser.add_argument("--spectators", type=int, default=10)
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "release"))
    parser.add_argument("--map", default=os.path.join(SOURCE, "maps", "martian_patrol.json"))
    args = parser.parse_args(argv)
    setups = [("none", None), ("live", 0), (f"live+{args.spectators}", args.spectators)]
    figures = {name: [] for name, _ in setups}
    print(f"{os.path.basename(args.map)}, {args.rounds} rounds of {args.seconds} s; load average {load_average()}")
    with tempfile.TemporaryDirectory(prefix="live_cost_") as scratch:
        for number in range(1, args.rounds + 1):
            for name, spectators in setups:
                figures[name].append(measure(args, scratch, spectators))
            print(f"round {number}: " + "; ".join(f"{name} p99 {figures[name][-1][1]:.3f}" for name, _ in setups) +
                  f"; load average {load_average()}", flush=True)
    base = statistics.median(f[1] for f in figures["none"])
    print(f"{'set-up':<10} {'median ms':>10} {'p99 ms':>8} {'ratio':>6} {'max ms':>8}")
    for name, _ in setups:
        median, p99, worst = (statistics.median(f[k] for f in figures[name]) for k in range(3))
        print(f"{name:<10} {median:>10.3f} {p99:>8.3f} {p99 / base:>6.2f} {worst:>8.3f}")
    watched = statistics.median(f[1] for f in figures[setups[2][0]])
    bound = max(1.2 * base, base + 0.5)
    print(f"goal: p99 with {args.spectators} spectators {watched:.3f} ms <= {bound:.3f} ms: "
          f"{'met' if watched <= bound else 'NOT met'}; load average {load_average()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
