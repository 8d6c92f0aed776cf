"""Plays one game, its server and its controller, sandboxed or not: the one
way `tournament play` and `play` run a game. The server's and the
controller's output go to server.out/.err and controller.out/.err in the
game's folder; both process groups are gone when a function here returns,
also when the caller is stopped by an exception (Stopped on a signal)."""

import socket
import subprocess

from common.game_guard import GameEnding, play_processes
from common.processes import kill_group
from common.sandbox import SANDBOX_HOST, SandboxError, check_command, check_sandbox, controller_layers, \
    game_words, layered
from common.sandbox_helper import SANDBOX_PORT
from common.stop_hold import StopHold

# The helper reports within the game's limit plus the guards' grace periods;
# past this margin the runner stops waiting for it.
HELPER_MARGIN_S = 60


def filled(words, host, port):
    return [w.replace("{host}", host).replace("{port}", str(port)) for w in words]


def takes_port(words):
    return any("{port}" in w for w in words)


def play_unsandboxed(server_argv, controller_words, folder, cwd, limit_s, start):
    """The controller runs as the caller, in `cwd`. A command with {port}
    gets a free port the kernel picks (no races between games); one without
    it connects to the server's default port, which must then be free
    (OSError otherwise). Loopback only, where the plain server would listen
    on every interface: nothing but this machine needs the game."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        if not takes_port(controller_words):
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", 0 if takes_port(controller_words) else SANDBOX_PORT))
        listener.listen(1)
    except OSError:
        listener.close()
        raise
    port, fd = listener.getsockname()[1], listener.detach()
    return play_processes(server_argv, fd, filled(controller_words, "127.0.0.1", port), folder, cwd, limit_s,
                          start)


def play_sandboxed(server_argv, controller_words, folder, files, hidden, limits, limit_s, uid):
    """Plays in the sandbox through sandbox_helper, which checks the sandbox
    beside the game; the controller sees `files` and never `hidden`. Raises
    SandboxError, naming the step, when the check fails or the helper gives
    no account of the game."""
    words = filled(controller_words, SANDBOX_HOST, SANDBOX_PORT)
    layers = controller_layers(files, hidden, limits, limit_s, uid)
    with StopHold():
        helper = subprocess.Popen(game_words(folder, limit_s, layered(layers, check_command()), server_argv,
                                             layered(layers, words)),
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
