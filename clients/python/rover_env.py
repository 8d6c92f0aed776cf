"""The game as a training environment, in the shape of Gymnasium's API
(without Gymnasium: standard library only).

    from rover_env import RoverEnv
    env = RoverEnv("maps/boulder_field.json")          # the game in-process (librover)
    obs, info = env.reset(seed=0)
    while True:
        obs, reward, terminated, truncated, info = env.step(env.action_space.sample())
        if terminated or truncated:
            break

An episode is one run of the map. reset(seed=s) starts a new game with seed
s at its first run; reset() moves on to the next run of the game, and after
its last run starts a new game with the seed plus one (the first game's seed
is 0, the server's default). The action is 0-8: nothing, a, b, l, r, al, ar,
bl, br, each sent as one lockstep reply. Each step's reward is minus the run
time it covered, in seconds; the step that ends the run adds minus (score -
run time), so an episode's rewards add up to minus its score in seconds.

RoverEnv(map, backend="socket") plays the same games against the real
server (`server --lockstep --reply-timeout 0 --seed S` per game): a policy
trained in-process plays a real server unchanged. docs/training.md has more.
"""

import array
import ctypes
import os
import random
import sys

if os.path.dirname(os.path.abspath(__file__)) not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rover_library import GAME_END, RUN_END, TELEMETRY, LibraryGame, LibraryMap, StepInfo, load_library  # noqa: E402
from rover_observation import observation_row, observation_size  # noqa: E402

# The replies of the nine actions, in order: nothing, a, b, l, r, al, ar, bl, br.
ACTION_REPLIES = (b";", b"a;;", b"b;;", b"l;;", b"r;;", b"al;;", b"ar;;", b"bl;;", b"br;;")
ACTION_NAMES = ("nothing", "a", "b", "l", "r", "al", "ar", "bl", "br")
DEFAULT_MAX_OBJECTS = 16


class Discrete:
    """The action space: the integers 0 .. n-1."""

    def __init__(self, n, seed=None):
        self.n = n
        self._random = random.Random(seed)

    def sample(self):
        return self._random.randrange(self.n)

    def seed(self, seed):
        self._random.seed(seed)

    def contains(self, action):
        return isinstance(action, int) and 0 <= action < self.n


class FlatSpace:
    """The observation space: a flat row of `size` doubles (docs/training.md has the layout)."""

    def __init__(self, size):
        self.shape = (size,)


class _Backend:
    """What both backends share: one game at a time, its record's place."""

    game = None
    record_folder = None

    def record_path(self, seed):
        return None if self.record_folder is None else os.path.join(self.record_folder, f"seed-{seed}.jsonl")

    def close_game(self):
        if self.game is not None:
            self.game.close()
            self.game = None

    def close(self):
        self.close_game()


class LibraryBackend(_Backend):
    """Games in this process, through librover."""

    def __init__(self, map_path, max_objects, lib=None, record_folder=None):
        self.lib = lib or load_library()
        self.map = LibraryMap(self.lib, map_path)
        self.max_objects = max_objects
        self.record_folder = record_folder
        self.game = None
        self.row = array.array("d", bytes(8 * observation_size(max_objects)))
        self._row_address = self.row.buffer_info()[0]
        self._info = StepInfo()
        self._info_address = ctypes.addressof(self._info)
        self._handles = (ctypes.c_void_p * 1)()
        self._action = array.array("B", [0])
        self._action_address = self._action.buffer_info()[0]
        self._outcomes = [self.lib.rover_outcome_text(code).decode("ascii") for code in range(4)]

    def new_game(self, seed):
        self.close_game()
        self.game = LibraryGame(self.map, seed, self.record_path(seed))
        self._handles[0] = self.game.handle

    def _report(self):
        info = self._info
        outcome = self._outcomes[info.outcome] if info.stop == RUN_END else None
        return info.stop, info.run, info.time_ms, info.covered_ms, info.events.decode("ascii"), outcome, \
            info.score_ms, info.started

    def next_run(self):
        self.game.next_run(self._info)
        if self._info.stop == TELEMETRY:
            self.game.observe(self._row_address, self.max_objects)
        return self._report()

    def step(self, action):
        self._action[0] = action
        # One call steps and writes the observation row.
        if self.lib.rover_step_batch(self._handles, 1, self._action_address, self._info_address,
                                     self._row_address, self.max_objects) != 0:
            self.game.check(self._info.stop)
        return self._report()

    def close(self):
        self.close_game()
        self.map.close()


class SocketBackend(_Backend):
    """Games against the real server, one process per game."""

    def __init__(self, map_path, max_objects, server=None, record_folder=None):
        import rover_socket_game  # only this backend needs tools/common
        self.module = rover_socket_game
        self.map_path = map_path
        self.max_objects = max_objects
        self.server = rover_socket_game.find_server(server)
        self.record_folder = record_folder
        self.game = None
        self.row = array.array("d", bytes(8 * observation_size(max_objects)))

    def new_game(self, seed):
        self.close_game()
        self.game = self.module.SocketGame(self.map_path, seed, self.server, self.record_path(seed))

    def _report(self, report):
        if report.stop == TELEMETRY:
            observation_row(self.game.telemetry, self.row, self.max_objects)
        outcome = report.outcome if report.stop == RUN_END else None
        return report.stop, report.run, report.time_ms, report.covered_ms, report.events, outcome, \
            report.score_ms, report.started

    def next_run(self):
        return self._report(self.game.next_run())

    def step(self, action):
        return self._report(self.game.step_reply(ACTION_REPLIES[action]))


class RoverEnv:
    """One game at a time, one run per episode. `backend` is "library" (in
    this process, through librover) or "socket" (the real server).
    `max_objects` is how many objects of a T the observation holds;
    `max_steps` truncates an episode after that many steps (none by
    default); `record_folder`, when given, gets every game's record as
    seed-S.jsonl; `server` is the server program for the socket backend."""

    metadata = {"render_modes": []}

    def __init__(self, map_path, backend="library", max_objects=DEFAULT_MAX_OBJECTS, max_steps=None,
                 record_folder=None, server=None):
        if backend == "library":
            self._backend = LibraryBackend(map_path, max_objects, record_folder=record_folder)
        elif backend == "socket":
            self._backend = SocketBackend(map_path, max_objects, server=server, record_folder=record_folder)
        else:
            raise ValueError(f"unknown backend {backend!r}: \"library\" or \"socket\"")
        self.backend = backend
        self.action_space = Discrete(len(ACTION_REPLIES))
        self.observation_space = FlatSpace(observation_size(max_objects))
        self.max_steps = max_steps
        self.seed = None  # the current game's
        self._in_episode = False
        self._steps = 0

    def reset(self, seed=None, options=None):
        """(observation, info) at the first T of the next episode (see the module's text)."""
        if seed is not None or self.seed is None:
            self._new_game(0 if seed is None else seed)
            report = self._backend.next_run()
        else:
            report = self._backend.next_run()
            if report[0] == GAME_END:
                self._new_game(self.seed + 1)
                report = self._backend.next_run()
        if report[0] != TELEMETRY:
            raise RuntimeError("the game's new run did not begin with a T")
        self._in_episode = True
        self._steps = 0
        return self._backend.row[:], self._info(report)

    def step(self, action):
        """(observation, reward, terminated, truncated, info) for one action 0-8."""
        if not self._in_episode:
            raise RuntimeError("the episode is over (or has not begun): call reset()")
        if not 0 <= action < len(ACTION_REPLIES):
            raise ValueError(f"no action {action!r}: 0 to 8")
        report = self._backend.step(action)
        stop, time_ms, covered_ms, score_ms = report[0], report[2], report[3], report[6]
        reward = -covered_ms / 1000
        terminated = stop == RUN_END
        if terminated:
            reward -= (score_ms - time_ms) / 1000
        self._steps += 1
        truncated = not terminated and self.max_steps is not None and self._steps >= self.max_steps
        self._in_episode = not (terminated or truncated)
        return self._backend.row[:], reward, terminated, truncated, self._info(report)

    def close(self):
        self._backend.close()
        self._in_episode = False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _new_game(self, seed):
        self._backend.new_game(seed)
        self.seed = seed

    def _info(self, report):
        _, run, time_ms, _, events, outcome, score_ms, _ = report
        return {"seed": self.seed, "run": run, "time_ms": time_ms, "events": events, "outcome": outcome,
                "score_ms": score_ms if outcome is not None else None}
