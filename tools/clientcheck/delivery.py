"""When and in what chunks the relay hands the server's bytes to the
controller. Policies:

    plain   as the server wrote them
    pieces  every message cut in two or three pieces, a few ms apart
    joined  held until the server is quiet, then all in one write
    mixed   (real time) some T's in pieces, some held and joined with the
            next message, the I message joined with the first T

Order is always kept; nothing is dropped or changed."""

import random

PIECE_GAP_S = 0.005
JOIN_QUIET_S = 0.03
HOLD_MAX_S = 0.15
POLICIES = ("plain", "pieces", "joined", "mixed")


class Delivery:
    def __init__(self, policy, seed=1):
        if policy not in POLICIES:
            raise ValueError(policy)
        self.policy = policy
        self._rng = random.Random(seed)
        self._queue = []  # [due, bytes, letters of the messages whose last byte is in them]
        self._held = []  # (bytes, letter), for joined and mixed
        self._held_due = None
        self._partial = b""
        self._t_count = 0

    def _push(self, due, data, letters):
        if self._queue:
            due = max(due, self._queue[-1][0])
        self._queue.append([due, data, letters])

    def _pieces(self, message, letter, now, count):
        cuts = sorted(self._rng.sample(range(1, len(message)), min(count - 1, len(message) - 1)))
        bounds = [0] + cuts + [len(message)]
        for index in range(len(bounds) - 1):
            last = index == len(bounds) - 2
            self._push(now + index * PIECE_GAP_S, message[bounds[index]:bounds[index + 1]], [letter] if last else [])

    def _flush_held(self, now):
        if self._held:
            self._push(now, b"".join(data for data, _ in self._held), [letter for _, letter in self._held])
            self._held, self._held_due = [], None

    def add(self, data, now):
        """Bytes read from the server."""
        complete, self._partial = self._split(self._partial + data)
        if self.policy == "plain":
            self._push(now, data, [message[:1].decode("latin-1") for message in complete])
            return
        for message in complete:
            letter = message[:1].decode("latin-1")
            if self.policy == "pieces":
                self._pieces(message, letter, now, self._rng.choice((2, 3)))
            elif self.policy == "joined":
                self._held.append((message, letter))
                self._held_due = now + JOIN_QUIET_S
            else:
                self._mixed(message, letter, now)

    def _mixed(self, message, letter, now):
        if self._held:  # joined with what waits
            self._held.append((message, letter))
            self._flush_held(now)
            return
        number = self._t_count
        self._t_count += letter == "T"
        if letter == "I" or (letter == "T" and number % 4 == 3):
            self._held, self._held_due = [(message, letter)], now + (HOLD_MAX_S if letter == "T" else 5.0)
        elif letter == "T" and number % 4 == 1:
            self._pieces(message, letter, now, 3)
        else:
            self._push(now, message, [letter])

    @staticmethod
    def _split(data):
        """(complete messages with their ';', the rest). The server's
        messages hold no ';' but the one that ends them."""
        parts = data.split(b";")
        return [part + b";" for part in parts[:-1]], parts[-1]

    def due(self, now):
        """Chunks to write now, in order: [(bytes, letters)]."""
        if self._held_due is not None and now >= self._held_due:
            self._flush_held(now)
        ready = []
        while self._queue and self._queue[0][0] <= now:
            _, data, letters = self._queue.pop(0)
            ready.append((data, letters))
        return ready

    def next_due(self):
        times = [entry[0] for entry in self._queue[:1]] + ([self._held_due] if self._held_due is not None else [])
        return min(times) if times else None

    def everything(self):
        """All that waits, at once (the server has closed its side)."""
        self._flush_held(0)
        ready = [(data, letters) for _, data, letters in self._queue]
        self._queue = []
        if self._partial and self.policy != "plain":  # plain passed it on already
            ready.append((self._partial, []))
        self._partial = b""
        return ready
