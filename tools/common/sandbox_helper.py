#!/usr/bin/env python3
"""Runs inside a game's network and pid namespaces (see sandbox.py).

    sandbox_helper.py check COMMAND...   listen on the sandbox's port, run COMMAND; its exit status
    sandbox_helper.py game SPEC          play a game; print how it ended as one JSON line

SPEC is a JSON object: "server" (the server's words, without the listener),
"controller" (the words of the controller's sandbox and the controller),
"folder" (the game folder), "limit_s" (the wall-clock limit)."""

import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from common.game_guard import play_processes  # noqa: E402
from common.processes import Stopped, dual_stack_listener, stop_on_signals  # noqa: E402
from common.sandbox import SANDBOX_PORT  # noqa: E402


def _listen():
    try:
        return dual_stack_listener(SANDBOX_PORT)
    except OSError as error:
        print(f"sandbox_helper: cannot listen on [::]:{SANDBOX_PORT}: {error.strerror}", file=sys.stderr)
        sys.exit(3)


def main(argv):
    if len(argv) < 2 or argv[0] not in ("check", "game"):
        print(__doc__, file=sys.stderr)
        return 2
    start = time.monotonic()
    stop_on_signals()
    listener = _listen()
    if argv[0] == "check":
        listener.close()
        return subprocess.run(argv[1:], stdin=subprocess.DEVNULL, check=False).returncode
    spec = json.loads(argv[1])
    try:
        # The controller's bwrap moves into its scratch folder itself.
        ending = play_processes(spec["server"], listener, spec["controller"], spec["folder"], "/",
                                spec["limit_s"], start)
    except Stopped:
        return 1
    print(json.dumps(ending.as_dict()), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
