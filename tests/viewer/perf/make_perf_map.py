#!/usr/bin/env python3
"""Writes the map for measuring the viewer by hand: one run of five minutes
with 20 Martians on a 400 x 400 field of boulders and craters.

    make_perf_map.py > perf_map.json

The rover starts in the south-west and, driven by perf_client.py, circles
there (about 28 units across) until the time limit. The Martians start in
the north-east, too far away and too slow to reach it in five minutes, so
every one of them moves for the whole run. Obstacles keep clear of the
circle, so the run goes the full five minutes (the rover glances off one
boulder while it gathers speed, which puts a bounce on the map).
"""
import json
import math
import random

CIRCLE = (-120.0, -120.0)  # centre of the rover's circle
CLEAR = 50.0               # no obstacle this close to that centre


def main():
    rng = random.Random(12)
    craters, boulders = [], []
    while len(craters) + len(boulders) < 80:
        x, y = rng.uniform(-190, 190), rng.uniform(-190, 190)
        if math.hypot(x - CIRCLE[0], y - CIRCLE[1]) < CLEAR or math.hypot(x, y) < 12:
            continue
        item = {"x": round(x, 1), "y": round(y, 1), "r": round(rng.uniform(1.5, 4), 1)}
        (craters if len(craters) < 30 else boulders).append(item)
    enemies = [{"x": round(120 + 12 * (i % 5), 1), "y": round(110 + 15 * (i // 5), 1),
                "dir": rng.randrange(-180, 180), "speed": 0.2, "view": 15} for i in range(20)]
    game_map = {
        "size": 400,
        "timeLimit": 300000,
        "vehicleParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60,
                          "rotAccel": 120, "frontView": 30, "rearView": 5},
        "martianParams": {"maxSpeed": 0.25, "accel": 0.5, "brake": 1, "turn": 40, "hardTurn": 90,
                          "rotAccel": 180, "frontView": 15, "rearView": 3},
        "craters": craters,
        "boulders": boulders,
        "runs": [{"vehicle": {"x": CIRCLE[0] + 28.6, "y": CIRCLE[1], "dir": 90}, "enemies": enemies}],
    }
    print(json.dumps(game_map, indent=1))


if __name__ == "__main__":
    main()
