"""The sandbox of a game, made of Debian's bubblewrap and util-linux's setpriv
and prlimit:

    bwrap: the game's own network (loopback only) and pid namespaces
      └─ sandbox_helper: listens on [::]:17676, starts the server (as the
         runner's user, writing into the game folder), then:
         bwrap: the controller's own mount, pid, IPC and UTS namespaces, its
                view of the machine (sandbox_files), fresh /proc and /dev,
                private /tmp and scratch folder, a clean environment
           └─ setpriv: a real unprivileged uid and gid, no groups, no
                capabilities, no new privileges
              └─ prlimit: the per-process limits
                 └─ bwrap --unshare-user --disable-userns: no new user
                    namespaces inside
                    └─ the tournament's prefix, then the controller

--die-with-parent on every bwrap ends every game process, however it forked,
when the runner dies, also by SIGKILL."""

import os
import shutil
import subprocess
import sys

from common.sandbox_files import SCRATCH, SYSTEM_PATH, TMP, view_options
from common.sandbox_helper import SANDBOX_PORT

SANDBOX_HOST = "127.0.0.1"
HELPER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sandbox_helper.py")
TOOLS = {"bwrap": "bubblewrap", "setpriv": "util-linux", "prlimit": "util-linux"}
CHECK_BOUND_S = 60


class SandboxError(Exception):
    """The sandbox cannot run here, worded for the user."""


def tool(name):
    """The absolute path of one of the sandbox's programs, found on the
    system's PATH only."""
    path = shutil.which(name, path=SYSTEM_PATH)
    if path is None:
        raise SandboxError(f"{name} is not installed (Debian package {TOOLS[name]})")
    return path


def require_root():
    if os.geteuid() != 0:
        raise SandboxError('the sandbox needs root (run as root, or write "sandbox": "none" '
                           "to run controllers unsandboxed)")


def game_namespace_words():
    """The outer bwrap: a new network namespace (only loopback, brought up by
    bwrap) and pid namespace; the machine's files stay as they are, since the
    server and the helper run as the runner's user."""
    return [tool("bwrap"), "--unshare-net", "--unshare-pid", "--unshare-ipc", "--die-with-parent",
            "--bind", "/", "/", "--proc", "/proc", "--dev-bind", "/dev", "/dev", "--"]


def helper_words(mode):
    # -I -S: no site packages and no user paths to search; a faster start.
    # -B: no byte-code written beside the modules, which may be an installed
    # package's (-I ignores PYTHONDONTWRITEBYTECODE).
    return [sys.executable, "-I", "-S", "-B", HELPER, mode]


def check_command():
    """The trivial command run in the sandbox to check it."""
    return [shutil.which("true", path=SYSTEM_PATH) or "/bin/true"]


def game_words(folder, limit_s, check, server, controller):
    """The outer bwrap and the helper's words for one game (sandbox_helper)."""
    return (game_namespace_words() + helper_words("game") + [folder, repr(limit_s)] +
            [str(len(check))] + check + [str(len(server))] + server + controller)


def controller_layers(files, hidden, limits, game_time_limit_s, uid):
    """The controller's sandbox as (what it does, words) layers, outermost
    first, each ending with the next one's program."""
    return [
        ("the controller's namespaces and file view (bwrap)",
         [tool("bwrap"), "--unshare-pid", "--unshare-ipc", "--unshare-uts", "--unshare-cgroup-try",
          "--die-with-parent", "--new-session", *view_options(files, hidden, limits),
          "--chdir", SCRATCH, "--clearenv", "--setenv", "PATH", SYSTEM_PATH, "--setenv", "HOME", SCRATCH,
          "--setenv", "TMPDIR", TMP, "--"]),
        (f"the drop to uid {uid} (setpriv)",
         [tool("setpriv"), f"--reuid={uid}", f"--regid={uid}", "--clear-groups", "--no-new-privs",
          "--bounding-set=-all", "--inh-caps=-all", "--"]),
        ("the limits (prlimit)", [tool("prlimit"), *limits.prlimit_words(game_time_limit_s), "--"]),
        ("the block on new user namespaces (bwrap --unshare-user --disable-userns)",
         # --dev-bind: /dev/null and the like keep working (--bind adds nodev).
         [tool("bwrap"), "--unshare-user", "--disable-userns", "--die-with-parent", "--dev-bind", "/", "/",
          "--"]),
    ]


def layered(layers, command):
    words = []
    for _, layer in layers:
        words += layer
    return words + command


def _attempt(words):
    """(exit status, the last line of standard error) of one bounded try."""
    try:
        done = subprocess.run(words, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=CHECK_BOUND_S, check=False)
    except subprocess.TimeoutExpired:
        return None, f"no answer within {CHECK_BOUND_S} s"
    except OSError as error:
        return None, error.strerror
    lines = done.stderr.decode("utf-8", "replace").strip().splitlines()
    return done.returncode, lines[-1] if lines else f"exit status {done.returncode}"


def check_sandbox(files, limits, game_time_limit_s, uid):
    """Runs a trivial command in the whole sandbox; raises SandboxError naming
    the first step that fails. (A game runs the same check inside its own
    namespaces, beside the game itself; this tells which step failed.)"""
    require_root()
    true = check_command()
    outer = game_namespace_words() + helper_words("check")
    layers = controller_layers(files, [], limits, game_time_limit_s, uid)
    status, _ = _attempt(outer + layered(layers, true))
    if status == 0:
        return
    steps = [("the game's namespaces (bwrap --unshare-net --unshare-pid) and its listener on "
              f"port {SANDBOX_PORT}", [])] + [(name, layers[:count + 1]) for count, (name, _) in enumerate(layers)]
    for name, prefix in steps:
        status, problem = _attempt(outer + layered(prefix, true))
        if status != 0:
            raise SandboxError(f"the sandbox does not work here: {name} failed: {problem}")
    raise SandboxError("the sandbox does not work here: every step passed alone, but not all together")
