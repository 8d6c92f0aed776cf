#!/usr/bin/env python3
"""A kit's example bot, as a newcomer would run it: it plays
maps/open_plain.json through `play` in lockstep and reaches home in every
run, plays one game in the tournament's sandbox under the default limits
(as root), and `clientcheck` calls it ready for a lockstep tournament and
for real time (with replies judged at 200 ms, 4 times the default).

    kit_bot_test.py BUILD -- COMMAND... {host} {port}

Exits 0 when all of it holds; otherwise says what did not and exits 1."""

import os
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PLAY = os.path.join(SOURCE, "tools", "play", "play")
CLIENTCHECK = os.path.join(SOURCE, "tools", "clientcheck", "clientcheck")
OPEN_PLAIN = os.path.join(SOURCE, "maps", "open_plain.json")
RUNS = 2
BOUND_S = 300


def run(argv):
    done = subprocess.run([sys.executable, *argv], capture_output=True, text=True, timeout=BOUND_S, check=False)
    return done.returncode, done.stdout + done.stderr


def home_in_every_run(options, build, command):
    """A problem, or None."""
    status, output = run([PLAY, "--build", build, *options, OPEN_PLAIN, "--", *command])
    rounds = [line for line in output.splitlines() if line.startswith("Round ")]
    expected = [f"Round {n}: reached home; score = " for n in range(1, RUNS + 1)]
    if status != 0 or len(rounds) != RUNS or not all(map(str.startswith, rounds, expected)):
        return f"play {' '.join(options)}: status {status}, not home in every run:\n{output}"
    print("\n".join(rounds))
    return None


def main():
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        sys.exit(__doc__)
    build, command = sys.argv[1], sys.argv[3:]
    problems = [home_in_every_run([], build, command)]
    if os.geteuid() == 0:
        problems.append(home_in_every_run(["--sandbox"], build, command))
    else:
        print("not root: no sandboxed game")
    # At 4 times the default threshold: a loaded machine's pauses (or a
    # JVM's first collections) must not decide the verdict.
    status, output = run([CLIENTCHECK, "--build", build, "--slow-ms", "200", "--", *command])
    if status != 0 or not output.endswith("ready for a lockstep tournament\nready for real time\n"):
        problems.append(f"clientcheck: status {status}:\n{output}")
    else:
        print("clientcheck: ready for a lockstep tournament and for real time")
    problems = [problem for problem in problems if problem]
    if problems:
        sys.exit("\n".join(problems))


if __name__ == "__main__":
    main()
