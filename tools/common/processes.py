"""Starting the two processes of a game, each in its own session and process
group, so that a guard can kill a process with everything it started; and
turning the runner's own stop signals into an exception."""

import fcntl
import os
import signal
import socket
import subprocess

# The documented recipe: the shell learns the pid the server will have (exec
# keeps it), so LISTEN_PID names the server and nothing else.
ACTIVATION_RECIPE = 'LISTEN_FDS=1 LISTEN_PID=$$ exec "$0" "$@"'

# Python ignores these; children must get the default back, as subprocess does.
_RESTORED_SIGNALS = (signal.SIGPIPE, signal.SIGXFSZ)
STOP_SIGNALS = (signal.SIGTERM, signal.SIGHUP, signal.SIGINT)


class Stopped(Exception):
    """The runner itself was told to stop (a cancelled or preempted job, Ctrl-C)."""


    def __init__(self, signum):
        super().__init__(signal.Signals(signum).name)
        self.signum = signum

    def exit_status(self):
        """What a shell reports for a process ended by the signal."""
        return 128 + self.signum


def _raise_stopped(signum, _frame):
    # Once: a second signal (parallel repeats its TERM) must not cut short
    # the clean-up the first one started.
    for other in STOP_SIGNALS:
        signal.signal(other, signal.SIG_IGN)
    raise Stopped(signum)


def stop_on_signals():
    """From now on SIGTERM, SIGHUP and SIGINT raise Stopped in the main thread."""
    for signum in STOP_SIGNALS:
        signal.signal(signum, _raise_stopped)


def exit_code(status):
    """An exit status as os.waitpid gives it: the code, or minus the signal."""
    return os.waitstatus_to_exitcode(status)


class SpawnedServer:
    """A server started by socket activation; pid is also its process group."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

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


def loopback_listener():
    """A socket listening on 127.0.0.1 on a port the kernel picks: no races."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    return listener


def dual_stack_listener(port):
    """A socket listening on :: with IPv6-only off, so that a client reaches it
    by 127.0.0.1, ::1 or localhost alike."""
    listener = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("::", port))
    listener.listen(1)
    return listener


def start_activated_server(argv, listener, stdout_path, stderr_path):
    """Starts argv (the server and its arguments) with the listener as fd 3.

    The caller closes its own copy of the listener afterwards, so that the
    server is the only one left to accept on it."""
    # A copy far above 3, so that the dup2 to 3 below never meets an fd that
    # one of the other actions still needs.
    passed = fcntl.fcntl(listener.fileno(), fcntl.F_DUPFD_CLOEXEC, 10)
    flags = os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC
    out = os.open(stdout_path, flags, 0o644)
    err = os.open(stderr_path, flags, 0o644)
    null = os.open(os.devnull, os.O_RDONLY | os.O_CLOEXEC)
    try:
        pid = os.posix_spawn(
            "/bin/sh", ["sh", "-c", ACTIVATION_RECIPE, *argv], dict(os.environ),
            file_actions=[(os.POSIX_SPAWN_DUP2, null, 0), (os.POSIX_SPAWN_DUP2, out, 1),
                          (os.POSIX_SPAWN_DUP2, err, 2), (os.POSIX_SPAWN_DUP2, passed, 3)],
            setsid=True, setsigdef=_RESTORED_SIGNALS, setsigmask=())
    finally:
        for fd in (passed, out, err, null):
            os.close(fd)
    return SpawnedServer(pid)


def start_controller(argv, folder):
    """Starts a controller in a folder with its output on pipes."""
    return subprocess.Popen(argv, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, start_new_session=True)


def kill_group(pid):
    """Kills a process group; quiet when it is gone already."""
    try:
        os.killpg(pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
