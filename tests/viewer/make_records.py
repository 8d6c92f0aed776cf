#!/usr/bin/env python3
"""Puts the records the browser tests open into one folder: the lockstep
fixture game of tests/fixtures (README.md there), plain and gzip, as
game.jsonl and game.jsonl.gz. The two must hold the same lines; that is
checked here too.

    make_records.py --fixtures tests/fixtures --out DIR
"""
import argparse
import gzip
import os
import shutil


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    plain = os.path.join(args.out, "game.jsonl")
    packed = os.path.join(args.out, "game.jsonl.gz")
    shutil.copyfile(os.path.join(args.fixtures, "lockstep.jsonl"), plain)
    shutil.copyfile(os.path.join(args.fixtures, "lockstep.jsonl.gz"), packed)
    with open(plain, "rb") as f:
        plain_bytes = f.read()
    with gzip.open(packed, "rb") as f:
        packed_bytes = f.read()
    if plain_bytes != packed_bytes:
        raise SystemExit("the plain and the gzip record of the same game differ")
    if b'"kind":"bounce"' not in plain_bytes:
        raise SystemExit("the test game has no bounce; the browser tests need one")
    print("records: %s (%d bytes), %s" % (plain, len(plain_bytes), packed))


if __name__ == "__main__":
    main()
