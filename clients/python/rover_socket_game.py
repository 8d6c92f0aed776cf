"""A game against the real server, shaped like a library game: RoverEnv's
socket backend. Each game starts `server --lockstep --reply-timeout 0 --seed S
MAP` through the process handling `play` and the tournament use
(tools/common/processes.py: socket activation on a free loopback port), and
every wait on it is bounded.
"""

import os
import shutil
import socket
import sys
import tempfile
import time
from collections import deque

HERE = os.path.dirname(os.path.abspath(__file__))
if HERE not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, HERE)
# tools/, where the shared package "common" lives: beside clients/ in the source tree and when installed.
TOOLS = os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools")
if TOOLS not in sys.path:
    sys.path.append(TOOLS)

from common.locate import find_program  # noqa: E402
from common.processes import kill_group, start_activated_server  # noqa: E402
from common.server_command import server_words  # noqa: E402
from rover_library import GAME_END, RUN_END, TELEMETRY  # noqa: E402
from rover_messages import End, Event, Init, MessageReader, Telemetry, outcome_text  # noqa: E402

# Nothing a lockstep server does between two messages takes this long; a
# server that is silent so long is stuck or gone.
WAIT_BOUND_S = 60
EXIT_BOUND_S = 30


class ServerFailed(RuntimeError):
    """The server ended the game otherwise than by finishing it; the message has its last words."""


def find_server(server=None):
    """The server program: `server`, else ROVER_SERVER, else as play finds it
    (the build beside the source tree, the installed rover-server, PATH)."""
    return find_program("server", path=server or os.environ.get("ROVER_SERVER"))


class StepReport:
    """What a step met, as rover_step_info says it."""
    __slots__ = ("stop", "run", "time_ms", "covered_ms", "outcome", "started", "score_ms", "events")

    def __init__(self):
        self.stop, self.run, self.time_ms, self.covered_ms = 0, 0, 0, 0
        self.outcome, self.started, self.score_ms, self.events = -1, 0, 0, ""


class SocketGame:
    """One game on a server process of its own, played one T at a time."""

    def __init__(self, map_path, seed, server=None, record=None):
        self.seed = seed
        self.folder = tempfile.mkdtemp(prefix="rover-env-")
        argv = server_words(find_server(server), os.path.abspath(map_path), "lockstep", 0, seed=seed,
                            record=None if record is None else os.path.abspath(record))
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            listener.bind(("127.0.0.1", 0))
            listener.listen(1)
            port = listener.getsockname()[1]
            self.process = start_activated_server(argv, listener.fileno(), os.path.join(self.folder, "server.out"),
                                                  os.path.join(self.folder, "server.err"))
        finally:
            listener.close()  # the server holds its own copy
        self.link = None
        try:
            self.link = socket.create_connection(("127.0.0.1", port), timeout=WAIT_BOUND_S)
        except ConnectionRefusedError:
            # A server that fails before accepting (a bad map) closes the
            # listener as it exits: the same failure as an end before the first run.
            self._await_exit()
            self._failed("the server ended the game before its first run")
        self.link.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.reader = MessageReader()
        self.messages = deque()
        self.telemetry = None
        self.init = None
        self.in_run = False  # a T waits for its reply
        self.run = 0
        self.last_time = 0
        self.over = False

    def _next(self):
        """The next message, or None at the end of the stream."""
        while not self.messages:
            try:
                data = self.link.recv(1 << 16)
            except socket.timeout:
                raise ServerFailed(f"the server sent nothing for {WAIT_BOUND_S} s") from None
            except ConnectionResetError:
                data = b""  # a server that ends with our bytes unread resets the connection
            if not data:
                return None
            self.messages.extend(self.reader.feed(data))
        return self.messages.popleft()

    def _advance(self, report):
        """Reads to the next T or E, as rover_step does."""
        ending = None
        while True:
            message = self._next()
            if message is None:
                if self.run == 0:
                    self._failed("the server ended the game before its first run")
                if self.in_run:
                    self._failed("the server closed the connection inside a run")
                self.over = True
                report.stop = GAME_END
                return report
            if isinstance(message, Init):
                self.init = message
            elif isinstance(message, Telemetry):
                if not self.in_run:
                    self.run += 1
                    self.last_time = 0
                self.telemetry = message
                self.in_run = True
                report.stop, report.run, report.time_ms = TELEMETRY, self.run, message.time_ms
                report.covered_ms = message.time_ms - self.last_time
                self.last_time = message.time_ms
                return report
            elif isinstance(message, Event):
                report.events += message.kind
                ending = message.kind if message.kind != "B" else ending
            elif isinstance(message, End):
                report.events += "E"
                report.stop, report.run, report.time_ms = RUN_END, self.run, message.time_ms
                report.covered_ms = message.time_ms - self.last_time
                report.outcome, report.score_ms = outcome_text(ending), message.score_ms
                self.in_run = False
                return report

    def next_run(self):
        """To the first T of the next run, playing out a run in play with empty replies."""
        while self.in_run:
            self.step_reply(b";")
        report = StepReport()
        if self.over:
            report.stop = GAME_END
            return report
        self._advance(report)
        report.started = 1 if report.stop == TELEMETRY else 0
        if report.stop == GAME_END:
            self._finish()
        return report

    def step_reply(self, reply):
        """Sends the reply to the latest T and reads on to the next T or the run's end."""
        if not self.in_run:
            raise RuntimeError("no telemetry awaits a reply: start the next run first")
        self.link.sendall(reply)
        return self._advance(StepReport())

    def _finish(self):
        try:
            self.process_wait()
        finally:
            self.close()

    def process_wait(self):
        """The server's exit after the game: status 0, or ServerFailed with its last line."""
        if not self._await_exit():
            self._failed(f"the server did not exit within {EXIT_BOUND_S} s of the game's end")
        if self.process.returncode != 0:
            self._failed(f"the server exited with status {self.process.returncode}")

    def _await_exit(self):
        """Whether the server exited within EXIT_BOUND_S."""
        deadline = time.monotonic() + EXIT_BOUND_S
        while self.process.poll() is None:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.005)
        return True

    def _failed(self, what):
        lines = self._error_lines()
        self.close()
        raise ServerFailed(what + (": " + lines[-1] if lines else ""))

    def _error_lines(self):
        try:
            with open(os.path.join(self.folder, "server.err"), encoding="utf-8", errors="replace") as err:
                return err.read().splitlines()
        except OSError:
            return []

    def close(self):
        if getattr(self, "link", None) is not None:
            self.link.close()
            self.link = None
        if getattr(self, "process", None) is not None:
            if self.process.poll() is None:
                kill_group(self.process.pid)
                self.process.wait()
            self.process = None
        if getattr(self, "folder", None) is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def __del__(self):
        self.close()
