#!/usr/bin/env python3
"""A kit's example bot plays a map in lockstep against the real server and
must reach home in every run.

    bot_reaches_home_test.py SERVER MAP -- COMMAND... {host} {port}

Exits 0 when the server and the bot both exit 0 and the server printed one
"reached home" Round line per run of the map; otherwise says why and exits 1.
"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lockstep_server import start_lockstep_server  # noqa: E402

TIMEOUT_S = 120  # a lockstep game of a small map takes well under a second


def main():
    if len(sys.argv) < 5 or sys.argv[3] != "--":
        sys.exit(__doc__)
    server, map_path, command = sys.argv[1], sys.argv[2], sys.argv[4:]
    with open(map_path, encoding="utf-8") as map_file:
        runs = len(json.load(map_file)["runs"])
    game, port = start_lockstep_server(server, map_path)
    bot = subprocess.Popen([word.replace("{host}", "127.0.0.1").replace("{port}", str(port)) for word in command],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        bot_out, _ = bot.communicate(timeout=TIMEOUT_S)
        server_out, server_err = game.communicate(timeout=TIMEOUT_S)
    finally:
        for process in (bot, game):
            if process.poll() is None:
                process.kill()
                process.wait()
    rounds = [line for line in server_out.splitlines() if line.startswith("Round ")]
    expected = ["Round %d: reached home; score = " % n for n in range(1, runs + 1)]
    problems = []
    if bot.returncode != 0:
        problems.append("the bot exited with status %d" % bot.returncode)
    if game.returncode != 0:
        problems.append("the server exited with status %d" % game.returncode)
    if len(rounds) != runs or not all(line.startswith(start) for line, start in zip(rounds, expected)):
        problems.append("not home in every one of the %d runs" % runs)
    if problems:
        print("\n".join(problems), "--- server:", server_out, server_err, "--- bot:", bot_out, sep="\n")
        sys.exit(1)
    print("\n".join(rounds))


if __name__ == "__main__":
    main()
