"""tournament plan: checks a tournament file and writes DIR with its games."""

import hashlib
import os
import shutil
import sys

from common.locate import NotFound, find_program
from common.map_summary import MapProblem, summarise_map
from common.sandbox import SandboxError, check_sandbox, require_root, tool
from common.server_command import game_limit_s
from common.sandbox_files import controller_files, unreadable
from common.uid_pool import UidPoolError, claim_uid
from tournament_dir import GAME_COLUMNS, PLAN_FORMAT, Game, game_id, write_json_atomically
from tournament_file import TournamentFileError


class PlanError(Exception):
    """A reason the plan cannot be written, worded for the user."""


def server_seed(seed, repeat):
    """Repeat 1 plays the seed as listed; each later repeat gets its own seed,
    derived from the listed one so that a plan always yields the same games."""
    if repeat == 1:
        return seed
    digest = hashlib.sha256(f"rover-tournament-seed {seed} {repeat}".encode()).digest()
    return int.from_bytes(digest[:8], "big")


def _program(build, name):
    """`name` in the --build folder when given, else found by the one rule
    (beside this tool, then PATH)."""
    try:
        return find_program(name, folder=build)
    except NotFound as error:
        raise PlanError(f"{error}: build the project first, or pass --build") from None


def _check_map(mapcheck, index, entry):
    """Loads the map as the server does; its time limit and run count."""
    try:
        summary = summarise_map(mapcheck, entry.path)
    except MapProblem as problem:
        raise TournamentFileError(f"maps[{index}]: does not load: {problem}") from None
    except RuntimeError as error:
        raise PlanError(str(error)) from None
    return summary.time_limit_ms, summary.runs


def plan_games(tournament):
    """Every game, ordered map, seed, repeat, controller: a partly played
    tournament has then given every controller about the same games."""
    games = []
    for entry in tournament.maps:
        for seed in tournament.seeds:
            for repeat in range(1, tournament.repeats + 1):
                for controller in tournament.controllers:
                    games.append(Game(game_id(controller.name, entry.name, seed, repeat), controller.name,
                                      entry.name, seed, repeat, server_seed(seed, repeat)))
    return games


def _check_sandbox(tournament, limit_s):
    """The sandbox works here for every controller: a trivial command in each
    one's full sandbox. Warns about controllers whose files the sandbox's user
    cannot read; their games will fail with that reason."""
    try:
        require_root()
        for name in ("bwrap", "setpriv", "prlimit"):
            tool(name)
        with claim_uid() as claimed:
            for index, controller in enumerate(tournament.controllers):
                files = controller_files(controller.command, controller.folder)
                problem = unreadable(files, controller.command)
                if problem:
                    print(f"tournament: warning: controllers[{index}] ({controller.name}): {problem}; "
                          "its games will fail", file=sys.stderr)
                check_sandbox(files, tournament.limits, limit_s, claimed.uid)
    except (SandboxError, UidPoolError) as error:
        raise PlanError(f"sandbox: {error}") from None


def write_plan(tournament, tournament_path, out, build, viewer_source):
    if os.path.exists(os.path.join(out, "plan.json")):
        raise PlanError(f"{out} already holds a plan; plan into a new folder")
    server = _program(build, "server")
    replay = _program(build, "replay")
    mapcheck = _program(build, "mapcheck")

    maps = {}
    for index, entry in enumerate(tournament.maps):
        limit, runs = _check_map(mapcheck, index, entry)
        maps[entry.name] = {"file": f"maps/{entry.name}.json", "time_limit_ms": limit, "runs": runs,
                            "mode": entry.mode, "reply_timeout_ms": entry.reply_timeout_ms}
    if tournament.sandbox == "bwrap":
        # The CPU limit follows the longest game's wall-clock limit.
        longest = max(game_limit_s(tournament.game_time_limit_s, info["mode"], info["runs"], info["time_limit_ms"])
                      for info in maps.values())
        _check_sandbox(tournament, longest)

    os.makedirs(os.path.join(out, "maps"), exist_ok=True)
    os.makedirs(os.path.join(out, "games"), exist_ok=True)
    os.makedirs(os.path.join(out, "locks"), exist_ok=True)
    for entry in tournament.maps:
        shutil.copyfile(entry.path, os.path.join(out, maps[entry.name]["file"]))
    shutil.copyfile(tournament_path, os.path.join(out, "tournament.json"))
    if viewer_source and os.path.isdir(viewer_source):
        shutil.copytree(viewer_source, os.path.join(out, "viewer"), dirs_exist_ok=True)

    games = plan_games(tournament)
    with open(os.path.join(out, "games.tsv"), "w", encoding="utf-8") as stream:
        stream.writelines(game.tsv_line() for game in games)
    write_json_atomically(os.path.join(out, "plan.json"), {
        "format": PLAN_FORMAT,
        "version": 1,
        "server": os.path.abspath(server),
        "replay": os.path.abspath(replay),
        "game_time_limit_s": tournament.game_time_limit_s,
        "mode": tournament.mode,
        # Every game's server writes its reply times and telemetry lateness.
        "timing": True,
        "prefix": tournament.prefix,
        "sandbox": tournament.sandbox,
        "limits": tournament.limits.as_dict(),
        "controllers": {c.name: c.command for c in tournament.controllers},
        "controller_folders": {c.name: c.folder for c in tournament.controllers if c.folder},
        "maps": maps,
        "games_columns": list(GAME_COLUMNS),
    })
    return games
