"""Plays one situation: the real server on its map, the controller, and the
relay between them, which passes the controller's bytes on untouched,
hands over the server's as the situation asks, and reads the controller's
stream as the server would. Every wait is bounded; both process groups are
gone when play_situation returns."""

import os
import select
import socket
import struct
import time
from dataclasses import dataclass, field

from common.capped_output import CappedOutput
from common.controller_ending import error_tail
from common.game_run import filled, takes_port
from common.processes import kill_group, start_activated_server, start_controller
from common.results_check import NonConforming, read_results
from common.server_command import server_words
from common.stop_hold import StopHold
from controller_stream import ControllerStream
from delivery import Delivery

FIXED_PORT = 17676
CONNECT_S = 10.0
# Lockstep: a reply later than this is no reply (40 times the slow threshold).
REPLY_WAIT_S = 2.0
# After the server closed the connection: the controller should be gone.
LEAVE_S = 3.0
SERVER_END_S = 2.0
SEND_BOUND_S = 2.0
TICK_S = 0.02
# Linux's SO_TIMESTAMPNS (Python has no name for it): each read's kernel
# arrival time, so that the relay's own scheduling delays do not count
# against the controller.
SO_TIMESTAMPNS = 35
# A slow controller is told apart early: most of its first replies are slow.
SLOW_SAMPLE = 10


class CannotRun(Exception):
    """The situation could not be set up (not the controller's fault)."""


@dataclass
class Played:
    stream: ControllerStream
    ending: str  # "over", "did not start", "never connected", "left early", "never left", "hang", "slow", "too long"
    detail: str = ""
    controller_exit: int = None
    results: dict = None
    notes: list = field(default_factory=list)


def _listener(port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        if port:
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", port))
        listener.listen(1)
    except OSError as error:
        listener.close()
        raise CannotRun(f"cannot listen on 127.0.0.1:{port}: {error.strerror}"
                        + (" (give the command {port})" if port else "")) from None
    return listener


def _stamped(connection):
    """(bytes, the kernel's arrival time of the read) from a readable socket."""
    data, ancillary, _, _ = connection.recvmsg(65536, socket.CMSG_SPACE(16))
    for level, kind, value in ancillary:
        if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(value) >= 16:
            seconds, nanoseconds = struct.unpack("qq", value[:16])
            return data, seconds + nanoseconds / 1e9
    return data, time.time()


class _Relay:
    def __init__(self, situation, slow_ms, controller, deadline, leave_s):
        self.leave_s = leave_s
        self.stream = ControllerStream(situation.lockstep)
        self.delivery = Delivery(situation.policy)
        self.slow_ms = slow_ms
        self.controller = controller
        self.deadline = deadline

    def _accept(self, listener):
        listener.setblocking(False)
        give_up = min(self.deadline, time.monotonic() + CONNECT_S)
        while time.monotonic() < give_up:
            if self.controller.poll() is not None:
                return None
            if select.select([listener], [], [], TICK_S)[0]:
                connection, _ = listener.accept()
                connection.setblocking(True)
                return connection
        return None

    def _send(self, chunks, to_controller):
        for data, letters in chunks:
            # Stamped before the write: a fast controller's answer can reach
            # the kernel before sendall returns to Python.
            sent = time.time()
            to_controller.sendall(data)
            for letter in letters:
                self.stream.delivered(letter, sent)

    def _watch(self, server, to_controller):
        """Relays until the server closes its side; the ending, or None."""
        while True:
            now = time.time()
            self._send(self.delivery.due(now), to_controller)
            waiting = self.stream.waiting_since()
            if waiting is not None and now - waiting > REPLY_WAIT_S:
                self.stream.no_reply(REPLY_WAIT_S)
                return "hang"
            latencies = self.stream.latencies_ms
            if len(latencies) >= SLOW_SAMPLE and sum(ms > self.slow_ms for ms in latencies) * 2 > len(latencies):
                return "slow"
            if time.monotonic() > self.deadline:
                return "too long"
            wake = self.delivery.next_due()
            timeout = TICK_S if wake is None else max(0.0, min(TICK_S, wake - now))
            readable = select.select([server, to_controller], [], [], timeout)[0]
            if server in readable:
                try:
                    data = server.recv(65536)
                except ConnectionResetError:
                    data = b""  # the server ended the game with the controller's bytes unread
                if not data:
                    self._send(self.delivery.everything(), to_controller)
                    return None
                self.delivery.add(data, time.time())
            if to_controller in readable:
                data, arrived = _stamped(to_controller)
                if not data:
                    return "left early"
                self.stream.received(data, arrived)
                try:
                    server.sendall(data)
                except OSError:
                    pass  # the server ended the game; its EOF comes next
            elif self.controller.poll() is not None:
                return "left early"

    def play(self, listener, server_port):
        to_controller = self._accept(listener)
        if to_controller is None:
            return "never connected"
        try:
            server = socket.create_connection(("127.0.0.1", server_port))
        except OSError as error:
            to_controller.close()
            raise CannotRun(f"the server did not take the game: {error.strerror}") from None
        with to_controller, server:
            for connection in (server, to_controller):
                connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            to_controller.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
            to_controller.settimeout(SEND_BOUND_S)
            try:
                ending = self._watch(server, to_controller)
            except socket.timeout:
                self.stream.faults.setdefault("hang", f"it stopped reading: {SEND_BOUND_S:g} s without room for "
                                                      "the server's bytes")
                return "hang"
            except OSError:
                ending = "left early"  # the controller reset its connection
            if ending is not None:
                try:
                    server.shutdown(socket.SHUT_WR)  # the server sees EOF and ends the game
                except OSError:
                    pass  # it has already reset the connection (a flood ends its game at once)
                return ending
            return self._leave(to_controller)

    def _leave(self, to_controller):
        """The server closed the connection: the controller should exit."""
        try:
            to_controller.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        give_up = time.monotonic() + self.leave_s
        reading = True
        while time.monotonic() < give_up:
            if self.controller.poll() is not None:
                return "over"
            if not reading:
                time.sleep(TICK_S)
                continue
            try:  # what it still sends is read and dropped
                if select.select([to_controller], [], [], TICK_S)[0]:
                    reading = bool(to_controller.recv(65536))
            except OSError:
                reading = False
        return "never left" if self.leave_s else "over"


def _wait_for(process, seconds):
    give_up = time.monotonic() + seconds
    while process.poll() is None and time.monotonic() < give_up:
        time.sleep(TICK_S)


def play_situation(situation, map_path, server, command, folder, slow_ms, deadline, leave_s=LEAVE_S):
    """Plays the situation with the controller's command; Played. With
    leave_s 0 it does not wait for the controller to leave after the game.
    Raises CannotRun when the game cannot be set up."""
    server_listener = _listener(0)
    relay_listener = _listener(0 if takes_port(command) else FIXED_PORT)
    server_process = controller = None
    outputs = []
    results_path = os.path.join(folder, "results.json")
    argv = server_words(server, map_path, "lockstep" if situation.lockstep else "realtime", 0,
                        results=results_path)
    try:
        with relay_listener:
            server_port = server_listener.getsockname()[1]
            with server_listener, StopHold():  # the server's own copy of the listener stays open
                server_process = start_activated_server(argv, server_listener.fileno(),
                                                        os.path.join(folder, "server.out"),
                                                        os.path.join(folder, "server.err"))
            words = filled(command, "127.0.0.1", relay_listener.getsockname()[1])
            try:
                with StopHold():
                    controller = start_controller(words, os.getcwd())
            except OSError as error:
                return Played(ControllerStream(situation.lockstep), "did not start", error.strerror)
            outputs = [CappedOutput(controller.stdout, os.path.join(folder, "controller.out")),
                       CappedOutput(controller.stderr, os.path.join(folder, "controller.err"))]
            relay = _Relay(situation, slow_ms, controller, deadline, leave_s)
            ending = relay.play(relay_listener, server_port)
        if ending == "left early":  # its exit status says more than the kill's
            _wait_for(controller, SERVER_END_S)
        if ending != "never connected":  # else the server still waits for a client
            _wait_for(server_process, SERVER_END_S)
        exited = controller.poll()  # by itself, before the kill below
    finally:
        for process in (server_process, controller):
            if process is not None:
                kill_group(process.pid)
                process.wait()
        for output in outputs:
            output.finish(timeout=1)
    played = Played(relay.stream, ending, controller_exit=exited)
    try:
        played.results = read_results(results_path)
    except NonConforming:
        played.results = None
    tail = error_tail(os.path.join(folder, "controller.err"))
    if tail:
        played.notes.append(f"its standard error ends: {tail}")
    return played
