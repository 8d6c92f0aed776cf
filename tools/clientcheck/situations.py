"""The small games clientcheck plays: lockstep three times, with the server's
bytes as written, in pieces and joined, and real time once with both. The
maps are short, start near home, put a boulder in the straight way home
(a bounce sends B and an extra T) and a Martian in the second run."""

import json
import os
from dataclasses import dataclass

PARAMS = {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60, "rotAccel": 120, "frontView": 30,
          "rearView": 5}


@dataclass(frozen=True)
class Situation:
    key: str  # "plain", "pieces", "joined", "realtime"
    what: str  # for the report
    lockstep: bool
    policy: str  # a Delivery policy
    time_limit_ms: int
    bound_s: float  # the most the game may take on a busy machine


SITUATIONS = (
    Situation("plain", "lockstep, the server's bytes as written", True, "plain", 4000, 15),
    Situation("pieces", "lockstep, every message in pieces", True, "pieces", 4000, 15),
    Situation("joined", "lockstep, messages joined in one read", True, "joined", 4000, 15),
    Situation("realtime", "real time, messages in pieces and joined", False, "mixed", 1500, 20),
)


def map_document(time_limit_ms):
    return {
        "size": 60, "timeLimit": time_limit_ms, "vehicleParams": PARAMS, "martianParams": PARAMS,
        "craters": [{"x": -20, "y": 20, "r": 3}], "boulders": [{"x": 10, "y": 0, "r": 1.5}],
        "runs": [{"vehicle": {"x": 15, "y": 0, "dir": 180}, "enemies": []},
                 {"vehicle": {"x": 0, "y": -13, "dir": 90},
                  "enemies": [{"x": -14, "y": -12, "dir": 0, "speed": 2, "view": 10}]}],
    }


def write_map(folder, situation):
    path = os.path.join(folder, f"{situation.key}.json")
    with open(path, "w", encoding="utf-8") as stream:
        json.dump(map_document(situation.time_limit_ms), stream)
    return path
