"""Finding the project's programs (server, mapcheck, replay) and what the
server build at hand understands.

One rule for every tool: an explicit --build folder; else the build beside
the tool in the source tree (build/release); else PATH, by the build-tree
name and by the installed one (rover-server, ...)."""

import os
import re
import shutil
import subprocess

TOOLS_FOLDER = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_BUILD = os.path.join(os.path.dirname(TOOLS_FOLDER), "build", "release")
INSTALLED_PREFIX = "rover-"
HELP_BOUND_S = 30


class ProgramMissing(Exception):
    """A program the tool needs cannot be found, worded for the user."""


def _runnable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_program(name, build=None):
    """The absolute path of `name` (e.g. "server") by the rule above."""
    if build is not None:
        path = os.path.join(build, name)
        if not _runnable(path):
            raise ProgramMissing(f"{path} is missing: build it, or pass another --build")
        return os.path.abspath(path)
    path = os.path.join(SOURCE_BUILD, name)
    if _runnable(path):
        return path
    for candidate in (name, INSTALLED_PREFIX + name):
        found = shutil.which(candidate)
        if found:
            return os.path.abspath(found)
    raise ProgramMissing(f"cannot find {name}: not in {SOURCE_BUILD} nor on PATH (as {name} or "
                         f"{INSTALLED_PREFIX}{name}); build the project (scripts/demo.sh does) or pass --build")


def server_options(server):
    """The long options the server's --help lists, e.g. {"--lockstep",
    "--timing"}: newer options are passed only to a server that takes them."""
    try:
        done = subprocess.run([server, "--help"], capture_output=True, text=True, timeout=HELP_BOUND_S,
                              check=False)
    except (OSError, subprocess.TimeoutExpired):
        return set()
    return set(re.findall(r"^\s+(--[a-z][a-z-]*)", done.stdout, re.MULTILINE))
