"""Starting the two processes of a game, each in its own session and process
group, so that a guard can kill a process with everything it started.

The sandbox's helper imports this inside every game: it stays on os and
fcntl, since the signal, socket and subprocess modules cost milliseconds of
start-up per game."""

import fcntl
import os

# Linux's numbers, spelt out so as not to import the signal module.
SIGKILL = 9
SIGPIPE = 13
SIGXFSZ = 25
# The documented recipe: the shell learns the pid the server will have (exec
# keeps it), so LISTEN_PID names the server and nothing else.
ACTIVATION_RECIPE = 'LISTEN_FDS=1 LISTEN_PID=$$ exec "$0" "$@"'
# Python ignores these; children must get the default back, as subprocess does.
_RESTORED_SIGNALS = (SIGPIPE, SIGXFSZ)
_SPAWN_FLAGS = os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC


def exit_code(status):
    """An exit status as os.waitpid gives it: the code, or minus the signal."""
    return os.waitstatus_to_exitcode(status)


class SpawnedProcess:
    """A process started in a session of its own; pid is also its process
    group. `stdout` and `stderr` are the read ends of its output pipes, if any."""

    def __init__(self, pid, stdout=None, stderr=None):
        self.pid = pid
        self.returncode = None
        self.stdout = stdout
        self.stderr = stderr

    def poll(self):
        if self.returncode is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.returncode = exit_code(status)
        return self.returncode

    def wait(self):
        if self.returncode is None:
            _, status = os.waitpid(self.pid, 0)
            self.returncode = exit_code(status)
        return self.returncode


def _spawn(argv, fds, cwd=None):
    """posix_spawn of argv with fds[i] as its fd i, in a new session; an
    OSError when it cannot start. The fds must be far above the ones they
    become, or close-on-exec copies."""
    actions = [(os.POSIX_SPAWN_DUP2, fd, target) for target, fd in enumerate(fds)]
    spawn = os.posix_spawn if "/" in argv[0] else os.posix_spawnp
    # posix_spawn has no chdir action before Python 3.13: the caller moves
    # for the moment of the spawn (no other thread runs yet) and moves back.
    back = os.open(".", os.O_RDONLY | os.O_CLOEXEC) if cwd is not None else None
    try:
        if cwd is not None:
            os.chdir(cwd)
        return spawn(argv[0], argv, dict(os.environ), file_actions=actions, setsid=True,
                     setsigdef=_RESTORED_SIGNALS, setsigmask=())
    finally:
        if back is not None:
            os.fchdir(back)
            os.close(back)


def _above(fd):
    return fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)


def start_activated_server(argv, listener_fd, stdout_path, stderr_path):
    """Starts argv (the server and its arguments) with the listener as fd 3.

    The caller closes its own copy of the listener afterwards, so that the
    server is the only one left to accept on it."""
    passed = _above(listener_fd)
    out = os.open(stdout_path, _SPAWN_FLAGS, 0o644)
    err = os.open(stderr_path, _SPAWN_FLAGS, 0o644)
    null = os.open(os.devnull, os.O_RDONLY | os.O_CLOEXEC)
    try:
        pid = _spawn(["/bin/sh", "-c", ACTIVATION_RECIPE, *argv], [null, out, err, passed])
    finally:
        for fd in (passed, out, err, null):
            os.close(fd)
    return SpawnedProcess(pid)


def start_controller(argv, folder=None):
    """Starts a controller (in `folder`, when given) with its output on pipes."""
    out_read, out_write = os.pipe2(os.O_CLOEXEC)
    err_read, err_write = os.pipe2(os.O_CLOEXEC)
    null = os.open(os.devnull, os.O_RDONLY | os.O_CLOEXEC)
    ends = [_above(fd) for fd in (null, out_write, err_write)]
    try:
        pid = _spawn(argv, ends, folder)
    except OSError:
        for fd in (out_read, err_read):
            os.close(fd)
        raise
    finally:
        for fd in [null, out_write, err_write] + ends:
            os.close(fd)
    return SpawnedProcess(pid, out_read, err_read)


def spawn_quietly(argv, keep_errors=False):
    """Starts argv with no input and output (standard error kept, if asked)."""
    null = os.open(os.devnull, os.O_RDWR | os.O_CLOEXEC)
    ends = [_above(null), _above(null), _above(2 if keep_errors else null)]
    try:
        return SpawnedProcess(_spawn(argv, ends))
    finally:
        for fd in [null] + ends:
            os.close(fd)


def run_quietly(argv, keep_errors=False):
    """Runs argv with no input and output; its exit code."""
    return spawn_quietly(argv, keep_errors).wait()


def kill_group(pid):
    """Kills a process group; quiet when it is gone already."""
    try:
        os.killpg(pid, SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
