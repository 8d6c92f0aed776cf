"""tournament report DIR: leaderboard.json, leaderboard.csv, leaderboard.html
and a short table on the terminal."""

import csv
import json
import os

from common.record_header import has_valid_header
from leaderboard import compute
from leaderboard_html import render_html
from leaderboard_tally import TIMING_NAME
from leaderboard_text import MODE_WORDS, mode_tables, plus_minus, timing_text
from tournament_dir import game_folder

LEADERBOARD_FORMAT = "rover-tournament-leaderboard"
TALLY_COLUMNS = ("games", "completed", "timed_out", "failed", "pending", "runs", "home_runs", "home_rate",
                 "total_score", "mean_score")
# New columns go last, so that readers of the first ones keep working.
CSV_COLUMNS = ("rank", "controller", "map") + TALLY_COLUMNS + (
    "mode", "waiting", "mean_game_score", "standard_error", "timing_median_ms", "timing_p99_ms", "timing_max_ms")


def record_link(folder, game):
    """The game's record relative to DIR, or None when it left none a
    viewer could open (no file, or a first line that is no record header)."""
    for name in ("record.jsonl.gz", "record.jsonl"):
        if has_valid_header(os.path.join(game_folder(folder, game), name)):
            return f"games/{game}/{name}"
    return None


def shared_ranks(sorted_scores):
    """Competition ranking: equal scores share a rank, the next rank skips."""
    ranks = []
    for index, score in enumerate(sorted_scores):
        ranks.append(ranks[-1] if index and score == sorted_scores[index - 1] else index + 1)
    return ranks


def _standings(table):
    return [
        {"rank": rank, "controller": s.controller, **s.overall.as_dict(table.mode, s.mean_and_error()),
         "maps": {name: s.maps[name].as_dict(table.mode) for name in table.maps if name in s.maps}}
        for rank, s in zip(shared_ranks([s.overall.total_score for s in table.standings]), table.standings)
    ]


def leaderboard_document(folder):
    tables, scores = compute(folder)
    own, *other = tables
    return {
        "format": LEADERBOARD_FORMAT,
        "version": 1,
        "games": len(scores),
        "pending": sum(1 for game in scores if game.status == "pending"),
        # `standings` is the table of the tournament file's own mode; the
        # maps set to the other mode have theirs in `other_mode`.
        "mode": own.mode,
        "ranked_slots": own.ranked_slots,
        "slots": own.slots,
        "standings": _standings(own),
        "other_mode": {"mode": other[0].mode, "ranked_slots": other[0].ranked_slots, "slots": other[0].slots,
                       "standings": _standings(other[0])} if other else None,
        "game_scores": [
            {"game": g.game, "controller": g.controller, "map": g.map, "seed": g.seed, "repeat": g.repeat,
             "mode": g.mode, "status": g.status, "reason": g.reason, "runs_played": g.runs_played,
             "unplayed_runs": g.unplayed_runs, "home_runs": g.home_runs, "score": g.score,
             "record": record_link(folder, g.game)}
            for g in scores
        ],
    }


def _csv_rows(document):
    for mode, table in mode_tables(document):
        for standing in table["standings"]:
            for map_name, tally in [("all", standing)] + list(standing["maps"].items()):
                timing = tally[TIMING_NAME[mode]] or {}
                yield ([standing["rank"], standing["controller"], map_name] + [tally[c] for c in TALLY_COLUMNS] +
                       [mode, tally["waiting"], tally["mean_game_score"], tally["standard_error"],
                        timing.get("median"), timing.get("p99"), timing.get("max")])


def _terminal_table(document):
    lines = []
    for mode, table in mode_tables(document):
        what = "reply ms p50/p99/max" if mode == "lockstep" else "late ms p50/p99/max"
        lines.append(f"{MODE_WORDS[mode]} games:")
        lines.append(f"{'rank':>4}  {'controller':<20} {'total score':>12} {'mean/game ± s.e.':>22} {'home':>5} "
                     f"{'timeouts':>8} {'failures':>8}  {what}")
        for s in table["standings"]:
            home = f"{100 * s['home_rate']:.0f}%" if s["home_rate"] is not None else "-"
            lines.append(f"{s['rank']:>4}  {s['controller']:<20} {s['total_score']:>12} "
                         f"{plus_minus(s['mean_game_score'], s['standard_error']):>22} {home:>5} "
                         f"{s['timed_out']:>8} {s['failed']:>8}  {timing_text(s[TIMING_NAME[mode]])}")
        if table["ranked_slots"] < table["slots"]:
            lines.append(f"ranked on the {table['ranked_slots']} of {table['slots']} map, seed and repeat "
                         "combinations that every controller has finished")
    if document["pending"]:
        lines.append(f"{document['pending']} of {document['games']} games have no outcome yet: "
                     "the standings are not final")
    return "\n".join(lines)


def write_report(folder):
    document = leaderboard_document(folder)
    with open(os.path.join(folder, "leaderboard.json"), "w", encoding="utf-8") as stream:
        json.dump(document, stream, indent=1)
        stream.write("\n")
    with open(os.path.join(folder, "leaderboard.csv"), "w", encoding="utf-8", newline="") as stream:
        writer = csv.writer(stream)
        writer.writerow(CSV_COLUMNS)
        writer.writerows(_csv_rows(document))
    viewer = os.path.isfile(os.path.join(folder, "viewer", "index.html"))
    with open(os.path.join(folder, "leaderboard.html"), "w", encoding="utf-8") as stream:
        stream.write(render_html(document, viewer))
    print(_terminal_table(document))
    print(f"wrote {folder}/leaderboard.json, leaderboard.csv and leaderboard.html")
    return 0
