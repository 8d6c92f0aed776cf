"""Where a game's record is, and how to open it in the viewer."""

import os

from common.locate import NotFound, find_folder

VIEWER_PORT = 8000


def record_lines(record):
    """play's closing lines about the record."""
    if record is None:
        return ["play: add --record FILE.jsonl.gz to keep the game for the viewer and replay"]
    if not os.path.exists(record):
        return [f"play: no record was written to {record}"]
    lines = [f"play: record: {record}"]
    try:
        viewer = find_folder("viewer")
    except NotFound:
        return lines
    # The viewer fetches a record by URL from the server that serves it: the
    # folder above the viewer (the source tree) must hold the record too.
    served = os.path.dirname(viewer)
    relative = os.path.relpath(os.path.realpath(record), served)
    if not relative.startswith(".." + os.sep):
        lines.append(f"play: to watch it: python3 -m http.server {VIEWER_PORT} --bind 127.0.0.1 --directory "
                     f"{served}   and open")
        lines.append(f"      http://127.0.0.1:{VIEWER_PORT}/viewer/?record=/{relative}")
    else:
        lines.append(f"play: to watch it: open {os.path.join(viewer, 'index.html')} in a browser and choose the "
                     "record with \"Open record...\" (or keep records inside the source tree to open them by URL)")
    return lines
