"""Tests of the training environment: /usr/bin/python3 -m unittest test_env (in clients/python).

They need librover and the server: ROVER_LIB and ROVER_SERVER name them
(ctest sets both), else the build folder is used.
"""

import importlib.util
import os
import random
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import rover_library  # noqa: E402
from rover_env import ACTION_REPLIES, RoverEnv  # noqa: E402
from rover_vector_env import RoverVectorEnv  # noqa: E402

MAPS = os.path.join(HERE, "..", "..", "maps")
BOULDERS = os.path.join(MAPS, "boulder_field.json")  # 3 runs, boulders to bounce off
PATROL = os.path.join(MAPS, "martian_patrol.json")   # 3 runs with craters and Martians


def policy(seed):
    """Mostly forward, turning at random: it bounces, and now and then ends a run early."""
    rng = random.Random(seed)
    return lambda: 1 if rng.random() < 0.5 else rng.randrange(len(ACTION_REPLIES))


def play_game(env, seed, act, runs):
    """Every step of `runs` episodes from reset(seed=seed) on, as plain values."""
    steps = []
    obs, info = env.reset(seed=seed)
    steps.append(("reset", list(obs), info))
    for episode in range(runs):
        if episode:
            obs, info = env.reset()
            steps.append(("reset", list(obs), info))
        terminated = truncated = False
        while not (terminated or truncated):
            obs, reward, terminated, truncated, info = env.step(act())
            steps.append(("step", list(obs), reward, terminated, truncated, info))
    return steps


def episodes(steps):
    """The steps cut into episodes at every reset."""
    cut = []
    for step in steps:
        if step[0] == "reset":
            cut.append([])
        cut[-1].append(step)
    return cut


class BackendsTest(unittest.TestCase):
    def test_library_and_server_give_the_same_game(self):
        for path, seed in ((BOULDERS, 3), (PATROL, 11)):
            with self.subTest(map=os.path.basename(path)):
                with RoverEnv(path) as library, RoverEnv(path, backend="socket") as server:
                    # The whole game and the first run of the next one.
                    ours = play_game(library, seed, policy(seed), 4)
                    theirs = play_game(server, seed, policy(seed), 4)
                self.assertEqual(ours, theirs)
                infos = [step[-1] for step in ours]
                self.assertIn(seed + 1, [info["seed"] for info in infos])
                self.assertGreater(sum("B" in info["events"] for info in infos), 0)
                # Objects of every kind the map has were seen and compared.
                kinds = {row[8 + 6 * i] for _, row, *_ in ours for i in range(int(min(row[7], 16)))}
                self.assertLessEqual({1.0, 3.0}, kinds)
                if path == PATROL:
                    self.assertLessEqual({2.0, 4.0}, kinds)


class ResetTest(unittest.TestCase):
    def setUp(self):
        self.env = RoverEnv(BOULDERS, max_objects=4)

    def tearDown(self):
        self.env.close()

    def test_runs_in_order_then_the_next_game(self):
        steps = play_game(self.env, 5, policy(1), 4)
        starts = [(step[2]["seed"], step[2]["run"]) for step in steps if step[0] == "reset"]
        self.assertEqual(starts, [(5, 1), (5, 2), (5, 3), (6, 1)])
        for episode in episodes(steps):
            first, last = episode[0], episode[-1]
            self.assertEqual(first[1][0], 0.0)  # a run's first T is at 0 ms
            self.assertTrue(last[3] and not last[4])
            self.assertAlmostEqual(sum(step[2] for step in episode[1:]), -last[5]["score_ms"] / 1000, places=9)
            self.assertTrue(all(step[5]["outcome"] is None for step in episode[1:-1]))
            self.assertIn(last[5]["outcome"], ("reached home", "time limit exceeded", "crashed into crater",
                                               "killed by Martian"))

    def test_the_same_seed_gives_the_same_episodes(self):
        first = play_game(self.env, 9, policy(2), 2)
        again = play_game(self.env, 9, policy(2), 2)
        self.assertEqual(first, again)
        other = play_game(self.env, 9, policy(3), 2)
        self.assertNotEqual(first, other)

    def test_a_step_cap_truncates_and_the_run_is_played_out(self):
        capped = RoverEnv(BOULDERS, max_steps=7)
        try:
            capped.reset(seed=0)
            results = [capped.step(1) for _ in range(7)]
            self.assertEqual([r[2] for r in results], [False] * 7)
            self.assertEqual([r[3] for r in results], [False] * 6 + [True])
            with self.assertRaises(RuntimeError):
                capped.step(1)
            _, info = capped.reset()
            self.assertEqual((info["seed"], info["run"], info["time_ms"]), (0, 2, 0))
        finally:
            capped.close()

    def test_bad_actions_are_refused(self):
        self.env.reset(seed=0)
        for action in (-1, 9):
            with self.assertRaises(ValueError):
                self.env.step(action)
        self.env.step(0)  # the game goes on


class VectorTest(unittest.TestCase):
    def test_steps_as_single_environments_with_next_step_autoreset(self):
        count, max_steps = 3, 150
        vector = RoverVectorEnv(BOULDERS, num_envs=count, max_objects=4, max_steps=max_steps)
        singles = [RoverEnv(BOULDERS, max_objects=4, max_steps=max_steps) for _ in range(count)]
        size = vector.single_observation_space.shape[0]
        try:
            rows, info = vector.reset(seed=20)
            for i, env in enumerate(singles):
                obs, single_info = env.reset(seed=20 + i)
                self.assertEqual(list(rows[i * size:(i + 1) * size]), list(obs))
                self.assertEqual(info["seed"][i], single_info["seed"])
            acts = [policy(i) for i in range(count)]
            done = [False] * count
            single_info_of = [None] * count
            ends = [0, 0]  # terminated, truncated
            for _ in range(700):  # the 3 runs of each game and some of the next
                actions = [act() for act in acts]
                rows, rewards, terminated, truncated, info = vector.step(actions)
                for i, env in enumerate(singles):
                    if done[i]:
                        # The vector's next game of sub-environment i is seed + count, not seed + 1.
                        last_run = single_info_of[i]["run"] == 3
                        obs, single_info = env.reset(seed=env.seed + count) if last_run else env.reset()
                        done[i] = False
                        expected = (list(obs), 0.0, False, False, True, single_info["seed"], single_info["run"])
                    else:
                        obs, reward, term, trunc, single_info = env.step(actions[i])
                        expected = (list(obs), reward, term, trunc, False, single_info["seed"], single_info["run"])
                        done[i] = term or trunc
                        ends[0] += term
                        ends[1] += trunc
                    single_info_of[i] = single_info
                    got = (list(rows[i * size:(i + 1) * size]), rewards[i], terminated[i], truncated[i],
                           info["reset"][i], info["seed"][i], info["run"][i])
                    self.assertEqual(got, expected)
            self.assertGreater(min(ends), 0)
            self.assertGreater(sum(ends), count * 3)
            self.assertGreater(max(info["seed"]), 22)  # a second game began
        finally:
            vector.close()
            for env in singles:
                env.close()


class LoadingTest(unittest.TestCase):
    def test_rover_env_loads_by_its_path(self):
        found = importlib.util.spec_from_file_location("env_by_path", os.path.join(HERE, "rover_env.py"))
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        self.assertEqual(module.RoverEnv(BOULDERS).action_space.n, 9)

    def test_a_missing_library_names_where_it_was_looked_for(self):
        saved = os.environ.get("ROVER_LIB"), rover_library.BUILD_FOLDERS, rover_library.INSTALLED_NAME
        os.environ["ROVER_LIB"] = "/nonexistent/librover.so"
        rover_library.BUILD_FOLDERS = ("no-such-build",)
        rover_library.INSTALLED_NAME = "librover-none.so.1"
        try:
            with self.assertRaises(rover_library.LibraryMissing) as caught:
                rover_library.load_library()
        finally:
            if saved[0] is None:
                del os.environ["ROVER_LIB"]
            else:
                os.environ["ROVER_LIB"] = saved[0]
            rover_library.BUILD_FOLDERS, rover_library.INSTALLED_NAME = saved[1:]
        message = str(caught.exception)
        for part in ("/nonexistent/librover.so", "no-such-build", "librover-none.so.1",
                     "cmake --build build/release --target rover"):
            self.assertIn(part, message)

    def test_a_bad_map_reports_its_place(self):
        with self.assertRaises(rover_library.LibraryError) as caught:
            RoverEnv(os.path.join(HERE, "test_env.py"))
        self.assertIn("test_env.py:1:1", str(caught.exception))
        import rover_socket_game
        with RoverEnv(os.path.join(HERE, "test_env.py"), backend="socket") as env:
            with self.assertRaises(rover_socket_game.ServerFailed) as caught:
                env.reset(seed=0)
        self.assertIn("before its first run: uncaught exception: Fail", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
