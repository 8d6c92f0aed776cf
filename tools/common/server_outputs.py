"""The server's output files after a game."""

import os
import re


def remove_temporaries(folder, names):
    """Removes what a killed server left of its output files: it writes each
    FILE as a temporary beside it and renames that at the end; the temporary
    has no name, or ".FILE.XXXXXX" where the file system cannot make one."""
    patterns = [re.compile(re.escape(f".{name}.") + r"[A-Za-z0-9]{6}") for name in names]
    for entry in os.listdir(folder):
        if any(pattern.fullmatch(entry) for pattern in patterns):
            try:
                os.remove(os.path.join(folder, entry))
            except FileNotFoundError:
                pass
