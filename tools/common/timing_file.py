"""Reads the server's timing file (server --timing FILE, docs/timing.md):
per run, how long the controller's replies took (lockstep) or how late
telemetry left against its schedule (real time), as histograms over fixed
buckets, so that games merge exactly. The file may come from where a
controller could write: what is used is checked, and a file that does not
conform counts as none. Fields the tournament does not use are left alone."""

import json
import math

TIMING_FORMAT = "rover-timing"
MAX_TIMING_BYTES = 4 * 1024 * 1024
EDGES_FIELD = "bucket_edges_us"
# Each mode's histogram in a run entry, and the run's counts beside it.
HISTOGRAM_FIELD = {"lockstep": "reply_us", "realtime": "telemetry_late_us"}
COUNT_FIELDS = {"lockstep": ("replies", "late_replies"), "realtime": ("commands", "polls_with_input")}


class NotTiming(Exception):
    """What is wrong with a timing file."""


class Histogram:
    """Counts over fixed buckets in whole microseconds: counts[0] holds the
    values below edges[0], counts[i] those from edges[i - 1] up to (not
    including) edges[i], the last count those from the last edge up."""

    def __init__(self, edges, counts=None, maximum=0):
        self.edges = tuple(edges)
        self.counts = list(counts) if counts is not None else [0] * (len(self.edges) + 1)
        self.maximum = maximum

    @property
    def total(self):
        return sum(self.counts)

    def merge(self, other):
        if other.edges != self.edges:
            raise NotTiming("its buckets differ from the other games'")
        self.counts = [a + b for a, b in zip(self.counts, other.counts)]
        self.maximum = max(self.maximum, other.maximum)

    def quantile(self, fraction):
        """The upper edge of the bucket that holds the value of rank
        ceil(fraction x total), never above the maximum; None when empty."""
        if not self.total:
            return None
        rank, seen = max(1, math.ceil(fraction * self.total)), 0
        for index, count in enumerate(self.counts):
            seen += count
            if seen >= rank:
                return min(self.edges[index], self.maximum) if index < len(self.edges) else self.maximum
        return self.maximum


def _count(value, where):
    if isinstance(value, bool) or not isinstance(value, int) or value < 0:
        raise NotTiming(f"{where} is not a count")
    return value


def _histogram(value, edges, where):
    if not isinstance(value, dict) or not {"counts", "max"} <= set(value):
        raise NotTiming(f"{where} is not a histogram")
    counts = value["counts"]
    if not isinstance(counts, list) or len(counts) != len(edges) + 1:
        raise NotTiming(f"{where}.counts does not have one count per bucket")
    counts = [_count(c, f"{where}.counts") for c in counts]
    maximum = _count(value["max"], f"{where}.max")
    top = next((index for index in range(len(counts) - 1, -1, -1) if counts[index]), None)
    # The maximum lies in the highest bucket that counts anything.
    if top is None and maximum or top is not None and not (
            (edges[top - 1] if top else 0) <= maximum < (edges[top] if top < len(edges) else math.inf)):
        raise NotTiming(f"{where}.max does not match its counts")
    return Histogram(edges, counts, maximum)


def parse_timing(data, mode):
    """The per-game histogram of the mode's measure (replies in lockstep,
    telemetry lateness in real time), all runs merged; raises NotTiming."""
    if len(data) > MAX_TIMING_BYTES:
        raise NotTiming("is too large")
    try:
        document = json.loads(data.decode("utf-8"))
    except (UnicodeDecodeError, ValueError, RecursionError):
        raise NotTiming("is not JSON") from None
    if not isinstance(document, dict) or document.get("format") != TIMING_FORMAT or document.get("version") != 1:
        raise NotTiming(f"is not a version 1 {TIMING_FORMAT} file")
    if document.get("mode") != mode:
        raise NotTiming(f"is not of a {mode} game")
    edges = document.get(EDGES_FIELD)
    if not isinstance(edges, list) or not edges or any(
            isinstance(e, bool) or not isinstance(e, int) or e <= 0 for e in edges) or edges != sorted(set(edges)):
        raise NotTiming(f"{EDGES_FIELD} is not a rising list of positive integers")
    runs = document.get("runs")
    if not isinstance(runs, list):
        raise NotTiming("runs is not a list")
    merged = Histogram(edges)
    for index, run in enumerate(runs):
        where = f"runs[{index}]"
        if not isinstance(run, dict) or run.get("number") != index + 1:
            raise NotTiming(f"{where} is not run {index + 1}")
        for name in COUNT_FIELDS[mode]:
            _count(run.get(name), f"{where}.{name}")
        merged.merge(_histogram(run.get(HISTOGRAM_FIELD[mode]), edges, f"{where}.{HISTOGRAM_FIELD[mode]}"))
    return merged


def read_timing(path, mode):
    """The game's merged histogram, or None when the file is missing or
    does not conform."""
    try:
        with open(path, "rb") as stream:
            return parse_timing(stream.read(MAX_TIMING_BYTES + 1), mode)
    except (OSError, NotTiming):
        return None
