"""Follows one record file while the server writes it.

One follower per record polls the file every 50 ms, decompresses what is new
(a .gz record grows as a gzip stream without its trailer, so it goes through
zlib.decompressobj; the gzip module would fail), keeps every complete line and
holds back a partial last line. Clients wait on its condition and read the
lines they have not sent yet: one reader of the file, any number of
spectators.

The record is hostile input: the file is opened only if it is a regular file
and not a symbolic link, and a line longer than max_line or a text longer than
max_size stops the follower with a fault instead of filling the memory.
"""

import errno
import os
import stat
import threading
import time
import zlib

POLL_S = 0.05
READ_BYTES = 1 << 20
FOOTER_PREFIX = b'{"type":"footer"'

# What a follower is doing; `ended` and later states are final for a
# generation of the file.
WAITING = "waiting"  # the file does not exist yet, or holds no line
GROWING = "growing"
ENDED = "ended"  # the footer arrived
STALE = "stale"  # no growth for stale_s without a footer
FAULT = "fault"  # the file cannot be followed; `fault` says why


class RecordFollower:
    """Lines of one record as they reach the file (bytes, without newline),
    with a running CRC-32 per line that names the game so far."""

    def __init__(self, path, max_size, max_line, stale_s, clock=time.monotonic):
        self.path = path
        self.max_size = max_size
        self.max_line = max_line
        self.stale_s = stale_s
        self.clock = clock
        self.cond = threading.Condition()
        self.generation = 0
        self._start_generation()

    def _start_generation(self):
        self.lines = []
        self.crcs = []
        self.state = WAITING
        self.fault = None
        self.caught_up = False  # the last poll read to the end of the file
        self._fd = None
        self._identity = None
        self._offset = 0
        self._text_bytes = 0
        self._head = b""
        self._kind = None  # "plain" or "gzip" once two bytes came
        self._inflater = None
        self._pending = []  # the partial last line, in pieces
        self._pending_bytes = 0
        self._last_growth = self.clock()

    # ---- what clients ask, under self.cond ----

    def event_id(self, count):
        """The id of the event that ends with line `count` (1-based)."""
        return "%d.%08x" % (count, self.crcs[count - 1])

    def resume_point(self, last_event_id):
        """The number of lines a client with this Last-Event-ID already has,
        or None when the record no longer starts with them (replaced, or
        another game): the client must start afresh."""
        try:
            count_text, crc_text = last_event_id.split(".")
            count, crc = int(count_text), int(crc_text, 16)
        except ValueError:
            return None
        if count < 1 or count > len(self.lines) or self.crcs[count - 1] != crc:
            return None
        return count

    def has_read(self, count):
        """Whether a resume at line `count` can be decided now."""
        return len(self.lines) >= count or self.caught_up or self.state in (ENDED, STALE, FAULT)

    # ---- the polling thread ----

    def run(self, stop):
        while not stop.is_set():
            self.poll()
            stop.wait(POLL_S)

    def poll(self):
        try:
            grew = self._poll_file()
        except _Fault as e:
            self._set_fault(str(e))
            return
        with self.cond:
            now = self.clock()
            if grew:
                self._last_growth = now
                if self.state == STALE:
                    self.state = GROWING
            elif self.state == GROWING and now - self._last_growth >= self.stale_s:
                self.state = STALE
            self.cond.notify_all()

    def _poll_file(self):
        if self.state == FAULT:
            return False
        if self._fd is None and not self._open():
            return False
        if self._replaced():
            os.close(self._fd)
            with self.cond:
                self.generation += 1
                self._start_generation()
                self.cond.notify_all()
            return self._open() and self._read()
        return self._read()

    def _open(self):
        try:
            fd = os.open(self.path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC)
        except OSError as e:
            if e.errno == errno.ENOENT:
                return False
            if e.errno == errno.ELOOP:
                raise _Fault("the record is a symbolic link") from None
            raise _Fault("cannot open the record: " + e.strerror) from None
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode):
            os.close(fd)
            raise _Fault("the record is not a regular file")
        self._fd = fd
        self._identity = (info.st_dev, info.st_ino)
        return True

    def _replaced(self):
        """A new file under the path, or this one cut shorter: a new game.
        The open descriptor keeps the old inode alive, so a new file always
        has another number."""
        try:
            now = os.stat(self.path, follow_symlinks=False)
        except FileNotFoundError:
            return False
        return (now.st_dev, now.st_ino) != self._identity or os.fstat(self._fd).st_size < self._offset

    def _read(self):
        grew = False
        while True:
            data = os.read(self._fd, READ_BYTES)
            if not data:
                break
            self._offset += len(data)
            grew = True
            self._take(data)
        with self.cond:
            self.caught_up = True
        return grew

    def _take(self, data):
        if self._kind is None:
            # Gzip is told by its first two bytes, as the server and the
            # viewer tell it.
            self._head += data
            if len(self._head) < 2:
                return
            data, self._head = self._head, b""
            self._kind = "gzip" if data[:2] == b"\x1f\x8b" else "plain"
            if self._kind == "gzip":
                self._inflater = zlib.decompressobj(31)
        if self._kind == "plain":
            self._text(data)
            return
        while True:
            try:
                text = self._inflater.decompress(data, READ_BYTES)
            except zlib.error as e:
                raise _Fault("the gzip stream is damaged (%s)" % e) from None
            self._text(text)
            if self._inflater.eof:
                # The end of a gzip member; another may follow.
                data = self._inflater.unused_data
                self._inflater = zlib.decompressobj(31)
                if not data:
                    return
                continue
            data = self._inflater.unconsumed_tail
            # A full output may leave more inside zlib: ask again.
            if not data and len(text) < READ_BYTES:
                return

    def _text(self, text):
        self._text_bytes += len(text)
        if self._text_bytes > self.max_size:
            raise _Fault("the record is larger than the limit of %d bytes" % self.max_size)
        if b"\n" not in text:
            # A long line in many pieces is joined once, when it ends.
            self._pending.append(text)
            self._pending_bytes += len(text)
            if self._pending_bytes > self.max_line:
                raise _Fault(self._line_fault(len(self.lines) + 1, "is longer than the limit"))
            return
        pieces = (b"".join(self._pending) + text).split(b"\n")
        last = pieces.pop()
        self._pending, self._pending_bytes = [last], len(last)
        fault = None
        for k, line in enumerate(pieces):
            if len(line) > self.max_line:
                fault = self._line_fault(len(self.lines) + k + 1, "is longer than the limit")
            elif b"\r" in line:
                # An event stream would split the line there.
                fault = self._line_fault(len(self.lines) + k + 1, "holds a carriage return")
            if fault:
                del pieces[k:]
                break
        if fault is None and len(last) > self.max_line:
            fault = self._line_fault(len(self.lines) + len(pieces) + 1, "is longer than the limit")
        # The lines before a fault still reach the spectators.
        with self.cond:
            crc = self.crcs[-1] if self.crcs else 0
            for line in pieces:
                crc = zlib.crc32(line, crc)
                self.lines.append(line)
                self.crcs.append(crc)
                if line.startswith(FOOTER_PREFIX):
                    self.state = ENDED
            if self.state == WAITING and self.lines:
                self.state = GROWING
        if fault:
            raise _Fault(fault)

    def _line_fault(self, number, what):
        if what.endswith("limit"):
            return "line %d %s of %d bytes" % (number, what, self.max_line)
        return "line %d %s" % (number, what)

    def _set_fault(self, text):
        with self.cond:
            self.state = FAULT
            self.fault = text
            self.cond.notify_all()
        if self._fd is not None:
            os.close(self._fd)
            self._fd = None


class _Fault(Exception):
    pass
