"""The per-process limits of a sandboxed controller, set with prlimit, and the
sizes of its two private tmpfs folders."""

import math
from dataclasses import asdict, dataclass

MIB = 1024 * 1024

# Defaults well below a machine's memory for one process, but enough for
# every runtime we know: a default JVM wants more than 2 GiB of address space;
# an idle JVM has 19 threads, node 7.
DEFAULT_ADDRESS_SPACE_MIB = 4096
DEFAULT_OPEN_FILES = 256
DEFAULT_FILE_SIZE_MIB = 64
DEFAULT_PROCESSES = 64
DEFAULT_TMPFS_MIB = 64

# Field, (lowest, highest) accepted in a tournament file.
RANGES = {
    "address_space_mib": (64, 1024 * 1024),
    "cpu_s": (1, 7 * 86400),
    "open_files": (16, 65536),
    "file_size_mib": (1, 1024 * 1024),
    "processes": (4, 4096),
    "tmp_mib": (1, 64 * 1024),
    "scratch_mib": (1, 64 * 1024),
}


class LimitsError(Exception):
    """A bad "limits" entry, worded for the user (the field's path first)."""


@dataclass
class Limits:
    address_space_mib: int = DEFAULT_ADDRESS_SPACE_MIB
    cpu_s: int = 0  # 0: the game's wall-clock limit, rounded up
    open_files: int = DEFAULT_OPEN_FILES
    file_size_mib: int = DEFAULT_FILE_SIZE_MIB
    processes: int = DEFAULT_PROCESSES
    tmp_mib: int = DEFAULT_TMPFS_MIB
    scratch_mib: int = DEFAULT_TMPFS_MIB

    def as_dict(self):
        return asdict(self)

    def cpu_seconds(self, game_time_limit_s):
        return self.cpu_s or max(1, math.ceil(game_time_limit_s))

    def prlimit_words(self, game_time_limit_s):
        """The limits as prlimit options. The CPU limit's hard value is one
        second above the soft one, so that the controller gets SIGXCPU, which
        the runner can name, before the kernel's SIGKILL."""
        cpu = self.cpu_seconds(game_time_limit_s)
        return [f"--as={self.address_space_mib * MIB}", f"--cpu={cpu}:{cpu + 1}",
                f"--nofile={self.open_files}", f"--fsize={self.file_size_mib * MIB}",
                f"--nproc={self.processes}", "--core=0"]

    def worst_case_mib(self):
        """What one game's controller may hold at most: every process at the
        address-space limit, plus both tmpfs folders full."""
        return self.processes * self.address_space_mib + self.tmp_mib + self.scratch_mib


def read_limits(value, where="limits"):
    """Limits from a tournament file's "limits" object (missing fields keep
    their defaults); raises LimitsError."""
    if value is None:
        return Limits()
    if not isinstance(value, dict):
        raise LimitsError(f"{where}: must be an object")
    unknown = sorted(set(value) - set(RANGES))
    if unknown:
        raise LimitsError(f"{where}.{unknown[0]}: unknown limit (known: {', '.join(RANGES)})")
    limits = Limits()
    for name, number in value.items():
        low, high = RANGES[name]
        if isinstance(number, bool) or not isinstance(number, int) or not low <= number <= high:
            raise LimitsError(f"{where}.{name}: must be an integer from {low} to {high}")
        setattr(limits, name, number)
    return limits


def limits_from_plan(value):
    limits = Limits()
    for name in RANGES:
        setattr(limits, name, value[name])
    return limits
