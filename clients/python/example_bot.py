#!/usr/bin/env python3
"""An example bot: drives straight home, slowing down to turn and to arrive.

    python3 example_bot.py [host] [port]       (defaults: localhost 17676)

It knows nothing of boulders, craters or Martians, so it gets home on open
ground (maps/open_plain.json) and is a starting point, not a contender. The
kit does the protocol; a bot only says which controls it wants after each T.
Prints one line per run and exits 0 when the server ends the game.
"""

import math
import sys

import rover_client
from rover_messages import Controls, outcome_text
from rover_session import Bot


def angle_difference(to, heading):
    """to - heading in degrees, brought into [-180, 180)."""
    return (to - heading + 180.0) % 360.0 - 180.0


class HomingBot(Bot):
    def __init__(self):
        self.max_speed = 10.0
        self.run = 0
        self.ending = None

    def on_init(self, init):
        self.max_speed = init.max_speed
        print("map %g x %g, time limit %d ms, top speed %g" %
              (init.size_x, init.size_y, init.time_limit_ms, init.max_speed), flush=True)

    def on_run_start(self, run):
        self.run, self.ending = run, None

    def on_telemetry(self, t):
        error = angle_difference(math.degrees(math.atan2(-t.y, -t.x)), t.heading)
        # Hard turns for large errors, gentle ones to trim, none when on course.
        if abs(error) > 20.0:
            turn = 2 if error > 0 else -2
        elif abs(error) > 3.0:
            turn = 1 if error > 0 else -1
        else:
            turn = 0
        # Slow down for sharp turns: the circle a turn drives shrinks with the speed.
        target = self.max_speed * (0.6 if abs(error) < 30.0 else 0.2)
        if t.speed < target - 0.3:
            accel = 1
        elif t.speed > target + 0.5:
            accel = -1
        else:
            accel = 0
        return Controls(accel, turn)

    def on_event(self, event):
        if event.kind != "B":
            self.ending = event.kind

    def on_end(self, end):
        print("run %d: %s; time = %d ms; score = %d" % (self.run, outcome_text(self.ending), end.time_ms, end.score_ms),
              flush=True)


if __name__ == "__main__":
    sys.exit(rover_client.run(HomingBot(), sys.argv[1:]))
