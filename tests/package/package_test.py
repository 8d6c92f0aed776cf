#!/usr/bin/env python3
"""The Debian package, made by scripts/package.sh from a Release build (which
also runs lintian and checks that every program is in it), unpacked with
dpkg-deb -x and used from there, without the source tree:

- every program answers --help with status 0, and its man page renders without
  a warning and names every option the help lists, subcommands' included;
- the installed server keeps its build-tree messages ("usage: server ..."),
  while freeglut names it as it was started;
- the service unit's ExecStart, under systemd-socket-activate, plays the
  installed open_plain.json against the installed pilot and writes the record
  that the installed replay verifies and the installed viewer, opened as a
  file in chromium, lists run by run with the package's version;
- the unpacked tournament and live, started by path, take the server,
  replay, mapcheck and the viewer from beside them;
- the unpacked learning example trains in-process on the unpacked librover
  and plays the result through the unpacked play and server, which score
  it alike; a C program builds against the unpacked rover.h and librover;
- the start limits' premises: a client that connects and resets at once ends
  its game with status 1 after the record exists (the ExecStopPost rest
  follows), a bad map ends it before (no rest, so the start limit stops it);
- with CI=true only (CI's machine is thrown away): apt-get installs the
  package, the installed version is the one built, rover-server --help, man
  rover-server and systemd-analyze verify of an instance of each unit work,
  and a purge (also on failure) leaves nothing behind.

    package_test.py SOURCE_DIR RELEASE_BUILD_DIR
"""

import glob
import json
import os
import re
import shlex
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import unittest
import urllib.request
import uuid

SOURCE, BUILD = (os.path.abspath(path) for path in sys.argv[1:3])
WAIT_S = 120
REQUIRED_SECTIONS = {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "FILES", "EXAMPLES", "SEE ALSO"}
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")


def run(command, **kwargs):
    kwargs.setdefault("timeout", WAIT_S)
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def make_package():
    made = run([os.path.join(SOURCE, "scripts", "package.sh"), BUILD], timeout=600)
    # The ctest log keeps lintian's tags.
    print(made.stdout, made.stderr, sep="\n")
    if made.returncode != 0:
        raise AssertionError(f"scripts/package.sh failed ({made.returncode})")
    return made.stdout.strip().splitlines()[-1]


def unit_command(root, line, state, invocation, port):
    """A unit's command line as systemd would run it in instance `port`: the
    specifiers, ${VAR} and $$ replaced, /usr paths moved into `root`."""
    text = line.replace("%i", str(port)).replace("%%", "%")
    variables = {"STATE_DIRECTORY": state, "INVOCATION_ID": invocation}
    text = re.sub(r"\$\{(\w+)\}", lambda match: variables[match.group(1)], text)
    text = text.replace("$$", "$")
    words = shlex.split(text)
    return [root + word if word.startswith("/usr/") else word for word in words]


def unit_lines(path, key):
    with open(path, encoding="utf-8") as stream:
        return [line.split("=", 1)[1].strip() for line in stream if line.startswith(key + "=")]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Activated:
    """A command under systemd-socket-activate on a free loopback port."""

    def __init__(self, command, env):
        for _ in range(5):
            self.port = free_port()
            self.process = subprocess.Popen(
                ["systemd-socket-activate", "-l", f"127.0.0.1:{self.port}"] + command(self.port),
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
            # It prints "Listening on ..." once the socket is bound.
            line = self.process.stderr.readline()
            if line.startswith("Listening on"):
                return
            self.process.wait(WAIT_S)
        raise AssertionError(f"systemd-socket-activate did not listen: {line}")

    def finish(self):
        out, err = self.process.communicate(timeout=WAIT_S)
        # Its own two lines when the connection comes, then the command's.
        err = "".join(line for line in err.splitlines(keepends=True)
                      if not line.startswith(("Communication attempt on fd 3.", "Execing ")))
        return self.process.returncode, out, err


def build_type(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("CMAKE_BUILD_TYPE:"):
                return line.split("=", 1)[1].strip()
    return ""


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="rover-package-")
        cls.deb = make_package()
        cls.root = os.path.join(cls.scratch, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        cls.bin = os.path.join(cls.root, "usr", "bin")
        cls.share = os.path.join(cls.root, "usr", "share", "rover-server")
        cls.units = os.path.join(cls.root, "lib", "systemd", "system")
        # Only the unpacked tree's programs and the system's.
        cls.env = dict(os.environ, PATH=f"{cls.bin}:/usr/bin:/bin", PYTHONDONTWRITEBYTECODE="1")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def program(self, name):
        return os.path.join(self.bin, "rover-" + name)

    def test_every_program_answers_help_and_its_page_names_every_option(self):
        programs = sorted(os.listdir(self.bin))
        self.assertGreaterEqual(len(programs), 5)
        for program in programs:
            with self.subTest(program=program):
                helped = run([os.path.join(self.bin, program), "--help"], env=self.env)
                self.assertEqual((helped.returncode, helped.stderr), (0, ""), program)
                self.assertIn("usage", helped.stdout.lower())
                texts = [helped.stdout]
                # Subcommands as argparse lists them: {plan,play,run,report}.
                usage = helped.stdout.split("\n\n")[0]
                listed = re.search(r"\{([\w,-]+)\} \.\.\.", usage)
                subcommands = listed.group(1).split(",") if listed else []
                for subcommand in subcommands:
                    sub = run([os.path.join(self.bin, program), subcommand, "--help"], env=self.env)
                    self.assertEqual(sub.returncode, 0, f"{program} {subcommand} --help")
                    texts.append(sub.stdout)
                page = os.path.join(self.root, "usr", "share", "man", "man1", program + ".1.gz")
                # At man's width for a pipe, 80 columns, as most read it.
                env = {key: value for key, value in self.env.items() if key not in ("MANWIDTH", "COLUMNS")}
                rendered = run(["man", "--warnings", "-E", "ascii", "-l", page], env=dict(env, LANG="C.UTF-8"))
                self.assertEqual((rendered.returncode, rendered.stderr), (0, ""), page)
                headings = set(re.findall(r"^([A-Z][A-Z ]+)$", rendered.stdout, re.M))
                self.assertEqual(REQUIRED_SECTIONS - headings, set(), f"{program}.1 lacks sections")
                self.assertTrue(headings & {"OPTIONS", "COMMANDS"}, f"{program}.1 has no OPTIONS")
                # A word broken after one of its hyphens is joined again.
                words = set(re.findall(r"[\w.-]+", re.sub(r"-\n\s+", "-", rendered.stdout)))
                wanted = set(subcommands)
                for text in texts:
                    wanted.update(OPTION.findall(text))
                self.assertEqual(sorted(wanted - words), [], f"{program}.1 lacks these of --help")

    def test_installed_server_keeps_its_build_tree_messages(self):
        bare = run([self.program("server")], env=self.env)
        self.assertEqual((bare.returncode, bare.stdout, bare.stderr), (1, "", "usage: server [-v] [-p port] file\n"))
        bad = run([self.program("server"), "--seed", "x", "map.json"], env=self.env)
        self.assertEqual(bad.returncode, 1)
        self.assertEqual(bad.stderr.splitlines()[1:], ['server: --seed: "x" is not a number (digits 0-9 only)'])
        # In window mode freeglut speaks first, under the name it was started by.
        window = subprocess.run(["rover-server", "-v", os.path.join(self.share, "maps", "open_plain.json")],
                                executable=self.program("server"), capture_output=True, text=True, timeout=WAIT_S,
                                env=dict(self.env, DISPLAY=":65531"))
        self.assertEqual((window.returncode, window.stderr),
                         (1, "freeglut (rover-server): failed to open display ':65531'\n"))

    def service(self, state, invocation, map_file=None):
        """The service's ExecStart for a port, and its ExecStopPost."""
        path = os.path.join(self.units, "rover-server@.service")
        (start,), (stop_post,) = unit_lines(path, "ExecStart"), unit_lines(path, "ExecStopPost")

        def command(port):
            words = unit_command(self.root, start, state, invocation, port)
            if map_file:
                words[-1] = map_file
            return words
        return command, unit_command(self.root, stop_post, state, invocation, 0)

    def rests_after(self, stop_post, state, invocation):
        """Whether the service's ExecStopPost rests: its sleep is replaced by
        one that leaves a mark, so no clock is read."""
        fake = os.path.join(self.scratch, "fake-sleep")
        os.makedirs(fake, exist_ok=True)
        mark = os.path.join(fake, "slept")
        with open(os.path.join(fake, "sleep"), "w", encoding="utf-8") as stream:
            stream.write(f"#!/bin/sh\ntouch {shlex.quote(mark)}\n")
        os.chmod(os.path.join(fake, "sleep"), 0o755)
        if os.path.exists(mark):
            os.remove(mark)
        env = dict(self.env, PATH=f"{fake}:/usr/bin:/bin", STATE_DIRECTORY=state, INVOCATION_ID=invocation)
        self.assertEqual(run(stop_post, env=env).returncode, 0)
        return os.path.exists(mark)

    def viewer_shows(self, record, rounds):
        """The unpacked viewer, opened as a file, lists the record's runs as
        the server ended them, and the version the package has."""
        page = "file://" + os.path.join(self.share, "viewer", "index.html") + "?record=file://" + record
        shown = run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--allow-file-access-from-files",
                     "--user-data-dir=" + os.path.join(self.scratch, "chromium"), "--virtual-time-budget=10000",
                     "--dump-dom", page], env=self.env)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        for number, outcome, score in rounds:
            row = re.search(rf'data-run="{number}"[^>]*>(.*?)</(?:tr|div)>', shown.stdout, re.S)
            self.assertIsNotNone(row, f"run {number} is not listed")
            cells = re.findall(r">([^<]+)<", ">" + row.group(1) + "<")
            self.assertEqual(cells[:3], [number, outcome, score])
        version = re.search(r"<dt>server</dt><dd>([^<]*)</dd>", shown.stdout)
        self.assertEqual(version and version.group(1), run(["dpkg-deb", "-f", self.deb, "Version"]).stdout.strip())

    def test_service_plays_a_game_and_its_start_limits_hold(self):
        # The socket unit hands the listening socket over, as below.
        socket_unit = os.path.join(self.units, "rover-server@.socket")
        self.assertEqual((unit_lines(socket_unit, "ListenStream"), unit_lines(socket_unit, "Accept")), (["%i"], ["no"]))
        state = os.path.join(self.scratch, "state")
        os.makedirs(state)

        # A game with the installed pilot; the record goes to the state folder.
        game = uuid.uuid4().hex
        command, stop_post = self.service(state, game)
        served = Activated(command, self.env)
        pilot = run([self.program("pilot"), "127.0.0.1", str(served.port)], env=self.env)
        status, out, err = served.finish()
        self.assertEqual((pilot.returncode, status, err), (0, 0, ""), pilot.stderr)
        rounds = re.findall(r"^Round (\d+): (.+); score = (\d+)$", out, re.M)
        pilots = re.findall(r"^run (\d+): (.+); time = \d+ ms; score = (\d+);", pilot.stdout, re.M)
        self.assertEqual(len(rounds), 2)
        self.assertEqual(rounds, pilots)
        self.assertIn(f"waiting for client connection on port {served.port}\n", out)
        record = os.path.join(state, game + ".jsonl.gz")
        verified = run([self.program("replay"), "verify", record], env=self.env)
        self.assertEqual(verified.returncode, 0, verified.stderr)
        self.assertTrue(verified.stdout.startswith("verified: 2 runs,"), verified.stdout)
        self.assertTrue(self.rests_after(stop_post, state, game))
        self.viewer_shows(record, rounds)

        # A client that connects and resets at once: the game fails, after
        # the record was written, so the rest follows.
        leaver = uuid.uuid4().hex
        command, stop_post = self.service(state, leaver)
        served = Activated(command, self.env)
        with socket.create_connection(("127.0.0.1", served.port)) as client:
            client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        status, _, err = served.finish()
        self.assertEqual(status, 1, err)
        self.assertTrue(os.path.exists(os.path.join(state, leaver + ".jsonl.gz")))
        self.assertTrue(self.rests_after(stop_post, state, leaver))

        # A bad map (as a drop-in could name): the server stops before it
        # takes the connection and writes no record, so no rest.
        bad_map = os.path.join(self.scratch, "bad.json")
        with open(bad_map, "w", encoding="utf-8") as stream:
            stream.write('{"size": 100,')
        broken = uuid.uuid4().hex
        command, stop_post = self.service(state, broken, bad_map)
        served = Activated(command, self.env)
        with socket.create_connection(("127.0.0.1", served.port)) as client:
            client.settimeout(WAIT_S)
            try:
                received = client.recv(100)
            except ConnectionResetError:
                received = b""
        self.assertEqual(received, b"")
        status, out, err = served.finish()
        self.assertEqual((status, out, err), (1, "", "uncaught exception: Fail\n"))
        self.assertFalse(os.path.exists(os.path.join(state, broken + ".jsonl.gz")))
        self.assertFalse(self.rests_after(stop_post, state, broken))

    def test_tournament_and_live_find_the_programs_and_the_viewer_beside_them(self):
        # Started by path with only the system's PATH: what they use comes
        # from beside them in the unpacked tree.
        env = dict(self.env, PATH="/usr/bin:/bin")
        tournament_file = os.path.join(self.scratch, "cup.json")
        with open(tournament_file, "w", encoding="utf-8") as stream:
            json.dump({"controllers": [{"name": "pilot", "command": [self.program("pilot"), "{host}", "{port}"]}],
                       "maps": [os.path.join(self.share, "maps", "open_plain.json")], "seeds": [1],
                       "game_time_limit_s": WAIT_S, "sandbox": "none"}, stream)
        cup = os.path.join(self.scratch, "cup")
        for command in (["plan", tournament_file, "-o", cup], ["run", cup, "--engine", "local", "-j", "1"],
                        ["report", cup]):
            done = run([self.program("tournament")] + command, env=env)
            self.assertEqual(done.returncode, 0, done.stderr)
        with open(os.path.join(cup, "plan.json"), encoding="utf-8") as stream:
            plan = json.load(stream)
        self.assertEqual((plan["server"], plan["replay"]), (self.program("server"), self.program("replay")))
        self.assertTrue(os.path.isfile(os.path.join(cup, "viewer", "index.html")))
        with open(os.path.join(cup, "leaderboard.json"), encoding="utf-8") as stream:
            (standing,) = json.load(stream)["standings"]
        self.assertEqual((standing["controller"], standing["completed"], standing["home_runs"]), ("pilot", 1, 2))

        record = os.path.join(cup, "games", "pilot.open_plain.s1.r1", "record.jsonl.gz")
        live = subprocess.Popen([self.program("live"), record], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, env=env)
        try:
            address = live.stdout.readline().strip()
            self.assertRegex(address, r"^http://127\.0\.0\.1:\d+/$")
            with urllib.request.urlopen(address + "viewer/index.html", timeout=WAIT_S) as page:
                self.assertIn(b"<title>", page.read())
            with urllib.request.urlopen(address + "records/1", timeout=WAIT_S) as served, \
                    open(record, "rb") as stream:
                self.assertEqual(served.read(), stream.read())
        finally:
            live.terminate()
            live.communicate(timeout=WAIT_S)
        self.assertEqual(live.returncode, 0)

    def test_training_example_and_library_work_from_the_unpacked_tree(self):
        env = dict(self.env, PATH="/usr/bin:/bin")
        env.pop("ROVER_LIB", None)
        env.pop("ROVER_SERVER", None)
        learned = os.path.join(self.scratch, "learned.json")
        done = run([sys.executable, "-B", os.path.join(self.share, "examples", "train_controller.py"), "--quick",
                    "--workers", "1", "--out", learned], env=env, cwd=self.scratch)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("(the same as in-process)", done.stdout)

        library = glob.glob(os.path.join(self.root, "usr", "lib", "*", "rover-server"))
        self.assertEqual(len(library), 1)
        program = os.path.join(self.scratch, "version")
        source = os.path.join(self.scratch, "version.c")
        with open(source, "w", encoding="utf-8") as stream:
            stream.write('#include <stdio.h>\n#include "rover.h"\n'
                         'int main(void) { printf("%d %s\\n", rover_api_version(), rover_outcome_text(3)); }\n')
        built = run(["cc", "-I", os.path.join(self.root, "usr", "include", "rover-server"), source,
                     "-L", library[0], "-lrover", "-Wl,-rpath," + library[0], "-o", program])
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(run([program]).stdout, "1 reached home\n")

    @unittest.skipUnless(os.environ.get("CI") == "true", "installs system-wide: CI's machine only")
    def test_installs_with_apt_and_purges_clean(self):
        def purge():
            run(["apt-get", "purge", "-y", "rover-server"], timeout=300)

        purge()
        self.addCleanup(purge)
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        installed = run(["apt-get", "install", "-y", "--no-install-recommends", self.deb], env=env, timeout=600)
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
        built = run(["dpkg-deb", "-f", self.deb, "Version"]).stdout.strip()
        self.assertEqual(run(["dpkg-query", "-W", "-f=${Version}", "rover-server"]).stdout, built)
        helped = run(["rover-server", "--help"])
        self.assertEqual(helped.returncode, 0)
        page = run(["man", "rover-server"], env=dict(os.environ, MANPAGER="cat", PAGER="cat"))
        self.assertEqual(page.returncode, 0, page.stderr)
        self.assertIn("rover-server@17676.socket", page.stdout)
        verified = run(["systemd-analyze", "verify", "rover-server@17676.socket", "rover-server@17676.service"])
        self.assertEqual((verified.returncode, verified.stderr), (0, ""))
        # A module run without -B leaves byte-code, which the purge removes too.
        compiled = run(["python3", "/usr/share/rover-server/tools/mapgen/mapgen", "--runs", "1"],
                       env=dict(os.environ, PYTHONDONTWRITEBYTECODE=""))
        self.assertEqual(compiled.returncode, 0, compiled.stderr)
        self.assertTrue(os.path.isdir("/usr/share/rover-server/tools/mapgen/__pycache__"))
        purged = run(["apt-get", "purge", "-y", "rover-server"], timeout=300)
        self.assertEqual(purged.returncode, 0, purged.stderr)
        for left in ("/usr/bin/rover-server", "/usr/share/rover-server", "/lib/systemd/system/rover-server@.service"):
            self.assertFalse(os.path.lexists(left), left)


if __name__ == "__main__":
    if build_type(BUILD) != "Release":
        print(f"skipped: {BUILD} is not a Release build; configure one with -DCMAKE_BUILD_TYPE=Release")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
