"""A controller without the socket: bytes from the server in, replies out.

Write a bot by subclassing Bot; Session calls it for each message and turns
the controls it wants into exactly one reply per T: the commands (at most
two), then a bare ";". That is what a lockstep server waits for, and it
works in real time alike.
"""

import os
import sys

if os.path.dirname(os.path.abspath(__file__)) not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rover_controls import ControlTracker  # noqa: E402
from rover_messages import Controls, End, Event, Init, MessageReader, ProtocolError, Telemetry  # noqa: E402


class Bot:
    """Override on_telemetry; the other calls are there when you need them."""

    def on_init(self, init):
        """The map's parameters, once before the first run."""

    def on_run_start(self, run):
        """A run begins (run 1, 2, ...); its first T follows."""

    def on_telemetry(self, telemetry):
        """The controls wanted now, as Controls(accel, turn)."""
        return Controls()

    def on_event(self, event):
        """B, C, K or S happened at event.time_ms."""

    def on_end(self, end):
        """The run is over with end.score_ms (lower is better)."""


class Session:
    """Feeds a bot the server's messages and collects its replies."""

    def __init__(self, bot):
        self.bot = bot
        self.runs_finished = 0
        self._reader = MessageReader()
        self._tracker = ControlTracker()
        self._initialized = False
        self._in_run = False

    def on_bytes(self, data):
        """The reply bytes to send for `data` (one reply per T in it); raises ProtocolError."""
        replies = []
        for message in self._reader.feed(data):
            if isinstance(message, Telemetry):
                self._start_run_if_new()
                commands = self._tracker.steer(message, self.bot.on_telemetry(message))
                replies.append("".join(command + ";" for command in commands) + ";")
            elif isinstance(message, Init):
                self._initialized = True
                self.bot.on_init(message)
            elif not self._in_run:
                raise ProtocolError("%s outside a run" % type(message).__name__)
            elif isinstance(message, Event):
                self.bot.on_event(message)
            elif isinstance(message, End):
                self._in_run = False
                self.runs_finished += 1
                self.bot.on_end(message)
        return "".join(replies).encode("ascii")

    def can_end_here(self):
        """Whether the stream may end now: between runs and not inside a message."""
        return not self._in_run and not self._reader.mid_message()

    def _start_run_if_new(self):
        if not self._initialized:
            raise ProtocolError("T before the I message")
        if not self._in_run:
            self._in_run = True
            self._tracker.start_run()
            self.bot.on_run_start(self.runs_finished + 1)
