"""Many games stepped by one call into librover: RoverEnv's vector form.

    from rover_vector_env import RoverVectorEnv
    envs = RoverVectorEnv("maps/open_plain.json", num_envs=64)
    obs, info = envs.reset(seed=0)                 # obs: num_envs rows, flat
    obs, rewards, terminated, truncated, info = envs.step([1] * 64)

Sub-environment i plays the games of seeds seed + i, seed + i + num_envs,
... (seed 0 when reset() is given none), one run per episode as RoverEnv.

Autoreset, as Gymnasium's default ("next step"): after a step that ends a
sub-environment's episode (terminated or truncated), its next step does not
use its action; it moves to the next run (a new game when its game has no
run left) and returns that run's first observation with reward 0,
terminated and truncated false, and info["reset"][i] true.
"""

import array
import ctypes
import os
import sys

if os.path.dirname(os.path.abspath(__file__)) not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rover_env import ACTION_REPLIES, DEFAULT_MAX_OBJECTS, Discrete, FlatSpace  # noqa: E402
from rover_library import BATCH_NEXT_RUN, GAME_END, RUN_END, LibraryGame, LibraryMap, StepInfo, \
    load_library  # noqa: E402
from rover_observation import observation_size  # noqa: E402


class RoverVectorEnv:
    """`num_envs` games in this process, stepped together. Observations are
    one flat array of num_envs rows of observation_space.shape[0] doubles."""

    metadata = {"render_modes": [], "autoreset_mode": "next_step"}

    def __init__(self, map_path, num_envs=64, max_objects=DEFAULT_MAX_OBJECTS, max_steps=None, lib=None):
        if num_envs < 1:
            raise ValueError("num_envs must be at least 1")
        self.lib = lib or load_library()
        self.map = LibraryMap(self.lib, map_path)
        self.num_envs = num_envs
        self.max_objects = max_objects
        self.max_steps = max_steps
        self.single_action_space = Discrete(len(ACTION_REPLIES))
        self.single_observation_space = FlatSpace(observation_size(max_objects))
        self.row_size = observation_size(max_objects)
        self.games = [None] * num_envs
        self.seeds = [None] * num_envs
        self._handles = (ctypes.c_void_p * num_envs)()
        self._infos = (StepInfo * num_envs)()
        self._obs = array.array("d", bytes(8 * num_envs * self.row_size))
        self._actions = array.array("B", bytes(num_envs))
        self._steps = [0] * num_envs
        self._done = [True] * num_envs  # the next step moves to a new run
        self._outcomes = [self.lib.rover_outcome_text(code).decode("ascii") for code in range(4)]

    def reset(self, seed=None, options=None):
        """New games of seeds seed + i, each at its first run: (observations, info)."""
        base = 0 if seed is None else seed
        for i in range(self.num_envs):
            self._new_game(i, base + i)
        observations, _, _, _, info = self._batch(next_run=True)
        return observations, info

    def step(self, actions):
        """One action (0-8) per sub-environment: (observations, rewards, terminated, truncated, info)."""
        if len(actions) != self.num_envs:
            raise ValueError(f"{len(actions)} actions for {self.num_envs} environments")
        if self.games[0] is None:
            raise RuntimeError("call reset() first")
        return self._batch(actions=actions)

    def close(self):
        for game in self.games:
            if game is not None:
                game.close()
        self.games = [None] * self.num_envs
        self.map.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _new_game(self, i, seed):
        if self.games[i] is not None:
            self.games[i].close()
        self.games[i] = LibraryGame(self.map, seed)
        self.seeds[i] = seed
        self._handles[i] = self.games[i].handle

    def _batch(self, actions=None, next_run=False):
        codes, done = self._actions, self._done
        for i in range(self.num_envs):
            if next_run or done[i]:
                codes[i] = BATCH_NEXT_RUN
            else:
                action = actions[i]
                if not 0 <= action < len(ACTION_REPLIES):
                    raise ValueError(f"no action {action!r} for environment {i}: 0 to 8")
                codes[i] = action
        status = self.lib.rover_step_batch(self._handles, self.num_envs, codes.buffer_info()[0],
                                           ctypes.addressof(self._infos), self._obs.buffer_info()[0],
                                           self.max_objects)
        infos = self._infos
        if status != 0:
            for i in range(self.num_envs):
                self.games[i].check(infos[i].stop)
        rewards = array.array("d", bytes(8 * self.num_envs))
        terminated = [False] * self.num_envs
        truncated = [False] * self.num_envs
        reset = [False] * self.num_envs
        steps, max_steps = self._steps, self.max_steps
        for i in range(self.num_envs):
            info = infos[i]
            if codes[i] == BATCH_NEXT_RUN:
                if info.stop == GAME_END:
                    self._restart(i)
                reset[i] = True
                steps[i] = 0
                done[i] = False
                continue
            reward = -info.covered_ms / 1000
            steps[i] += 1
            if info.stop == RUN_END:
                reward -= (info.score_ms - info.time_ms) / 1000
                terminated[i] = done[i] = True
            elif max_steps is not None and steps[i] >= max_steps:
                truncated[i] = done[i] = True
            rewards[i] = reward
        return self._obs[:], rewards, terminated, truncated, self._info(reset)

    def _restart(self, i):
        """A game with no run left: the next game of this sub-environment, at its first run."""
        self._new_game(i, self.seeds[i] + self.num_envs)
        info = StepInfo()
        self.games[i].next_run(info)
        self.games[i].observe(self._obs.buffer_info()[0] + 8 * i * self.row_size, self.max_objects)
        self._infos[i] = info

    def _info(self, reset):
        infos, outcomes = self._infos, self._outcomes
        return {
            "reset": reset,
            "run": [info.run for info in infos],
            "events": [info.events.decode("ascii") for info in infos],
            "outcome": [outcomes[info.outcome] if info.stop == RUN_END else None for info in infos],
            "score_ms": [info.score_ms if info.stop == RUN_END else None for info in infos],
            "seed": list(self.seeds),
        }
