"""Plays a bot against the server over TCP.

    sys.exit(rover_client.run(MyBot(), sys.argv[1:]))    # argv: [host] [port]

Host and port default to localhost 17676. The same loop serves lockstep and
real time: the server's bytes go to the Session, its replies go back at once.
"""

import os
import socket
import sys
import time

if os.path.dirname(os.path.abspath(__file__)) not in sys.path:
    # The kit's modules import each other absolutely, also when this file is loaded by its path.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rover_messages import ProtocolError  # noqa: E402
from rover_session import Session  # noqa: E402

DEFAULT_HOST = "localhost"
DEFAULT_PORT = 17676


def connect(host, port, patience_s=10.0):
    """A connection to host:port, retried while nothing listens there yet (up to patience_s)."""
    deadline = time.monotonic() + patience_s
    while True:
        try:
            link = socket.create_connection((host, port))
            break
        except ConnectionRefusedError:
            if time.monotonic() >= deadline:
                raise
            time.sleep(0.1)
    # Replies are tiny and the server reads them every 50 ms: send each at once.
    link.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return link


def play(bot, host=DEFAULT_HOST, port=DEFAULT_PORT):
    """Plays every run; raises ProtocolError or OSError when the game breaks."""
    session = Session(bot)
    with connect(host, port) as link:
        while True:
            try:
                data = link.recv(65536)
            except ConnectionResetError:
                # A server that closes while our last reply is unread resets the
                # connection instead; either way the stream has ended.
                data = b""
            if not data:
                break
            reply = session.on_bytes(data)
            try:
                link.sendall(reply)
            except (BrokenPipeError, ConnectionResetError):
                # After the last E the server may be gone before our last reply.
                if not session.can_end_here():
                    raise
                break
    if not session.can_end_here():
        raise ProtocolError("the server closed the connection during a run")


def run(bot, argv):
    """Plays with host and port from argv; returns the exit status (0 when every run was played)."""
    name = os.path.basename(sys.argv[0]) or "bot"
    if len(argv) > 2 or (len(argv) == 2 and not argv[1].isdigit()):
        print("usage: %s [host] [port]" % name, file=sys.stderr)
        return 2
    host = argv[0] if argv else DEFAULT_HOST
    port = int(argv[1]) if len(argv) > 1 else DEFAULT_PORT
    try:
        play(bot, host, port)
    except (OSError, ProtocolError) as failure:
        print("%s: %s" % (name, failure), file=sys.stderr)
        return 1
    return 0
