"""A map's time limit and run count, read by mapcheck exactly as the server
loads the map."""

import hashlib
import json
import subprocess
from dataclasses import dataclass

from common.locate import program_name

MAPCHECK_BOUND_S = 120


class MapProblem(Exception):
    """The map does not load: mapcheck's first line (file:line:column: kind:
    message); `more` holds its other lines (a hint), if any."""

    def __init__(self, line, more=()):
        super().__init__(line)
        self.more = list(more)


@dataclass
class MapSummary:
    time_limit_ms: int
    runs: int


def summarise_map(mapcheck, path):
    """Raises MapProblem when the map does not load, RuntimeError when
    mapcheck's summary cannot be read."""
    try:
        checked = subprocess.run([mapcheck, "--json", path], capture_output=True, text=True, errors="replace",
                                 timeout=MAPCHECK_BOUND_S, check=False)
    except subprocess.TimeoutExpired:
        raise MapProblem(f"{path}: {program_name('mapcheck')} gave no answer within {MAPCHECK_BOUND_S} s") \
            from None
    if checked.returncode != 0:
        lines = checked.stderr.strip().splitlines() or [f"{program_name('mapcheck')} failed"]
        raise MapProblem(lines[0], lines[1:])
    try:
        summary = json.loads(checked.stdout)  # docs/mapcheck.md
        limit, runs = summary["time_limit_ms"], summary["runs"]
    except (ValueError, KeyError, TypeError):
        limit = runs = None
    if not isinstance(limit, int) or not isinstance(runs, list):
        raise RuntimeError(f"cannot read {program_name('mapcheck')}'s summary of {path}")
    return MapSummary(limit, len(runs))


def file_sha256(path):
    """The hex SHA-256 of a file's bytes, as results files and records name their map."""
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()
