"""tools/play/play with the real server: pilot and simple_pilot.py play every
run of a map, a controller that never ends its replies is stopped in seconds
with status 2, one that cannot start gives 3, and Ctrl-C leaves nothing
behind and gives 130."""

import glob
import gzip
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("ROVER_BUILD_DIR", os.path.join(SOURCE, "build", "release"))
PLAY = os.path.join(SOURCE, "tools", "play", "play")
BOULDER_FIELD = os.path.join(SOURCE, "maps", "boulder_field.json")
BOUND_S = 120

sys.path.insert(0, os.path.join(SOURCE, "tools"))

# Connects and answers every T with a command but never with a bare ";":
# its replies never end.
NO_BARE = ("import socket, sys\n"
           "s = socket.create_connection((sys.argv[1], int(sys.argv[2])))\n"
           "rest = b''\n"
           "while True:\n"
           "    data = s.recv(65536)\n"
           "    if not data:\n"
           "        break\n"
           "    *messages, rest = (rest + data).split(b';')\n"
           "    s.sendall(b'a;' * sum(m.startswith(b'T') for m in messages))\n")
# Connects, then sleeps; MARKER names it among the machine's processes.
SLEEPER = ("import socket, sys, time\n"
           "s = socket.create_connection((sys.argv[1], int(sys.argv[2])))\n"
           "time.sleep(600)\n")


def play(args, **options):
    return subprocess.run([sys.executable, PLAY, "--build", BUILD, *args], capture_output=True, text=True,
                          timeout=BOUND_S, **options)


def stop(runner):
    """A play that a failed test left running ends its game on SIGINT."""
    if runner.poll() is None:
        runner.send_signal(signal.SIGINT)
        runner.communicate(timeout=BOUND_S)


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as stream:
            return stream.read().replace(b"\0", b" ").decode("utf-8", "replace")
    except OSError:
        return None


def processes_mentioning(*texts):
    """Pids of live processes whose command line holds every one of texts."""
    found = []
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                with open(f"/proc/{name}/cmdline", "rb") as stream:
                    line = stream.read()
            except OSError:
                continue
            if all(text.encode() in line for text in texts):
                found.append(int(name))
    return found


class PlayTest(unittest.TestCase):
    def test_pilot_and_simple_pilot_play_every_run(self):
        folder = tempfile.TemporaryDirectory(prefix="rover_play_")
        self.addCleanup(folder.cleanup)
        record = os.path.join(folder.name, "game.jsonl.gz")
        for command in ([os.path.join(BUILD, "pilot"), "{host}", "{port}"],
                        [sys.executable, os.path.join(SOURCE, "examples", "simple_pilot.py"), "{host}", "{port}"]):
            with self.subTest(command=command[-3]):
                done = play(["--record", record, BOULDER_FIELD, "--", *command])
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                rounds = [line for line in done.stdout.splitlines() if line.startswith("Round ")]
                self.assertEqual([line.split(":")[0] for line in rounds], ["Round 1", "Round 2", "Round 3"])
                total = sum(int(line.rsplit("= ", 1)[1]) for line in rounds)
                self.assertIn(f"play: all 3 runs played; total score {total}\n", done.stdout)
                self.assertIn(f"play: record: {record}\n", done.stdout)
                self.assertTrue(os.path.getsize(record) > 0)
                self.assertEqual(done.stderr, "")

    def test_live_lockstep_record_reaches_the_file_at_every_t(self):
        # The same lockstep game with and without --live: the same lines, but
        # with --live the server flushed the .gz stream at every T.
        folder = tempfile.TemporaryDirectory(prefix="rover_play_")
        self.addCleanup(folder.cleanup)
        records = {live: os.path.join(folder.name, f"{live}.jsonl.gz") for live in (False, True)}
        pilot = [os.path.join(BUILD, "pilot"), "{host}", "{port}"]
        done = play(["--record", records[False], BOULDER_FIELD, "--", *pilot])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        runner = subprocess.Popen([sys.executable, PLAY, "--build", BUILD, "--live", "--record", records[True],
                                   BOULDER_FIELD, "--", *pilot], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  text=True)
        self.addCleanup(stop, runner)
        for line in runner.stdout:
            if "still serving it at" in line:
                break
        runner.send_signal(signal.SIGINT)
        out, err = runner.communicate(timeout=BOUND_S)
        self.assertEqual(runner.returncode, 0, out + err)
        with gzip.open(records[False]) as plain, gzip.open(records[True]) as live:
            lines = plain.read()
            self.assertEqual(lines, live.read())
        # Each sync flush ends with at least the 4 bytes 00 00 ff ff.
        telemetry = lines.count(b'"text":"T ')
        self.assertGreater(telemetry, 100)
        self.assertGreaterEqual(os.path.getsize(records[True]) - os.path.getsize(records[False]), 4 * telemetry)

    def test_a_controller_without_the_bare_semicolon_is_stopped_in_seconds(self):
        done = play(["--reply-timeout", "400", BOULDER_FIELD, "--", sys.executable, "-c", NO_BARE, "{host}",
                     "{port}"])
        self.assertEqual(done.returncode, 2, done.stdout + done.stderr)
        self.assertIn("server: reply to T 0 late after 400 ms", done.stdout)
        self.assertIn("play: the controller stopped replying; in lockstep every T needs exactly one reply",
                      done.stdout)

    def test_a_controller_that_cannot_start_gives_3(self):
        done = play([BOULDER_FIELD, "--", os.path.join(SOURCE, "no-such-controller"), "{port}"])
        self.assertEqual((done.returncode, done.stdout.splitlines()[-1]),
                         (3, "play: the controller could not start: No such file or directory"))
        done = play([BOULDER_FIELD, "--", sys.executable, "-c", "import sys; sys.exit('no map for me')", "{port}"])
        self.assertEqual(done.returncode, 3)
        self.assertIn("play: the controller exited with status 1 before it connected to the server\n"
                      "play: the controller's standard error ends: no map for me\n", done.stdout)

    def test_sigint_leaves_no_process_and_gives_130(self):
        marker = f"rover-play-test-{os.getpid()}"
        before = set(glob.glob(os.path.join(tempfile.gettempdir(), "rover-play-*")))
        runner = subprocess.Popen([sys.executable, PLAY, "--build", BUILD, BOULDER_FIELD, "--", sys.executable,
                                   "-c", SLEEPER, "{host}", "{port}", marker],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(stop, runner)
        deadline = time.monotonic() + BOUND_S
        # The controller, with its host filled in: the server runs.
        while not processes_mentioning(marker, "\x00127.0.0.1\x00") and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(len(processes_mentioning(marker)), 2)  # play and the controller
        (game_folder,) = set(glob.glob(os.path.join(tempfile.gettempdir(), "rover-play-*"))) - before
        self.assertEqual(len(processes_mentioning(game_folder)), 1)  # the server writes its results there
        runner.send_signal(signal.SIGINT)
        _, stderr = runner.communicate(timeout=BOUND_S)
        self.assertEqual(runner.returncode, 130)
        self.assertEqual(stderr, "play: stopped by SIGINT; the server and the controller are gone\n")
        left = {pid: command_line(pid) for pid in processes_mentioning(marker) + processes_mentioning(game_folder)}
        for pid in left:
            os.kill(pid, signal.SIGKILL)
        self.assertEqual(left, {})
        self.assertEqual(set(glob.glob(os.path.join(tempfile.gettempdir(), "rover-play-*"))), before)


if __name__ == "__main__":
    unittest.main()
