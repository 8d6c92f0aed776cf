"""Builds a map from its settings and a seed: the rovers' starts, the craters
and boulders, and each run's Martians, all kept apart from one another."""

import math
from dataclasses import dataclass, field

from layouts import HOME_RADIUS, Rng, make_layout

ROVER_PARAMS = {"maxSpeed": 10, "accel": 3, "brake": 5, "turn": 30, "hardTurn": 90,
                "rotAccel": 360, "frontView": 30, "rearView": 6}
MARTIAN_PARAMS = {"maxSpeed": 3, "accel": 1, "brake": 2, "turn": 30, "hardTurn": 60,
                  "rotAccel": 120, "frontView": 10, "rearView": 5}
ATTEMPTS_PER_OBJECT = 2000


class MapGenError(Exception):
    """The settings cannot be met (too many objects for the space, say)."""


@dataclass
class Settings:
    seed: int = 1
    size: float = 100.0
    time_limit_ms: int = 0              # 0: from the size, time enough to cross the map twice
    runs: int = 3
    craters: int = 10
    boulders: int = 10
    martians: int = 0                   # per run
    spacing: float = 2.0                # the least gap between two objects' edges, metres
    layout: str = "scatter"
    crater_radius: tuple = (1.0, 3.0)
    boulder_radius: tuple = (1.0, 2.5)
    martian_speed: tuple = (0.5, 2.0)   # starting speeds
    martian_view: tuple = (3.0, 8.0)
    rover: dict = field(default_factory=dict)          # overrides of ROVER_PARAMS
    martian_params: dict = field(default_factory=dict)  # overrides of MARTIAN_PARAMS


def _round(value):
    value = round(value, 2)
    return 0.0 if value == 0 else value  # never "-0.0"


def _gap(a, b):
    """The distance between the edges of two circles (x, y, r)."""
    return math.hypot(a[0] - b[0], a[1] - b[1]) - a[2] - b[2]


def _starts(rng, s, half):
    # Spread around home, so that the runs come from every side.
    starts = []
    first = rng.uniform(-math.pi, math.pi)
    for k in range(s.runs):
        angle = first + (k + rng.uniform(-0.3, 0.3)) * 2 * math.pi / s.runs
        distance = rng.uniform(0.6, 0.9) * (half - 3)
        heading = rng.uniform(-180, 180)
        starts.append((_round(distance * math.cos(angle)), _round(distance * math.sin(angle)), round(heading)))
    return starts


def _objects(rng, s, half, starts):
    kinds = ["c"] * s.craters + ["b"] * s.boulders
    rng.shuffle(kinds)
    layout = make_layout(s.layout, rng, half, s.spacing, len(kinds))
    home = (0.0, 0.0, HOME_RADIUS)
    placed = []
    for kind in kinds:
        low, high = s.crater_radius if kind == "c" else s.boulder_radius
        radius = _round(rng.uniform(low, high))
        for _ in range(ATTEMPTS_PER_OBJECT):
            x, y = layout.propose(radius)
            circle = (_round(x), _round(y), radius)
            if (max(abs(circle[0]), abs(circle[1])) + radius <= half - 1
                    and _gap(circle, home) >= max(s.spacing, 1.0)
                    and all(_gap(circle, (sx, sy, 0.0)) >= 4.0 for sx, sy, _ in starts)
                    and all(_gap(circle, other) >= s.spacing for _, other in placed)):
                placed.append((kind, circle))
                break
        else:
            raise MapGenError(f"could not place {s.craters} craters and {s.boulders} boulders {s.spacing:g} m "
                              f"apart on a {s.size:g} m map ({s.layout}); use a larger --size, fewer objects "
                              f"or a smaller --spacing")
    return placed


def _martians(rng, s, half, start, objects):
    martians = []
    for _ in range(s.martians):
        for _ in range(ATTEMPTS_PER_OBJECT):
            reach = half - 3
            x, y = _round(rng.uniform(-reach, reach)), _round(rng.uniform(-reach, reach))
            spot = (x, y, 0.5)
            # Away from home, clear of every object, and not on top of the rover at the start.
            if (math.hypot(x, y) >= HOME_RADIUS + 3
                    and math.hypot(x - start[0], y - start[1]) >= 0.25 * half
                    and all(_gap(spot, circle) >= 1.0 for _, circle in objects)):
                break
        else:
            raise MapGenError("no room for the Martians; use a larger --size or fewer objects")
        martians.append({"x": x, "y": y, "dir": round(rng.uniform(-180, 180)),
                         "speed": _round(rng.uniform(*s.martian_speed)),
                         "view": _round(rng.uniform(*s.martian_view))})
    return martians


def generate(s):
    """The map as a dict, in the member order the map files use."""
    half = s.size / 2
    rng = Rng(s.seed)
    starts = _starts(rng, s, half)
    objects = _objects(rng, s, half, starts)
    # Time to drive twice across the map at half the top speed, in whole seconds.
    rover = {**ROVER_PARAMS, **s.rover}
    limit = s.time_limit_ms or 1000 * math.ceil(2 * s.size / (0.5 * rover["maxSpeed"]))
    runs = [{"vehicle": {"x": x, "y": y, "dir": heading},
             "enemies": _martians(rng, s, half, (x, y), objects)} for x, y, heading in starts]
    return {
        "size": s.size,
        "timeLimit": limit,
        "vehicleParams": rover,
        "martianParams": {**MARTIAN_PARAMS, **s.martian_params},
        "craters": [{"x": c[0], "y": c[1], "r": c[2]} for kind, c in objects if kind == "c"],
        "boulders": [{"x": c[0], "y": c[1], "r": c[2]} for kind, c in objects if kind == "b"],
        "runs": runs,
    }
