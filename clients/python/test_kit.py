"""Tests of the Python kit:  /usr/bin/python3 -m unittest test_kit  (in clients/python)."""

import math
import os
import random
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from rover_controls import ControlTracker, commands_toward  # noqa: E402
from rover_messages import Controls, End, Event, Init, MessageReader, ProtocolError, Telemetry  # noqa: E402
from rover_session import Bot, Session  # noqa: E402

TABLE = os.path.join(HERE, "..", "testdata", "messages.tsv")
ACCEL, TURN = {"b": -1, "-": 0, "a": 1}, {"R": -2, "r": -1, "-": 0, "l": 1, "L": 2}


def unescape(field):
    named = {"\\": b"\\", "t": b"\t", "n": b"\n", "r": b"\r"}
    return re.sub(rb"\\(x[0-9a-f]{2}|.)", lambda m: named.get(m[1].decode()) or bytes([int(m[1][1:], 16)]),
                  field.encode("ascii"))


def load_table():
    with open(TABLE, encoding="ascii") as table:
        return [(unescape(fields[0]), fields[1:]) for fields in (line.rstrip("\n").split("\t") for line in table)]


class ReaderReadsTheTable(unittest.TestCase):
    def assert_real(self, value, text):
        expected = float(text)
        self.assertTrue(value == expected or (math.isnan(value) and math.isnan(expected)), (value, text))

    def assert_message(self, message, row):
        letter, fields = row[0], row[1:]
        reals = lambda values, texts: [self.assert_real(v, t) for v, t in zip(values, texts, strict=True)]
        if letter == "I":
            self.assertIsInstance(message, Init)
            self.assertEqual(message.time_limit_ms, int(fields[2]))
            reals([message.size_x, message.size_y, message.rear_view, message.front_view, message.max_speed,
                   message.turn, message.hard_turn], fields[:2] + fields[3:])
        elif letter == "T":
            self.assertIsInstance(message, Telemetry)
            self.assertEqual((message.time_ms, message.control), (int(fields[0]), fields[1]))
            self.assertEqual(message.controls, Controls(ACCEL[fields[1][0]], TURN[fields[1][1]]))
            reals([message.x, message.y, message.heading, message.speed], fields[2:6])
            self.assertEqual(len(message.objects), int(fields[6]))
            rest = fields[7:]
            for seen in message.objects:
                width = 4 if rest[0] == "m" else 3
                self.assertEqual(seen.kind, rest[0])
                third = [seen.heading, seen.speed] if seen.kind == "m" else [seen.radius]
                reals([seen.x, seen.y] + third, rest[1:width + 1])
                rest = rest[width + 1:]
            self.assertEqual(rest, [])
        elif letter == "E":
            self.assertEqual((type(message), message.time_ms, message.score_ms), (End, int(fields[0]), int(fields[1])))
        else:
            self.assertEqual((type(message), message.kind, message.time_ms), (Event, letter, int(fields[0])))

    def read_in_pieces(self, table, cuts):
        stream = b"".join(data for data, _ in table)
        reader, messages, at = MessageReader(), [], 0
        for cut in cuts + [len(stream)]:
            messages.extend(reader.feed(stream[at:cut]))
            at = cut
        self.assertFalse(reader.mid_message())
        self.assertEqual(len(messages), len(table))
        for message, (data, row) in zip(messages, table):
            with self.subTest(message=data[:40]):
                self.assert_message(message, row)

    def test_table_has_what_it_must(self):
        table = load_table()
        self.assertTrue(any(len(data) > 1200 and data.startswith(b"T") for data, _ in table))
        self.assertTrue(any(a.startswith(b"B") and b.startswith(b"T") for (a, _), (b, _) in zip(table, table[1:])))

    def test_every_message_byte_by_byte(self):
        table = load_table()
        self.read_in_pieces(table, list(range(1, sum(len(data) for data, _ in table))))

    def test_every_message_in_random_splits(self):
        table = load_table()
        size = sum(len(data) for data, _ in table)
        for seed in range(8):
            rng = random.Random(seed)
            with self.subTest(seed=seed):
                self.read_in_pieces(table, sorted(rng.sample(range(1, size), rng.choice([3, 40, 400]))))

    def test_unescape(self):
        self.assertEqual(unescape("a\\\\b\\t\\n\\r\\x00\\xff;"), b"a\\b\t\n\r\x00\xff;")


class ReaderRejects(unittest.TestCase):
    def test_malformed_messages(self):
        for text in ["", "X 10 ", "t 0 -- 1.000 2.000 3.0 4.000 ", "B ", "B 10 20 ", "B -10 ", "B 1.5 ",
                     "E 100 ", "I 1.000 1.000 30000 5.000 30.000 10.000 20.0 ", "T 0 -- 1.000 2.000 3.0 ",
                     "T 0 x- 1.000 2.000 3.0 4.000 ", "T 0 a 1.000 2.000 3.0 4.000 ", "T 0 -- 1.0x0 2.000 3.0 4.000 ",
                     "T 0 -- 1.000 2.000 3.0 4.000 q 1 2 3 ", "T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 ",
                     "T 0 -- 1.000 2.000 3.0 4.000 m 1.000 2.000 3.0 ", "T 0 --  1.000 2.000 3.0 4.000 "]:
            with self.subTest(text=text), self.assertRaises(ProtocolError):
                MessageReader().feed(text.encode() + b";")

    def test_endless_message_is_bounded(self):
        reader = MessageReader()
        with self.assertRaises(ProtocolError):
            for _ in range(MessageReader.MAX_MESSAGE_BYTES // 65536 + 2):
                reader.feed(b"x" * 65536)


class Controlling(unittest.TestCase):
    def test_commands_toward(self):
        for now, wanted, expected in [((0, 0), (0, 0), []), ((0, 0), (1, 2), ["al", "l"]),
                                      ((1, 1), (-1, -1), ["br", "br"]), ((-1, -2), (1, 2), ["al", "al", "l", "l"]),
                                      ((1, -1), (0, 2), ["bl", "l", "l"]), ((0, 0), (5, -9), ["ar", "r"])]:
            self.assertEqual(commands_toward(Controls(*now), Controls(*wanted)), expected, (now, wanted))

    def test_tracker_sends_two_at_most_and_never_repeats_one_in_flight(self):
        at = lambda time_ms, accel, turn: Telemetry(time_ms, "", Controls(accel, turn), 0.0, 0.0, 0.0, 0.0)
        tracker = ControlTracker()
        self.assertEqual(tracker.steer(at(0, -1, -2), Controls(1, 2)), ["al", "al"])
        self.assertEqual(tracker.steer(at(100, -1, -2), Controls(1, 2)), ["l", "l"])  # the T predates the read
        self.assertEqual(tracker.steer(at(200, 1, 1), Controls(1, 2)), [])
        self.assertEqual(tracker.steer(at(400, 1, 1), Controls(1, 2)), ["l"])  # settled: the T is the truth


class Sessions(unittest.TestCase):
    INIT = b"I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 ;"
    T0 = b"T 0 -- 30.000 0.000 180.0 0.000 ;"

    class Accelerate(Bot):
        def __init__(self):
            self.calls = []

        def on_run_start(self, run):
            self.calls.append(("run", run))

        def on_telemetry(self, telemetry):
            return Controls(1, 0)

        def on_event(self, event):
            self.calls.append(event.kind)

        def on_end(self, end):
            self.calls.append(("end", end.score_ms))

    def test_one_reply_per_telemetry(self):
        bot = self.Accelerate()
        session = Session(bot)
        self.assertEqual(session.on_bytes(self.INIT), b"")
        self.assertEqual(session.on_bytes(self.T0), b"a;;")
        self.assertFalse(session.can_end_here())
        # A bounce's extra T in the same read as the periodic one: two replies.
        self.assertEqual(session.on_bytes(b"T 100 a- 1.000 0.000 0.0 1.000 ;B 110 ;T 110 a- 1.0"), b";")
        self.assertEqual(session.on_bytes(b"00 0.000 0.0 0.500 ;T 200 a- 1.000 0.000 0.0 0.500 ;E 200 3"), b";;")
        self.assertFalse(session.can_end_here())
        self.assertEqual(session.on_bytes(b"0100 ;" + self.T0 + b"S 50 ;E 50 50 ;"), b"a;;")
        self.assertTrue(session.can_end_here())
        self.assertEqual(bot.calls, [("run", 1), "B", ("end", 30100), ("run", 2), "S", ("end", 50)])

    def test_out_of_order_messages(self):
        for stream in [self.T0, self.INIT + b"S 100 ;", self.INIT + b"E 100 100 ;"]:
            with self.subTest(stream=stream), self.assertRaises(ProtocolError):
                Session(Bot()).on_bytes(stream)


class Loading(unittest.TestCase):
    def test_a_module_loaded_by_its_path_finds_its_siblings(self):
        code = ("import importlib.util as u; s = u.spec_from_file_location('m', %r); m = u.module_from_spec(s); "
                "s.loader.exec_module(m); print(m.Session.__name__)" % os.path.join(HERE, "rover_session.py"))
        out = subprocess.run([sys.executable, "-I", "-c", code], cwd="/", capture_output=True, text=True, check=True)
        self.assertEqual(out.stdout, "Session\n")


if __name__ == "__main__":
    unittest.main()
