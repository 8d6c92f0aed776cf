"""Where a game's record is, and how to open it in the viewer."""

import os

# tools/play/ is two levels below the source tree, which holds the viewer.
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
VIEWER_PORT = 8000


def record_lines(record):
    """play's closing lines about the record."""
    if record is None:
        return ["play: add --record FILE.jsonl.gz to keep the game for the viewer and replay"]
    if not os.path.exists(record):
        return [f"play: no record was written to {record}"]
    lines = [f"play: record: {record}"]
    viewer = os.path.join(SOURCE, "viewer", "index.html")
    if not os.path.isfile(viewer):
        return lines
    relative = os.path.relpath(os.path.realpath(record), SOURCE)
    if not relative.startswith(".." + os.sep):
        lines.append(f"play: to watch it: python3 -m http.server {VIEWER_PORT} --bind 127.0.0.1 --directory "
                     f"{SOURCE}   and open")
        lines.append(f"      http://127.0.0.1:{VIEWER_PORT}/viewer/?record=/{relative}")
    else:
        lines.append(f"play: to watch it: open {viewer} in a browser and choose the record with "
                     "\"Open record...\" (or keep records inside the source tree to open them by URL)")
    return lines
