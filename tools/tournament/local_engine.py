"""tournament run DIR --engine local: the unfinished games through GNU parallel."""

import os
import shlex
import shutil
import subprocess
import sys

from tournament_dir import counted, report_unfinished, unfinished_games

JOBLOG = "local.joblog"


def run_local(folder, tool, jobs):
    """Plays every game without an outcome; parallel's exit status."""
    if shutil.which("parallel") is None:
        print("tournament: GNU parallel is not installed (Debian package 'parallel')", file=sys.stderr)
        return 1
    pending = unfinished_games(folder)
    if not pending:
        print("every game has an outcome already")
        return 0
    # The list of this run's games: games with an outcome are left out, so a
    # deleted game folder is played again and nothing else is.
    listing = os.path.join(folder, "local.pending")
    with open(listing, "w", encoding="utf-8") as stream:
        stream.writelines(game.game + "\n" for game in pending)
    command = [
        "parallel", "--will-cite",
        # "+" appends: the log keeps every game of every run, with its exit
        # status, time and runtime, across restarts.
        "--joblog", "+" + os.path.join(folder, JOBLOG),
        "--jobs", str(jobs) if jobs else "100%",
        "--arg-file", listing,
    ]
    if sys.stderr.isatty():
        command.append("--bar")
    # parallel runs this through a shell and quotes the game it puts at {}.
    command.append(" ".join(shlex.quote(word) for word in [sys.executable, tool, "play", folder]) + " {}")
    print(f"playing {counted(len(pending), 'game')} with GNU parallel")
    subprocess.run(command, check=False)
    return report_unfinished(folder, len(pending), os.path.join(folder, JOBLOG))
