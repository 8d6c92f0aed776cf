"""tournament plan: the games it writes, and a one-line error naming the field
for each kind of bad tournament file. No game is played here."""

import contextlib
import copy
import io
import os
import shutil
import subprocess
import sys
import unittest

from tournament_fixture import BUILD, SOURCE, TOOL, plan, read_json, scratch, tournament, write_tournament

GOOD = {
    "controllers": [{"name": "a", "command": ["false", "{host}", "{port}"]},
                    {"name": "b", "command": "{dir}/bot.sh --port {port}"}],
    "maps": [os.path.join(SOURCE, "maps", "open_plain.json"),
             {"name": "patrol", "path": os.path.join(SOURCE, "maps", "martian_patrol.json")}],
    "seeds": [5, 18446744073709551615],
    "repeats": 2,
    "game_time_limit_s": 60,
}


def changed(path, value):
    """GOOD with the member at path (a tuple of keys and indexes) set to value,
    or removed when value is None."""
    data = copy.deepcopy(GOOD)
    *parents, last = path
    target = data
    for key in parents:
        target = target[key]
    if value is None:
        del target[last]
    else:
        target[last] = value
    return data


class PlanTest(unittest.TestCase):
    def setUp(self):
        self.folder = scratch(self)
        os.chmod(self.folder, 0o755)  # the sandbox's user reads bot.sh
        bot = os.path.join(self.folder, "bot.sh")
        with open(bot, "w", encoding="utf-8") as stream:
            stream.write("#!/bin/sh\nexit 0\n")
        os.chmod(bot, 0o755)

    def test_writes_every_game_with_derived_seeds_and_copies(self):
        out = plan(write_tournament(self.folder, GOOD), os.path.join(self.folder, "out"))
        with open(os.path.join(out, "games.tsv"), encoding="utf-8") as stream:
            rows = [line.rstrip("\n").split("\t") for line in stream]
        # 2 maps x 2 seeds x 2 repeats x 2 controllers, controllers innermost.
        self.assertEqual(len(rows), 16)
        self.assertEqual(rows[0], ["a.open_plain.s5.r1", "a", "open_plain", "5", "1", "5"])
        self.assertEqual(rows[1][:2], ["b.open_plain.s5.r1", "b"])
        self.assertEqual(rows[-1][:5], ["b.patrol.s18446744073709551615.r2", "b", "patrol",
                                        "18446744073709551615", "2"])
        # Repeat 1 plays the listed seed; repeat 2 its own, the same for every
        # controller and reproducible from the file alone.
        seeds = {(row[2], row[3], row[4]): int(row[5]) for row in rows}
        self.assertEqual(seeds[("open_plain", "5", "1")], 5)
        self.assertNotIn(seeds[("open_plain", "5", "2")], (5, 18446744073709551615))
        self.assertLessEqual(seeds[("patrol", "18446744073709551615", "2")], 2**64 - 1)
        self.assertEqual({row[5] for row in rows if row[2:5] == ["patrol", "5", "2"]}, {str(seeds[("patrol", "5", "2")])})
        again = plan(write_tournament(self.folder, GOOD, "again.json"), os.path.join(self.folder, "again"))
        with open(os.path.join(again, "games.tsv"), encoding="utf-8") as stream:
            self.assertEqual([line.rstrip("\n").split("\t") for line in stream], rows)

        saved = read_json(os.path.join(out, "plan.json"))
        self.assertEqual(saved["maps"]["patrol"], {"file": "maps/patrol.json", "time_limit_ms": 20000, "runs": 3,
                                                   "mode": "lockstep", "reply_timeout_ms": 0})
        self.assertEqual(saved["controllers"]["b"], [os.path.join(self.folder, "bot.sh"), "--port", "{port}"])
        with open(os.path.join(SOURCE, "maps", "martian_patrol.json"), "rb") as original, \
                open(os.path.join(out, "maps", "patrol.json"), "rb") as copied:
            self.assertEqual(original.read(), copied.read())
        self.assertEqual(read_json(os.path.join(out, "tournament.json")), GOOD)
        self.assertEqual(os.path.isdir(os.path.join(out, "viewer")), os.path.isdir(os.path.join(SOURCE, "viewer")))
        refused = tournament(["plan", os.path.join(self.folder, "tournament.json"), "-o", out, "--build", BUILD],
                             check=False)
        self.assertEqual((refused.returncode, refused.stderr), (1, f"tournament: {out} already holds a plan; "
                                                                   "plan into a new folder\n"))

    def test_bad_files_get_one_line_naming_the_field(self):
        bad_map = os.path.join(self.folder, "bad_map.json")
        with open(bad_map, "w", encoding="utf-8") as stream:
            stream.write('{"size": 100}')
        cases = [
            (changed(("seed",), 3), "seed: unknown field"),
            (changed(("seeds",), None), "seeds: missing"),
            (changed(("seeds", 1), 2**64), "seeds[1]: must be an integer from 0 to 2^64-1"),
            (changed(("seeds",), [1, 1]), "seeds: lists a seed twice"),
            (changed(("repeats",), 0), "repeats: must be an integer from 1 to 1000"),
            (changed(("game_time_limit_s",), -1), "game_time_limit_s: must be a number of seconds above 0"),
            (changed(("controllers", 1, "name"), "a"), 'controllers[1].name: "a" is used twice'),
            (changed(("controllers", 0, "name"), "a.b"), "controllers[0].name: must be 1-64 letters"),
            # A final newline would pass a "$" and split games.tsv's line.
            (changed(("controllers", 0, "name"), "a\n"), "controllers[0].name: must be 1-64 letters"),
            # Only the sandbox gives every game port 17676 of its own.
            (dict(changed(("controllers", 0, "command"), ["false", "{host}"]), sandbox="none"),
             "controllers[0].command: has no {port}: unsandboxed games share this machine's ports"),
            (changed(("mode",), "fast"), 'mode: must be "lockstep" (the default) or "realtime"'),
            (changed(("reply_timeout_ms",), -1), "reply_timeout_ms: must be an integer from 0"),
            (changed(("maps", 1, "mode"), "realtime "), 'maps[1].mode: must be "lockstep"'),
            (changed(("maps", 1, "reply_timeout_ms"), True), "maps[1].reply_timeout_ms: must be an integer"),
            (dict(changed(("maps", 1, "reply_timeout_ms"), 5), mode="realtime"),
             "maps[1].reply_timeout_ms: applies to lockstep games only"),
            (changed(("maps", 1, "seeds"), [1]), 'maps[1]: must be a path or an object with "name", "path"'),
            (changed(("controllers", 0, "command"), ["no-such-program-here", "{port}"]),
             'controllers[0].command: program "no-such-program-here" is not on the sandbox\'s PATH'),
            (changed(("controllers", 0, "command"), ["./bot.sh", "{port}"]),
             'controllers[0].command: program "./bot.sh" is a relative path'),
            (changed(("controllers", 0, "command"), ["{dir}/missing", "{port}"]),
             f'controllers[0].command: program "{self.folder}/missing" does not exist'),
            (changed(("prefix",), ["no-such-limiter"]), 'prefix: program "no-such-limiter" is not on the sandbox\'s'),
            (changed(("maps", 0), "nowhere.json"), f"maps[0]: {self.folder}/nowhere.json is not a file"),
            (changed(("maps", 1, "name"), "open_plain"), 'maps[1]: the name "open_plain" is used twice'),
            (changed(("maps", 0), bad_map), "maps[0]: does not load: "),
        ]
        for data, expected in cases + self._sandbox_cases():
            with self.subTest(expected=expected):
                path = write_tournament(self.folder, data, "bad.json")
                out = os.path.join(self.folder, "bad_out")
                done = tournament(["plan", path, "-o", out, "--build", BUILD], check=False)
                self.assertEqual(done.returncode, 1)
                self.assertEqual(done.stdout, "")
                self.assertTrue(done.stderr.startswith(f"tournament: {expected}"), done.stderr)
                self.assertEqual(done.stderr.count("\n"), 1, done.stderr)
                self.assertFalse(os.path.exists(os.path.join(out, "plan.json")))

    def _sandbox_cases(self):
        """Refusals of the sandbox's own: a program that only the organiser's
        PATH finds, two bots in one folder, a bad limit."""
        bin_folder = os.path.join(self.folder, "bin")
        os.makedirs(os.path.join(self.folder, "two"))
        for path in (os.path.join(bin_folder, "mybot"), os.path.join(self.folder, "two", "a.py"),
                     os.path.join(self.folder, "two", "b.py")):
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as stream:
                stream.write("#!/bin/sh\n")
            os.chmod(path, 0o755)
        os.environ["PATH"] = bin_folder + os.pathsep + os.environ["PATH"]
        self.addCleanup(lambda: os.environ.update(PATH=os.environ["PATH"].split(os.pathsep, 1)[1]))
        two = [{"name": name, "command": ["python3", f"{{dir}}/two/{name}.py", "{port}"]} for name in ("a", "b")]
        return [
            (changed(("controllers", 0, "command"), ["mybot", "{port}"]),
             'controllers[0].command: program "mybot" is not on the sandbox\'s PATH (/usr/local/bin:/usr/bin:/bin)'),
            (changed(("controllers",), two),
             f"controllers[1]: its folder {self.folder}/two and that of controllers[0] ({self.folder}/two) are the "
             "same or nested"),
            (changed(("controllers", 1, "folder"), "/"), "controllers[1].folder: cannot be the root folder"),
            (changed(("limits",), {"processes": 0}), "limits.processes: must be an integer from 4 to 4096"),
            (changed(("limits",), {"memory": 1}), "limits.memory: unknown limit"),
            (changed(("sandbox",), "docker"), 'sandbox: must be "bwrap" (the default) or "none"'),
        ]

    def test_sandbox_plans_need_root_and_one_program_may_serve_two_controllers(self):
        # One file, two argument lists: one folder is fine.
        same = changed(("controllers",), [{"name": name, "command": ["{dir}/bot.sh", name, "{port}"]}
                                          for name in ("x", "y")])
        out = plan(write_tournament(self.folder, same), os.path.join(self.folder, "same"))
        self.assertEqual(read_json(os.path.join(out, "plan.json"))["sandbox"], "bwrap")

        # Files the sandbox's user cannot read: a warning, then failed games.
        os.chmod(os.path.join(self.folder, "bot.sh"), 0o700)
        done = tournament(["plan", os.path.join(self.folder, "tournament.json"), "-o",
                           os.path.join(self.folder, "unreadable"), "--build", BUILD])
        self.assertEqual(done.stderr, f"tournament: warning: controllers[0] (x): the sandbox's user cannot use "
                                      f"{self.folder}/bot.sh (mode 0700); its games will fail\n"
                                      f"tournament: warning: controllers[1] (y): the sandbox's user cannot use "
                                      f"{self.folder}/bot.sh (mode 0700); its games will fail\n")
        tournament(["play", os.path.join(self.folder, "unreadable"), "x.open_plain.s5.r1"])
        failed = read_json(os.path.join(self.folder, "unreadable", "games", "x.open_plain.s5.r1", "game.json"))
        self.assertEqual((failed["status"], failed["reason"], failed["server_exit"]),
                         ("failed", f"the controller's files: the sandbox's user cannot use {self.folder}/bot.sh "
                                    "(mode 0700)", None))
        os.chmod(os.path.join(self.folder, "bot.sh"), 0o755)

        # The same plan as an ordinary user: refused in one line, nothing written.
        os.chmod(self.folder, 0o755)
        python = shutil.which("python3", path="/usr/local/bin:/usr/bin:/bin")
        done = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", python, TOOL, "plan",
                               os.path.join(self.folder, "tournament.json"), "-o",
                               os.path.join(self.folder, "unprivileged"), "--build", BUILD],
                              capture_output=True, text=True, timeout=600, check=False)
        self.assertEqual((done.returncode, done.stdout), (1, ""))
        self.assertEqual(done.stderr, 'tournament: sandbox: the sandbox needs root (run as root, or write '
                                      '"sandbox": "none" to run controllers unsandboxed)\n')

        # A sandbox step that fails is named.
        sys.path.insert(0, os.path.join(SOURCE, "tools"))
        from common import sandbox  # pylint: disable=import-outside-toplevel
        from common.sandbox_files import controller_files  # pylint: disable=import-outside-toplevel
        from common.sandbox_limits import Limits  # pylint: disable=import-outside-toplevel
        real_tool = sandbox.tool
        sandbox.tool = lambda name: "/bin/false" if name == "setpriv" else real_tool(name)
        self.addCleanup(setattr, sandbox, "tool", real_tool)
        with self.assertRaisesRegex(sandbox.SandboxError, r"^the sandbox does not work here: the drop to uid 6\d+ "
                                                          r"\(setpriv\) failed: exit status 1$"):
            sandbox.check_sandbox(controller_files(["/bin/true"]), Limits(), 10, 60999)
        # And a game on a machine where it fails: nothing recorded, exit 1.
        sys.path.insert(0, os.path.join(SOURCE, "tools", "tournament"))
        from game_player import play  # pylint: disable=import-outside-toplevel
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            self.assertEqual(play(out, "x.open_plain.s5.r1"), 1)
        self.assertIn("(setpriv) failed: exit status 1; nothing recorded, a later run plays it", errors.getvalue())
        self.assertFalse(os.path.exists(os.path.join(out, "games", "x.open_plain.s5.r1", "game.json")))


if __name__ == "__main__":
    sys.exit(unittest.main())
