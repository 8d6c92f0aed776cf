"""What `tournament watch` shows, read from the tournament folder alone: the
games running, finished and still to play, the time left and the
leaderboard, computed in memory. It never takes or tests a game's lock (a
runner that found one taken would skip the game): a game is running while
its folder exists without game.json and its files keep changing."""

import os
import statistics
import time
from dataclasses import dataclass

from leaderboard_files import leaderboard_document
from tournament_dir import game_file, game_folder, read_outcome

RECORD_FILE = "record.jsonl.gz"
# A game folder without game.json whose files have not changed for this long
# is what a killed runner left: the game is to be played again.
RUNNING_STALE_S = 60


@dataclass
class WatchState:
    document: dict  # leaderboard_document(): standings and every game's score
    running: list  # game ids, plan order
    finished: int
    to_play: int
    median_s: float  # median wall-clock time of a finished game, None before the first
    left_s: float  # estimated time left, None while unknown


def _running(folder, game, now):
    here = game_folder(folder, game)
    if os.path.exists(game_file(folder, game)):
        return False
    newest = None
    for path in (here, os.path.join(here, RECORD_FILE), os.path.join(here, "server.err")):
        try:
            newest = max(newest or 0, os.stat(path).st_mtime)
        except OSError:
            pass
    return newest is not None and now - newest < RUNNING_STALE_S


def _wall_s(folder, game):
    outcome = read_outcome(folder, game)
    wall = outcome.get("wall_ms") if isinstance(outcome, dict) else None
    return wall / 1000 if isinstance(wall, (int, float)) and not isinstance(wall, bool) and wall >= 0 else None


def read_state(folder, now=None):
    now = time.time() if now is None else now
    document = leaderboard_document(folder)
    games = document["game_scores"]
    running = [g["game"] for g in games if g["status"] == "pending" and _running(folder, g["game"], now)]
    finished = [g["game"] for g in games if g["status"] != "pending"]
    to_play = len(games) - len(finished) - len(running)
    walls = [s for s in (_wall_s(folder, game) for game in finished) if s is not None]
    median_s = statistics.median(walls) if walls else None
    # The games left, running ones included, at as many at once as run now.
    left_s = median_s * (to_play + len(running)) / max(len(running), 1) if median_s is not None else None
    return WatchState(document, running, len(finished), to_play, median_s, left_s)
