"""Commands that move the rover's controls toward a wanted state.

Each command moves the acceleration state (-1..1) and the turn state (-2..2)
by at most one notch: "a" +1, "b" -1, "l" turn +1, "r" turn -1, or one of
each ("al", "ar", "bl", "br").
"""

import os
import sys

if os.path.dirname(os.path.abspath(__file__)) not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rover_messages import Controls  # noqa: E402

# A reply carries at most this many commands; the rest wait for the next T.
MAX_COMMANDS_PER_REPLY = 2


def _toward(now, wanted):
    return (now < wanted) - (now > wanted)


def clamp(controls):
    """The nearest state the rover can be in."""
    return Controls(max(-1, min(1, controls.accel)), max(-2, min(2, controls.turn)))


def commands_toward(now, wanted):
    """The commands ("a", "bl", ...) that move `now` to `wanted`, one notch of each per command."""
    wanted = clamp(wanted)
    commands = []
    while now != wanted:
        accel, turn = _toward(now.accel, wanted.accel), _toward(now.turn, wanted.turn)
        letters = ("a" if accel > 0 else "b" if accel < 0 else "", "l" if turn > 0 else "r" if turn < 0 else "")
        commands.append("".join(letters))
        now = Controls(now.accel + accel, now.turn + turn)
    return commands


def apply_commands(controls, commands):
    """The state after the server has applied `commands` to `controls`."""
    for command in commands:
        accel = controls.accel + ("a" in command) - ("b" in command)
        turn = controls.turn + ("l" in command) - ("r" in command)
        controls = clamp(Controls(accel, turn))
    return controls


class ControlTracker:
    """Knows which controls the server will hold once it has read every command sent.

    The server reads commands every 50 ms of run time. In lockstep the T after
    a reply always shows it; in real time a slow reply can miss that read, and
    trusting the next T then would send the same notch twice.
    """

    # A reply sent after the T of run time t has been read by t + 150 ms at the latest.
    SETTLE_MS = 150

    def __init__(self):
        self.start_run()

    def start_run(self):
        """A run starts rolling straight, with nothing in flight."""
        self._expected = Controls()
        self._last_sent_ms = -self.SETTLE_MS

    def steer(self, telemetry, wanted):
        """The commands to send after this T to move toward `wanted` (at most two)."""
        if telemetry.time_ms >= self._last_sent_ms + self.SETTLE_MS:
            self._expected = telemetry.controls
        commands = commands_toward(self._expected, wanted)[:MAX_COMMANDS_PER_REPLY]
        if commands:
            self._expected = apply_commands(self._expected, commands)
            self._last_sent_ms = telemetry.time_ms
        return commands
