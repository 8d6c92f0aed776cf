"""Copies a child's output stream into a file, up to a cap."""

import threading

# A few MB each: enough for any useful log, and a chatty or looping controller
# cannot fill the disk of a tournament with hundreds of games.
OUTPUT_CAP_BYTES = 4 * 1024 * 1024


class CappedOutput:
    """Drains a pipe on a thread. Bytes past the cap are read and dropped, so
    the writer never blocks on a full pipe; the file ends with a note saying
    how many were dropped."""

    def __init__(self, pipe, path, cap=OUTPUT_CAP_BYTES):
        self._pipe = pipe
        self._path = path
        self._cap = cap
        self.dropped = 0
        self._thread = threading.Thread(target=self._copy, daemon=True)
        self._thread.start()

    def _copy(self):
        kept = 0
        with open(self._path, "wb") as out:
            while True:
                chunk = self._pipe.read1(65536)
                if not chunk:
                    break
                room = max(self._cap - kept, 0)
                out.write(chunk[:room])
                kept += min(room, len(chunk))
                self.dropped += len(chunk) - min(room, len(chunk))
            if self.dropped:
                out.write(f"\n[tournament: {self.dropped} more bytes dropped at the cap of {self._cap}]\n"
                          .encode())
        self._pipe.close()

    def finish(self, timeout):
        """Waits for the end of the stream; False when something that escaped
        the process group still holds the pipe open."""
        self._thread.join(timeout)
        return not self._thread.is_alive()
