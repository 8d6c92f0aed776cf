"""What clientcheck checks, and how the games it played answer each check:
every check with the property it wants, what was seen when it failed, and
what to change."""

import math
from dataclasses import dataclass

from common.controller_ending import printable


@dataclass(frozen=True)
class Check:
    key: str
    wanted: str  # the property, as a line of the report
    change: str  # what to change when it fails
    lockstep_only: bool = False
    situation: str = None  # a check of one situation's game only


CHECKS = (
    Check("start", "starts and connects to {host}:{port}",
          "the command must start the controller, which connects to the host and port it is given (or to "
          "localhost:17676 when the command has no {port})"),
    Check("no_bare", "ends every reply with a bare ';'",
          "answer every T with its commands, then a bare ';' (e.g. \"a;;\", or \";\" alone); a reply that never "
          "ends looks like no reply at all", True),
    Check("two_replies", "sends one reply per T",
          "send exactly one reply per T: the server takes a second reply for the next T, and the controller's "
          "commands fall ever further behind", True),
    Check("newline", "puts no newline after ';'",
          "end commands and replies with ';' alone: a newline after it becomes part of the next command"),
    Check("illegal", "sends only legal commands",
          "the commands are a, b, l, r, al, ar, bl and br, each followed by ';' with nothing in between"),
    Check("flood", "sends fewer than 1000 commands per reply and between runs",
          "send only the few commands each T needs; 1000 commands between two runs end the game"),
    Check("slow", "replies within {slow} ms at the 99th percentile",
          "answer faster: time is measured from the moment a T reached the controller; precompute, or do "
          "less per T"),
    Check("crash_plain", "plays the server's bytes as written without crashing or hanging",
          "keep reading until the server closes the connection, and answer every T", situation="plain"),
    Check("crash_pieces", "survives messages that arrive in pieces",
          "read the stream as bytes, split it at ';' and keep what follows the last ';' for the next read: a "
          "message can arrive in pieces", situation="pieces"),
    Check("crash_joined", "survives several messages in one read",
          "handle every message a read holds, not only the first or the last: one read can hold several",
          situation="joined"),
    Check("crash_realtime", "plays in real time without crashing",
          "in real time telemetry comes every 100 ms whether you answered or not: read it all, answer when "
          "you like", situation="realtime"),
    Check("never_leaves", "leaves when the game ends",
          "exit when the server closes the connection after the last E (recv returns no bytes)"),
    Check("server", "plays a game to its end",
          "see the server's message; docs/protocol.md says what ends a game early"),
)
BY_KEY = {check.key: check for check in CHECKS}
# Stream faults that explain why the server ended a game.
STREAM_KEYS = ("no_bare", "two_replies", "newline", "illegal", "flood")


def percentile(values, fraction):
    """Nearest rank: the smallest value with `fraction` of them at or below it."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(fraction * len(ordered)) - 1)] if ordered else None


def reply_summary(latencies):
    """"median 0.3 ms, 99th percentile 0.5 ms, maximum 1.2 ms over 213 replies"."""
    if not latencies:
        return "no replies measured"
    return (f"median {percentile(latencies, 0.5):.1f} ms, 99th percentile {percentile(latencies, 0.99):.1f} ms, "
            f"maximum {max(latencies):.1f} ms over {len(latencies)} replies")


def situation_faults(situation, played):
    """{check key: what was seen} for one game."""
    faults = dict(played.stream.faults)
    crash = f"crash_{situation.key}"
    if "hang" in faults:  # no answer at all, or no reading: the situation broke it
        faults[crash] = faults.pop("hang")
    notes = "; ".join(played.notes)
    suffix = f" ({notes})" if notes else ""
    completed = played.results is not None and played.results.get("status") == "completed"
    if played.ending == "did not start":
        faults["start"] = f"it did not start: {played.detail}"
    elif played.ending == "never connected":
        faults["start"] = (f"it exited with status {played.controller_exit} before it connected" + suffix
                           if played.controller_exit is not None else "it did not connect within 10 s")
    elif played.ending == "left early" and not completed:
        faults.setdefault(crash, f"it left during the game, exit status {played.controller_exit}{suffix}")
    elif played.ending == "too long":
        faults.setdefault(crash, f"the game did not end within {situation.bound_s:g} s")
    elif played.ending == "never left":
        faults["never_leaves"] = "it still ran 3 s after the server closed the connection"
    results = played.results
    # A game the relay stopped (no reply, slow, too long) ended by its EOF.
    stopped = played.ending in ("hang", "slow", "too long")
    if not stopped and results is not None and results.get("status") == "failed" and \
            not set(faults) & set(STREAM_KEYS):
        message = results.get("message")
        if not (played.ending == "left early" and message == "EOF"):
            faults["server"] = f"{results.get('line')}" + (f": {printable(message)}" if message else "")
    return faults


def mode_faults(played_situations, slow_ms):
    """({check key: [(situation, what was seen)]}, the reply times in ms)
    over one mode's games, the 99th percentile of the reply times included."""
    faults, latencies = {}, []
    for situation, played in played_situations:
        latencies += played.stream.latencies_ms
        for key, seen in situation_faults(situation, played).items():
            faults.setdefault(key, []).append((situation, seen))
    # A game cut short as slow has most of its replies above the threshold.
    p99 = percentile(latencies, 0.99)
    if p99 is not None and p99 > slow_ms:
        faults["slow"] = [(None, reply_summary(latencies))]
    return faults, latencies
