#!/usr/bin/env python3
"""A controller with tunable parameters, as examples/train_controller.py
learns them, and the same controller playing a real server.

    python3 examples/learned_bot.py PARAMS.json [host] [port]

It steers home, slowing for sharp turns, and turns away from what lies
close ahead (boulders, craters, Martians). Its decisions come from the
flat observation of the training environment (clients/python/rover_env.py)
and its replies are the environment's actions, so over a socket it plays
exactly the game it played in training: the same seed gives the same score.
"""

import json
import math
import os
import sys

KIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "clients", "python")
sys.path.insert(0, KIT)

from rover_client import connect  # noqa: E402
from rover_messages import MessageReader, Telemetry  # noqa: E402
from rover_observation import OBJECT_SIZE, observation_row  # noqa: E402
from rover_env import ACTION_REPLIES  # noqa: E402

# name: (starting value, starting spread of the search)
PARAMETERS = {
    "trim_deg": (3.0, 3.0),        # heading error beyond which it turns gently
    "hard_deg": (20.0, 15.0),      # ... and hard
    "fast": (6.0, 3.0),            # target speed on course
    "slow": (2.0, 1.5),            # target speed in a sharp turn
    "sharp_deg": (30.0, 20.0),     # what counts as a sharp turn
    "reach": (6.0, 4.0),           # how far ahead an obstacle matters (surface distance)
    "cone_deg": (40.0, 20.0),      # how wide ahead
    "dodge_deg": (0.0, 40.0),      # how far an obstacle at contact bends the course
}
MAX_OBJECTS = 16
ACTIONS = {(0, 0): 0, (1, 0): 1, (-1, 0): 2, (0, 1): 3, (0, -1): 4, (1, 1): 5, (1, -1): 6, (-1, 1): 7, (-1, -1): 8}


def angle_difference(to, heading):
    """to - heading in degrees, brought into [-180, 180)."""
    return (to - heading + 180.0) % 360.0 - 180.0


def sign(value):
    return (value > 0) - (value < 0)


class Policy:
    """Observation row in, action (0-8) out."""

    def __init__(self, values):
        self.values = dict(values)
        for name, value in self.values.items():
            setattr(self, name, value)

    @staticmethod
    def start():
        return Policy({name: value for name, (value, _) in PARAMETERS.items()})

    def act(self, row):
        accel_state, turn_state, x, y, heading, speed = row[1], row[2], row[3], row[4], row[5], row[6]
        error = angle_difference(math.degrees(math.atan2(-y, -x)), heading)
        shown = int(min(row[7], MAX_OBJECTS))
        for at in range(8, 8 + OBJECT_SIZE * shown, OBJECT_SIZE):
            kind, ox, oy, radius = row[at], row[at + 1], row[at + 2], row[at + 3]
            if kind == 3:  # home: drive in
                continue
            gap = math.hypot(ox - x, oy - y) - (radius if kind != 4 else 0.4)
            bearing = angle_difference(math.degrees(math.atan2(oy - y, ox - x)), heading)
            if gap < self.reach and abs(bearing) < self.cone_deg:
                push = self.dodge_deg * (1.0 - max(gap, 0.0) / self.reach)
                error += -push if bearing > 0 else push
        turn = 0
        if abs(error) > self.hard_deg:
            turn = 2 * sign(error)
        elif abs(error) > self.trim_deg:
            turn = sign(error)
        target = self.fast if abs(error) < self.sharp_deg else self.slow
        accel = 1 if speed < target - 0.3 else -1 if speed > target + 0.5 else 0
        return ACTIONS[(sign(accel - accel_state), sign(turn - turn_state))]


def play(policy, host, port):
    """One game over TCP: one action's reply per T, until the server closes."""
    reader = MessageReader()
    row = [0.0] * (8 + OBJECT_SIZE * MAX_OBJECTS)
    with connect(host, port) as link:
        while True:
            data = link.recv(65536)
            if not data:
                return
            replies = []
            for message in reader.feed(data):
                if isinstance(message, Telemetry):
                    observation_row(message, row, MAX_OBJECTS)
                    replies.append(ACTION_REPLIES[policy.act(row)])
            try:
                link.sendall(b"".join(replies))
            except (BrokenPipeError, ConnectionResetError):
                return  # after the last run the server may be gone before our last reply


def main(argv):
    if argv[:1] == ["--help"]:
        print(__doc__)
        return 0
    if not 1 <= len(argv) <= 3:
        print("usage: learned_bot.py PARAMS.json [host] [port]", file=sys.stderr)
        return 2
    with open(argv[0], encoding="utf-8") as source:
        policy = Policy(json.load(source))
    play(policy, argv[1] if len(argv) > 1 else "localhost", int(argv[2]) if len(argv) > 2 else 17676)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
