"""Plays one game's two processes, the server and the controller, under the
game's limits, and says how it ended. The tournament runs it in its own
process, or inside the sandbox's network namespace through sandbox_helper
(hence only light imports here)."""

import os
import select
import time

from common.capped_output import CappedOutput
from common.processes import kill_group, start_activated_server, start_controller
from common.stop_hold import StopHold

# A controller that is gone while the server still runs: the server may be
# sitting in accept and would wait forever, or may just be writing its
# results after the client's EOF. This long is enough for the second case.
SERVER_GRACE_S = 2.0
# The server has ended the game; a controller sees the connection close and
# should leave by itself. One that lingers is killed after this.
CONTROLLER_GRACE_S = 5.0
# Only a bound: the guard wakes up as soon as a process exits.
POLL_INTERVAL_S = 1.0
OUTPUT_DRAIN_S = 5
ENDINGS = (None, "timed out", "controller exited")


class GameEnding:
    """How the processes of a game ended. `ending` is None when both exited by
    themselves (or the controller lingered after the server), "timed out" or
    "controller exited"; exit codes are negative for a signal (-9 where the
    guard killed). `controller_left` says whether the controller had exited by
    itself before the guard killed what was left."""

    def __init__(self, ending, server_exit, controller_exit, controller_left=False, start_error=None):
        self.ending = ending
        self.server_exit = server_exit
        self.controller_exit = controller_exit
        self.controller_left = controller_left
        self.start_error = start_error

    def to_line(self):
        """One line of words for the sandbox's helper to print; the start
        error, which may hold spaces, last."""
        words = [str(ENDINGS.index(self.ending)), str(self.server_exit), str(self.controller_exit),
                 str(int(self.controller_left))]
        return " ".join(words + ([self.start_error] if self.start_error is not None else []))

    @staticmethod
    def from_line(line):
        """The ending to_line wrote; ValueError (or IndexError) for anything else."""
        words = line.split(" ", 4)
        codes = [None if word == "None" else int(word) for word in words[1:3]]
        if words[3] not in ("0", "1"):
            raise ValueError(f"not an ending: {line!r}")
        return GameEnding(ENDINGS[int(words[0])], codes[0], codes[1], words[3] == "1",
                          words[4] if len(words) > 4 else None)


class _ExitWatch:
    """Wakes up when a process exits (a pidfd per process): no polling
    interval between a game's end and its account."""

    def __init__(self, processes):
        self._poller = select.poll()
        self._fds = {}
        for process in processes:
            fd = os.pidfd_open(process.pid)
            self._fds[process.pid] = fd
            self._poller.register(fd, select.POLLIN)

    def forget(self, process):
        """A process whose exit was seen: its pidfd would stay readable."""
        fd = self._fds.pop(process.pid, None)
        if fd is not None:
            self._poller.unregister(fd)
            os.close(fd)

    def wait(self, seconds):
        self._poller.poll(max(0, min(seconds, POLL_INTERVAL_S)) * 1000)

    def close(self):
        for fd in self._fds.values():
            os.close(fd)


def _guard(server, controller, limit_s, start):
    """Waits for both processes within the limits; the `ending`."""
    watch = _ExitWatch((server, controller))
    try:
        return _watch(server, controller, start + limit_s, watch)
    finally:
        watch.close()


def _watch(server, controller, deadline, watch):
    controller_gone = server_gone = None
    while True:
        server_code, controller_code = server.poll(), controller.poll()
        now = time.monotonic()
        if server_code is not None and controller_code is not None:
            return None
        if now >= deadline:
            return "timed out"
        wake = deadline
        if controller_code is not None:
            watch.forget(controller)
            controller_gone = controller_gone or now
            if now - controller_gone >= SERVER_GRACE_S:
                return "controller exited"
            wake = min(wake, controller_gone + SERVER_GRACE_S)
        if server_code is not None:
            watch.forget(server)
            server_gone = server_gone or now
            if now - server_gone >= CONTROLLER_GRACE_S:
                return None
            wake = min(wake, server_gone + CONTROLLER_GRACE_S)
        watch.wait(wake - now)


def play_processes(server_argv, listener_fd, controller_argv, folder, controller_cwd, limit_s, start):
    """Starts the server on the listener (closed here), then the controller,
    and guards both. Their output goes to server.out/.err and
    controller.out/.err in `folder`. Both process groups are killed before
    this returns, also when the caller is stopped by an exception."""
    server = controller = None
    outputs = []
    ending = controller_code = start_error = None
    try:
        with StopHold():
            server = start_activated_server(server_argv, listener_fd, os.path.join(folder, "server.out"),
                                            os.path.join(folder, "server.err"))
        os.close(listener_fd)
        listener_fd = None
        try:
            with StopHold():
                controller = start_controller(controller_argv, controller_cwd)
        except OSError as error:
            start_error = error.strerror
        else:
            outputs = [CappedOutput(controller.stdout, os.path.join(folder, "controller.out")),
                       CappedOutput(controller.stderr, os.path.join(folder, "controller.err"))]
            ending = _guard(server, controller, limit_s, start)
            controller_code = controller.poll()
    finally:
        if listener_fd is not None:
            os.close(listener_fd)
        # Both groups go, also after a normal end: whatever a controller left
        # running must not outlive its game. Also when this runner is stopped.
        running = [process for process in (server, controller) if process is not None]
        for process in running:
            kill_group(process.pid)
        for process in running:
            process.wait()
        for output in outputs:
            output.finish(timeout=OUTPUT_DRAIN_S)
    return GameEnding(ending, server.returncode, controller.returncode if controller else None,
                      controller_code is not None, start_error)
