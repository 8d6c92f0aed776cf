"""The standings: every game's score, summed per controller, overall and per map.

A lower score wins. A run that a failed or timed-out game did not play scores
like a crater at time 0 (1000 + 2 x the map's time limit), the worst a run can
score, so that crashing early never pays."""

from dataclasses import dataclass, field

from common.outcomes import HOME, unplayed_run_score
from common.results_check import NonConforming, check_runs
from tournament_dir import load_games, load_plan, read_outcome

STATUSES = ("completed", "failed", "timed out")


@dataclass
class GameScore:
    game: str
    controller: str
    map: str
    seed: int
    repeat: int
    status: str  # "completed", "failed", "timed out" or "pending"
    reason: str
    runs_played: int
    unplayed_runs: int
    home_runs: int
    score: int  # played runs plus the unplayed ones at their fixed score


@dataclass
class Tally:
    games: int = 0
    completed: int = 0
    timed_out: int = 0
    failed: int = 0
    pending: int = 0
    runs: int = 0
    home_runs: int = 0
    total_score: int = 0

    def add(self, game):
        if game.status == "pending":
            self.pending += 1
            return
        self.games += 1
        self.completed += game.status == "completed"
        self.timed_out += game.status == "timed out"
        self.failed += game.status == "failed"
        self.runs += game.runs_played + game.unplayed_runs
        self.home_runs += game.home_runs
        self.total_score += game.score

    def as_dict(self):
        return {
            "games": self.games,
            "completed": self.completed,
            "timed_out": self.timed_out,
            "failed": self.failed,
            "pending": self.pending,
            "runs": self.runs,
            "home_runs": self.home_runs,
            "home_rate": self.home_runs / self.runs if self.runs else None,
            "total_score": self.total_score,
            "mean_score": self.total_score / self.runs if self.runs else None,
        }


@dataclass
class Standing:
    controller: str
    overall: Tally = field(default_factory=Tally)
    maps: dict = field(default_factory=dict)


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


def score_game(game, outcome, map_info):
    if outcome is None:
        return GameScore(game.game, game.controller, game.map, game.seed, game.repeat, "pending", None, 0, 0, 0, 0)
    status, reason, runs = _checked(outcome, map_info)
    unplayed = max(map_info["runs"] - len(runs), 0)
    score = sum(run["score"] for run in runs) + unplayed * unplayed_run_score(map_info["time_limit_ms"])
    home = sum(1 for run in runs if run["code"] == HOME)
    return GameScore(game.game, game.controller, game.map, game.seed, game.repeat, status, reason, len(runs),
                     unplayed, home, score)


def compute(folder):
    """(standings ranked best first, every game's score, map names in plan order)."""
    plan = load_plan(folder)
    scores = [score_game(game, read_outcome(folder, game.game), plan["maps"][game.map])
              for game in load_games(folder)]
    standings = {name: Standing(name) for name in plan["controllers"]}
    for game in scores:
        standing = standings[game.controller]
        standing.overall.add(game)
        standing.maps.setdefault(game.map, Tally()).add(game)
    ranked = sorted(standings.values(), key=lambda s: (s.overall.total_score, s.controller))
    return ranked, scores, list(plan["maps"])
