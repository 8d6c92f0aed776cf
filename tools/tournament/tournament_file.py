"""Reads and checks a tournament file; every problem is one line naming the field."""

import json
import os
import re
import shlex
import shutil
from dataclasses import dataclass, field

from common.sandbox_files import SYSTEM_PATH, controller_files, folders_clash
from common.sandbox_limits import Limits, LimitsError, read_limits

# Names become parts of folder names and of game ids, joined with ".", so they
# hold neither dots nor anything a shell or a URL would have to quote.
# Checked with fullmatch: "$" would also match before a final newline.
NAME_PATTERN = re.compile(r"[A-Za-z0-9_-]{1,64}")
MAX_SEED = 2**64 - 1
KNOWN_FIELDS = {"controllers", "maps", "seeds", "repeats", "game_time_limit_s", "prefix", "sandbox", "limits", "mode",
                "reply_timeout_ms"}
MAP_FIELDS = {"name", "path", "mode", "reply_timeout_ms"}
SANDBOXES = ("bwrap", "none")
MODES = ("lockstep", "realtime")
# The server's own bound on --reply-timeout would do, but a day is already
# far past any useful wait for one reply.
MAX_REPLY_TIMEOUT_MS = 86_400_000


class TournamentFileError(Exception):
    """A problem with the tournament file, already worded for the user."""


@dataclass
class Controller:
    name: str
    # The command with {dir} filled in; {host} and {port} are filled per game.
    command: list
    # The folder the sandbox shows it, when the file names one.
    folder: str = None


@dataclass
class MapEntry:
    name: str
    path: str  # absolute
    mode: str = "lockstep"
    # Lockstep: the server's --reply-timeout (0 waits for ever); None in real time.
    reply_timeout_ms: object = 0


@dataclass
class Tournament:
    folder: str  # absolute folder of the tournament file, what {dir} stands for
    controllers: list
    maps: list
    seeds: list
    repeats: int
    game_time_limit_s: float
    prefix: list = field(default_factory=list)
    sandbox: str = "bwrap"
    limits: Limits = field(default_factory=Limits)
    mode: str = "lockstep"
    reply_timeout_ms: int = 0


def _fail(where, problem):
    raise TournamentFileError(f"{where}: {problem}")


def _words(value, where, folder):
    """A command as a list of words, from a list or a shell-quoted string."""
    if isinstance(value, str):
        try:
            value = shlex.split(value)
        except ValueError as error:
            _fail(where, f"cannot split the command: {error}")
    if not isinstance(value, list) or not value or not all(isinstance(w, str) for w in value):
        _fail(where, "must be a non-empty list of strings or a command string")
    words = [w.replace("{dir}", folder) for w in value]
    # "{dir}/../bin/bot" as "/…/bin/bot": in the sandbox, a folder that ".."
    # passes through may not exist.
    return [os.path.normpath(w) if os.path.isabs(w) and os.path.exists(w) else w for w in words]


def _check_program(words, where, sandboxed):
    """The first word must name a program that exists: an absolute path, or a
    name on PATH (in the sandbox, on the system's PATH the sandbox has)."""
    program = words[0]
    if "/" in program:
        if not os.path.isabs(program):
            _fail(where, f'program "{program}" is a relative path; start it with {{dir}}/ or make it absolute')
        if not (os.path.isfile(program) and os.access(program, os.X_OK)):
            _fail(where, f'program "{program}" does not exist or is not executable')
    elif sandboxed and shutil.which(program, path=SYSTEM_PATH) is None:
        _fail(where, f'program "{program}" is not on the sandbox\'s PATH ({SYSTEM_PATH}); '
                     "give its absolute path")
    elif not sandboxed and shutil.which(program) is None:
        _fail(where, f'program "{program}" is not on PATH')


def _name(value, where):
    if not isinstance(value, str) or not NAME_PATTERN.fullmatch(value):
        _fail(where, "must be 1-64 letters, digits, '_' or '-'")
    return value


def _folder(value, where, folder):
    if not isinstance(value, str) or not value:
        _fail(where, "must be a folder's path")
    path = os.path.normpath(os.path.join(folder, value.replace("{dir}", folder)))
    if not os.path.isdir(path):
        _fail(where, f"{path} is not a folder")
    if path == "/":
        _fail(where, "cannot be the root folder: the controller would see the whole machine")
    return path


def _controllers(value, folder, sandboxed):
    if not isinstance(value, list) or not value:
        _fail("controllers", "must be a non-empty list")
    controllers, names = [], set()
    for i, entry in enumerate(value):
        where = f"controllers[{i}]"
        if not isinstance(entry, dict) or not {"name", "command"} <= set(entry) <= {"name", "command", "folder"}:
            _fail(where, 'must be an object with "name", "command" and optionally "folder"')
        name = _name(entry["name"], f"{where}.name")
        if name in names:
            _fail(f"{where}.name", f'"{name}" is used twice')
        names.add(name)
        words = _words(entry["command"], f"{where}.command", folder)
        # In the sandbox every game has a network of its own, where the server
        # always waits on the default port: a controller may simply connect
        # to localhost:17676. Unsandboxed, games share the machine's ports.
        if not sandboxed and not any("{port}" in w for w in words):
            _fail(f"{where}.command", 'has no {port}: unsandboxed games share this machine\'s ports, so each '
                                      "server listens on a free port of its own that the command must take "
                                      '(only the sandbox gives every game port 17676)')
        _check_program(words, f"{where}.command", sandboxed)
        own = _folder(entry["folder"], f"{where}.folder", folder) if "folder" in entry else None
        controllers.append(Controller(name, words, own))
    if sandboxed:
        _check_folders(controllers)
    return controllers


def _check_folders(controllers):
    """Each controller sees its whole folder: no two may share one."""
    files = [controller_files(c.command, c.folder) for c in controllers]
    for i, first in enumerate(files):
        if first.folder == "/":
            _fail(f"controllers[{i}]", "its folder would be the root folder: give it a \"folder\"")
        for j in range(i):
            if folders_clash(first, files[j]):
                _fail(f"controllers[{i}]", f"its folder {first.folder} and that of controllers[{j}] "
                                           f"({files[j].folder}) are the same or nested; give each controller "
                                           "a folder of its own")


def _mode(value, where):
    if value not in MODES:
        _fail(where, 'must be "lockstep" (the default) or "realtime"')
    return value


def _reply_timeout(value, where):
    if isinstance(value, bool) or not isinstance(value, int) or not 0 <= value <= MAX_REPLY_TIMEOUT_MS:
        _fail(where, f"must be an integer from 0 (wait for ever) to {MAX_REPLY_TIMEOUT_MS} ms")
    return value


def _map_mode(entry, where, default_mode, default_timeout):
    """A map's mode and reply timeout: its own fields, else the file's. The
    file's reply timeout is for its lockstep maps; real time waits for no reply."""
    mode = _mode(entry["mode"], f"{where}.mode") if "mode" in entry else default_mode
    if "reply_timeout_ms" not in entry:
        return mode, default_timeout if mode == "lockstep" else None
    if mode != "lockstep":
        _fail(f"{where}.reply_timeout_ms", "applies to lockstep games only; this map is played in real time")
    return mode, _reply_timeout(entry["reply_timeout_ms"], f"{where}.reply_timeout_ms")


def _maps(value, folder, default_mode, default_timeout):
    if not isinstance(value, list) or not value:
        _fail("maps", "must be a non-empty list")
    maps, names = [], set()
    for i, entry in enumerate(value):
        where = f"maps[{i}]"
        mode, timeout = default_mode, default_timeout if default_mode == "lockstep" else None
        if isinstance(entry, str):
            path = entry
            name = os.path.splitext(os.path.basename(entry))[0]
        elif (isinstance(entry, dict) and {"name", "path"} <= set(entry) <= MAP_FIELDS
              and isinstance(entry["path"], str)):
            path, name = entry["path"], entry["name"]
            mode, timeout = _map_mode(entry, where, default_mode, default_timeout)
        else:
            _fail(where, 'must be a path or an object with "name", "path" and optionally "mode" and '
                         '"reply_timeout_ms"')
        name = _name(name, f"{where} name")
        if name in names:
            _fail(where, f'the name "{name}" is used twice; give one of them {{"name": ..., "path": ...}}')
        names.add(name)
        path = os.path.normpath(os.path.join(folder, path))
        if not os.path.isfile(path):
            _fail(where, f"{path} is not a file")
        maps.append(MapEntry(name, path, mode, timeout))
    return maps


def _seeds(value):
    if not isinstance(value, list) or not value:
        _fail("seeds", "must be a non-empty list")
    for i, seed in enumerate(value):
        if isinstance(seed, bool) or not isinstance(seed, int) or not 0 <= seed <= MAX_SEED:
            _fail(f"seeds[{i}]", "must be an integer from 0 to 2^64-1")
    if len(set(value)) != len(value):
        _fail("seeds", "lists a seed twice")
    return value


def read_tournament_file(path):
    """The checked tournament; raises TournamentFileError."""
    where = os.path.basename(path)
    try:
        with open(path, encoding="utf-8") as stream:
            data = json.load(stream)
    except OSError as error:
        raise TournamentFileError(f"{path}: {error.strerror}") from None
    except (ValueError, UnicodeDecodeError) as error:
        raise TournamentFileError(f"{where}: not valid JSON: {error}") from None
    if not isinstance(data, dict):
        _fail(where, "must be a JSON object")
    unknown = sorted(set(data) - KNOWN_FIELDS)
    if unknown:
        _fail(unknown[0], "unknown field")
    for required in ("controllers", "maps", "seeds", "game_time_limit_s"):
        if required not in data:
            _fail(required, "missing")
    folder = os.path.dirname(os.path.abspath(path))

    repeats = data.get("repeats", 1)
    if isinstance(repeats, bool) or not isinstance(repeats, int) or not 1 <= repeats <= 1000:
        _fail("repeats", "must be an integer from 1 to 1000")
    limit = data["game_time_limit_s"]
    if isinstance(limit, bool) or not isinstance(limit, (int, float)) or not 0 < limit <= 7 * 86400:
        _fail("game_time_limit_s", "must be a number of seconds above 0 (at most a week)")
    sandbox = data.get("sandbox", "bwrap")
    if sandbox not in SANDBOXES:
        _fail("sandbox", 'must be "bwrap" (the default) or "none"')
    sandboxed = sandbox == "bwrap"
    try:
        limits = read_limits(data.get("limits"))
    except LimitsError as error:
        raise TournamentFileError(str(error)) from None
    if "limits" in data and not sandboxed:
        _fail("limits", 'needs the sandbox; with "sandbox": "none" use "prefix"')
    mode = _mode(data.get("mode", "lockstep"), "mode")
    reply_timeout = _reply_timeout(data["reply_timeout_ms"], "reply_timeout_ms") if "reply_timeout_ms" in data else 0
    prefix = []
    if "prefix" in data:
        prefix = _words(data["prefix"], "prefix", folder)
        _check_program(prefix, "prefix", sandboxed)

    return Tournament(
        folder=folder,
        controllers=_controllers(data["controllers"], folder, sandboxed),
        maps=_maps(data["maps"], folder, mode, reply_timeout),
        seeds=_seeds(data["seeds"]),
        repeats=repeats,
        game_time_limit_s=limit,
        prefix=prefix,
        sandbox=sandbox,
        limits=limits,
        mode=mode,
        reply_timeout_ms=reply_timeout,
    )
