"""What `tournament play` and `run` do with hostile results files and stop
signals, unsandboxed (where a controller can write into its game folder):

- a results file that does not conform fails its game with the reason, and
  never crashes the runner or ranks its controller first; every way of
  breaking a real results file is refused;
- SIGTERM to `run --engine local` stops parallel and its running games,
  leaves no process and records nothing, and a later run plays them all."""

import copy
import hashlib
import json
import math
import os
import signal
import subprocess
import sys
import time
import unittest

from sandbox_test import OPEN_PLAIN
from tournament_fixture import (BOUND_S, BUILD, SOURCE, SYSTEM_PYTHON, TOOL, game_ids, plan, read_json, scratch,
                                tournament, wait_for_controllers, wait_until_gone, write_tournament)

sys.path.insert(0, os.path.join(SOURCE, "tools"))
from common.results_check import ExpectedGame, NonConforming, check_results, parse_results  # noqa: E402

# Writes the results file it is given into its working folder (the game
# folder, unsandboxed) and leaves without connecting: the server is killed
# and the forged file is all that is left.
FORGER = ("import sys\n"
          "open('results.json', 'w').write(sys.argv[1])\n")
# Connects, then waits while its flag file exists; then plays passively.
STALLER = ("import os, socket, sys, time\n"
           "s = socket.create_connection((sys.argv[1], int(sys.argv[2])))\n"
           "while os.path.exists(sys.argv[3]):\n"
           "    time.sleep(0.05)\n"
           "rest = b''\n"
           "while True:\n"
           "    data = s.recv(65536)\n"
           "    if not data:\n"
           "        break\n"
           "    *messages, rest = (rest + data).split(b';')\n"
           "    s.sendall(b';' * sum(m.strip().startswith(b'T') for m in messages))\n")


def mutations(document):
    """(what, text) for ways to break a real results document: every field
    removed or of another type, and every value a forger would change."""
    def paths(value, prefix=()):
        if isinstance(value, dict):
            for key, item in value.items():
                yield prefix + (key,)
                yield from paths(item, prefix + (key,))
        elif isinstance(value, list):
            for index, item in enumerate(value):
                yield from paths(item, prefix + (index,))

    def changed(path, new=None, remove=False):
        data = copy.deepcopy(document)
        target = data
        for key in path[:-1]:
            target = target[key]
        if remove:
            del target[path[-1]]
        else:
            target[path[-1]] = new
        return json.dumps(data)

    for path in paths(document):
        yield f"without {path}", changed(path, remove=True)
        for other in ("1", 1.5, None, True, [], {}, 7):
            if type(other) is not type(_at(document, path)):
                yield f"{path} = {other!r}", changed(path, other)
    runs = document["runs"]
    yield "a NaN score", json.dumps(dict(document, runs=[dict(runs[0], score=math.nan)] + runs[1:]))
    yield "runs numbered from 0", json.dumps(dict(document, runs=[dict(r, number=r["number"] - 1) for r in runs]))
    yield "a run more than the map has", json.dumps(dict(document, runs=runs + [dict(runs[-1], number=3)]))
    yield "a lower score", json.dumps(dict(document, runs=[dict(runs[0], score=runs[0]["score"] - 1)] + runs[1:],
                                           total_score=document["total_score"] - 1))
    other = "killed by Martian" if runs[0]["outcome"] != "killed by Martian" else "reached home"
    yield "another outcome", json.dumps(dict(document, runs=[dict(runs[0], outcome=other)] + runs[1:]))
    yield "another code", json.dumps(dict(document, runs=[dict(runs[0], code=(runs[0]["code"] + 1) % 4)] + runs[1:]))
    yield "completed with a run missing", json.dumps(dict(document, runs=runs[:1],
                                                          total_score=runs[0]["score"]))
    yield "another map", json.dumps(dict(document, map={"sha256": "0" * 64}))
    yield "another seed", json.dumps(dict(document, seed=document["seed"] + 1))
    yield "real time", json.dumps(dict(document, mode="realtime", reply_timeout_ms=None))
    yield "a reply timeout", json.dumps(dict(document, reply_timeout_ms=2000))
    yield "another total", json.dumps(dict(document, total_score=2))
    yield "an unknown field", json.dumps(dict(document, bonus=1))
    yield "a key twice", json.dumps(document)[:-1] + ', "total_score": 2}'
    yield "deep nesting", "[" * 100000 + "]" * 100000
    yield "not UTF-8", b"\xff\xfe".decode("latin-1")


def temporaries(folders):
    """What the servers' output files left as named temporaries (".NAME.XXXXXX")."""
    return [name for folder in folders if os.path.isdir(folder) for name in os.listdir(folder)
            if name.startswith(".")]


def _at(document, path):
    for key in path:
        document = document[key]
    return document


class CarefulRunnerTest(unittest.TestCase):
    def test_forged_results_fail_their_game_and_every_broken_results_file_is_refused(self):
        folder = scratch(self)
        forgeries = {
            "string_score": {"runs": [{"number": 1, "score": "0"}], "total_score": "0"},
            "nan_score": "NaN",
            "low_score": "LOW",
        }
        controllers = [{"name": "honest", "command": [os.path.join(BUILD, "pilot"), "{host}", "{port}"]}]
        controllers += [{"name": name, "command": [SYSTEM_PYTHON, "-c", FORGER, "FORGED", "{port}"]}
                        for name in forgeries]
        out = plan(write_tournament(folder, {"controllers": controllers, "maps": [OPEN_PLAIN], "seeds": [4],
                                             "game_time_limit_s": BOUND_S, "sandbox": "none"}),
                   os.path.join(folder, "out"))
        # Each forgery, built on the honest game's real results file.
        honest_game = os.path.join(out, "games", "honest.open_plain.s4.r1")
        tournament(["play", out, "honest.open_plain.s4.r1"])
        real = read_json(os.path.join(honest_game, "results.json"))
        first = real["runs"][0]
        texts = {
            "string_score": json.dumps(dict(real, runs=[dict(first, score="2")] + real["runs"][1:])),
            "nan_score": json.dumps(dict(real, runs=[dict(first, score=math.nan)] + real["runs"][1:],
                                         total_score=math.nan)),
            "low_score": json.dumps(dict(real, runs=[dict(run, score=1) for run in real["runs"]], total_score=2)),
        }
        plan_file = os.path.join(out, "plan.json")
        saved = read_json(plan_file)
        for name, text in texts.items():
            saved["controllers"][name][saved["controllers"][name].index("FORGED")] = text
        with open(plan_file, "w", encoding="utf-8") as stream:
            json.dump(saved, stream)
        tournament(["run", out, "--engine", "local", "-j", "2"])

        expected = {"string_score": 'runs[0].score is not an integer: "2"',
                    "nan_score": "holds NaN, which is not a JSON number",
                    "low_score": "runs[0].score is 1, expected"}
        for name, problem in expected.items():
            outcome = read_json(os.path.join(out, "games", f"{name}.open_plain.s4.r1", "game.json"))
            self.assertEqual(outcome["status"], "failed", outcome)
            self.assertTrue(outcome["reason"].startswith(f"the results file does not conform: {problem}"),
                            outcome["reason"])
            self.assertEqual((outcome["runs"], outcome["total_score"]), ([], 0))
        tournament(["report", out])
        board = read_json(os.path.join(out, "leaderboard.json"))
        self.assertEqual(board["standings"][0]["controller"], "honest")
        worst = 2 * (1000 + 2 * 30000)
        for standing in board["standings"][1:]:
            self.assertEqual((standing["failed"], standing["total_score"]), (1, worst))

        # Every way of breaking the real file is refused; the file itself passes.
        game = read_json(os.path.join(honest_game, "game.json"))
        with open(os.path.join(out, "maps", "open_plain.json"), "rb") as stream:
            sha = hashlib.sha256(stream.read()).hexdigest()
        expect = ExpectedGame(sha, "lockstep", game["server_seed"], 0, 2, 30000)
        self.assertEqual(check_results(parse_results(json.dumps(real).encode()), expect), real["runs"])
        count = 0
        for what, text in mutations(real):
            with self.subTest(what):
                with self.assertRaises(NonConforming):
                    check_results(parse_results(text.encode("utf-8", "surrogateescape")), expect)
            count += 1
        self.assertGreater(count, 100)

    def test_sigterm_stops_parallel_and_its_games_and_a_later_run_plays_them(self):
        folder = scratch(self)
        flag = os.path.join(folder, "stall")
        open(flag, "w").close()
        controllers = [{"name": f"staller{i}", "command": [SYSTEM_PYTHON, "-c", STALLER, "{host}", "{port}", flag]}
                       for i in (1, 2)]
        out = plan(write_tournament(folder, {"controllers": controllers, "maps": [OPEN_PLAIN], "seeds": [1, 2],
                                             "game_time_limit_s": BOUND_S, "sandbox": "none"}),
                   os.path.join(folder, "out"))
        runner = subprocess.Popen([sys.executable, TOOL, "run", out, "--engine", "local", "-j", "2"],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        wait_for_controllers(self, flag, 2)  # both games are being played
        playing = [os.path.join(out, "games", game) for game in game_ids(out)
                   if os.path.isdir(os.path.join(out, "games", game))]
        # Each server makes its output files once its map has loaded, which
        # may be after its controller started: the record, right after the
        # results file's temporary (unnamed where the file system allows).
        def records():
            return [game for game in playing if os.path.exists(os.path.join(game, "record.jsonl.gz"))]
        deadline = time.monotonic() + BOUND_S
        while len(records()) < 2 and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(len(records()), 2)
        runner.send_signal(signal.SIGTERM)
        _, stderr = runner.communicate(timeout=BOUND_S)
        self.assertEqual(runner.returncode, 128 + signal.SIGTERM)
        self.assertIn("tournament: stopped by SIGTERM: GNU parallel and the games it was playing were stopped",
                      stderr)
        wait_until_gone(self, out)  # parallel, the runners, their servers
        wait_until_gone(self, flag)  # and their controllers
        self.assertEqual([game for game in game_ids(out) if os.path.exists(os.path.join(out, "games", game,
                                                                                      "game.json"))], [])

        self.assertEqual(temporaries(playing), [])

        os.remove(flag)
        tournament(["run", out, "--engine", "local", "-j", "2"])
        for game in game_ids(out):
            self.assertEqual(read_json(os.path.join(out, "games", game, "game.json"))["status"], "completed")
        self.assertEqual(temporaries(os.path.join(out, "games", game) for game in game_ids(out)), [])


if __name__ == "__main__":
    unittest.main()
