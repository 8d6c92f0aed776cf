"""Whether a file is a game record that a viewer can open: its first line
is a record header (docs/record-format.md). A game killed mid-run leaves a
record cut short, a .gz one without its trailer; its first line still counts."""

import json
import zlib

RECORD_FORMAT = "rover-record"
RECORD_VERSIONS = (1,)
# The header carries the map; a map of a few MB makes a header as large.
MAX_HEADER_BYTES = 64 * 1024 * 1024
BLOCK = 1 << 16


def _first_line(path):
    """The bytes of the file's first line, decompressed when it is gzip;
    None when it has no complete first line within the bound."""
    with open(path, "rb") as stream:
        start = stream.read(2)
        stream.seek(0)
        inflate = zlib.decompressobj(wbits=31) if start == b"\x1f\x8b" else None
        line = b""
        while len(line) <= MAX_HEADER_BYTES:
            block = stream.read(BLOCK)
            if not block:
                return None
            # Bounded output per step: a small file may inflate enormously.
            line += inflate.decompress(block, MAX_HEADER_BYTES + 1 - len(line)) if inflate else block
            if b"\n" in line:
                return line.split(b"\n", 1)[0]
            if inflate is not None and inflate.unconsumed_tail:
                return None  # the bound was hit inside one block
    return None


def has_valid_header(path):
    try:
        line = _first_line(path)
        header = json.loads(line.decode("utf-8")) if line is not None else None
    except (OSError, zlib.error, UnicodeDecodeError, ValueError, RecursionError):
        return False
    return (isinstance(header, dict) and header.get("type") == "header" and header.get("format") == RECORD_FORMAT
            and header.get("version") in RECORD_VERSIONS and not isinstance(header.get("version"), bool))
