"""The server's messages, typed, and the reader that cuts them out of the byte stream.

    reader = MessageReader()
    for message in reader.feed(data):      # data: bytes in any split
        if isinstance(message, Telemetry): ...

Standard library only; other modules (the kit's client, a training
environment) import this one as `rover_messages`.
"""

import re
from dataclasses import dataclass, field

# Telemetry's control characters; the index minus the offset is the state.
ACCEL_CHARS = "b-a"   # brake -1, roll 0, accelerate 1
TURN_CHARS = "Rr-lL"  # hard right -2 .. hard left 2

# The wire writes reals with a fixed number of decimals, or inf/-inf/nan for
# values a map can produce but no sane map does; times are whole numbers.
_REAL = re.compile(r"-?(?:[0-9]+(?:\.[0-9]+)?|inf)|nan")
_TIME = re.compile(r"[0-9]+")


class ProtocolError(Exception):
    """The server's bytes broke the message grammar."""


@dataclass(frozen=True, slots=True)
class Controls:
    """The rover's control state: accel -1..1, turn -2..2 (positive is left)."""
    accel: int = 0
    turn: int = 0

    @staticmethod
    def from_text(text):
        """The state a telemetry control field such as "al" or "-R" shows."""
        if len(text) != 2 or text[0] not in ACCEL_CHARS or text[1] not in TURN_CHARS:
            raise ProtocolError("bad control field %r" % text)
        return Controls(ACCEL_CHARS.index(text[0]) - 1, TURN_CHARS.index(text[1]) - 2)


@dataclass(slots=True)
class Init:
    """I: sent once, before the first run."""
    size_x: float          # side of the square map, which spans -size/2 .. size/2
    size_y: float
    time_limit_ms: int
    rear_view: float
    front_view: float
    max_speed: float
    turn: float            # degrees per second
    hard_turn: float


@dataclass(slots=True)
class SeenObject:
    """One object of a T: kind "b" boulder, "c" crater, "h" home (x, y, radius)
    or "m" Martian (x, y, heading, speed)."""
    kind: str
    x: float
    y: float
    radius: float = 0.0
    heading: float = 0.0
    speed: float = 0.0


@dataclass(slots=True)
class Telemetry:
    """T: the rover and what it sees, every 100 ms of a run and after a bounce."""
    time_ms: int
    control: str           # as the wire writes it, e.g. "a-"
    controls: Controls     # the same as states
    x: float
    y: float
    heading: float         # degrees counterclockwise from +x, in [-180, 180]
    speed: float
    objects: list = field(default_factory=list)


@dataclass(slots=True)
class Event:
    """B (bounce), C (crater), K (killed), S (home): kind is the letter."""
    kind: str
    time_ms: int


@dataclass(slots=True)
class End:
    """E: the run is over."""
    time_ms: int
    score_ms: int


def outcome_text(ending):
    """The server's words for how a run ended, from the event that ended it ("S", "C", "K"; None: time limit)."""
    outcomes = {"S": "reached home", "C": "crashed into crater", "K": "killed by Martian"}
    return outcomes.get(ending, "time limit exceeded")


def _real(word):
    if not _REAL.fullmatch(word):
        raise ProtocolError("bad number %r" % word)
    return float(word)


def _time(word):
    if not _TIME.fullmatch(word):
        raise ProtocolError("bad time %r" % word)
    return int(word)


def _count(words, letter, expected):
    if len(words) != expected:
        raise ProtocolError("%s message with %d fields instead of %d" % (letter, len(words), expected))


def _objects(words):
    objects, at = [], 0
    while at < len(words):
        kind = words[at]
        width = 4 if kind == "m" else 3
        if len(kind) != 1 or kind not in "bchm":
            raise ProtocolError("unknown object kind %r" % kind)
        if at + width >= len(words):
            raise ProtocolError("object %r cut short" % kind)
        x, y, third = _real(words[at + 1]), _real(words[at + 2]), _real(words[at + 3])
        if kind == "m":
            objects.append(SeenObject(kind, x, y, heading=third, speed=_real(words[at + 4])))
        else:
            objects.append(SeenObject(kind, x, y, radius=third))
        at += width + 1
    return objects


def parse_message(text):
    """One message from its text without the ';' ("T 0 -- 1.000 ..."); raises ProtocolError."""
    words = text.split(" ")
    if words and words[-1] == "":
        words.pop()  # every field is followed by one space
    if not words or "" in words:
        raise ProtocolError("malformed message %r" % text[:60])
    letter, rest = words[0], words[1:]
    if letter == "T":
        if len(rest) < 6:
            raise ProtocolError("T message with %d fields" % len(rest))
        return Telemetry(_time(rest[0]), rest[1], Controls.from_text(rest[1]), _real(rest[2]), _real(rest[3]),
                         _real(rest[4]), _real(rest[5]), _objects(rest[6:]))
    if letter in ("B", "C", "K", "S"):
        _count(rest, letter, 1)
        return Event(letter, _time(rest[0]))
    if letter == "E":
        _count(rest, letter, 2)
        return End(_time(rest[0]), _time(rest[1]))
    if letter == "I":
        _count(rest, letter, 8)
        return Init(_real(rest[0]), _real(rest[1]), _time(rest[2]), *(_real(word) for word in rest[3:]))
    raise ProtocolError("unknown message letter %r" % letter[:20])


class MessageReader:
    """Buffers the server's bytes and yields each message once its ';' has arrived."""

    # An unfinished message longer than this is garbage, not something to buffer for ever.
    MAX_MESSAGE_BYTES = 1 << 20

    def __init__(self):
        self._pending = bytearray()

    def feed(self, data):
        """The complete messages that `data` finishes, in order; raises ProtocolError."""
        self._pending += data
        texts = []
        if b";" in data:
            *texts, rest = self._pending.split(b";")
            self._pending = bytearray(rest)
        if len(self._pending) > self.MAX_MESSAGE_BYTES:
            raise ProtocolError("message longer than %d bytes" % self.MAX_MESSAGE_BYTES)
        return [parse_message(text.decode("latin-1")) for text in texts]

    def mid_message(self):
        """True while bytes of an unfinished message wait (the stream must not end here)."""
        return self._pending.strip(b" ") != b""
