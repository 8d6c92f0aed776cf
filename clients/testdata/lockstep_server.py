"""Starts the real server in lockstep on a listening socket it inherits.

The socket is bound here first (port 0, so the kernel picks a free one) and
handed to the server by socket activation, so a controller can connect the
moment this returns and two tests never race for a port.
"""

import os
import socket
import subprocess

# The shell learns the pid the server will have (exec keeps it), so
# LISTEN_PID names the server and nothing else.
ACTIVATION_RECIPE = 'LISTEN_FDS=1 LISTEN_PID=$$ exec "$0" "$@"'


def start_lockstep_server(server, map_path, extra_args=(), stdout=subprocess.PIPE):
    """The server process, playing `map_path` with --reply-timeout 0, and its port."""
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        port = listener.getsockname()[1]

        # The lowest free fd is taken by the time the listener exists, so fd 3
        # is in use here and none of Popen's own pipes can land on it.
        def listener_at_fd_3():
            if listener.fileno() != 3:
                os.dup2(listener.fileno(), 3)

        argv = [server, "--lockstep", "--reply-timeout", "0", *extra_args, map_path]
        process = subprocess.Popen(["/bin/sh", "-c", ACTIVATION_RECIPE, *argv], stdout=stdout,
                                   stderr=subprocess.PIPE, text=True, pass_fds=(3,),
                                   preexec_fn=listener_at_fd_3)
    return process, port
