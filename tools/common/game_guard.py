"""Plays one game's two processes, the server and the controller, under the
game's limits, and says how it ended. The tournament runs it in its own
process, or inside the sandbox's network namespace through sandbox_helper."""

import os
import time
from dataclasses import asdict, dataclass

from common.capped_output import CappedOutput
from common.processes import kill_group, start_activated_server, start_controller

# A controller that is gone while the server still runs: the server may be
# sitting in accept and would wait forever, or may just be writing its
# results after the client's EOF. This long is enough for the second case.
SERVER_GRACE_S = 2.0
# The server has ended the game; a controller sees the connection close and
# should leave by itself. One that lingers is killed after this.
CONTROLLER_GRACE_S = 5.0
POLL_INTERVAL_S = 0.02
OUTPUT_DRAIN_S = 5


@dataclass
class GameEnding:
    """How the processes of a game ended. `ending` is None when both exited by
    themselves (or the controller lingered after the server), "timed out" or
    "controller exited"; exit codes are negative for a signal (-9 where the
    guard killed). `controller_left` says whether the controller had exited by
    itself before the guard killed what was left."""
    ending: object
    server_exit: object
    controller_exit: object
    controller_left: bool = False
    start_error: object = None

    def as_dict(self):
        return asdict(self)


def _guard(server, controller, limit_s, start):
    """Waits for both processes within the limits; the `ending`."""
    deadline = start + limit_s
    controller_gone = server_gone = None
    while True:
        server_code, controller_code = server.poll(), controller.poll()
        now = time.monotonic()
        if server_code is not None and controller_code is not None:
            return None
        if now >= deadline:
            return "timed out"
        if controller_code is not None:
            controller_gone = controller_gone or now
            if now - controller_gone >= SERVER_GRACE_S:
                return "controller exited"
        if server_code is not None:
            server_gone = server_gone or now
            if now - server_gone >= CONTROLLER_GRACE_S:
                return None
        time.sleep(POLL_INTERVAL_S)


def play_processes(server_argv, listener, controller_argv, folder, controller_cwd, limit_s, start):
    """Starts the server on the listener, then the controller, and guards both.
    Their output goes to server.out/.err and controller.out/.err in `folder`.
    Both process groups are killed before this returns, also when the caller
    is stopped by an exception."""
    server = controller = None
    outputs = []
    ending = controller_code = start_error = None
    try:
        server = start_activated_server(server_argv, listener, os.path.join(folder, "server.out"),
                                        os.path.join(folder, "server.err"))
        listener.close()
        try:
            controller = start_controller(controller_argv, controller_cwd)
        except OSError as error:
            start_error = error.strerror
        else:
            outputs = [CappedOutput(controller.stdout, os.path.join(folder, "controller.out")),
                       CappedOutput(controller.stderr, os.path.join(folder, "controller.err"))]
            ending = _guard(server, controller, limit_s, start)
            controller_code = controller.poll()
    finally:
        listener.close()
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
