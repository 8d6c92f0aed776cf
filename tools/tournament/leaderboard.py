"""The standings: every game's score, summed per controller, overall and per
map, in one table per mode (lockstep, real time).

A lower score wins. A run that a failed or timed-out game did not play scores
like a crater at time 0 (1000 + 2 x the map's time limit), the worst a run can
score, so that crashing early never pays.

While games are still to be played, a table ranks only the games that every
controller has finished (the same map, seed and repeat for all): a
controller with games still to play never gains from the score 0 they do not
have yet. The other finished games wait, counted as such."""

import os
from dataclasses import dataclass, field

from common.outcomes import HOME, unplayed_run_score
from common.results_check import NonConforming, check_runs
from common.timing_file import read_timing
from leaderboard_tally import Tally, overall_mean_and_error
from tournament_dir import game_folder, load_games, load_plan, map_mode, read_outcome

STATUSES = ("completed", "failed", "timed out")
MODES = ("lockstep", "realtime")
TIMING_FILE = "timing.json"


@dataclass
class GameScore:
    game: str
    controller: str
    map: str
    seed: int
    repeat: int
    mode: str
    status: str  # "completed", "failed", "timed out" or "pending"
    reason: str
    runs_played: int
    unplayed_runs: int
    home_runs: int
    score: int  # played runs plus the unplayed ones at their fixed score
    timing: object = None  # the game's merged Histogram, when the server wrote one

    def slot(self):
        return self.map, self.seed, self.repeat


@dataclass
class Standing:
    controller: str
    overall: Tally = field(default_factory=Tally)
    maps: dict = field(default_factory=dict)

    def mean_and_error(self):
        return overall_mean_and_error(self.maps.values())


@dataclass
class ModeTable:
    mode: str
    standings: list  # best first
    maps: list  # map names in plan order
    slots: int = 0  # (map, seed, repeat) combinations of this mode
    ranked_slots: int = 0  # those every controller has finished


def _checked(outcome, map_info):
    """(status, reason, runs) of a game.json; one that does not conform (a
    controller running unsandboxed could write one) is a failed game without
    runs, never a crash of the report."""
    try:
        if not isinstance(outcome, dict) or outcome.get("status") not in STATUSES:
            raise NonConforming(f"status is not one of {', '.join(STATUSES)}")
        if not isinstance(outcome.get("reason"), (str, type(None))):
            raise NonConforming("reason is neither a string nor null")
        check_runs(outcome.get("runs"), map_info["runs"], map_info["time_limit_ms"])
    except NonConforming as error:
        return "failed", f"game.json does not conform: {error}", []
    return outcome["status"], outcome["reason"], outcome["runs"]


def score_game(game, outcome, map_info, timing_path=None):
    mode = map_mode(map_info)
    if outcome is None:
        return GameScore(game.game, game.controller, game.map, game.seed, game.repeat, mode, "pending", None, 0, 0,
                         0, 0)
    status, reason, runs = _checked(outcome, map_info)
    unplayed = max(map_info["runs"] - len(runs), 0)
    score = sum(run["score"] for run in runs) + unplayed * unplayed_run_score(map_info["time_limit_ms"])
    home = sum(1 for run in runs if run["code"] == HOME)
    timing = read_timing(timing_path, mode) if timing_path else None
    return GameScore(game.game, game.controller, game.map, game.seed, game.repeat, mode, status, reason, len(runs),
                     unplayed, home, score, timing)


def rank_table(mode, controllers, map_names, scores):
    """One mode's table from its games' scores."""
    finished = {}
    for game in scores:
        finished.setdefault(game.slot(), set())
        if game.status != "pending":
            finished[game.slot()].add(game.controller)
    ranked = {slot for slot, names in finished.items() if names >= set(controllers)}
    standings = {name: Standing(name) for name in controllers}
    for game in scores:
        standing = standings[game.controller]
        standing.overall.add(game, game.slot() in ranked)
        standing.maps.setdefault(game.map, Tally()).add(game, game.slot() in ranked)
    order = sorted(standings.values(), key=lambda s: (s.overall.total_score, s.controller))
    return ModeTable(mode, order, [name for name in map_names if any(game.map == name for game in scores)],
                     len(finished), len(ranked))


def compute(folder):
    """(the tables by mode, the file's own mode first; every game's score)."""
    plan = load_plan(folder)
    scores = []
    for game in load_games(folder):
        map_info = plan["maps"][game.map]
        scores.append(score_game(game, read_outcome(folder, game.game), map_info,
                                 os.path.join(game_folder(folder, game.game), TIMING_FILE)))
    own = plan.get("mode", "lockstep")
    tables = []
    for mode in sorted(MODES, key=lambda m: m != own):
        games = [game for game in scores if game.mode == mode]
        if games or mode == own:
            tables.append(rank_table(mode, list(plan["controllers"]), list(plan["maps"]), games))
    return tables, scores
