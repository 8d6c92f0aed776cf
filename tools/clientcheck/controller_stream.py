"""Reads a controller's bytes as the server would and notes every mistake a
controller can make, with the times the relay saw: how long each reply took
after its T reached the controller, replies that never end, replies too many,
newlines, illegal words, floods of commands."""

from common.controller_ending import printable

LEGAL = {b"a", b"b", b"l", b"r", b"al", b"ar", b"bl", b"br"}
MAX_COMMAND = 4
FLOOD = 1000
SAMPLE_BYTES = 24


def _shown(data):
    return printable(data[:SAMPLE_BYTES].decode("latin-1")) + ("..." if len(data) > SAMPLE_BYTES else "")


class ControllerStream:
    """`faults` maps a check's key to the first thing that broke it."""

    def __init__(self, lockstep):
        self.lockstep = lockstep
        self.t_times = []  # when each T's last byte reached the controller
        self.replies = 0
        self.commands = 0
        self.latencies_ms = []
        self.faults = {}
        self._command = bytearray()
        self._in_reply = 0
        self._since_end = None  # commands since the last E, until the next T
        self._measured = 0  # real time: T's whose answer is measured (the latest only)
        self._since_t = bytearray()  # what arrived since the oldest unanswered T (lockstep)

    def _fault(self, key, detail):
        self.faults.setdefault(key, detail)

    def delivered(self, letter, now):
        """A whole message of the server reached the controller."""
        if letter == "T":
            if self._since_end is not None and self._since_end >= FLOOD:
                self._fault("flood", f"{self._since_end} commands arrived between two runs")
            self._since_end = None
            self.t_times.append(now)
        elif letter == "E":
            self._since_end = 0

    def received(self, data, now):
        """Bytes from the controller, read at `now` (kernel time)."""
        for value in data:
            if self.lockstep and self.replies < len(self.t_times):
                self._since_t.append(value)
            if value != ord(";"):
                self._command.append(value)
                if len(self._command) > MAX_COMMAND and not self._has_newline():
                    self._fault("illegal", f"a command longer than {MAX_COMMAND} characters: "
                                           f'"{_shown(bytes(self._command))}"')
                continue
            command, self._command = bytes(self._command), bytearray()
            if command:
                self._command_ended(command, now)
            else:
                self._reply_ended(now)

    def _has_newline(self):
        return b"\n" in self._command or b"\r" in self._command

    def _command_ended(self, command, now):
        self.commands += 1
        self._in_reply += 1
        if self._since_end is not None:
            self._since_end += 1
        if b"\n" in command or b"\r" in command:
            self._fault("newline", f'the command "{_shown(command)}"')
        elif command not in LEGAL:
            self._fault("illegal", f'the command "{_shown(command)}"')
        if self._in_reply == FLOOD:
            self._fault("flood", f"{FLOOD} commands in one reply" if self.lockstep else
                        f"{FLOOD} commands in a row, without a bare ';' between them")
        if not self.lockstep:
            self._measure(now)

    def _reply_ended(self, now):
        self.replies += 1
        self._in_reply = 0
        if not self.lockstep:
            self._measure(now)
        elif self.replies > len(self.t_times):
            self._fault("two_replies", f"reply {self.replies} came when only {len(self.t_times)} T had been sent")
        else:
            self.latencies_ms.append((now - self.t_times[self.replies - 1]) * 1000)
            self._since_t = bytearray()

    def _measure(self, now):
        """Real time: the first command or ';' after the latest T answers it."""
        if self._measured < len(self.t_times):
            self._measured = len(self.t_times)
            self.latencies_ms.append((now - self.t_times[-1]) * 1000)

    def waiting_since(self):
        """Lockstep: when the oldest T without its reply reached the
        controller, or None when every T has one."""
        return self.t_times[self.replies] if self.lockstep and self.replies < len(self.t_times) else None

    def no_reply(self, seconds):
        """Lockstep: a reply that did not come within `seconds`."""
        number = self.replies
        if self._since_t.strip(b";") or self._command:
            if "newline" not in self.faults:
                self._fault("no_bare", f'after T number {number + 1} it sent "{_shown(bytes(self._since_t))}" '
                                       f"but no bare ';' within {seconds:g} s")
        else:
            self._fault("hang", f"no reply to T number {number + 1} within {seconds:g} s")
