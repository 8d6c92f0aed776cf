"""Runs inside a game's network and pid namespaces (see sandbox.py):

    sandbox_helper.py check COMMAND...
        listens on the sandbox's port, runs COMMAND; exits with its status
    sandbox_helper.py game FOLDER LIMIT_S N CHECK... M SERVER... CONTROLLER...
        listens on the sandbox's port, starts the sandbox's check (the N
        words CHECK, a trivial command in the controller's sandbox), plays the
        game with the server (the M words SERVER) and CONTROLLER meanwhile,
        and prints how it ended as one line (GameEnding.to_line); or, when
        the check failed, "CHECK FAILED <status>": then the game's course
        says nothing about the controller.

It runs once per game, so it imports only what it must: Python's start-up is
most of what it costs (see bench/tournament/sandbox_cost.py)."""

import _socket
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from common.game_guard import play_processes  # noqa: E402
from common.processes import kill_group, run_quietly, spawn_quietly  # noqa: E402

SANDBOX_PORT = 17676


def listen():
    """The listening socket's fd: on :: with IPv6-only off, so that a client
    reaches it by 127.0.0.1, ::1 or localhost alike; on 0.0.0.0 where the
    kernel has no IPv6."""
    try:
        listener = _socket.socket(_socket.AF_INET6, _socket.SOCK_STREAM)
        listener.setsockopt(_socket.IPPROTO_IPV6, _socket.IPV6_V6ONLY, 0)
        address = ("::", SANDBOX_PORT)
    except OSError:
        listener = _socket.socket(_socket.AF_INET, _socket.SOCK_STREAM)
        address = ("0.0.0.0", SANDBOX_PORT)
    listener.setsockopt(_socket.SOL_SOCKET, _socket.SO_REUSEADDR, 1)
    listener.bind(address)
    listener.listen(1)
    return listener.detach()


def _counted(words):
    count = int(words[0])
    return words[1:count + 1], words[count + 1:]


def play(folder, limit_s, rest):
    start = time.monotonic()
    check, rest = _counted(rest)
    server, controller = _counted(rest)
    listener = listen()
    # Beside the game, not before it: a sandbox that does not work cannot
    # run the controller unconfined (each layer fails closed), so the check
    # only has to say, afterwards, whether the game's failure was the
    # sandbox's. Off the critical path, it costs a game little.
    checking = spawn_quietly(check)
    try:
        ending = play_processes(server, listener, controller, folder, "/", limit_s, start)
        status = checking.wait()
    finally:
        kill_group(checking.pid)
    print(ending.to_line() if status == 0 else f"CHECK FAILED {status}", flush=True)
    return 0


def main(argv):
    if argv[:1] == ["check"] and len(argv) > 1:
        os.close(listen())
        return run_quietly(argv[1:], keep_errors=True)
    if argv[:1] == ["game"] and len(argv) > 5:
        return play(argv[1], float(argv[2]), argv[3:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
