"""The layout of a tournament folder, shared by plan, play, run and report.

    DIR/tournament.json          copy of the tournament file
    DIR/plan.json                what play needs: programs, commands, limits, maps
    DIR/games.tsv                one line per game (columns in GAME_COLUMNS)
    DIR/maps/NAME.json           copies of the maps
    DIR/viewer/                  copy of the viewer, when the source tree has one
    DIR/games/GAME/              one folder per game; game.json marks it finished
    DIR/locks/GAME               per-game lock files
"""

import json
import os
import sys
from dataclasses import dataclass

from common.server_command import game_limit_s

PLAN_FORMAT = "rover-tournament-plan"
GAME_FORMAT = "rover-tournament-game"
GAME_COLUMNS = ("game", "controller", "map", "seed", "repeat", "server_seed")


class TournamentDirError(Exception):
    """A folder that is not a usable tournament plan, worded for the user."""


@dataclass(frozen=True)
class Game:
    game: str
    controller: str
    map: str
    seed: int
    repeat: int
    server_seed: int

    def tsv_line(self):
        return "\t".join(str(getattr(self, column)) for column in GAME_COLUMNS) + "\n"


def game_id(controller, map_name, seed, repeat):
    return f"{controller}.{map_name}.s{seed}.r{repeat}"


def load_plan(folder):
    path = os.path.join(folder, "plan.json")
    try:
        with open(path, encoding="utf-8") as stream:
            plan = json.load(stream)
    except FileNotFoundError:
        raise TournamentDirError(f"{folder} holds no plan (run 'tournament plan' first)") from None
    if plan.get("format") != PLAN_FORMAT or plan.get("version") != 1:
        raise TournamentDirError(f"{path} is not a version 1 tournament plan")
    return plan


def load_games(folder):
    path = os.path.join(folder, "games.tsv")
    games = []
    try:
        with open(path, encoding="utf-8") as stream:
            for number, line in enumerate(stream, 1):
                fields = line.rstrip("\n").split("\t")
                if len(fields) != len(GAME_COLUMNS):
                    raise TournamentDirError(f"{path}:{number}: expected {len(GAME_COLUMNS)} columns")
                games.append(Game(fields[0], fields[1], fields[2], int(fields[3]), int(fields[4]), int(fields[5])))
    except FileNotFoundError:
        raise TournamentDirError(f"{folder} holds no games.tsv (run 'tournament plan' first)") from None
    return games


def game_folder(folder, game):
    return os.path.join(folder, "games", game)


def game_file(folder, game):
    return os.path.join(game_folder(folder, game), "game.json")


def read_outcome(folder, game):
    """The game's game.json, or None while the game has no outcome. A file
    that is not JSON is an outcome all the same (the report fails the game)."""
    try:
        with open(game_file(folder, game), encoding="utf-8") as stream:
            return json.load(stream)
    except FileNotFoundError:
        return None
    except (OSError, ValueError, RecursionError) as error:
        return {"status": None, "unreadable": str(error)}


def unfinished_games(folder):
    return [game for game in load_games(folder) if not os.path.exists(game_file(folder, game.game))]


def map_mode(map_info):
    """"lockstep" or "realtime"; plans written before modes are all lockstep."""
    return map_info.get("mode", "lockstep")


def game_time_limit(plan, map_info):
    """A game's wall-clock limit: a real-time game's is never shorter than
    its runs take."""
    return game_limit_s(plan["game_time_limit_s"], map_mode(map_info), map_info["runs"], map_info["time_limit_ms"])


def split_by_mode(plan, games):
    """(lockstep games, real-time games), each in plan order."""
    return ([game for game in games if map_mode(plan["maps"][game.map]) == "lockstep"],
            [game for game in games if map_mode(plan["maps"][game.map]) == "realtime"])


def counted(number, noun):
    return f"{number} {noun}{'' if number == 1 else 's'}"


def report_unfinished(folder, played, logs):
    """After an engine's run: lists the games still without an outcome, read
    from their folders (no accounting database needed); 0 when there are none."""
    missing = unfinished_games(folder)
    if not missing:
        print(f"every game has an outcome ({counted(played, 'game')} played in this run)")
        return 0
    print(f"{counted(len(missing), 'game')} without an outcome (logs: {logs}); run again to play them:",
          file=sys.stderr)
    for game in missing:
        print(f"  {game.game}", file=sys.stderr)
    return 1


def write_json_atomically(path, value):
    """Writes through a temporary file and a rename, so readers never see half a file."""
    temporary = f"{path}.tmp{os.getpid()}"
    with open(temporary, "w", encoding="utf-8") as stream:
        json.dump(value, stream, indent=1)
        stream.write("\n")
        stream.flush()
        os.fsync(stream.fileno())
    os.replace(temporary, path)
