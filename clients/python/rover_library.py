"""librover through ctypes: finding the library and its C interface (src/lib/rover.h).

    lib = load_library()                 # ROVER_LIB, then the build folders, then the installed copy
    game = LibraryGame(lib, "maps/open_plain.json", seed=0)

Standard library only. RoverEnv and RoverVectorEnv (rover_env.py) are built
on this module; most users never call it directly.
"""

import ctypes
import glob
import os

HERE = os.path.dirname(os.path.abspath(__file__))
# The tree this kit lies in: the source tree, or an installed share/rover-server.
TREE = os.path.dirname(os.path.dirname(HERE))
# The build folders the README names, in the order they are tried.
BUILD_FOLDERS = ("build/release", "build/server")
LIBRARY_NAME = "librover.so"
INSTALLED_NAME = "librover.so.1"
# The package's private copy, relative to share/rover-server: PREFIX/lib/<arch>/rover-server.
PACKAGED = ("../../lib/*/rover-server", "../../lib/rover-server")
BUILD_COMMAND = ("cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release && "
                 "cmake --build build/release --target rover")
API_VERSION = 1

# enum rover_stop
ERROR, TELEMETRY, RUN_END, GAME_END = -1, 1, 2, 3
BATCH_NEXT_RUN = 255
ERROR_SIZE = 1024


class LibraryMissing(RuntimeError):
    """librover cannot be found or loaded; the message names where it was looked for."""


class LibraryError(RuntimeError):
    """A call into librover failed; the message is the library's."""


class StepInfo(ctypes.Structure):
    """rover_step_info."""
    _fields_ = [("stop", ctypes.c_int32), ("run", ctypes.c_int32), ("time_ms", ctypes.c_int64),
                ("covered_ms", ctypes.c_int64), ("outcome", ctypes.c_int32), ("started", ctypes.c_int32),
                ("score_ms", ctypes.c_int64), ("events", ctypes.c_char * 8)]


def _candidates():
    """(where, path-or-name) in the order of the search."""
    named = os.environ.get("ROVER_LIB")
    if named:
        yield "ROVER_LIB", named
    for folder in BUILD_FOLDERS:
        yield "build folder", os.path.join(TREE, folder, LIBRARY_NAME)
    if os.path.basename(TREE) == "rover-server":
        for pattern in PACKAGED:
            for path in sorted(glob.glob(os.path.join(TREE, pattern, INSTALLED_NAME))):
                yield "installed copy", os.path.normpath(path)
    yield "installed copy", INSTALLED_NAME  # wherever the dynamic loader finds it


def _declare(lib):
    void_p, size_t, c_int = ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int
    info_p = ctypes.POINTER(StepInfo)
    prototypes = {
        "rover_api_version": (c_int, []),
        "rover_map_load": (void_p, [ctypes.c_char_p, ctypes.c_char_p, size_t]),
        "rover_map_free": (None, [void_p]),
        "rover_map_runs": (c_int, [void_p]),
        "rover_game_new": (void_p, [void_p, ctypes.c_uint64, ctypes.c_char_p, ctypes.c_char_p, size_t]),
        "rover_game_free": (None, [void_p]),
        "rover_game_error": (ctypes.c_char_p, [void_p]),
        "rover_next_run": (c_int, [void_p, info_p]),
        "rover_step_action": (c_int, [void_p, c_int, info_p]),
        "rover_step": (c_int, [void_p, ctypes.c_char_p, size_t, info_p]),
        "rover_action_reply": (ctypes.c_char_p, [c_int]),
        # Pointers as plain addresses: the batch call is made once per step of many games.
        "rover_step_batch": (c_int, [void_p, size_t, void_p, void_p, void_p, size_t]),
        "rover_observe": (c_int, [void_p, void_p, size_t]),
        "rover_telemetry_text": (ctypes.c_char_p, [void_p, ctypes.POINTER(size_t)]),
        "rover_init_text": (ctypes.c_char_p, [void_p, ctypes.POINTER(size_t)]),
        "rover_outcome_text": (ctypes.c_char_p, [c_int]),
    }
    for name, (result, arguments) in prototypes.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib


def load_library():
    """librover, from ROVER_LIB, else the build folders, else the installed copy."""
    tried = []
    for where, path in _candidates():
        if os.sep in path and not os.path.exists(path):
            tried.append(f"{where} {path} (missing)")
            continue
        try:
            lib = ctypes.CDLL(path)
        except OSError as error:
            tried.append(f"{where} {path} ({error})")
            continue
        _declare(lib)
        if lib.rover_api_version() != API_VERSION:
            tried.append(f"{where} {path} (interface version {lib.rover_api_version()}, not {API_VERSION})")
            continue
        return lib
    raise LibraryMissing("cannot load librover; looked at: " + "; ".join(tried) +
                         f". Build it from the source tree with: {BUILD_COMMAND}")


def _text(error_buffer):
    return error_buffer.value.decode("utf-8", "replace")


class LibraryMap:
    """A map loaded once for many games (rover_map)."""

    def __init__(self, lib, path):
        self.lib = lib
        error = ctypes.create_string_buffer(ERROR_SIZE)
        self.handle = lib.rover_map_load(os.fsencode(path), error, ERROR_SIZE)
        if not self.handle:
            raise LibraryError(_text(error))
        self.runs = lib.rover_map_runs(self.handle)

    def close(self):
        if self.handle:
            self.lib.rover_map_free(self.handle)
            self.handle = None

    def __del__(self):
        self.close()


class LibraryGame:
    """One game (rover_game); `record`, when given, is the path of its record."""

    def __init__(self, game_map, seed, record=None):
        self.lib = game_map.lib
        self.map = game_map  # the game must not outlive its map
        self.seed = seed
        error = ctypes.create_string_buffer(ERROR_SIZE)
        self.handle = self.lib.rover_game_new(game_map.handle, seed,
                                              None if record is None else os.fsencode(record), error, ERROR_SIZE)
        if not self.handle:
            raise LibraryError(_text(error))

    def check(self, stop):
        """Raises the game's failure when `stop` is ERROR."""
        if stop == ERROR:
            raise LibraryError(self.lib.rover_game_error(self.handle).decode("utf-8", "replace"))
        return stop

    def next_run(self, info):
        return self.check(self.lib.rover_next_run(self.handle, ctypes.byref(info)))

    def step_reply(self, reply, info):
        """rover_step with a reply's bytes."""
        return self.check(self.lib.rover_step(self.handle, reply, len(reply), ctypes.byref(info)))

    def observe(self, address, max_objects):
        """Writes the latest T as a flat row of doubles at `address`."""
        if self.lib.rover_observe(self.handle, address, max_objects) != 0:
            raise LibraryError("no telemetry yet")

    def telemetry_text(self):
        return self.lib.rover_telemetry_text(self.handle, None).decode("ascii")

    def init_text(self):
        return self.lib.rover_init_text(self.handle, None).decode("ascii")

    def close(self):
        if self.handle:
            self.lib.rover_game_free(self.handle)
            self.handle = None

    def __del__(self):
        self.close()
