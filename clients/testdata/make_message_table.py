#!/usr/bin/env python3
"""Writes the starter kits' shared table of server messages and their fields.

    python3 clients/testdata/make_message_table.py            # rewrite messages.tsv
    python3 clients/testdata/make_message_table.py --check    # exit 1 if it would change

Most of the kits' languages have no JSON reader in their standard library, so
their tests read this plain table instead of the game records. It holds every
distinct `msg` line of the records below, in order, one a line, fields
separated by one TAB:

    1. the message's bytes through its ';', escaped: \\\\ \\t \\n \\r, and \\xNN
       (lower-case hex) for any other byte outside 0x20..0x7e;
    2. the letter;
    3. the fields in wire order, as the wire writes them. A T gives its six
       fixed fields, the number of objects, then each object's kind letter
       and its fields (b, c, h: x y r; m: x y heading speed).

The records are the game fixtures of tests/fixtures (tests/fixtures/README.md
says what each holds): the same games the server's, the viewer's and the
tournament's tests read. Their runs end in every way a run can; one bounces
(B and its extra T) and one sees a field of craters (T messages longer than
1200 bytes, which the server sends in two pieces).
"""

import argparse
import gzip
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "tests", "fixtures")
RECORDS = [os.path.normpath(os.path.join(FIXTURES, name))
           for name in ("lockstep.jsonl", "realtime.jsonl", "failed.jsonl", "no_footer.jsonl")]
TABLE = os.path.join(HERE, "messages.tsv")

# Fields after the kind letter of each object entry.
OBJECT_FIELDS = {"b": 3, "c": 3, "h": 3, "m": 4}
FIXED_FIELDS = {"I": 8, "T": 6, "B": 1, "C": 1, "K": 1, "S": 1, "E": 2}


def escape(data):
    """The message bytes as one table field."""
    named = {0x5C: "\\\\", 0x09: "\\t", 0x0A: "\\n", 0x0D: "\\r"}
    return "".join(named.get(b) or (chr(b) if 0x20 <= b <= 0x7E else "\\x%02x" % b) for b in data)


def table_line(text):
    """The table line of one message text (through its ';')."""
    if not text.endswith(" ;"):
        raise ValueError("message without its closing ' ;': %r" % text)
    words = text[:-2].split(" ")
    letter, fields = words[0], words[1:]
    if letter not in FIXED_FIELDS:
        raise ValueError("unknown message letter: %r" % text)
    fixed = FIXED_FIELDS[letter]
    row = [escape(text.encode("latin-1")), letter] + fields[:fixed]
    if letter == "T":
        objects, at = [], fixed
        while at < len(fields):
            kind = fields[at]
            width = OBJECT_FIELDS.get(kind)
            if width is None or at + width >= len(fields):
                raise ValueError("bad object entry at field %d: %r" % (at, text))
            objects.append(fields[at:at + 1 + width])
            at += 1 + width
        row.append(str(len(objects)))
        for entry in objects:
            row.extend(entry)
    elif len(fields) != fixed:
        raise ValueError("wrong number of fields: %r" % text)
    if any(field == "" for field in row[1:]):
        raise ValueError("empty field (two spaces in a row?): %r" % text)
    return "\t".join(row) + "\n"


def record_messages(path):
    """The texts of a record's msg lines, in order."""
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8") as record:
        for line in record:
            entry = json.loads(line)
            if entry.get("type") == "msg":
                yield entry["text"]


def make_table(paths):
    seen, lines = set(), []
    for path in paths:
        for text in record_messages(path):
            if text not in seen:
                seen.add(text)
                lines.append(table_line(text))
    return "".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with messages.tsv instead of writing it")
    parser.add_argument("records", nargs="*", default=RECORDS, help="game records (default: %(default)s)")
    args = parser.parse_args()
    table = make_table(args.records)
    if args.check:
        with open(TABLE, encoding="ascii") as kept:
            if kept.read() != table:
                sys.exit("messages.tsv is out of date: run clients/testdata/make_message_table.py")
        return
    with open(TABLE, "w", encoding="ascii", newline="\n") as out:
        out.write(table)


if __name__ == "__main__":
    main()
