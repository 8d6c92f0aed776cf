#!/usr/bin/env python3
"""Lockstep controller for the measurement map: full speed and a steady left
turn, so the rover draws circles (and a long trail) for the whole run.

    perf_client.py host port
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import lockstep_client  # noqa: E402

lockstep_client.SCRIPT = {1: {1: "a;;", 2: "l;;"}}

if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: perf_client.py host port")
    print("replies sent:", lockstep_client.play(sys.argv[1], int(sys.argv[2])))
