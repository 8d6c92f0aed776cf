"""tournament run DIR --engine local: the unfinished games through GNU parallel."""

import os
import shlex
import shutil
import signal
import subprocess
import sys

from common.stop_signals import Stopped, stop_on_signals
from tournament_dir import counted, load_plan, report_unfinished, split_by_mode, unfinished_games

JOBLOG = "local.joblog"
# On its TERM, parallel sends its running jobs TERM and, this many ms later,
# KILL: time for each `tournament play` to kill its server and controller.
JOB_STOP_MS = 5000
PARALLEL_STOP_BOUND_S = 60


def _cores():
    return len(os.sched_getaffinity(0))


def run_local(folder, tool, jobs, realtime_jobs):
    """Plays every game without an outcome: the lockstep games first, then
    the real-time ones in a pass of their own, so that no lockstep game
    competes with a real-time one for the CPU. Returns 0 when every game has
    an outcome."""
    if shutil.which("parallel") is None:
        print("tournament: GNU parallel is not installed (Debian package 'parallel')", file=sys.stderr)
        return 1
    pending = unfinished_games(folder)
    if not pending:
        print("every game has an outcome already")
        return 0
    lockstep, realtime = split_by_mode(load_plan(folder), pending)
    stop_on_signals()
    passes = [(lockstep, "lockstep", str(jobs) if jobs else "100%", f"{jobs} at a time" if jobs else "one per core"),
              (realtime, "real-time", str(realtime_jobs or _cores()),
               f"{realtime_jobs or _cores()} at a time{'' if realtime_jobs else ' (one per core)'}, "
               "with no lockstep game beside them")]
    for games, kind, at_once, said in passes:
        if not games:
            continue
        print(f"playing {counted(len(games), kind + ' game')} with GNU parallel, {said}", flush=True)
        status = _parallel(folder, tool, games, at_once)
        if status is not None:
            return status
    return report_unfinished(folder, len(pending), os.path.join(folder, JOBLOG))


def _parallel(folder, tool, games, at_once):
    """One pass of parallel over `games`; None when it ran to its end, else
    the exit status of a runner that was stopped."""
    # The list of this pass's games: games with an outcome are left out, so
    # a deleted game folder is played again and nothing else is.
    listing = os.path.join(folder, "local.pending")
    with open(listing, "w", encoding="utf-8") as stream:
        stream.writelines(game.game + "\n" for game in games)
    command = [
        "parallel", "--will-cite",
        # "+" appends: the log keeps every game of every run, with its exit
        # status, time and runtime, across restarts.
        "--joblog", "+" + os.path.join(folder, JOBLOG),
        "--jobs", at_once,
        "--termseq", f"TERM,{JOB_STOP_MS},KILL,25",
        "--arg-file", listing,
    ]
    if sys.stderr.isatty():
        command.append("--bar")
    # parallel runs this through a shell and quotes the game it puts at {}.
    command.append(" ".join(shlex.quote(word) for word in [sys.executable, tool, "play", folder]) + " {}")
    # Its own session: a Ctrl-C reaches only this runner, which stops
    # parallel in order below.
    parallel = subprocess.Popen(command, start_new_session=True)
    try:
        parallel.wait()
    except Stopped as stop:
        return _stop(parallel, stop)
    return None


def _stop(parallel, stop):
    """Stops parallel, which stops its running games: each `tournament play`
    kills its server and controller and records nothing."""
    parallel.send_signal(signal.SIGTERM)
    try:
        parallel.wait(timeout=PARALLEL_STOP_BOUND_S)
    except subprocess.TimeoutExpired:
        parallel.kill()
        parallel.wait()
    print(f"tournament: stopped by {stop}: GNU parallel and the games it was playing were stopped, with "
          "nothing recorded for them; run again to play every game without an outcome", file=sys.stderr)
    return stop.exit_status()
