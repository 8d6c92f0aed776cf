"""The training environment's observation: a T's fields as one flat row of
numbers, the layout librover writes (src/lib/rover.h):

    time_ms, accel, turn, x, y, heading, speed, object count,
    then per object: kind (1 boulder, 2 crater, 3 home, 4 Martian), x, y, radius, heading, speed

for the first max_objects objects of the T, in its order, and zeros in the
slots left over. Standard library only.
"""

FIXED_SIZE = 8
OBJECT_SIZE = 6
KIND_CODES = {"b": 1, "c": 2, "h": 3, "m": 4}


def observation_size(max_objects):
    """The numbers of one row."""
    return FIXED_SIZE + OBJECT_SIZE * max_objects


def observation_row(telemetry, row, max_objects):
    """Fills `row` (a list or an array of doubles of observation_size(max_objects)) from a parsed T."""
    values = [telemetry.time_ms, telemetry.controls.accel, telemetry.controls.turn, telemetry.x, telemetry.y,
              telemetry.heading, telemetry.speed, len(telemetry.objects)]
    for seen in telemetry.objects[:max_objects]:
        values += (KIND_CODES[seen.kind], seen.x, seen.y, seen.radius, seen.heading, seen.speed)
    values += [0.0] * (len(row) - len(values))
    for at, value in enumerate(values):
        row[at] = value
