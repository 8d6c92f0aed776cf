"""tournament play DIR GAME: plays one game and writes its game.json."""

import fcntl
import os
import shutil
import subprocess
import sys
import time

from common.controller_ending import controller_reason, printable
from common.game_guard import GameEnding
from common.game_run import play_sandboxed, play_unsandboxed
from common.map_summary import file_sha256
from common.results_check import ExpectedGame, NonConforming, check_results, parse_results, read_results
from common.sandbox import SandboxError, require_root
from common.sandbox_files import controller_files, unreadable
from common.server_command import server_words
from common.server_outputs import remove_temporaries
from common.sandbox_limits import limits_from_plan
from common.stop_signals import Stopped, stop_on_signals
from common.uid_pool import UidPoolError, claim_uid
from tournament_dir import (GAME_FORMAT, TournamentDirError, game_file, game_folder, game_time_limit, load_games,
                            load_plan, map_mode, read_outcome, write_json_atomically)

REPLAY_BOUND_S = 300

RECORD_FILE = "record.jsonl.gz"
RESULTS_FILE = "results.json"
TIMING_FILE = "timing.json"
# Set to "1" by `tournament run --live` for the games it starts (through
# parallel or Slurm, which pass the environment on): their lockstep servers
# then hand record lines to the file at every T, for the watch page.
LIVE_RECORD_VARIABLE = "ROVER_LIVE_RECORD"


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
    line = results.get("line") or f"server exited {ending.server_exit}"
    # The message may quote the controller's bytes: escaped, one line.
    message = results.get("message")
    return "failed", f"{line}: {printable(message)}" if message else line


def _server_argv(plan, game, map_file, here):
    map_info = plan["maps"][game.map]
    return server_words(plan["server"], map_file, map_mode(map_info), map_info.get("reply_timeout_ms", 0),
                        seed=game.server_seed, record=os.path.join(here, RECORD_FILE),
                        results=os.path.join(here, RESULTS_FILE),
                        timing=os.path.join(here, TIMING_FILE) if plan.get("timing") else None,
                        live_record=os.environ.get(LIVE_RECORD_VARIABLE) == "1")


def _play_in(plan, folder, game, here):
    """Plays the game with its files in `here`; the game.json content.
    Raises SandboxError or UidPoolError when the sandbox cannot run."""
    map_info = plan["maps"][game.map]
    limit_s = game_time_limit(plan, map_info)
    map_file = os.path.abspath(os.path.join(folder, map_info["file"]))
    mode = map_mode(map_info)
    expected = ExpectedGame(file_sha256(map_file), mode, game.server_seed,
                            map_info.get("reply_timeout_ms", 0) if mode == "lockstep" else None, map_info["runs"],
                            map_info["time_limit_ms"])
    server_argv = _server_argv(plan, game, map_file, here)
    sandboxed = plan.get("sandbox", "none") == "bwrap"
    words = plan["prefix"] + plan["controllers"][game.controller]
    start = time.monotonic()
    if sandboxed:
        require_root()
        own = plan["controllers"][game.controller]
        files = controller_files(own, plan.get("controller_folders", {}).get(game.controller))
        problem = unreadable(files, own)
        if problem is not None:
            return _outcome(game, "failed", f"the controller's files: {problem}", GameEnding(None, None, None),
                            start, None, None)
        with claim_uid() as claimed:
            ending = play_sandboxed(server_argv, words, here, files, [folder], limits_from_plan(plan["limits"]),
                                    limit_s, claimed.uid)
    else:
        ending = play_unsandboxed(server_argv, words, here, here, limit_s, start)
    wall_end = time.monotonic()
    # A server that was killed leaves its output files' temporaries behind.
    remove_temporaries(here, (RESULTS_FILE, TIMING_FILE))

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
            remove_temporaries(here, (RESULTS_FILE, TIMING_FILE))
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
