#!/usr/bin/env python3
"""Writes a map of many short runs, for measuring how the viewer's load
time grows with the number of runs:

    make_runs_map.py RUNS > runs_map.json

Every run starts with the rover just inside the home base, so the first
physics step ends it ("reached home" at 10 ms): the record is mostly the
per-run lines (start, telemetry, step, result), which is what a record of
25,000 short runs costs a reader. One idle Martian per run puts a
martians line in each too.
"""
import json
import sys


def main():
    if len(sys.argv) != 2 or not sys.argv[1].isdigit() or int(sys.argv[1]) < 1:
        sys.exit("usage: make_runs_map.py RUNS")
    runs = [{"vehicle": {"x": 4.5 + (i % 7) * 0.05, "y": (i % 5) * 0.2, "dir": 180},
             "enemies": [{"x": 20, "y": 20, "dir": 0, "speed": 0, "view": 5}]}
            for i in range(int(sys.argv[1]))]
    game_map = {
        "size": 60,
        "timeLimit": 5000,
        "vehicleParams": {"maxSpeed": 10, "accel": 20, "brake": 10, "turn": 30, "hardTurn": 90,
                          "rotAccel": 360, "frontView": 20, "rearView": 4},
        "martianParams": {"maxSpeed": 3, "accel": 2, "brake": 4, "turn": 40, "hardTurn": 90,
                          "rotAccel": 180, "frontView": 10, "rearView": 3},
        "craters": [],
        "boulders": [{"x": -15, "y": 0, "r": 2}],
        "runs": runs,
    }
    print(json.dumps(game_map))


if __name__ == "__main__":
    main()
