"""tools/clientcheck/clientcheck with the real server: every check is proven
by a bot with that one mistake (tests/tools/bots/broken_bot.py), which gets
"not ready" with its reason; pilot and simple_pilot.py are ready for both
modes. The slow bot is 4 times past the default threshold and the ready
bots are judged at 4 times that threshold, so that a busy machine cannot
flip either verdict; the broken bots run two at a time, the ready ones
alone."""

import concurrent.futures
import os
import subprocess
import sys
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("ROVER_BUILD_DIR", os.path.join(SOURCE, "build", "release"))
CLIENTCHECK = os.path.join(SOURCE, "tools", "clientcheck", "clientcheck")
BROKEN_BOT = os.path.join(SOURCE, "tests", "tools", "bots", "broken_bot.py")
BOUND_S = 120

# (the bot's mistake, which mode to check, the check that must fail)
BROKEN = [
    ("no_bare", "--lockstep-only", "ends every reply with a bare ';'"),
    ("two_replies", "--lockstep-only", "sends one reply per T"),
    ("newline", "--realtime-only", "puts no newline after ';'"),
    ("illegal", "--lockstep-only", "sends only legal commands"),
    ("flood", "--lockstep-only", "sends fewer than 1000 commands per reply and between runs"),
    ("slow", "--lockstep-only", "replies within 50 ms at the 99th percentile"),
    ("pieces", "--lockstep-only", "survives messages that arrive in pieces"),
    ("joined", "--lockstep-only", "survives several messages in one read"),
    ("joined", "--realtime-only", "plays in real time without crashing"),
    ("never_leaves", "--lockstep-only", "leaves when the game ends"),
    ("hang", "--lockstep-only", "plays the server's bytes as written without crashing or hanging"),
]


def clientcheck(*args):
    return subprocess.run([sys.executable, CLIENTCHECK, "--build", BUILD, *args], capture_output=True, text=True,
                          timeout=BOUND_S, check=False)


def failed_checks(output):
    return [line[len("  FAIL  "):] for line in output.splitlines() if line.startswith("  FAIL  ")]


class ClientcheckTest(unittest.TestCase):
    def test_every_broken_bot_is_not_ready_for_its_reason(self):
        def check(case):
            mistake, only, _ = case
            # Only the slow bot is judged at the default threshold: a loaded
            # machine's pauses must not add a slow verdict to another mistake.
            slow = [] if mistake == "slow" else ["--slow-ms", "150"]
            return clientcheck(only, *slow, "--", sys.executable, BROKEN_BOT, mistake, "{host}", "{port}")

        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            runs = list(pool.map(check, BROKEN))
        for (mistake, only, wanted), done in zip(BROKEN, runs):
            with self.subTest(mistake=mistake):
                self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
                self.assertIn(wanted, failed_checks(done.stdout), done.stdout + done.stderr)
                mode = "a lockstep tournament" if only == "--lockstep-only" else "real time"
                self.assertIn(f"not ready for {mode} (failed: ", done.stdout.splitlines()[-1])
                self.assertIn(wanted, done.stdout.splitlines()[-1])
                if mistake not in ("joined", "hang"):  # the server's own joins may break these elsewhere
                    self.assertEqual(failed_checks(done.stdout), [wanted], done.stdout)

        # A controller that cannot start: nothing else is checked.
        done = clientcheck("--", os.path.join(SOURCE, "no-such-bot"), "{port}")
        self.assertEqual((done.returncode, failed_checks(done.stdout)),
                         (1, ["starts and connects to {host}:{port}"] * 2))
        self.assertIn("it did not start: No such file or directory", done.stdout)

    def test_pilot_and_simple_pilot_are_ready_for_both_modes(self):
        for command in ([os.path.join(BUILD, "pilot"), "{host}", "{port}"],
                        [sys.executable, os.path.join(SOURCE, "examples", "simple_pilot.py"), "{host}", "{port}"]):
            with self.subTest(command=command[-3]):
                # The slow check is proven by a bot 4 times past the default
                # threshold; here a loaded machine's pauses must not count.
                done = clientcheck("--slow-ms", "200", "--", *command)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertEqual(failed_checks(done.stdout), [])
                self.assertTrue(done.stdout.endswith("ready for a lockstep tournament\nready for real time\n"),
                                done.stdout)

    def test_cannot_run_without_a_server(self):
        done = subprocess.run([sys.executable, CLIENTCHECK, "--build", os.path.join(SOURCE, "no-such-build"), "--",
                               "true"], capture_output=True, text=True, timeout=BOUND_S, check=False)
        self.assertEqual(done.returncode, 2)
        self.assertIn("clientcheck: ", done.stderr)


if __name__ == "__main__":
    unittest.main()
