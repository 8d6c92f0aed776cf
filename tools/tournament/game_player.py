"""tournament play DIR GAME: plays one game and writes its game.json."""

import fcntl
import hashlib
import os
import shutil
import socket
import subprocess
import sys
import time

from common.controller_ending import controller_reason
from common.game_guard import GameEnding, play_processes
from common.processes import kill_group
from common.results_check import ExpectedGame, NonConforming, check_results, parse_results, read_results
from common.sandbox import (SANDBOX_HOST, SANDBOX_PORT, SandboxError, check_command, check_sandbox,
                            controller_layers, game_words, layered, require_root)
from common.sandbox_files import controller_files, unreadable
from common.sandbox_limits import limits_from_plan
from common.stop_signals import Stopped, stop_on_signals
from common.uid_pool import UidPoolError, claim_uid
from tournament_dir import (GAME_FORMAT, TournamentDirError, game_file, game_folder, load_games, load_plan,
                            read_outcome, write_json_atomically)

REPLAY_BOUND_S = 300
# The helper reports within the game's limit plus the guards' grace periods;
# past this margin the runner stops waiting for it.
HELPER_MARGIN_S = 60

RECORD_FILE = "record.jsonl.gz"
RESULTS_FILE = "results.json"


def _map_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def _runs_from_record(replay, record, expected):
    """The runs a killed game finished, rebuilt from its record by replay and
    checked like a results file; None when there are none to trust."""
    try:
        done = subprocess.run([replay, "results", record], capture_output=True, timeout=REPLAY_BOUND_S,
                              check=False)
        if done.returncode != 0:
            return None
        return check_results(parse_results(done.stdout), expected)
    except (subprocess.TimeoutExpired, OSError, NonConforming):
        return None


def _verdict(ending, limit_s, results, problem, why_controller_left):
    """The status and the reason of a game."""
    if ending.start_error is not None:
        return "failed", f"controller did not start: {ending.start_error}"
    if problem is not None:
        return "failed", f"the results file does not conform: {problem}"
    if ending.ending == "timed out":
        return "timed out", f"the wall-clock limit of {limit_s:g} s ran out"
    if ending.ending == "controller exited":
        return "failed", why_controller_left("while the server was still waiting")
    if results is None:
        return "failed", f"server exited {ending.server_exit} and left no results file"
    if ending.server_exit == 0 and results["status"] == "completed":
        return "completed", None
    # A controller that ended badly broke the game: its ending (a limit it
    # hit, its exit status and last words) says more than the server's EOF.
    if ending.controller_left and ending.controller_exit != 0:
        return "failed", why_controller_left(None)
    return "failed", results.get("line") or f"server exited {ending.server_exit}"


def _server_argv(plan, game, map_file, here):
    return [plan["server"], "--lockstep", "--reply-timeout", "0", "--seed", str(game.server_seed),
            "--record", os.path.join(here, RECORD_FILE), "--results", os.path.join(here, RESULTS_FILE), map_file]


def _filled(words, host, port):
    return [w.replace("{host}", host).replace("{port}", str(port)) for w in words]


def _play_unsandboxed(plan, game, server_argv, here, start):
    # A port the kernel picks on 127.0.0.1: no races.
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    words = _filled(plan["controllers"][game.controller], "127.0.0.1", listener.getsockname()[1])
    return play_processes(server_argv, listener.detach(), plan["prefix"] + words, here, here,
                          plan["game_time_limit_s"], start)


def _play_sandboxed(plan, folder, game, server_argv, here, files, uid):
    """Plays in the sandbox through sandbox_helper, which checks the sandbox
    beside the game; raises SandboxError, naming the step, when the check
    fails or the helper gives no account of the game."""
    limits = limits_from_plan(plan["limits"])
    limit_s = plan["game_time_limit_s"]
    words = _filled(plan["controllers"][game.controller], SANDBOX_HOST, SANDBOX_PORT)
    layers = controller_layers(files, [folder], limits, limit_s, uid)
    helper = subprocess.Popen(game_words(here, limit_s, layered(layers, check_command()), server_argv,
                                         layered(layers, plan["prefix"] + words)),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              start_new_session=True)
    try:
        out, err = helper.communicate(timeout=limit_s + HELPER_MARGIN_S)
    except subprocess.TimeoutExpired:
        raise SandboxError(f"the sandbox's helper gave no account of the game within {limit_s:g} s + "
                           f"{HELPER_MARGIN_S} s") from None
    finally:
        # Killing the outer bwrap ends its pid namespace: every process of the game.
        kill_group(helper.pid)
        helper.wait()
    lines = out.decode("utf-8", "replace").strip().splitlines()
    if lines[-1:] and lines[-1].startswith("CHECK FAILED"):
        check_sandbox(files, limits, limit_s, uid)  # names the step that fails
        raise SandboxError(f"the sandbox's check failed in the game's namespaces ({lines[-1]})")
    try:
        return GameEnding.from_line(lines[-1])
    except (ValueError, IndexError):
        last = (err.decode("utf-8", "replace").strip().splitlines() or [f"exit status {helper.returncode}"])[-1]
        raise SandboxError(f"the sandbox's helper failed: {last}") from None


def _play_in(plan, folder, game, here):
    """Plays the game with its files in `here`; the game.json content.
    Raises SandboxError or UidPoolError when the sandbox cannot run."""
    limit_s = plan["game_time_limit_s"]
    map_info = plan["maps"][game.map]
    map_file = os.path.abspath(os.path.join(folder, map_info["file"]))
    expected = ExpectedGame(_map_sha256(map_file), "lockstep", game.server_seed, 0, map_info["runs"],
                            map_info["time_limit_ms"])
    server_argv = _server_argv(plan, game, map_file, here)
    sandboxed = plan.get("sandbox", "none") == "bwrap"
    start = time.monotonic()
    if sandboxed:
        require_root()
        words = plan["controllers"][game.controller]
        files = controller_files(words, plan.get("controller_folders", {}).get(game.controller))
        problem = unreadable(files, words)
        if problem is not None:
            return _outcome(game, "failed", f"the controller's files: {problem}", GameEnding(None, None, None),
                            start, None, None)
        with claim_uid() as claimed:
            ending = _play_sandboxed(plan, folder, game, server_argv, here, files, claimed.uid)
    else:
        ending = _play_unsandboxed(plan, game, server_argv, here, start)
    wall_end = time.monotonic()

    results = problem = None
    try:
        document = read_results(os.path.join(here, RESULTS_FILE))
        if document is not None:
            check_results(document, expected)
            results = document
    except NonConforming as error:
        problem = str(error)
    limits = limits_from_plan(plan["limits"]) if sandboxed else None

    def why_controller_left(when):
        return controller_reason(ending.controller_exit, sandboxed, limits, limit_s,
                                 os.path.join(here, "controller.err"), when)

    status, reason = _verdict(ending, limit_s, results, problem, why_controller_left)
    runs, source = None, None
    if results is not None:
        runs, source = results["runs"], "results"
    elif os.path.exists(os.path.join(here, RECORD_FILE)):
        runs = _runs_from_record(plan["replay"], os.path.join(here, RECORD_FILE), expected)
        source = "record" if runs is not None else None
    return _outcome(game, status, reason, ending, start, runs, source, wall_end)


def _outcome(game, status, reason, ending, start, runs, source, end=None):
    runs = runs or []
    return {
        "format": GAME_FORMAT,
        "version": 1,
        "game": game.game,
        "controller": game.controller,
        "map": game.map,
        "seed": game.seed,
        "repeat": game.repeat,
        "server_seed": game.server_seed,
        "status": status,
        "reason": reason,
        "server_exit": ending.server_exit,
        "controller_exit": ending.controller_exit,
        "wall_ms": round(((end or time.monotonic()) - start) * 1000),
        "runs_from": source,
        "runs": runs,
        "total_score": sum(run["score"] for run in runs),
    }


def play(folder, name):
    """Exit status 0 whenever the game has an outcome on disk afterwards,
    failures included; 1 when this runner could not record one (it was
    stopped, or the sandbox does not work on this machine)."""
    try:
        plan = load_plan(folder)
        games = {game.game: game for game in load_games(folder)}
    except TournamentDirError as error:
        print(f"tournament: {error}", file=sys.stderr)
        return 1
    game = games.get(name)
    if game is None:
        print(f"tournament: {folder}/games.tsv has no game {name}", file=sys.stderr)
        return 1
    stop_on_signals()

    os.makedirs(os.path.join(folder, "locks"), exist_ok=True)
    with open(os.path.join(folder, "locks", name), "a", encoding="utf-8") as lock:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"{name}: another runner is playing it; skipped")
            return 0
        done = read_outcome(folder, name)
        if done is not None:
            print(f"{name}: already played ({done.get('status') if isinstance(done, dict) else '?'}); skipped")
            return 0
        # A folder without game.json is what a killed runner left: start afresh.
        here = game_folder(folder, name)
        shutil.rmtree(here, ignore_errors=True)
        os.makedirs(here)
        try:
            outcome = _play_in(plan, folder, game, here)
        except Stopped as stop:
            print(f"{name}: runner stopped by {stop}; nothing recorded, the game will be played again",
                  file=sys.stderr)
            return stop.exit_status()
        except (SandboxError, UidPoolError) as error:
            print(f"tournament: {name}: {error}; nothing recorded, a later run plays it", file=sys.stderr)
            return 1
        write_json_atomically(game_file(folder, name), outcome)
    reason = f" ({outcome['reason']})" if outcome["reason"] else ""
    print(f"{name}: {outcome['status']}{reason}; {len(outcome['runs'])} runs, "
          f"score {outcome['total_score']}, {outcome['wall_ms'] / 1000:.1f} s")
    return 0
