"""The same tournament through sbatch on a real (one-node) Slurm cluster and
through GNU parallel, sandboxed and not: byte-identical results files and
records, and the same leaderboard but for its wall-clock reply times. SIGTERM to `run --engine slurm` cancels its arrays,
and a later run plays what is unfinished.

Run it under one_node_slurm.sh, which starts the cluster with MaxArraySize=2
so that the games need several job arrays."""

import json
import os
import signal
import subprocess
import sys
import time
import unittest

from careful_runner_test import STALLER
from realtime_test import short_map
from sandbox_test import OPEN_PLAIN
from tournament_fixture import (BOUND_S, SYSTEM_PYTHON, TOOL, ci_tournament, game_ids, plan, read_json, scratch,
                                tournament, wait_for_controllers, wait_until_gone, write_tournament)


def read_bytes(path):
    with open(path, "rb") as stream:
        return stream.read()


def without_timing(value):
    """A leaderboard without its reply times and telemetry lateness."""
    if isinstance(value, dict):
        return {key: without_timing(item) for key, item in value.items()
                if key not in ("reply_ms", "telemetry_late_ms")}
    if isinstance(value, list):
        return [without_timing(item) for item in value]
    return value


def squeue_empty():
    done = subprocess.run(["squeue", "-h", "-o", "%i"], capture_output=True, text=True, check=False)
    return done.returncode == 0 and not done.stdout.strip()


class SlurmEngineTest(unittest.TestCase):
    def setUp(self):
        self.assertIn("SLURM_CONF", os.environ, "run this test under tests/tournament/one_node_slurm.sh")

    def test_slurm_and_local_engines_with_and_without_sandbox_give_identical_outputs(self):
        folder = scratch(self)
        tournament_file = ci_tournament(folder)
        local = plan(tournament_file, os.path.join(folder, "local"))
        cluster = plan(tournament_file, os.path.join(folder, "cluster"))
        with open(tournament_file, encoding="utf-8") as stream:
            bare_file = write_tournament(folder, dict(json.load(stream), sandbox="none"), "bare.json")
        bare = plan(bare_file, os.path.join(folder, "bare"))

        tournament(["run", local, "--engine", "local", "-j", "2"])
        tournament(["run", bare, "--engine", "local", "-j", "2"])
        # 8 games, 3 per task: 3 tasks, more than one array of at most 2.
        submitted = tournament(["run", cluster, "--engine", "slurm", "--games-per-task", "3"])
        self.assertIn("submitted 8 games as 3 tasks in 2 arrays", submitted.stdout)

        games = game_ids(local)
        self.assertEqual(games, game_ids(cluster))
        for game in games:
            self.assertEqual(read_json(os.path.join(cluster, "games", game, "game.json"))["status"], "completed")
            for name in ("results.json", "record.jsonl.gz"):
                expected = read_bytes(os.path.join(local, "games", game, name))
                for other in (cluster, bare):
                    self.assertEqual(read_bytes(os.path.join(other, "games", game, name)), expected,
                                     f"{other}: {game}/{name}")
        for out in (local, cluster, bare):
            tournament(["report", out])
        # The same standings; the reply times are the only wall-clock figures.
        self.assertEqual(without_timing(read_json(os.path.join(local, "leaderboard.json"))),
                         without_timing(read_json(os.path.join(cluster, "leaderboard.json"))))

    def test_sigterm_cancels_the_arrays_and_a_later_run_plays_the_games(self):
        folder = scratch(self)
        os.chmod(folder, 0o755)  # the flag is read by the sandbox's user... through its own folder
        flags = os.path.join(folder, "flags")
        os.makedirs(flags, mode=0o755)
        flag = os.path.join(flags, "stall")
        open(flag, "w").close()
        controllers = [{"name": "staller", "command": [SYSTEM_PYTHON, "-c", STALLER, "{host}", "{port}", flag],
                        "folder": flags}]
        # Real-time games go into arrays of their own.
        quick = short_map(folder, "quick", [{"x": -9, "y": 3, "dir": 0}])
        out = plan(write_tournament(folder, {"controllers": controllers, "seeds": [1, 2], "game_time_limit_s": BOUND_S,
                                             "maps": [OPEN_PLAIN, {"name": "quick", "path": quick,
                                                                   "mode": "realtime"}]}),
                   os.path.join(folder, "out"))
        runner = subprocess.Popen([sys.executable, TOOL, "run", out, "--engine", "slurm"], stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, text=True)
        wait_for_controllers(self, flag, 2)  # both games are being played
        runner.send_signal(signal.SIGTERM)
        stdout, stderr = runner.communicate(timeout=BOUND_S)
        self.assertEqual(runner.returncode, 128 + signal.SIGTERM, stdout + stderr)
        self.assertIn("submitted 4 games as 4 tasks in 2 arrays: ", stdout)
        jobs = stdout.split("arrays: ")[1].split()
        self.assertIn(f"tournament: stopped by SIGTERM: cancelled the Slurm jobs {' '.join(jobs)} with scancel",
                      stderr)
        deadline = time.monotonic() + BOUND_S
        while not squeue_empty() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertTrue(squeue_empty())
        wait_until_gone(self, flag)
        wait_until_gone(self, os.path.join(out, "games"))
        self.assertFalse([g for g in game_ids(out) if os.path.exists(os.path.join(out, "games", g, "game.json"))])

        os.remove(flag)
        tournament(["run", out, "--engine", "slurm"])
        for game in game_ids(out):
            self.assertEqual(read_json(os.path.join(out, "games", game, "game.json"))["status"], "completed")
            self.assertEqual(read_json(os.path.join(out, "games", game, "results.json"))["mode"],
                             "realtime" if ".quick." in game else "lockstep")


if __name__ == "__main__":
    unittest.main()
