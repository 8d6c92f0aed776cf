"""The same tournament through sbatch on a real (one-node) Slurm cluster and
through GNU parallel: byte-identical results files, records and leaderboard.

Run it under one_node_slurm.sh, which starts the cluster with MaxArraySize=2
so that the games need several job arrays."""

import os
import unittest

from tournament_fixture import ci_tournament, game_ids, plan, read_json, scratch, tournament


def read_bytes(path):
    with open(path, "rb") as stream:
        return stream.read()


class SlurmEngineTest(unittest.TestCase):
    def test_slurm_and_local_engines_give_identical_outputs(self):
        self.assertIn("SLURM_CONF", os.environ, "run this test under tests/tournament/one_node_slurm.sh")
        folder = scratch(self)
        tournament_file = ci_tournament(folder)
        local = plan(tournament_file, os.path.join(folder, "local"))
        cluster = plan(tournament_file, os.path.join(folder, "cluster"))

        tournament(["run", local, "--engine", "local", "-j", "2"])
        # 8 games, 3 per task: 3 tasks, more than one array of at most 2.
        submitted = tournament(["run", cluster, "--engine", "slurm", "--games-per-task", "3"])
        self.assertIn("submitted 8 games as 3 tasks in 2 arrays", submitted.stdout)

        games = game_ids(local)
        self.assertEqual(games, game_ids(cluster))
        for game in games:
            self.assertEqual(read_json(os.path.join(cluster, "games", game, "game.json"))["status"], "completed")
            for name in ("results.json", "record.jsonl.gz"):
                self.assertEqual(read_bytes(os.path.join(local, "games", game, name)),
                                 read_bytes(os.path.join(cluster, "games", game, name)), f"{game}/{name}")
        for out in (local, cluster):
            tournament(["report", out])
        self.assertEqual(read_bytes(os.path.join(local, "leaderboard.json")),
                         read_bytes(os.path.join(cluster, "leaderboard.json")))


if __name__ == "__main__":
    unittest.main()
