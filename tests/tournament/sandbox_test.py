"""Tournaments in the sandbox (tools/common/sandbox.py), as root, against the
real server: hostile controllers try one way out each while pilot plays
beside them; SIGKILL of `tournament play` leaves no process; pilot, a Python
and a Node controller play under the default limits, and give byte for byte
the results files and records they give unsandboxed."""

import os
import shutil
import socket
import subprocess
import sys
import time
import unittest

from tournament_fixture import (BOUND_S, BUILD, SOURCE, SYSTEM_PYTHON, TOOL, game_ids, plan, processes_mentioning,
                                read_json, scratch, tournament, wait_until_gone, write_tournament)

BOTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bots")
OPEN_PLAIN = os.path.join(SOURCE, "maps", "open_plain.json")
# open_plain: 2 runs of 30 s; a passive controller lets both run out of time.
PASSIVE_TOTAL = 2 * (30000 + 100)
MIB = 1024 * 1024


def grandchildren(token):
    """What hostile_bot's linger leaves: a sleeper with the token."""
    return [pid for pid in processes_mentioning(token) if pid in processes_mentioning("import time; time.sleep(600)")]


def bot_lines(out, game):
    with open(os.path.join(out, "games", game, "controller.out"), encoding="utf-8", errors="replace") as stream:
        return [line.rstrip("\n")[len("ESCAPE "):] for line in stream if line.startswith("ESCAPE ")]


def result_of(lines, what):
    matches = [line[len(what) + 1:] for line in lines if line.startswith(what + " ")]
    assert len(matches) == 1, (what, lines)
    return matches[0]


def own_folder(root, name, files=("hostile_bot.py",)):
    """A controller's own folder, readable by the sandbox's user."""
    folder = os.path.join(root, "bots", name)
    os.makedirs(folder, mode=0o755)
    os.chmod(os.path.join(root, "bots"), 0o755)
    for file in files:
        shutil.copy(os.path.join(BOTS, file), folder)
    return folder


def hostile(root, mode, *extra):
    folder = own_folder(root, mode)
    return {"name": mode, "command": [SYSTEM_PYTHON, os.path.join(folder, "hostile_bot.py"), mode, "{host}",
                                      "{port}", *extra]}


def read_all_bytes(folder):
    everything = b""
    for parent, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(parent, name), "rb") as stream:
                everything += stream.read()
    return everything


@unittest.skipUnless(os.geteuid() == 0, "the sandbox needs root")
class SandboxTest(unittest.TestCase):
    def test_hostile_controllers_stay_inside_and_every_game_has_an_outcome(self):
        root = scratch(self)
        token = f"rover-escape-{os.getpid()}-{time.monotonic_ns()}"
        secrets = {name: f"SECRET-{name}-{token}" for name in ("other", "outside", "rootonly")}
        controllers = [{"name": "plain", "command": [os.path.join(BUILD, "pilot"), "{host}", "{port}"]}]

        outside = os.path.join(root, "outside.txt")
        with open(outside, "w", encoding="utf-8") as stream:
            stream.write(secrets["outside"])
        os.chmod(outside, 0o644)
        reader = hostile(root, "read")
        root_only = os.path.join(root, "bots", "read", "rootonly.txt")
        with open(root_only, "w", encoding="utf-8") as stream:
            stream.write(secrets["rootonly"])
        os.chmod(root_only, 0o600)
        # The tournament's folder lies inside the reader's own folder: hidden.
        out = os.path.join(root, "bots", "read", "out")
        host_tmp = os.path.join("/tmp", token)
        writes = [os.path.join(root, "bots", "write", "own"), os.path.join(root, token), host_tmp,
                  os.path.join(out, "games", "write.open_plain.s1.r1", token), f"/usr/local/{token}",
                  f"/etc/{token}", f"/root/{token}"]
        self.addCleanup(lambda: [os.remove(p) for p in writes if os.path.isfile(p)])
        writer = hostile(root, "write", token, *writes)
        other_secret = os.path.join(root, "bots", "write", "secret.txt")
        with open(other_secret, "w", encoding="utf-8") as stream:
            stream.write(secrets["other"])
        os.chmod(other_secret, 0o644)
        targets = ["/etc/shadow", other_secret, outside, root_only, os.path.join(out, "plan.json")]
        with open(os.path.join(root, "bots", "read", "targets.txt"), "w", encoding="utf-8") as stream:
            stream.write("\n".join(targets))

        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        listener.setblocking(False)
        self.addCleanup(listener.close)
        controllers += [
            reader, writer, hostile(root, "connect", str(listener.getsockname()[1])),
            hostile(root, "linger", token), hostile(root, "memory"), hostile(root, "fork"), hostile(root, "fill"),
            hostile(root, "signal"), hostile(root, "privileges"),
            hostile(root, "forge", os.path.join(out, "games", "forge.open_plain.s1.r1"), out),
            {"name": "xfsz", "command": ["/bin/sh", "-c", "exec head -c 16777216 /dev/zero >/tmp/big", "{port}"]},
            {"name": "xcpu", "command": ["/bin/sh", "-c", "while :; do :; done", "{port}"]},
        ]
        path = write_tournament(root, {
            "controllers": controllers, "maps": [OPEN_PLAIN], "seeds": [1], "game_time_limit_s": BOUND_S,
            # Low enough that a broken sandbox could not hurt the machine either.
            "limits": {"address_space_mib": 256, "file_size_mib": 8, "cpu_s": 2},
            # Inside, after the limits: it can lower them only.
            "prefix": ["prlimit", "--nofile=128", "--"]})
        plan(path, out)
        tournament(["run", out, "--engine", "local", "-j", "2"])

        outcomes = {game.split(".")[0]: read_json(os.path.join(out, "games", game, "game.json"))
                    for game in game_ids(out)}
        for name, outcome in outcomes.items():
            self.assertIn(outcome["status"], ("completed", "failed"), (name, outcome))
            if outcome["status"] != "completed":
                self.assertTrue(outcome["reason"], (name, outcome))
        lines = {name: bot_lines(out, f"{name}.open_plain.s1.r1") for name in outcomes}

        self.assertEqual(outcomes["plain"]["status"], "completed")
        self.assertLess(outcomes["plain"]["total_score"], PASSIVE_TOTAL)
        # Nothing secret reached any file the games left.
        everything = read_all_bytes(out)
        for secret in secrets.values():
            self.assertNotIn(secret.encode(), everything)
        for target in targets:
            self.assertTrue(result_of(lines["read"], f"read {target}").startswith("failed"), target)
        seen = eval(result_of(lines["read"], "list /").split(": ", 1)[1])  # noqa: S307 - our own bot's repr
        self.assertLessEqual(set(seen), {"bin", "dev", "etc", "lib", "lib32", "lib64", "libx32", "opt", "proc",
                                         "sbin", "scratch", "tmp", "usr"})

        for target in writes:
            self.assertFalse(os.path.exists(target), target)
        self.assertTrue(result_of(lines["write"], f"write {host_tmp}").startswith("succeeded"))  # its own /tmp
        self.assertTrue(result_of(lines["write"], "write /scratch/mine").startswith("succeeded"))
        with self.assertRaises(BlockingIOError):
            listener.accept()
        self.assertTrue(result_of(lines["connect"], f"connect 127.0.0.1:{listener.getsockname()[1]}")
                        .startswith("failed"))
        self.assertEqual(result_of(lines["linger"], "linger"), "grandchild started")
        wait_until_gone(self, token)

        self.assertEqual(outcomes["memory"]["status"], "failed")
        self.assertIn("MemoryError", outcomes["memory"]["reason"])
        self.assertFalse(any(line.startswith("memory") for line in lines["memory"]))
        forked = result_of(lines["fork"], "fork")
        self.assertTrue(forked.startswith("stopped after"), forked)
        self.assertLess(int(forked.split()[2]), 64)
        filled = result_of(lines["fill"], "fill")
        self.assertTrue(filled.startswith("stopped after") and filled.endswith("ENOSPC"), filled)
        self.assertLessEqual(int(filled.split()[2]), 64 * MIB)

        # The server was neither stopped nor seen: the game played on to its
        # end, and the controller saw only its own pid namespace (its two
        # bwraps and itself; stopping those harms none but itself).
        self.assertEqual(outcomes["signal"]["status"], "completed")
        self.assertLessEqual(len(result_of(lines["signal"], "processes").split()), 3)
        status = {line.split()[1].rstrip(":"): line.split()[2:] for line in lines["privileges"]
                  if line.startswith("status ")}
        self.assertNotIn("0", status["Uid"] + status["Gid"])
        for capabilities in ("CapInh", "CapPrm", "CapEff", "CapBnd", "CapAmb"):
            self.assertEqual(status[capabilities], ["0000000000000000"], capabilities)
        self.assertEqual(status["NoNewPrivs"], ["1"])
        self.assertEqual(result_of(lines["privileges"], "open files"), "128 128")
        for what in ("raise open files", "setuid 0", "unshare user", "unshare mount", "unshare network"):
            self.assertTrue(result_of(lines["privileges"], what).startswith("failed"), what)
        self.assertNotEqual(result_of(lines["privileges"], "unshare command"), "exit 0 0")

        # The forged files changed nothing: the server's own results count.
        forged = outcomes["forge"]
        self.assertEqual((forged["status"], forged["runs_from"], forged["total_score"]),
                         ("completed", "results", PASSIVE_TOTAL))
        self.assertEqual(read_json(os.path.join(out, "games", "forge.open_plain.s1.r1", "results.json"))
                         ["total_score"], PASSIVE_TOTAL)
        self.assertIn("the file size limit of 8 MiB", outcomes["xfsz"]["reason"])
        self.assertIn("SIGXCPU: the CPU time limit of 2 s", outcomes["xcpu"]["reason"])

    def test_sigkill_of_play_mid_game_leaves_no_process(self):
        root = scratch(self)
        token = f"rover-stall-{os.getpid()}-{time.monotonic_ns()}"
        bot = hostile(root, "linger", token)
        # It leaves a grandchild, then never answers: the game stalls.
        bot["command"] = [SYSTEM_PYTHON, "-c", "import runpy, sys, time; sys.argv = sys.argv[1:]; "
                          "bot = runpy.run_path(sys.argv[0]); bot['linger'](sys.argv[4]); "
                          "bot['socket'].create_connection((sys.argv[2], int(sys.argv[3]))); time.sleep(600)",
                          *bot["command"][1:]]
        out = plan(write_tournament(root, {"controllers": [bot], "maps": [OPEN_PLAIN], "seeds": [1],
                                           "game_time_limit_s": 600}), os.path.join(root, "out"))
        (game,) = game_ids(out)
        runner = subprocess.Popen([sys.executable, TOOL, "play", out, game], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        # Its grandchild, in a session of its own, sleeps with the token.
        deadline = time.monotonic() + BOUND_S
        while not grandchildren(token) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertTrue(grandchildren(token))
        self.assertTrue(processes_mentioning(os.path.join(out, "games", game, "record.jsonl.gz")))  # the server
        runner.kill()
        runner.wait()
        wait_until_gone(self, root)
        self.assertFalse(os.path.exists(os.path.join(out, "games", game, "game.json")))

    def test_default_limits_pilot_python_and_node_identical_with_and_without_sandbox(self):
        root = scratch(self)
        node = shutil.which("node", path="/usr/local/bin:/usr/bin:/bin")
        self.assertIsNotNone(node, "scripts/install-deps.sh installs nodejs")
        data = {"controllers": [
            {"name": "pilot", "command": [os.path.join(BUILD, "pilot"), "{host}", "{port}"]},
            {"name": "python", "command": ["python3", os.path.join(SOURCE, "examples", "simple_pilot.py"),
                                           "{host}", "{port}"]},
            {"name": "node", "command": ["node", os.path.join(BOTS, "passive_bot.js"), "{host}", "{port}"]}],
            "maps": [OPEN_PLAIN, os.path.join(SOURCE, "maps", "martian_patrol.json")], "seeds": [3],
            "game_time_limit_s": 300}
        boxed = plan(write_tournament(root, data, "boxed.json"), os.path.join(root, "boxed"))
        bare = plan(write_tournament(root, dict(data, sandbox="none"), "bare.json"), os.path.join(root, "bare"))
        self.assertEqual(read_json(os.path.join(boxed, "plan.json"))["limits"]["address_space_mib"], 4096)
        tournament(["run", boxed, "--engine", "local", "-j", "2"])
        warned = tournament(["run", bare, "--engine", "local", "-j", "2"])
        self.assertIn('controllers run unsandboxed ("sandbox": "none")', warned.stderr)
        for game in game_ids(boxed):
            self.assertEqual(read_json(os.path.join(boxed, "games", game, "game.json"))["status"], "completed", game)
            for name in ("results.json", "record.jsonl.gz"):
                with open(os.path.join(boxed, "games", game, name), "rb") as one, \
                        open(os.path.join(bare, "games", game, name), "rb") as other:
                    self.assertEqual(one.read(), other.read(), f"{game}/{name}")
        node_game = read_json(os.path.join(boxed, "games", "node.open_plain.s3.r1", "game.json"))
        self.assertEqual(node_game["total_score"], PASSIVE_TOTAL)


if __name__ == "__main__":
    unittest.main()
