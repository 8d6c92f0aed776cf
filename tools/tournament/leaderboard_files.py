"""tournament report DIR: leaderboard.json, leaderboard.csv, leaderboard.html
and a short table on the terminal."""

import csv
import json
import os

from leaderboard import compute
from leaderboard_html import render_html
from tournament_dir import game_folder

LEADERBOARD_FORMAT = "rover-tournament-leaderboard"
CSV_COLUMNS = ("rank", "controller", "map", "games", "completed", "timed_out", "failed", "pending", "runs",
               "home_runs", "home_rate", "total_score", "mean_score")


def record_link(folder, game):
    """The game's record relative to DIR, or None when the game left none."""
    for name in ("record.jsonl.gz", "record.jsonl"):
        if os.path.exists(os.path.join(game_folder(folder, game), name)):
            return f"games/{game}/{name}"
    return None


def shared_ranks(sorted_scores):
    """Competition ranking: equal scores share a rank, the next rank skips."""
    ranks = []
    for index, score in enumerate(sorted_scores):
        ranks.append(ranks[-1] if index and score == sorted_scores[index - 1] else index + 1)
    return ranks


def leaderboard_document(folder):
    ranked, scores, map_names = compute(folder)
    return {
        "format": LEADERBOARD_FORMAT,
        "version": 1,
        "games": len(scores),
        "pending": sum(1 for game in scores if game.status == "pending"),
        "standings": [
            {"rank": rank, "controller": s.controller, **s.overall.as_dict(),
             "maps": {name: s.maps[name].as_dict() for name in map_names if name in s.maps}}
            for rank, s in zip(shared_ranks([s.overall.total_score for s in ranked]), ranked)
        ],
        "game_scores": [
            {"game": g.game, "controller": g.controller, "map": g.map, "seed": g.seed, "repeat": g.repeat,
             "status": g.status, "reason": g.reason, "runs_played": g.runs_played,
             "unplayed_runs": g.unplayed_runs, "home_runs": g.home_runs, "score": g.score,
             "record": record_link(folder, g.game)}
            for g in scores
        ],
    }


def _csv_rows(document):
    for standing in document["standings"]:
        rows = [("all", standing)] + list(standing["maps"].items())
        for map_name, tally in rows:
            yield [standing["rank"], standing["controller"], map_name] + [tally[c] for c in CSV_COLUMNS[3:]]


def _terminal_table(document):
    lines = [f"{'rank':>4}  {'controller':<20} {'total score':>14} {'mean/run':>10} {'home':>6} "
             f"{'timeouts':>8} {'failures':>8}"]
    for s in document["standings"]:
        mean = f"{s['mean_score']:.0f}" if s["mean_score"] is not None else "-"
        home = f"{100 * s['home_rate']:.0f}%" if s["home_rate"] is not None else "-"
        lines.append(f"{s['rank']:>4}  {s['controller']:<20} {s['total_score']:>14} {mean:>10} {home:>6} "
                     f"{s['timed_out']:>8} {s['failed']:>8}")
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
