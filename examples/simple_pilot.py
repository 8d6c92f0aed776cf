#!/usr/bin/env python3
"""A minimal rover controller: the shortest path to understanding the protocol.

    python3 examples/simple_pilot.py [host] [port]      (defaults: localhost 17676)

It drives straight at the home base and knows nothing of boulders, craters or
Martians, so it only gets home on open ground (try maps/open_plain.json).

The server sends ASCII messages, each a letter, space-separated fields and a
closing ";" (no newlines).  The controller answers every "T" (telemetry)
message with exactly one reply: commands such as "a;" (accelerate one notch)
or "l;" (turn left one notch), then a bare ";" that ends the reply -- so
"a;l;;", or just ";" when nothing should change.  One reply per "T" is what a
server in --lockstep mode waits for, and it works in real time too.
"""

import math
import socket
import sys

ACCEL = "b-a"    # telemetry's acceleration character, index = state + 1
TURN = "Rr-lL"   # telemetry's turn character, index = state + 2


def parse(text):
    """Splits one message (without its ';') into its letter and fields."""
    fields = text.split()
    return fields[0], fields[1:]


def wanted_controls(x, y, heading, speed):
    """The (accel, turn) states that steer at the origin from this pose."""
    error = math.degrees(math.atan2(-y, -x)) - heading
    while error < -180:
        error += 360
    while error > 180:
        error -= 360
    if abs(error) > 20:
        turn = 2 if error > 0 else -2    # hard turn
    elif abs(error) > 3:
        turn = 1 if error > 0 else -1    # gentle turn
    else:
        turn = 0
    target_speed = 6.0 if abs(error) < 30 else 2.0   # slow down to turn tightly
    if speed < target_speed - 0.3:
        accel = 1
    elif speed > target_speed + 0.5:
        accel = -1
    else:
        accel = 0
    return accel, turn


def commands_toward(current, wanted):
    """One command moves each state by at most one notch: "a", "br", "l", ..."""
    (accel, turn), commands = current, []
    while (accel, turn) != wanted:
        step_a = (wanted[0] > accel) - (wanted[0] < accel)
        step_t = (wanted[1] > turn) - (wanted[1] < turn)
        commands.append({1: "a", -1: "b", 0: ""}[step_a] + {1: "l", -1: "r", 0: ""}[step_t])
        accel, turn = accel + step_a, turn + step_t
    return commands


def main():
    host = sys.argv[1] if len(sys.argv) > 1 else "localhost"
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 17676
    sock = socket.create_connection((host, port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    pending = ""          # received text not yet ended by ';'
    in_run = False
    run_number = 0
    ending = "time limit exceeded"
    expected = (0, 0)     # the controls once our commands have been read
    last_sent = -1000     # run time of the telemetry we last answered

    while True:
        try:
            data = sock.recv(65536)
        except ConnectionResetError:  # the server closed with our last commands unread
            data = b""
        if not data:
            break
        pending += data.decode("ascii")
        *messages, pending = pending.split(";")
        for text in messages:
            letter, fields = parse(text)
            if letter == "I":
                print(f"map {fields[0]} x {fields[1]}, time limit {fields[2]} ms, "
                      f"top speed {fields[5]}")
            elif letter == "T":
                if not in_run:
                    in_run, run_number, ending, expected = True, run_number + 1, "time limit exceeded", (0, 0)
                time_ms = int(fields[0])
                control = fields[1]
                x, y, heading, speed = map(float, fields[2:6])
                # The server reads commands every 50 ms; until our last ones
                # have surely been read, trust what we sent, not what it shows.
                if time_ms >= last_sent + 150:
                    expected = (ACCEL.index(control[0]) - 1, TURN.index(control[1]) - 2)
                wanted = wanted_controls(x, y, heading, speed)
                commands = commands_toward(expected, wanted)
                if commands:
                    expected, last_sent = wanted, time_ms
                # Exactly one reply per telemetry message, ended by a bare ";".
                sock.sendall(("".join(c + ";" for c in commands) + ";").encode("ascii"))
            elif letter in "CKS":
                ending = {"C": "crashed into crater", "K": "killed by Martian", "S": "reached home"}[letter]
            elif letter == "E":
                in_run = False
                print(f"run {run_number}: {ending}; time = {fields[0]} ms; score = {fields[1]}", flush=True)
            # "B" (a bounce) needs no answer: the fresh telemetry after it gets one.

    sock.close()
    if in_run or pending.strip():
        sys.exit("the server closed the connection during a run")


if __name__ == "__main__":
    main()
