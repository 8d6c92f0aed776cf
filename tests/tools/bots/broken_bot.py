"""A controller with one mistake each, for clientcheck's tests. Without a
mistake it plays correctly in both modes: one empty reply per T (lockstep's
rule, harmless in real time), and it leaves when the server closes.

    python3 broken_bot.py MISTAKE HOST PORT

    none          no mistake
    no_bare       answers every T with "a;" and never ends a reply
    two_replies   answers every T with two empty replies
    newline       ends every reply with ";\\n"
    illegal       answers its fifth T with the command "x"
    flood         sends 1000 commands when a run ends
    slow          takes 200 ms for every reply (4 times clientcheck's threshold)
    pieces        expects every read to end with a whole message
    joined        expects one message per read
    never_leaves  does not leave when the game ends
    hang          connects, then neither reads nor answers
"""

import socket
import sys
import time

LEGAL_REPLY = b";"


def main():
    mistake, host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    sock = socket.create_connection((host, port))
    if mistake == "hang":
        time.sleep(3600)
    rest, answered = b"", 0
    while True:
        data = sock.recv(65536)
        if not data:
            break
        if mistake == "pieces" and not data.endswith(b";"):
            sys.exit("a read ended inside a message")
        if mistake == "joined" and data.count(b";") > 1:
            sys.exit("a read held several messages")
        *messages, rest = (rest + data).split(b";")
        for message in messages:
            if message.startswith(b"E") and mistake == "flood":
                sock.sendall(b"a;" * 1000)
            if not message.startswith(b"T"):
                continue
            answered += 1
            if mistake == "slow":
                time.sleep(0.2)
            reply = {"no_bare": b"a;", "two_replies": b";;", "newline": b";\n",
                     "illegal": b"x;;" if answered == 5 else LEGAL_REPLY}.get(mistake, LEGAL_REPLY)
            sock.sendall(reply)
    if mistake == "never_leaves":
        time.sleep(3600)


if __name__ == "__main__":
    main()
