"""Real-time games in tournaments, with the real server and pilot:

- a real-time, sandboxed tournament of pilot and a controller that takes no
  arguments and connects to localhost:17676, on two maps whose runs last a
  few seconds: every game completes with all its runs, with its timing file,
  and the leaderboard shows telemetry lateness and standard errors;
- a map set to real time inside a lockstep tournament is played in real
  time, after the lockstep games, and ranked in a table of its own; with
  ROVER_LIVE_RECORD=1, as `run --live` gives its games, both games' records
  reach the file at every T;
- the same lockstep game with and without --timing gives byte-identical
  results files and records, and the timing file reads as the report reads it."""

import gzip
import json
import os
import sys
import time
import unittest

from tournament_fixture import BUILD, SOURCE, SYSTEM_PYTHON, plan, read_json, scratch, tournament, write_tournament

sys.path.insert(0, os.path.join(SOURCE, "tools"))
from common.game_run import play_unsandboxed  # noqa: E402
from common.server_command import server_words  # noqa: E402
from common.timing_file import read_timing  # noqa: E402

FIXED_PORT_BOT = os.path.join(SOURCE, "tests", "tournament", "bots", "fixed_port_bot.py")
PARAMS = {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60, "rotAccel": 120, "frontView": 30,
          "rearView": 5}


def short_map(folder, name, runs):
    """Runs of at most 3 s, each starting a few metres from home."""
    path = os.path.join(folder, f"{name}.json")
    with open(path, "w", encoding="utf-8") as stream:
        json.dump({"size": 60, "timeLimit": 3000, "vehicleParams": PARAMS, "martianParams": PARAMS,
                   "craters": [], "boulders": [{"x": 0, "y": 20, "r": 2}],
                   "runs": [{"vehicle": vehicle, "enemies": [{"x": 25, "y": 25, "dir": 90, "speed": 1, "view": 5}]}
                            for vehicle in runs]}, stream)
    return path


def pilot():
    return [os.path.join(BUILD, "pilot"), "{host}", "{port}"]


class RealTimeTest(unittest.TestCase):
    def setUp(self):
        self.folder = scratch(self)
        self.two_runs = short_map(self.folder, "two_runs", [{"x": 10, "y": 0, "dir": 180},
                                                            {"x": 0, "y": -10, "dir": 90}])
        self.one_run = short_map(self.folder, "one_run", [{"x": -9, "y": 3, "dir": 0}])

    def test_sandboxed_real_time_tournament_with_a_fixed_port_controller(self):
        out = plan(write_tournament(self.folder, {
            "controllers": [{"name": "pilot", "command": pilot()},
                            {"name": "fixed", "command": [SYSTEM_PYTHON, FIXED_PORT_BOT]}],
            # 5 s is less than a game of two runs takes in real time (about
            # 7 s); its wall-clock limit is 2 x (3 s + 1 s) + 30 s all the same.
            "maps": [self.two_runs, self.one_run], "seeds": [1, 2], "mode": "realtime", "game_time_limit_s": 5}),
            os.path.join(self.folder, "out"))
        done = tournament(["run", out, "--engine", "local", "-j", "2"])
        self.assertIn("playing 8 real-time games with GNU parallel", done.stdout)
        for game in os.listdir(os.path.join(out, "games")):
            here = os.path.join(out, "games", game)
            outcome = read_json(os.path.join(here, "game.json"))
            self.assertEqual((outcome["status"], len(outcome["runs"])), ("completed", 2 if ".two_runs." in game else 1),
                             outcome)
            results = read_json(os.path.join(here, "results.json"))
            self.assertEqual((results["mode"], results["reply_timeout_ms"]), ("realtime", None))
            self.assertTrue(os.path.exists(os.path.join(here, "timing.json")), game)

        tournament(["report", out])
        board = read_json(os.path.join(out, "leaderboard.json"))
        self.assertEqual((board["mode"], board["other_mode"]), ("realtime", None))
        for standing in board["standings"]:
            self.assertEqual(standing["games"], 4)
            # Two seeds per map: every mean has a standard error.
            for tally in [standing] + list(standing["maps"].values()):
                self.assertIsNotNone(tally["standard_error"], standing["controller"])
            self.assertGreater(standing["telemetry_late_ms"]["count"], 0)
            self.assertLessEqual(standing["telemetry_late_ms"]["median"], standing["telemetry_late_ms"]["max"])

    def test_a_real_time_map_in_a_lockstep_tournament(self):
        out = plan(write_tournament(self.folder, {
            "controllers": [{"name": "pilot", "command": pilot()}],
            "maps": [os.path.join(SOURCE, "maps", "open_plain.json"),
                     {"name": "quick", "path": self.one_run, "mode": "realtime"}],
            "seeds": [3], "reply_timeout_ms": 60000, "game_time_limit_s": 600, "sandbox": "none"}),
            os.path.join(self.folder, "out"))
        # As `run --live` sets it for its games: their records reach the file at every T.
        done = tournament(["run", out, "--engine", "local"], env=dict(os.environ, ROVER_LIVE_RECORD="1"))
        # The real-time game in a pass of its own, after the lockstep one.
        passes = [line for line in done.stdout.splitlines() if line.startswith("playing ")]
        self.assertEqual([line.split(" with ")[0] for line in passes],
                         ["playing 1 lockstep game", "playing 1 real-time game"])
        for game, mode, timeout in (("pilot.open_plain.s3.r1", "lockstep", 60000), ("pilot.quick.s3.r1", "realtime",
                                                                                    None)):
            results = read_json(os.path.join(out, "games", game, "results.json"))
            self.assertEqual((results["status"], results["mode"], results["reply_timeout_ms"], results["seed"]),
                             ("completed", mode, timeout, 3))
            # A sync flush after every T's lines: each ends with the bytes 00 00 ff ff.
            record = read_bytes(os.path.join(out, "games", game, "record.jsonl.gz"))
            telemetry = gzip.decompress(record).count(b'"text":"T ')
            self.assertGreater(telemetry, 10)
            self.assertGreaterEqual(record.count(b"\x00\x00\xff\xff"), telemetry)
        tournament(["report", out])
        board = read_json(os.path.join(out, "leaderboard.json"))
        self.assertEqual((board["mode"], list(board["standings"][0]["maps"])), ("lockstep", ["open_plain"]))
        self.assertEqual((board["other_mode"]["mode"], list(board["other_mode"]["standings"][0]["maps"])),
                         ("realtime", ["quick"]))

    def test_timing_changes_no_byte_of_the_results_or_the_record(self):
        server = os.path.join(BUILD, "server")
        outputs = {}
        for timing in (None, "timing.json"):
            here = os.path.join(self.folder, str(timing))
            os.makedirs(here)
            argv = server_words(server, os.path.join(SOURCE, "maps", "boulder_field.json"), "lockstep", 0, seed=4,
                                record=os.path.join(here, "record.jsonl.gz"),
                                results=os.path.join(here, "results.json"),
                                timing=os.path.join(here, timing) if timing else None)
            ending = play_unsandboxed(argv, pilot(), here, here, 120, time.monotonic())
            self.assertEqual((ending.ending, ending.server_exit, ending.controller_exit), (None, 0, 0))
            outputs[timing] = [read_bytes(os.path.join(here, name)) for name in ("results.json", "record.jsonl.gz")]
        self.assertEqual(outputs[None], outputs["timing.json"])
        # One reply per T of the game, every one of them timed.
        histogram = read_timing(os.path.join(self.folder, "timing.json", "timing.json"), "lockstep")
        telemetry = gzip.decompress(outputs[None][1]).count(b'"text":"T ')
        self.assertEqual(histogram.total, telemetry)
        self.assertLessEqual(histogram.quantile(0.5), histogram.maximum)


def read_bytes(path):
    with open(path, "rb") as stream:
        return stream.read()


if __name__ == "__main__":
    unittest.main()
