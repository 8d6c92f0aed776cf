"""tournament report on a tournament folder whose outcomes, timing files and
records are written by hand: every figure of the leaderboard against a hand
computation, and what tournament watch computes in memory from the folder
(the same standings, the games running and left, the time left). No game is
played here.

The table (game scores in ms; "-" a game still to play), seeds 1 to 4:

    lockstep  open_plain  a: 10000 12000 14000 11000    b: 11000 12000   -   13000
    lockstep  z           a: 20000 24000 30000 26000    b: 21000 25000   -     -
    realtime  y           a:  6000  8000 13000  9000    b:  7000  7000  7000  7000

b still has games to play; counting them as 0 would rank b first (82000
against a's 147000). Ranked on what both have finished (open_plain seeds 1,
2 and 4; z seeds 1 and 2), a leads with 77000 against 82000."""

import gzip
import json
import math
import os
import statistics
import sys
import time
import unittest

from tournament_fixture import SOURCE, plan, read_json, scratch, tournament, write_tournament

sys.path.insert(0, os.path.join(SOURCE, "tools", "tournament"))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
from watch_state import read_state  # noqa: E402

OPEN_PLAIN = os.path.join(SOURCE, "maps", "open_plain.json")
SCORES = {
    ("a", "open_plain"): [10000, 12000, 14000, 11000], ("b", "open_plain"): [11000, 12000, None, 13000],
    ("a", "z"): [20000, 24000, 30000, 26000], ("b", "z"): [21000, 25000, None, None],
    ("a", "y"): [6000, 8000, 13000, 9000], ("b", "y"): [7000] * 4,
}
EDGES = [100, 1000, 10000]  # µs: buckets below 100, 100-999, 1000-9999, from 10000 up
# (game, counts, maximum in µs): reply times in lockstep, lateness in real time.
TIMING = [
    ("a.open_plain.s1.r1", [3, 1, 0, 0], 900),
    ("a.open_plain.s2.r1", [0, 2, 1, 1], 25000),
    ("a.open_plain.s3.r1", [0, 0, 0, 9], 900000),  # waiting: not in the figures
    ("a.z.s1.r1", [2, 0, 0, 0], 80),
    ("b.y.s1.r1", [5, 0, 0, 0], 40),
    ("b.y.s2.r1", [5, 4, 1, 0], 2500),
]


def run_entry(number, score):
    return {"number": number, "outcome": "reached home", "code": 3, "score": score, "run_ms": score,
            "bounces": {"boulder": 0, "wall": 0}, "commands": 0, "late_replies": 0}


def write_json(path, value):
    with open(path, "w", encoding="utf-8") as stream:
        json.dump(value, stream)


def write_timing(path, mode, counts, maximum):
    """A timing file of two runs whose histograms add up to counts: the
    second holds the highest bucket and the maximum, the first the rest."""
    top = max(index for index, count in enumerate(counts) if count)
    lower = [count if index < top else 0 for index, count in enumerate(counts)]
    rest = [count - low for count, low in zip(counts, lower)]
    below = max((index for index, count in enumerate(lower) if count), default=None)
    first_max = 0 if below is None or below == 0 else EDGES[below - 1]
    if mode == "lockstep":
        counters, name = {"replies": 0, "late_replies": 0, "ahead_replies": 0}, "reply_us"
    else:
        counters, name = {"commands": 0, "polls": 0, "polls_with_input": 0, "telemetry": 0}, "telemetry_late_us"
    runs = [dict(counters, number=number, ended=True, **{name: {"counts": part, "max": top_value, "sum": 0}})
            for number, part, top_value in ((1, lower, first_max), (2, rest, maximum))]
    write_json(path, {"format": "rover-timing", "version": 1, "mode": mode, "bucket_edges_us": EDGES,
                      "runs": runs, "status": "completed"})


class ReportTest(unittest.TestCase):
    def test_figures_match_a_hand_computation(self):
        folder = scratch(self)
        out = plan(write_tournament(folder, {
            "controllers": [{"name": name, "command": ["false", "{port}"]} for name in ("a", "b")],
            "maps": [OPEN_PLAIN, {"name": "z", "path": OPEN_PLAIN},
                     {"name": "y", "path": OPEN_PLAIN, "mode": "realtime"}],
            "seeds": [1, 2, 3, 4], "game_time_limit_s": 60, "sandbox": "none"}), os.path.join(folder, "out"))
        for (controller, map_name), scores in SCORES.items():
            for seed, score in enumerate(scores, 1):
                if score is not None:
                    self._write_game(out, controller, map_name, seed, score)
        for game, counts, maximum in TIMING:
            write_timing(os.path.join(out, "games", game, "timing.json"), "realtime" if ".y." in game else "lockstep",
                         counts, maximum)
        self._write_records(out)
        # Left out of b's figures: a maximum its counts deny, other buckets.
        for game, edges, maximum in (("b.y.s3.r1", EDGES, 5), ("b.y.s4.r1", [1, 2, 3], 7)):
            write_json(os.path.join(out, "games", game, "timing.json"), {
                "format": "rover-timing", "version": 1, "mode": "realtime", "bucket_edges_us": edges,
                "runs": [{"number": 1, "commands": 0, "polls_with_input": 0,
                          "telemetry_late_us": {"counts": [0, 0, 0, 1], "max": maximum}}]})
        tournament(["report", out])
        board = read_json(os.path.join(out, "leaderboard.json"))

        # The lockstep table, ranked on the combinations both finished.
        self.assertEqual((board["mode"], board["pending"], board["games"]), ("lockstep", 3, 24))
        self.assertEqual((board["ranked_slots"], board["slots"]), (5, 8))
        a, b = board["standings"]
        self.assertEqual([(s["rank"], s["controller"], s["total_score"]) for s in (a, b)],
                         [(1, "a", 77000), (2, "b", 82000)])
        self.assertEqual([(s["games"], s["waiting"], s["pending"]) for s in (a, b)], [(5, 3, 0), (5, 0, 3)])
        self.assertEqual(a["maps"]["open_plain"]["mean_game_score"], 11000)
        self.assertAlmostEqual(a["maps"]["open_plain"]["standard_error"], 1000 / math.sqrt(3))
        self.assertEqual(a["maps"]["z"]["mean_game_score"], 22000)
        self.assertAlmostEqual(a["maps"]["z"]["standard_error"], 2000)
        self.assertEqual(a["mean_game_score"], 33000)
        self.assertAlmostEqual(a["standard_error"], math.sqrt(1000 ** 2 / 3 + 2000 ** 2))
        self.assertEqual((b["mean_game_score"], b["maps"]["z"]["games"]), (35000, 2))
        # Merged over a's ranked games on open_plain (3, 3, 1, 1 in the
        # buckets): the 4th of 8 lies in the second bucket, the 8th above every
        # bound. With z's two replies (5, 3, 1, 1) the 5th of 10 is in the first.
        self.assertEqual(a["maps"]["open_plain"]["reply_ms"], {"median": 1.0, "p99": 25.0, "max": 25.0, "count": 8})
        self.assertEqual(a["maps"]["z"]["reply_ms"], {"median": 0.08, "p99": 0.08, "max": 0.08, "count": 2})
        self.assertEqual(a["reply_ms"], {"median": 0.1, "p99": 25.0, "max": 25.0, "count": 10})
        self.assertIsNone(b["reply_ms"])

        # The real-time table beside it, complete.
        other = board["other_mode"]
        self.assertEqual((other["mode"], other["ranked_slots"], other["slots"]), ("realtime", 4, 4))
        b, a = other["standings"]
        self.assertEqual([(s["rank"], s["controller"], s["total_score"]) for s in (b, a)],
                         [(1, "b", 28000), (2, "a", 36000)])
        self.assertEqual((a["mean_game_score"], b["standard_error"]), (9000, 0))
        self.assertAlmostEqual(a["standard_error"], math.sqrt(26e6 / 3) / 2)
        self.assertEqual(b["telemetry_late_ms"], {"median": 0.1, "p99": 2.5, "max": 2.5, "count": 15})
        self.assertNotIn("reply_ms", b)

        links = {game["game"]: game["record"] for game in board["game_scores"]}
        self.assertEqual(links["a.open_plain.s1.r1"], "games/a.open_plain.s1.r1/record.jsonl.gz")
        self.assertEqual(links["b.open_plain.s1.r1"], "games/b.open_plain.s1.r1/record.jsonl")
        for game in ("a.open_plain.s2.r1", "a.z.s1.r1", "a.z.s2.r1"):
            self.assertIsNone(links[game], game)

        with open(os.path.join(out, "leaderboard.csv"), encoding="utf-8") as stream:
            rows = [line.rstrip("\n") for line in stream]
        self.assertIn("1,a,all,5,5,0,0,0,10,10,1.0,77000,7700.0,lockstep,3,33000.0,", "\n".join(rows))
        self.assertIn("1,b,all,4,4,0,0,0,8,8,1.0,28000,3500.0,realtime,0,7000.0,0.0,0.1,2.5,2.5", rows)
        with open(os.path.join(out, "leaderboard.html"), encoding="utf-8") as stream:
            page = stream.read()
        self.assertIn("33000.0 ± 2081.7", page)
        self.assertIn("35000.0 ± 2081.7", page)
        self.assertIn("Ranked on the 5 of 8 map, seed and repeat combinations", page)

        # tournament watch, in memory, from the same folder: the same
        # standings; b.z.s3.r1 running (its folder is fresh), b.z.s4.r1 what a
        # runner killed an hour ago left, to play again. Each finished game
        # took as many ms of wall-clock time as its score.
        os.makedirs(os.path.join(out, "games", "b.z.s3.r1"))
        left_behind = os.path.join(out, "games", "b.z.s4.r1")
        os.makedirs(left_behind)
        os.utime(left_behind, (time.time() - 3600,) * 2)
        state = read_state(out)
        self.assertEqual((state.document["standings"], state.document["other_mode"]),
                         (board["standings"], board["other_mode"]))
        self.assertEqual((state.running, state.finished, state.to_play), (["b.z.s3.r1"], 21, 2))
        walls = [score / 1000 for scores in SCORES.values() for score in scores if score is not None]
        self.assertEqual(state.median_s, statistics.median(walls))
        # 3 games left (one running) at 1 at once.
        self.assertEqual(state.left_s, statistics.median(walls) * 3)

    def _write_game(self, out, controller, map_name, seed, score):
        game = f"{controller}.{map_name}.s{seed}.r1"
        runs = [run_entry(1, score // 2), run_entry(2, score - score // 2)]
        os.makedirs(os.path.join(out, "games", game))
        write_json(os.path.join(out, "games", game, "game.json"), {
            "format": "rover-tournament-game", "version": 1, "game": game, "controller": controller,
            "map": map_name, "seed": seed, "repeat": 1, "server_seed": seed, "status": "completed", "reason": None,
            "server_exit": 0, "controller_exit": 0, "wall_ms": score, "runs_from": "results", "runs": runs,
            "total_score": score})

    def _write_records(self, out):
        """Linked: a .gz cut short after its header (no trailer), a plain one.
        Not linked: a first line that is no header, a gzip bomb of spaces, none."""
        header = json.dumps({"type": "header", "format": "rover-record", "version": 1}) + "\n"
        whole = gzip.compress((header + '{"type":"run_start","run":1,"t":0}\n' * 1000).encode())
        games = os.path.join(out, "games")
        with open(os.path.join(games, "a.open_plain.s1.r1", "record.jsonl.gz"), "wb") as stream:
            stream.write(whole[:len(whole) // 2])
        with open(os.path.join(games, "b.open_plain.s1.r1", "record.jsonl"), "w", encoding="utf-8") as stream:
            stream.write(header)
        with open(os.path.join(games, "a.open_plain.s2.r1", "record.jsonl.gz"), "wb") as stream:
            stream.write(gzip.compress(b'{"type":"msg","run":0,"t":0,"text":"I ;"}\n' + header.encode()))
        with open(os.path.join(games, "a.z.s1.r1", "record.jsonl.gz"), "wb") as stream:
            stream.write(gzip.compress(b" " * (80 * 1024 * 1024)))


if __name__ == "__main__":
    unittest.main()
