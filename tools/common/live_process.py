"""A page server beside a game (tools/live, or the tournament's watch page),
started under nice so that it never takes the CPU from a real-time game,
and ended with its starter: killed when the starter ends it, and by the
kernel when the starter dies without a word."""

import ctypes
import os
import selectors
import signal
import subprocess
import time

from common.processes import kill_group
from common.stop_hold import StopHold

NICENESS = "10"
ADDRESS_BOUND_S = 60
_PR_SET_PDEATHSIG = 1


class LiveProcessError(Exception):
    pass


def _die_with_parent():
    # Runs in the child before exec; nice and the program it execs keep it.
    ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


class LiveProcess:
    """Starts `words` (`name` in messages) under nice and reads the first `count` lines of its
    standard output (the address first). Its standard error is the
    starter's, so that its complaints reach the user. Start it before any
    thread: the child's set-up runs between fork and exec."""

    def __init__(self, name, words, count=1):
        self.name = name
        with StopHold():
            self.process = subprocess.Popen(["nice", "-n", NICENESS, *words], stdin=subprocess.DEVNULL,
                                            stdout=subprocess.PIPE, start_new_session=True,
                                            preexec_fn=_die_with_parent)
        try:
            self.lines = self._read_lines(count)
        except BaseException:
            self.stop()
            raise

    def _read_lines(self, count):
        lines, rest = [], b""
        deadline = time.monotonic() + ADDRESS_BOUND_S
        with selectors.DefaultSelector() as selector:
            selector.register(self.process.stdout, selectors.EVENT_READ)
            while len(lines) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise LiveProcessError(f"{self.name} printed no address within {ADDRESS_BOUND_S} s")
                if not selector.select(left):
                    continue
                data = os.read(self.process.stdout.fileno(), 4096)
                if not data:
                    raise LiveProcessError(f"{self.name} did not start (exit status {self.process.wait()})")
                *complete, rest = (rest + data).split(b"\n")
                lines += [line.decode("utf-8", "replace") for line in complete]
        return lines[:count]

    def running(self):
        return self.process.poll() is None

    def stop(self):
        """Ends it with everything it started; quiet when it is gone already."""
        kill_group(self.process.pid)
        self.process.wait()
        self.process.stdout.close()
