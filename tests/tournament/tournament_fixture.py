"""Shared by the tournament tests: where things are, and running the tool."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("ROVER_BUILD_DIR", os.path.join(SOURCE, "build", "release"))
TOOL = os.path.join(SOURCE, "tools", "tournament", "tournament")
# Far above what any of these games needs on a loaded machine; only the
# hung controller's tournament sets a short limit on purpose.
GENEROUS_LIMIT_S = 600
# How long a test waits for processes to appear or to go.
BOUND_S = 60
# The Python a sandboxed controller can run: the system's, not a PATH shim.
SYSTEM_PYTHON = shutil.which("python3", path="/usr/local/bin:/usr/bin:/bin")


def tournament(args, check=True, env=None):
    """Runs the tool; the finished process, output as text."""
    done = subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True, timeout=1200,
                          check=False, env=env)
    if check and done.returncode != 0:
        raise AssertionError(f"tournament {' '.join(args)} exited {done.returncode}:\n{done.stdout}{done.stderr}")
    return done


def ci_tournament(folder):
    """examples/tournament.json as the tests play it: the controllers of the
    build under test, the example's maps and seeds (Martians on one map, so
    the seeds matter). Returns the file's path."""
    with open(os.path.join(SOURCE, "examples", "tournament.json"), encoding="utf-8") as stream:
        data = json.load(stream)
    for controller in data["controllers"]:
        if controller["name"] == "pilot":
            controller["command"] = [os.path.join(BUILD, "pilot"), "{host}", "{port}"]
        else:
            controller["command"] = [SYSTEM_PYTHON, os.path.join(SOURCE, "examples", "simple_pilot.py"),
                                     "{host}", "{port}"]
    data["maps"] = [os.path.join(SOURCE, "examples", path) for path in data["maps"]]
    data["game_time_limit_s"] = GENEROUS_LIMIT_S
    return write_tournament(folder, data)


def write_tournament(folder, data, name="tournament.json"):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as stream:
        json.dump(data, stream)
    return path


def plan(tournament_path, out):
    tournament(["plan", tournament_path, "-o", out, "--build", BUILD])
    return out


def read_json(path):
    with open(path, encoding="utf-8") as stream:
        return json.load(stream)


def game_ids(out):
    with open(os.path.join(out, "games.tsv"), encoding="utf-8") as stream:
        return [line.split("\t")[0] for line in stream]


def scratch(test):
    """A temporary folder removed after the test."""
    folder = tempfile.TemporaryDirectory(prefix="rover_tournament_")
    test.addCleanup(folder.cleanup)
    return folder.name


def processes_mentioning(text):
    """Pids of live processes whose command line holds text."""
    found = []
    for name in os.listdir("/proc"):
        if name.isdigit() and int(name) != os.getpid():
            try:
                with open(f"/proc/{name}/cmdline", "rb") as stream:
                    if text.encode() in stream.read():
                        found.append(int(name))
            except OSError:
                pass
    return found


def wait_for_controllers(test, text, count):
    """Waits until `count` controllers run (their own processes, not the
    sandbox's, whose command lines hold the controller's too) mentioning text."""
    def controllers():
        return [pid for pid in processes_mentioning(text) if _first_word(pid) == SYSTEM_PYTHON]
    deadline = time.monotonic() + BOUND_S
    while len(controllers()) < count and time.monotonic() < deadline:
        time.sleep(0.05)
    test.assertGreaterEqual(len(controllers()), count)


def _first_word(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as stream:
            return stream.read().split(b"\0")[0].decode()
    except OSError:
        return None


def wait_until_gone(test, text):
    deadline = time.monotonic() + BOUND_S
    while processes_mentioning(text) and time.monotonic() < deadline:
        time.sleep(0.1)
    left = processes_mentioning(text)
    for pid in left:  # ours: started by this test's games
        os.kill(pid, signal.SIGKILL)
    test.assertEqual(left, [], f"processes left mentioning {text}")
