"""tournament run DIR --engine slurm: the unfinished games as Slurm job arrays."""

import os
import re
import shlex
import shutil
import subprocess
import sys
import time

from common.stop_signals import Stopped, stop_on_signals
from tournament_dir import (counted, game_time_limit, load_plan, report_unfinished, split_by_mode,
                            unfinished_games)

POLL_INTERVAL_S = 2.0

# Each array task plays its slice of the list, game after game, with play.
TASK_SCRIPT = """#!/bin/sh
# One Slurm array task: plays K games of the list, from line
# (array offset + task id) * K + 1 on. play records every outcome, failures
# included, so a failed game does not stop the others.
set -u
list=$1 offset=$2 per_task=$3
first=$(( (offset + SLURM_ARRAY_TASK_ID) * per_task + 1 ))
last=$(( first + per_task - 1 ))
status=0
for game in $(sed -n "${{first}},${{last}}p" "$list"); do
  {play} "$game" || status=1
done
exit $status
"""


def _slurm(*argv):
    done = subprocess.run(argv, capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(argv)} failed: {done.stderr.strip()}")
    return done.stdout


def max_array_size():
    """The cluster's MaxArraySize: an array's task ids must stay below it."""
    match = re.search(r"^MaxArraySize\s*=\s*(\d+)", _slurm("scontrol", "show", "config"), re.MULTILINE)
    return int(match.group(1)) if match else 1001


def array_slices(tasks, limit):
    """(offset, count) per array, each with at most `limit` tasks."""
    return [(offset, min(limit, tasks - offset)) for offset in range(0, tasks, limit)]


def _next_submission_folder(folder):
    """DIR/slurm/N for the N-th run, so restarts keep earlier logs."""
    base = os.path.join(folder, "slurm")
    os.makedirs(base, exist_ok=True)
    taken = [int(name) for name in os.listdir(base) if name.isdigit()]
    path = os.path.join(base, str(max(taken, default=0) + 1))
    os.makedirs(path)
    return path


def _wait(job_ids):
    """Polls squeue until none of the arrays has a pending or running task."""
    misses = 0
    while True:
        done = subprocess.run(["squeue", "-h", "-o", "%i", "-j", ",".join(job_ids)], capture_output=True,
                              text=True, check=False)
        if done.returncode == 0:
            misses = 0
            if not done.stdout.strip():
                return
        else:
            # squeue refuses ids the controller has already forgotten, which is
            # also how finished jobs look once MinJobAge has passed.
            misses += 1
            if "Invalid job id" in done.stderr or misses > 30:
                return
        time.sleep(POLL_INTERVAL_S)


def run_slurm(folder, tool, partition, max_parallel, per_task):
    """Submits the unfinished games, waits, and lists those still without an outcome."""
    for program in ("sbatch", "squeue", "scontrol", "scancel"):
        if shutil.which(program) is None:
            print(f"tournament: {program} is not on PATH: is this a Slurm login node?", file=sys.stderr)
            return 1
    pending = unfinished_games(folder)
    if not pending:
        print("every game has an outcome already")
        return 0
    here = _next_submission_folder(folder)
    play = " ".join(shlex.quote(word) for word in [sys.executable, tool, "play", folder])
    script = os.path.join(here, "task.sh")
    with open(script, "w", encoding="utf-8") as stream:
        stream.write(TASK_SCRIPT.format(play=play))
    os.chmod(script, 0o755)

    plan = load_plan(folder)
    limit = max_array_size()
    arrays, tasks = [], 0
    # Real-time games in arrays of their own, with their own time limits.
    for kind, games in zip(("lockstep", "realtime"), split_by_mode(plan, pending)):
        if not games:
            continue
        listing = os.path.join(here, f"games-{kind}.txt")
        with open(listing, "w", encoding="utf-8") as stream:
            stream.writelines(game.game + "\n" for game in games)
        count = -(-len(games) // per_task)
        tasks += count
        # A task's time limit: its games at their wall-clock limit, plus start-up.
        longest = max(game_time_limit(plan, plan["maps"][game.map]) for game in games)
        minutes = -(-per_task * (longest + 30) // 60) + 1
        for offset, size in array_slices(count, limit):
            throttle = f"%{max_parallel}" if max_parallel else ""
            argv = ["sbatch", "--parsable", "--job-name", f"rover-tournament-{kind}",
                    "--array", f"0-{size - 1}{throttle}", "--ntasks", "1", "--cpus-per-task", "1",
                    "--time", str(int(minutes)), "--chdir", folder,
                    "--output", os.path.join(here, f"{kind}{offset}-%a.out")]
            if partition:
                argv += ["--partition", partition]
            arrays.append((argv, [script, listing, str(offset), str(per_task)]))
    job_ids = []
    stop_on_signals()
    try:
        for argv, task_arguments in arrays:
            # With a throttle, arrays run one after another, so that the limit
            # holds for the whole tournament and not per array.
            if max_parallel and job_ids:
                argv += ["--dependency", f"afterany:{job_ids[-1]}"]
            job_ids.append(_slurm(*argv, *task_arguments).strip().split(";")[0])
        print(f"submitted {counted(len(pending), 'game')} as {counted(tasks, 'task')} in "
              f"{counted(len(job_ids), 'array')}: {' '.join(job_ids)}", flush=True)
        _wait(job_ids)
    except Stopped as stop:
        return _cancel(job_ids, stop)
    return report_unfinished(folder, len(pending), here)


def _cancel(job_ids, stop):
    """scancel ends the arrays' running tasks with SIGTERM, on which each
    `tournament play` kills its game and records nothing."""
    if job_ids:
        done = subprocess.run(["scancel", *job_ids], capture_output=True, text=True, check=False)
        problem = f" (scancel said: {done.stderr.strip()})" if done.returncode != 0 else ""
        print(f"tournament: stopped by {stop}: cancelled the Slurm jobs {' '.join(job_ids)} with scancel"
              f"{problem}; run again to play every game without an outcome", file=sys.stderr)
    else:
        print(f"tournament: stopped by {stop} before any job was submitted", file=sys.stderr)
    return stop.exit_status()
