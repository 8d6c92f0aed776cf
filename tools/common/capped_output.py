"""Copies a child's output stream into a file, up to a cap."""

import _thread
import os

# A few MB each: enough for any useful log, and a chatty or looping controller
# cannot fill the disk of a tournament with hundreds of games.
OUTPUT_CAP_BYTES = 4 * 1024 * 1024


class CappedOutput:
    """Drains a pipe (a file descriptor) on a thread. Bytes past the cap are
    read and dropped, so the writer never blocks on a full pipe; the file ends
    with a note saying how many were dropped. (_thread: the threading module
    costs the sandbox's helper milliseconds of start-up per game.)"""

    def __init__(self, pipe_fd, path, cap=OUTPUT_CAP_BYTES):
        self._pipe = pipe_fd
        self._path = path
        self._cap = cap
        self.dropped = 0
        self._running = _thread.allocate_lock()
        self._running.acquire()
        _thread.start_new_thread(self._copy, ())

    def _copy(self):
        try:
            kept = 0
            with open(self._path, "wb") as out:
                while True:
                    chunk = os.read(self._pipe, 65536)
                    if not chunk:
                        break
                    room = max(self._cap - kept, 0)
                    out.write(chunk[:room])
                    kept += min(room, len(chunk))
                    self.dropped += len(chunk) - min(room, len(chunk))
                if self.dropped:
                    out.write(f"\n[tournament: {self.dropped} more bytes dropped at the cap of {self._cap}]\n"
                              .encode())
            os.close(self._pipe)
        finally:
            self._running.release()

    def finish(self, timeout):
        """Waits for the end of the stream; False when something that escaped
        the process group still holds the pipe open."""
        if self._running.acquire(timeout=timeout):
            self._running.release()
            return True
        return False
