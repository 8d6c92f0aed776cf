"""The only way tools/live turns a URL path into a file: inside one folder,
a regular file, nothing that resolves outside it (symbolic links included).
Anything else is None, which the server answers with 404."""

import os
import stat
import urllib.parse


def open_inside(root, url_rest):
    """Opens the file that `url_rest` (the URL path after the folder's
    prefix, still percent-encoded) names inside the folder `root` (a real
    path). Returns an open binary file, or None."""
    try:
        text = urllib.parse.unquote(url_rest, errors="strict")
    except UnicodeDecodeError:
        return None
    if "\0" in text or "\\" in text or text.startswith("/"):
        return None
    parts = text.split("/")
    # No "..", no ".", no empty part: one spelling per file, and none that
    # climbs. A folder is never listed.
    if any(part in ("", ".", "..") for part in parts):
        return None
    real = os.path.realpath(os.path.join(root, *parts))
    if os.path.commonpath([real, root]) != root:
        return None
    return open_regular(real)


def open_regular(path):
    """Opens `path` if it is a regular file and not a symbolic link (a FIFO
    would block, a device could be anything). Returns an open binary file,
    or None."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError:
        return None
    if not stat.S_ISREG(os.fstat(fd).st_mode):
        os.close(fd)
        return None
    return os.fdopen(fd, "rb")
