"""tournament play DIR GAME: plays one game and writes its game.json."""

import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
import time

from capped_output import CappedOutput
from child_processes import kill_group, loopback_listener, start_activated_server, start_controller
from tournament_dir import (GAME_FORMAT, TournamentDirError, game_file, game_folder, load_games, load_plan,
                            read_outcome, write_json_atomically)

# A controller that is gone while the server still runs: the server may be
# sitting in accept and would wait forever, or may just be writing its
# results after the client's EOF. This long is enough for the second case.
SERVER_GRACE_S = 2.0
# The server has ended the game; a controller sees the connection close and
# should leave by itself. One that lingers is killed after this.
CONTROLLER_GRACE_S = 5.0
POLL_INTERVAL_S = 0.02
REPLAY_BOUND_S = 300

RECORD_FILE = "record.jsonl.gz"
RESULTS_FILE = "results.json"


class Stopped(Exception):
    """The runner itself was told to stop (a cancelled or preempted job)."""


def _stop(signum, _frame):
    raise Stopped(signal.Signals(signum).name)


def _read_json(path):
    try:
        with open(path, encoding="utf-8") as stream:
            return json.load(stream)
    except (FileNotFoundError, ValueError):
        return None


def _runs_from_record(replay, record):
    """The runs a killed game finished, rebuilt from its record by replay."""
    try:
        done = subprocess.run([replay, "results", record], capture_output=True, timeout=REPLAY_BOUND_S,
                              check=False)
        document = json.loads(done.stdout) if done.returncode == 0 else None
    except (subprocess.TimeoutExpired, ValueError, OSError):
        document = None
    return document["runs"] if document else None


def _guard(server, controller, limit_s, start):
    """Waits for both processes within the limits. How the wait ended:
    None (both exited by themselves, or the server did and the controller
    lingered), "timed out" or "controller exited"."""
    deadline = start + limit_s
    controller_gone = server_gone = None
    while True:
        server_code, controller_code = server.poll(), controller.poll()
        now = time.monotonic()
        if server_code is not None and controller_code is not None:
            return None
        if now >= deadline:
            return "timed out"
        if controller_code is not None:
            controller_gone = controller_gone or now
            if now - controller_gone >= SERVER_GRACE_S:
                return "controller exited"
        if server_code is not None:
            server_gone = server_gone or now
            if now - server_gone >= CONTROLLER_GRACE_S:
                return None
        time.sleep(POLL_INTERVAL_S)


def _verdict(ending, limit_s, server_code, controller_code, results):
    """The status and the reason of a game."""
    if ending == "timed out":
        return "timed out", f"the wall-clock limit of {limit_s:g} s ran out"
    if ending == "controller exited":
        return "failed", f"controller exited {controller_code} while the server was still waiting"
    if results is None:
        return "failed", f"server exited {server_code} and left no results file"
    if server_code == 0 and results.get("status") == "completed":
        return "completed", None
    return "failed", results.get("line") or f"server exited {server_code}"


def _play_in(plan, folder, game, here):
    """Plays the game with its files in `here`; the game.json content."""
    limit_s = plan["game_time_limit_s"]
    map_file = os.path.abspath(os.path.join(folder, plan["maps"][game.map]["file"]))
    record = os.path.join(here, RECORD_FILE)
    results_path = os.path.join(here, RESULTS_FILE)
    server_argv = [plan["server"], "--lockstep", "--reply-timeout", "0", "--seed", str(game.server_seed),
                   "--record", record, "--results", results_path, map_file]

    listener = loopback_listener()
    port = listener.getsockname()[1]
    words = [w.replace("{host}", "127.0.0.1").replace("{port}", str(port))
             for w in plan["controllers"][game.controller]]
    start = time.monotonic()
    server = controller = start_error = None
    outputs = []
    try:
        server = start_activated_server(server_argv, listener, os.path.join(here, "server.out"),
                                        os.path.join(here, "server.err"))
        listener.close()
        try:
            controller = start_controller(plan["prefix"] + words, here)
        except OSError as error:
            start_error = error.strerror
        else:
            outputs = [CappedOutput(controller.stdout, os.path.join(here, "controller.out")),
                       CappedOutput(controller.stderr, os.path.join(here, "controller.err"))]
            ending = _guard(server, controller, limit_s, start)
            controller_code = controller.poll()
    finally:
        listener.close()
        # Both groups go, also after a normal end: whatever a controller left
        # running must not outlive its game. Also when this runner is stopped.
        running = [process for process in (server, controller) if process is not None]
        for process in running:
            kill_group(process.pid)
        for process in running:
            process.wait()
        for output in outputs:
            output.finish(timeout=5)
    if start_error is not None:
        return _outcome(game, "failed", f"controller did not start: {start_error}", server.returncode, None,
                        start, None, None)

    wall_end = time.monotonic()
    results = _read_json(results_path)
    status, reason = _verdict(ending, limit_s, server.returncode, controller_code, results)
    if results is not None:
        runs, source = results.get("runs", []), "results"
    elif os.path.exists(record):
        runs = _runs_from_record(plan["replay"], record)
        source = "record" if runs is not None else None
    else:
        runs, source = None, None
    return _outcome(game, status, reason, server.returncode, controller.returncode, start, runs, source,
                    wall_end)


def _outcome(game, status, reason, server_code, controller_code, start, runs, source, end=None):
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
        "server_exit": server_code,
        "controller_exit": controller_code,
        "wall_ms": round(((end or time.monotonic()) - start) * 1000),
        "runs_from": source,
        "runs": runs,
        "total_score": sum(run["score"] for run in runs),
    }


def play(folder, name):
    """Exit status 0 whenever the game has an outcome on disk afterwards,
    failures included; 1 when this runner could not record one."""
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
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, _stop)

    os.makedirs(os.path.join(folder, "locks"), exist_ok=True)
    with open(os.path.join(folder, "locks", name), "a", encoding="utf-8") as lock:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"{name}: another runner is playing it; skipped")
            return 0
        done = read_outcome(folder, name)
        if done is not None:
            print(f"{name}: already played ({done['status']}); skipped")
            return 0
        # A folder without game.json is what a killed runner left: start afresh.
        here = game_folder(folder, name)
        shutil.rmtree(here, ignore_errors=True)
        os.makedirs(here)
        try:
            outcome = _play_in(plan, folder, game, here)
        except Stopped as stop:
            print(f"{name}: runner stopped by {stop}; the game will be replayed", file=sys.stderr)
            return 1
        write_json_atomically(game_file(folder, name), outcome)
    reason = f" ({outcome['reason']})" if outcome["reason"] else ""
    print(f"{name}: {outcome['status']}{reason}; {len(outcome['runs'])} runs, "
          f"score {outcome['total_score']}, {outcome['wall_ms'] / 1000:.1f} s")
    return 0
