#!/usr/bin/env python3
"""The actions of a pilot game, for the library's benchmarks: a policy that
steers, the same for the library and the server.

    pilot_actions.py [--build build/release] [--seed N] MAP OUT

Plays `pilot` against `server --lockstep --reply-timeout 0` on MAP with a
record, reads the replies the server took from the record, turns each into
the nearest of the environment's nine actions (one acceleration notch and
one turn notch at most) and writes them to OUT, one digit per T.
"""

import argparse
import json
import os
import socket
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from common.processes import kill_group, start_activated_server, spawn_quietly  # noqa: E402

ACCEL = {"a": 1, "b": -1}
TURN = {"l": 1, "r": -1}
ACTIONS = {(0, 0): 0, (1, 0): 1, (-1, 0): 2, (0, 1): 3, (0, -1): 4, (1, 1): 5, (1, -1): 6, (-1, 1): 7, (-1, -1): 8}


def replies(record_path):
    """The bytes of each reply the server completed, in order."""
    text = ""
    with open(record_path, encoding="utf-8") as record:
        for line in record:
            entry = json.loads(line)
            if entry["type"] == "recv" and entry.get("at") == "wait" and "bytes" in entry:
                text += entry["bytes"]
    reply, out = [], []
    for command in text.split(";")[:-1]:
        if command:
            reply.append(command)
        else:
            out.append(reply)
            reply = []
    return out


def action(commands):
    accel = sum(ACCEL.get(letter, 0) for word in commands for letter in word)
    turn = sum(TURN.get(letter, 0) for word in commands for letter in word)
    clip = lambda value: max(-1, min(1, value))  # noqa: E731
    return ACTIONS[(clip(accel), clip(turn))]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("map")
    parser.add_argument("out")
    args = parser.parse_args(argv)
    with tempfile.TemporaryDirectory(prefix="pilot-actions-") as folder:
        record = os.path.join(folder, "game.jsonl")
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        port = listener.getsockname()[1]
        server = start_activated_server(
            [os.path.join(args.build, "server"), "--lockstep", "--reply-timeout", "0", "--seed", str(args.seed),
             "--record", record, os.path.abspath(args.map)],
            listener.fileno(), os.devnull, os.path.join(folder, "server.err"))
        listener.close()
        pilot = spawn_quietly([os.path.join(args.build, "pilot"), "127.0.0.1", str(port)])
        try:
            pilot.wait()
            status = server.wait()
        finally:
            kill_group(server.pid)
            kill_group(pilot.pid)
        if status != 0:
            sys.exit(f"pilot_actions: the server failed (status {status})")
        chosen = [action(reply) for reply in replies(record)]
    with open(args.out, "w", encoding="ascii") as out:
        out.write("".join(str(a) for a in chosen) + "\n")
    print(f"{len(chosen)} actions from the pilot's game on {args.map}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
