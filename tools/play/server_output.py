"""Follows the server's output files while a game runs and prints what a
player wants to see: each "Round" line once, as written, and the server's
standard error (its failure line, and with --verbose the reason and the late
replies). The server writes into files, so it never waits for this reader."""

import os
import sys
import threading

POLL_S = 0.05
# A controller that is late all game long would flood the terminal.
MAX_LATE_LINES = 20


class _Lines:
    """The complete lines a growing file has gained since the last call."""

    def __init__(self, path):
        self._path = path
        self._offset = 0
        self._rest = b""

    def new(self, final=False):
        try:
            with open(self._path, "rb") as stream:
                stream.seek(self._offset)
                data = stream.read()
        except FileNotFoundError:
            return []
        self._offset += len(data)
        *lines, self._rest = (self._rest + data).split(b"\n")
        if final and self._rest:
            lines, self._rest = lines + [self._rest], b""
        return [line.decode("utf-8", "replace") for line in lines]


class ServerOutput:
    """Prints from server.out and server.err in `folder` on a thread until
    finish(). Keeps the standard error's lines for the verdict."""

    def __init__(self, folder, out=sys.stdout):
        self._files = (_Lines(os.path.join(folder, "server.out")), _Lines(os.path.join(folder, "server.err")))
        self._out = out
        self.errors = []
        self.late_lines = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._follow, daemon=True)
        self._thread.start()

    def _show(self, final=False):
        output, errors = (lines.new(final) for lines in self._files)
        for line in output:
            if line.startswith("Round "):
                print(line, file=self._out, flush=True)
        for line in errors:
            self.errors.append(line)
            late = line.startswith("server: reply to T ")
            self.late_lines += late
            if not late or self.late_lines <= MAX_LATE_LINES:
                print(line, file=self._out, flush=True)
            elif self.late_lines == MAX_LATE_LINES + 1:
                print("play: more late replies follow, not shown", file=self._out, flush=True)

    def _follow(self):
        while not self._stop.wait(POLL_S):
            self._show()

    def finish(self):
        """Stops following and prints what is left."""
        self._stop.set()
        self._thread.join()
        self._show(final=True)
