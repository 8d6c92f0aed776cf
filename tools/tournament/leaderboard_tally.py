"""What the leaderboard adds up per controller, overall and per map: the
games' outcomes and scores, the mean game score with its standard error, and
the merged reply times or telemetry lateness."""

import math
import statistics
from dataclasses import dataclass, field

from common.timing_file import Histogram, NotTiming

# The statistics of the timing histograms, and their names in the leaderboard.
QUANTILES = (("median", 0.5), ("p99", 0.99))
TIMING_NAME = {"lockstep": "reply_ms", "realtime": "telemetry_late_ms"}


def mean_and_error(values):
    """The mean and its standard error (the sample standard deviation over
    the square root of n); the error is None below two values."""
    if not values:
        return None, None
    mean = statistics.fmean(values)
    return mean, statistics.stdev(values) / math.sqrt(len(values)) if len(values) > 1 else None


def timing_summary(histogram):
    """Milliseconds: the merged median, 99th percentile and maximum, each as
    the upper bound of its bucket (never above the maximum)."""
    if histogram is None or not histogram.total:
        return None
    summary = {name: histogram.quantile(fraction) / 1000 for name, fraction in QUANTILES}
    summary["max"] = histogram.maximum / 1000
    summary["count"] = histogram.total
    return summary


@dataclass
class Tally:
    games: int = 0
    completed: int = 0
    timed_out: int = 0
    failed: int = 0
    pending: int = 0
    # Games with an outcome that are not ranked yet: another controller's
    # game of the same map, seed and repeat is still to be played.
    waiting: int = 0
    runs: int = 0
    home_runs: int = 0
    total_score: int = 0
    scores: list = field(default_factory=list)
    timing: Histogram = None
    timing_games: int = 0

    def add(self, game, ranked):
        if game.status == "pending":
            self.pending += 1
            return
        if not ranked:
            self.waiting += 1
            return
        self.games += 1
        self.completed += game.status == "completed"
        self.timed_out += game.status == "timed out"
        self.failed += game.status == "failed"
        self.runs += game.runs_played + game.unplayed_runs
        self.home_runs += game.home_runs
        self.total_score += game.score
        self.scores.append(game.score)
        if game.timing is not None:
            self.timing_games += 1
            if self.timing is None:
                self.timing = Histogram(game.timing.edges)
            try:
                self.timing.merge(game.timing)
            except NotTiming:  # not the buckets of the others: left out
                self.timing_games -= 1

    def mean_and_error(self):
        return mean_and_error(self.scores)

    def as_dict(self, mode, mean_and_error_pair=None):
        mean, error = mean_and_error_pair or self.mean_and_error()
        return {
            "games": self.games,
            "completed": self.completed,
            "timed_out": self.timed_out,
            "failed": self.failed,
            "pending": self.pending,
            "waiting": self.waiting,
            "runs": self.runs,
            "home_runs": self.home_runs,
            "home_rate": self.home_runs / self.runs if self.runs else None,
            "total_score": self.total_score,
            "mean_score": self.total_score / self.runs if self.runs else None,
            "mean_game_score": mean,
            "standard_error": error,
            TIMING_NAME[mode]: timing_summary(self.timing),
        }


def overall_mean_and_error(map_tallies):
    """The sum of the maps' mean game scores, with their standard errors
    combined in quadrature; the error is None when a map's is."""
    pairs = [tally.mean_and_error() for tally in map_tallies if tally.games]
    if not pairs:
        return None, None
    errors = [error for _, error in pairs]
    total = sum(mean for mean, _ in pairs)
    return total, None if None in errors else math.sqrt(sum(error * error for error in errors))
