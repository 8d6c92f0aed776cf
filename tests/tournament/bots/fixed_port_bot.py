"""A real-time controller as people write them for the plain server: no
arguments, it connects to localhost:17676, and sends a command only when it
wants its controls changed (never a bare ";", so it could not play lockstep).
It steers at home and leaves when the server closes the connection."""

import math
import socket

ACCEL = "b-a"  # the telemetry's acceleration character, index = state + 1
TURN = "Rr-lL"  # its turn character, index = state + 2


def wanted(x, y, heading):
    error = (math.degrees(math.atan2(-y, -x)) - heading + 180) % 360 - 180
    turn = 0 if abs(error) < 4 else (1 if error > 0 else -1) * (2 if abs(error) > 25 else 1)
    return (1 if abs(error) < 45 else 0), turn


def main():
    sock = socket.create_connection(("localhost", 17676))
    rest = b""
    while True:
        data = sock.recv(65536)
        if not data:
            return
        *messages, rest = (rest + data).split(b";")
        for message in messages:
            fields = message.decode("ascii").split()
            if not fields or fields[0] != "T":
                continue
            control, x, y, heading = fields[2], float(fields[3]), float(fields[4]), float(fields[5])
            accel, turn = ACCEL.index(control[0]) - 1, TURN.index(control[1]) - 2
            want_accel, want_turn = wanted(x, y, heading)
            step = ("a" if want_accel > accel else "b" if want_accel < accel else "") + \
                   ("l" if want_turn > turn else "r" if want_turn < turn else "")
            if step:
                sock.sendall(step.encode() + b";")


if __name__ == "__main__":
    main()
