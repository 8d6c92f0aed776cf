"""The tournament on the local engine, with the real server, pilot and
simple_pilot.py: every game finishes, the leaderboard adds up the results
files, a deleted game and only that one is replayed, and controllers that
hang or quit get their outcome."""

import collections
import gzip
import os
import sys
import unittest

from tournament_fixture import (SOURCE, SYSTEM_PYTHON, ci_tournament, game_ids, plan, read_json, scratch,
                                tournament, write_tournament)

HOME = 3


def unplayed_run_score(out, map_name):
    return 1000 + 2 * read_json(os.path.join(out, "plan.json"))["maps"][map_name]["time_limit_ms"]


def martian_lines(record):
    with gzip.open(record, "rt", encoding="utf-8") as stream:
        return [line for line in stream if line.startswith('{"type":"martians"')]


class LocalEngineTest(unittest.TestCase):
    def test_every_game_finishes_adds_up_and_only_a_lost_game_is_replayed(self):
        out = plan(ci_tournament(scratch(self)), os.path.join(scratch(self), "cup"))
        games = game_ids(out)
        self.assertEqual(len(games), 8)  # 2 controllers x 2 maps x 2 seeds
        tournament(["run", out, "--engine", "local", "-j", "2"])

        results = {}
        for game in games:
            outcome = read_json(os.path.join(out, "games", game, "game.json"))
            self.assertEqual(outcome["status"], "completed", outcome)
            results[game] = read_json(os.path.join(out, "games", game, "results.json"))
            self.assertEqual(results[game]["status"], "completed")
            self.assertEqual(results[game]["mode"], "lockstep")
            self.assertEqual(outcome["runs"], results[game]["runs"])
        # The Martians move by the seed: the same controller on the same map
        # meets them elsewhere with the other seed.
        records = {seed: martian_lines(os.path.join(out, "games", f"pilot.martian_patrol.s{seed}.r1",
                                                    "record.jsonl.gz")) for seed in (1, 2)}
        self.assertTrue(records[1] and records[2])
        self.assertNotEqual(records[1], records[2])

        # The leaderboard's numbers, recomputed from the server's results files.
        tournament(["report", out])
        board = read_json(os.path.join(out, "leaderboard.json"))
        totals, homes, runs = collections.Counter(), collections.Counter(), collections.Counter()
        for game, document in results.items():
            controller, map_name = game.split(".")[:2]
            for key in (controller, (controller, map_name)):
                totals[key] += document["total_score"]
                runs[key] += len(document["runs"])
                homes[key] += sum(run["code"] == HOME for run in document["runs"])
        self.assertEqual(sorted(s["controller"] for s in board["standings"]), ["pilot", "simple_pilot"])
        for standing in board["standings"]:
            name = standing["controller"]
            self.assertEqual(standing["total_score"], totals[name])
            self.assertEqual(standing["runs"], runs[name])
            self.assertEqual(standing["home_runs"], homes[name])
            self.assertEqual(standing["mean_score"], totals[name] / runs[name])
            self.assertEqual((standing["completed"], standing["failed"], standing["timed_out"]), (4, 0, 0))
            for map_name, tally in standing["maps"].items():
                self.assertEqual(tally["total_score"], totals[(name, map_name)])
                self.assertEqual(tally["home_runs"], homes[(name, map_name)])
        ranked = [s["total_score"] for s in board["standings"]]
        self.assertEqual(ranked, sorted(ranked))
        with open(os.path.join(out, "leaderboard.csv"), encoding="utf-8") as stream:
            csv_text = stream.read()
        for name in ("pilot", "simple_pilot"):
            self.assertIn(f",{name},all,4,4,0,0,0,{runs[name]},{homes[name]},", csv_text)

        # Lose one game's folder: the next run plays that game and no other,
        # and, lockstep and seeded, it plays it byte for byte the same way.
        lost = "simple_pilot.martian_patrol.s2.r1"
        kept = {game: os.stat(os.path.join(out, "games", game, "game.json")).st_mtime_ns
                for game in games if game != lost}
        with open(os.path.join(out, "games", lost, "results.json"), "rb") as stream:
            lost_results = stream.read()
        with open(os.path.join(out, "local.joblog"), encoding="utf-8") as stream:
            logged = len(stream.readlines())
        for name in os.listdir(os.path.join(out, "games", lost)):
            os.remove(os.path.join(out, "games", lost, name))
        os.rmdir(os.path.join(out, "games", lost))
        tournament(["run", out, "--engine", "local", "-j", "2"])
        with open(os.path.join(out, "local.joblog"), encoding="utf-8") as stream:
            new_lines = stream.readlines()[logged:]
        self.assertEqual(len(new_lines), 1)
        self.assertTrue(new_lines[0].rstrip("\n").endswith(f" {lost}"), new_lines)
        for game, stamp in kept.items():
            self.assertEqual(os.stat(os.path.join(out, "games", game, "game.json")).st_mtime_ns, stamp, game)
        with open(os.path.join(out, "games", lost, "results.json"), "rb") as stream:
            self.assertEqual(stream.read(), lost_results)
        self.assertEqual(tournament(["run", out, "--engine", "local"]).stdout.strip(),
                         "every game has an outcome already")

    def test_hung_controller_times_out_and_quitting_controller_fails(self):
        folder = scratch(self)
        # Plays the first run with empty replies, then leaves its pid and never
        # answers again: in lockstep without a reply timeout only the
        # wall-clock limit ends this game, and only the record knows run 1.
        hang = [sys.executable, "-c",
                "import os, socket, sys, time\n"
                "s = socket.create_connection((sys.argv[1], int(sys.argv[2])))\n"
                "rest, ended = b'', False\n"
                "while not ended:\n"
                "    *messages, rest = (rest + s.recv(65536)).split(b';')\n"
                "    s.sendall(b';' * sum(m.startswith(b'T') for m in messages))\n"
                "    ended = any(m.startswith(b'E') for m in messages)\n"
                "open('hung.pid', 'w').write(str(os.getpid()))\n"
                "time.sleep(3600)\n", "{host}", "{port}"]
        maps = [os.path.join(SOURCE, "maps", "open_plain.json")]
        # Unsandboxed, so that the test can see the controller's own pid.
        hung = plan(write_tournament(folder, {"controllers": [{"name": "hang", "command": hang}], "maps": maps,
                                              "seeds": [7], "game_time_limit_s": 8, "sandbox": "none"},
                                     "hung.json"),
                    os.path.join(folder, "hung"))
        # Answers the first T with an illegal command holding a newline.
        illegal = [SYSTEM_PYTHON, "-c",
                   "import socket, sys\n"
                   "s = socket.create_connection((sys.argv[1], int(sys.argv[2])))\n"
                   "while b'T' not in s.recv(65536): pass\n"
                   "s.sendall(b'x\\n;;')\n"
                   "s.recv(65536)\n", "{host}", "{port}"]
        quits = plan(write_tournament(folder, {"controllers": [{"name": "quit", "command": ["false", "{port}"]},
                                                               {"name": "illegal", "command": illegal}],
                                               "maps": maps, "seeds": [7], "game_time_limit_s": 600},
                                      "quits.json"), os.path.join(folder, "quits"))
        tournament(["run", hung, "--engine", "local"])
        tournament(["run", quits, "--engine", "local"])

        timed_out = read_json(os.path.join(hung, "games", "hang.open_plain.s7.r1", "game.json"))
        self.assertEqual(timed_out["status"], "timed out")
        self.assertEqual(timed_out["server_exit"], -9)
        self.assertEqual(timed_out["controller_exit"], -9)
        self.assertFalse(os.path.exists(os.path.join(hung, "games", "hang.open_plain.s7.r1", "results.json")))
        # The run that ended before the hang, rebuilt from the record by replay.
        self.assertEqual(timed_out["runs_from"], "record")
        self.assertEqual([(r["number"], r["outcome"]) for r in timed_out["runs"]], [(1, "time limit exceeded")])
        with open(os.path.join(hung, "games", "hang.open_plain.s7.r1", "hung.pid"), encoding="utf-8") as stream:
            self.assertFalse(os.path.exists(f"/proc/{stream.read()}"))
        # The killed server's temporary results file is gone; its partial
        # record stays, and the leaderboard links it.
        self.assertEqual([name for name in os.listdir(os.path.join(hung, "games", "hang.open_plain.s7.r1"))
                          if name.startswith(".")], [])

        failed = read_json(os.path.join(quits, "games", "quit.open_plain.s7.r1", "game.json"))
        self.assertEqual(failed["status"], "failed")
        self.assertEqual(failed["reason"], "controller exited 1 while the server was still waiting")
        self.assertEqual(failed["server_exit"], -9)
        self.assertFalse(os.path.exists(os.path.join(quits, "games", "quit.open_plain.s7.r1", "results.json")))
        # The server's line, then its message, escaped onto one line.
        self.assertEqual(read_json(os.path.join(quits, "games", "illegal.open_plain.s7.r1", "game.json"))["reason"],
                         'uncaught exception: Fail: illegal command "x\\n"')

        # Every run a game did not play scores as the worst run there is.
        worst = unplayed_run_score(hung, "open_plain")
        for out, status, total in ((hung, "timed_out", timed_out["runs"][0]["score"] + worst),
                                   (quits, "failed", 2 * worst)):
            tournament(["report", out])
            board = read_json(os.path.join(out, "leaderboard.json"))
            standing = board["standings"][-1]
            self.assertEqual(standing[status], 1)
            self.assertEqual(standing["total_score"], total)
        self.assertEqual(board["game_scores"][0]["record"], None)  # the server never got a client
        self.assertEqual(read_json(os.path.join(hung, "leaderboard.json"))["game_scores"][0]["record"],
                         "games/hang.open_plain.s7.r1/record.jsonl.gz")


if __name__ == "__main__":
    unittest.main()
