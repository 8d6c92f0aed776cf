"""Checks a server's results document before anything uses it: it may come
from a file a controller could reach, or from a record rebuilt by replay.

Every field is checked with its type; scores are integers and must be what
the run's outcome and time give; runs are numbered from 1 and no more than
the map has; and the document must be about this game: its map's SHA-256,
mode, seed and reply timeout."""

import json
from dataclasses import dataclass

from common.outcomes import OUTCOME_CODES, run_score

RESULTS_FORMAT = "rover-results"
STATUSES = ("completed", "quit", "failed")
# A real results file is a few hundred bytes per run.
MAX_RESULTS_BYTES = 16 * 1024 * 1024

TOP_FIELDS = {"format", "version", "server", "map", "mode", "seed", "reply_timeout_ms", "runs", "status",
              "total_score"}
FAILURE_FIELDS = {"line", "message"}
RUN_FIELDS = {"number", "outcome", "code", "score", "run_ms", "bounces", "commands", "late_replies"}


KIND_NAMES = {"int": "an integer", "str": "a string", "list": "a list", "object": "an object",
              "count": "a count (an integer from 0)"}


class NonConforming(Exception):
    """What is wrong with a results document, worded for a game's reason."""


@dataclass
class ExpectedGame:
    map_sha256: str
    mode: str  # "lockstep" or "realtime"
    seed: int
    reply_timeout_ms: object  # an int in lockstep, None in real time
    runs: int  # the map's runs
    time_limit_ms: int


def _reject_constant(name):
    raise NonConforming(f"holds {name}, which is not a JSON number")


def _unique_keys(pairs):
    keys = [key for key, _ in pairs]
    if len(set(keys)) != len(keys):
        raise NonConforming(f'repeats the key "{next(k for k in keys if keys.count(k) > 1)}"')
    return dict(pairs)


def parse_results(data):
    """The document in `data` (bytes); raises NonConforming."""
    if len(data) > MAX_RESULTS_BYTES:
        raise NonConforming(f"is larger than {MAX_RESULTS_BYTES} bytes")
    try:
        return json.loads(data.decode("utf-8"), parse_constant=_reject_constant, object_pairs_hook=_unique_keys)
    except (UnicodeDecodeError, ValueError) as error:
        raise NonConforming(f"is not valid JSON: {error}") from None
    except RecursionError:
        raise NonConforming("is nested too deeply") from None


def read_results(path):
    """The document in the file at path; None when there is no such file;
    raises NonConforming."""
    try:
        with open(path, "rb") as stream:
            data = stream.read(MAX_RESULTS_BYTES + 1)
    except FileNotFoundError:
        return None
    except OSError as error:
        raise NonConforming(f"cannot be read: {error.strerror}") from None
    return parse_results(data)


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def _field(document, name, where, kind, check=None, expected=None):
    if name not in document:
        raise NonConforming(f"{where}{name} is missing")
    value = document[name]
    good = {"int": _is_int, "str": lambda v: isinstance(v, str), "list": lambda v: isinstance(v, list),
            "object": lambda v: isinstance(v, dict), "count": lambda v: _is_int(v) and v >= 0}[kind](value)
    if not good:
        raise NonConforming(f"{where}{name} is not {KIND_NAMES[kind]}: {json.dumps(value)[:60]}")
    if check is not None and not check(value):
        raise NonConforming(f"{where}{name} is {json.dumps(value)[:60]}, expected {expected}")
    return value


def _exact_fields(document, allowed, where):
    unknown = sorted(set(document) - allowed)
    if unknown:
        raise NonConforming(f"{where}{unknown[0]} is not a field of a results document")


def _check_run(run, index, time_limit_ms):
    where = f"runs[{index}]."
    if not isinstance(run, dict):
        raise NonConforming(f"runs[{index}] is not an object")
    _exact_fields(run, RUN_FIELDS, where)
    _field(run, "number", where, "int", lambda v: v == index + 1, index + 1)
    outcome = _field(run, "outcome", where, "str", lambda v: v in OUTCOME_CODES, "a run's outcome")
    _field(run, "code", where, "int", lambda v: v == OUTCOME_CODES[outcome], OUTCOME_CODES[outcome])
    run_ms = _field(run, "run_ms", where, "count")
    score = run_score(OUTCOME_CODES[outcome], run_ms, time_limit_ms)
    _field(run, "score", where, "int", lambda v: v == score, f"{score} for {outcome} at {run_ms} ms")
    bounces = _field(run, "bounces", where, "object")
    _exact_fields(bounces, {"boulder", "wall"}, f"{where}bounces.")
    for name in ("boulder", "wall"):
        _field(bounces, name, f"{where}bounces.", "count")
    _field(run, "commands", where, "count")
    _field(run, "late_replies", where, "count")
    return score


def check_runs(runs, map_runs, time_limit_ms):
    """Raises NonConforming unless `runs` is a list of run entries numbered
    from 1, at most the map's; returns the sum of their scores."""
    _field({"runs": runs}, "runs", "", "list", lambda v: len(v) <= map_runs, f"at most the map's {map_runs} runs")
    return sum(_check_run(run, index, time_limit_ms) for index, run in enumerate(runs))


def check_results(document, expected):
    """Raises NonConforming unless the document is a results file of this
    game; returns its runs."""
    if not isinstance(document, dict):
        raise NonConforming("is not a JSON object")
    status = document.get("status")
    _exact_fields(document, TOP_FIELDS | (FAILURE_FIELDS if status == "failed" else set()), "")
    _field(document, "format", "", "str", lambda v: v == RESULTS_FORMAT, f'"{RESULTS_FORMAT}"')
    _field(document, "version", "", "int", lambda v: v == 1, 1)
    _field(document, "server", "", "str")
    game_map = _field(document, "map", "", "object")
    _exact_fields(game_map, {"sha256"}, "map.")
    _field(game_map, "sha256", "map.", "str", lambda v: v == expected.map_sha256, "this game's map")
    _field(document, "mode", "", "str", lambda v: v == expected.mode, f'"{expected.mode}"')
    _field(document, "seed", "", "int", lambda v: v == expected.seed, expected.seed)
    if expected.reply_timeout_ms is None:
        if document.get("reply_timeout_ms", 0) is not None:
            raise NonConforming("reply_timeout_ms is not null")
    else:
        _field(document, "reply_timeout_ms", "", "int", lambda v: v == expected.reply_timeout_ms,
               expected.reply_timeout_ms)
    runs = _field(document, "runs", "", "list")
    total = check_runs(runs, expected.runs, expected.time_limit_ms)
    _field(document, "status", "", "str", lambda v: v in STATUSES, " or ".join(STATUSES))
    if status == "completed" and len(runs) != expected.runs:
        raise NonConforming(f"is completed with {len(runs)} of the map's {expected.runs} runs")
    if status == "failed":
        # replay results has no server line for a record cut short: null.
        for name in ("line", "message"):
            if name not in document:
                raise NonConforming(f"{name} is missing")
            if document[name] is not None and not isinstance(document[name], str):
                raise NonConforming(f"{name} is neither a string nor null")
    _field(document, "total_score", "", "int", lambda v: v == total, f"{total}, the sum of the runs' scores")
    return runs
