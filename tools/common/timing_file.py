"""Reads the server's timing file (server --timing FILE): per run, how long
the controller's replies took (lockstep) or how late telemetry left against
its schedule (real time), as histograms over fixed buckets, so that games
merge exactly. The file may come from where a controller could write:
everything is checked, and a file that does not conform counts as none."""

import json
import math

TIMING_FORMAT = "rover-timing"
MAX_TIMING_BYTES = 4 * 1024 * 1024
# Each mode's histogram in a run entry, and the run's other counts.
HISTOGRAM_FIELD = {"lockstep": "reply_us", "realtime": "telemetry_late_us"}
COUNT_FIELDS = {"lockstep": ("replies", "late_replies"), "realtime": ("commands", "polls_with_input")}


class NotTiming(Exception):
    """What is wrong with a timing file."""


class Histogram:
    """Counts over fixed buckets: counts[i] holds the values up to
    bounds[i] (and above bounds[i - 1]); the last count those above every
    bound. Values are integer microseconds."""

    def __init__(self, bounds, counts=None, maximum=None):
        self.bounds = tuple(bounds)
        self.counts = list(counts) if counts is not None else [0] * (len(self.bounds) + 1)
        self.maximum = maximum

    @property
    def total(self):
        return sum(self.counts)

    def merge(self, other):
        if other.bounds != self.bounds:
            raise NotTiming("its buckets differ from the other games'")
        self.counts = [a + b for a, b in zip(self.counts, other.counts)]
        if other.maximum is not None:
            self.maximum = other.maximum if self.maximum is None else max(self.maximum, other.maximum)

    def quantile(self, fraction):
        """The upper bound of the bucket that holds the value of rank
        ceil(fraction x total) (never above the maximum); None when empty."""
        if not self.total:
            return None
        rank, seen = max(1, math.ceil(fraction * self.total)), 0
        for index, count in enumerate(self.counts):
            seen += count
            if seen >= rank:
                bound = self.bounds[index] if index < len(self.bounds) else self.maximum
                return bound if self.maximum is None else min(bound, self.maximum)
        return self.maximum


def _count(value, where):
    if isinstance(value, bool) or not isinstance(value, int) or value < 0:
        raise NotTiming(f"{where} is not a count")
    return value


def _histogram(value, bounds, where):
    if not isinstance(value, dict) or set(value) != {"counts", "max_us"}:
        raise NotTiming(f"{where} is not a histogram")
    counts = value["counts"]
    if not isinstance(counts, list) or len(counts) != len(bounds) + 1:
        raise NotTiming(f"{where}.counts does not have one count per bucket")
    counts = [_count(c, f"{where}.counts") for c in counts]
    maximum = None if value["max_us"] is None else _count(value["max_us"], f"{where}.max_us")
    if (maximum is None) != (sum(counts) == 0):
        raise NotTiming(f"{where}.max_us does not match its counts")
    return Histogram(bounds, counts, maximum)


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
    bounds = document.get("bucket_bounds_us")
    if not isinstance(bounds, list) or not bounds or any(
            isinstance(b, bool) or not isinstance(b, int) or b <= 0 for b in bounds) or bounds != sorted(set(bounds)):
        raise NotTiming("bucket_bounds_us is not a rising list of positive integers")
    runs = document.get("runs")
    if not isinstance(runs, list):
        raise NotTiming("runs is not a list")
    merged = Histogram(bounds)
    for index, run in enumerate(runs):
        where = f"runs[{index}]"
        if not isinstance(run, dict) or run.get("number") != index + 1:
            raise NotTiming(f"{where} is not run {index + 1}")
        for name in COUNT_FIELDS[mode]:
            _count(run.get(name), f"{where}.{name}")
        merged.merge(_histogram(run.get(HISTOGRAM_FIELD[mode]), bounds, f"{where}.{HISTOGRAM_FIELD[mode]}"))
    return merged


def read_timing(path, mode):
    """The game's merged histogram, or None when the file is missing or
    does not conform."""
    try:
        with open(path, "rb") as stream:
            return parse_timing(stream.read(MAX_TIMING_BYTES + 1), mode)
    except (OSError, NotTiming):
        return None
