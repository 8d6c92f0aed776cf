#!/usr/bin/env python3
"""tools/mapgen and maps/: the same options give the same bytes, a spread of
options gives maps that load and keep what the options promise, and every
map in maps/ loads and is listed in maps/README.md.

    ROVER_MAPCHECK=build/release/mapcheck python3 tests/tools/mapgen_test.py
"""

import glob
import json
import math
import os
import re
import shlex
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
MAPGEN = os.path.join(REPO, "tools", "mapgen", "mapgen")
MAPCHECK = os.environ.get("ROVER_MAPCHECK", os.path.join(REPO, "build", "release", "mapcheck"))


def mapgen(*options):
    return subprocess.run([sys.executable, MAPGEN, *options], capture_output=True, text=True, timeout=120)


def gap(a, b):
    return math.hypot(a["x"] - b["x"], a["y"] - b["y"]) - a.get("r", 0) - b.get("r", 0)


class MapgenTest(unittest.TestCase):
    def assert_loads(self, path):
        check = subprocess.run([MAPCHECK, path], capture_output=True, text=True, timeout=60)
        self.assertEqual(check.returncode, 0, f"{path}: {check.stdout}{check.stderr}")
        self.assertIn("map is good", check.stdout)

    def assert_keeps_promises(self, m, size, craters, boulders, martians, spacing, runs):
        """What the options promise, checked on the map itself rather than on how mapgen works."""
        half = size / 2
        self.assertEqual((m["size"], len(m["craters"]), len(m["boulders"]), len(m["runs"])),
                         (size, craters, boulders, runs))
        objects = m["craters"] + m["boulders"]
        home = {"x": 0, "y": 0, "r": 5}
        for i, o in enumerate(objects):
            self.assertGreater(o["r"], 0)
            self.assertLessEqual(max(abs(o["x"]), abs(o["y"])) + o["r"], half, o)
            self.assertGreaterEqual(gap(o, home), spacing - 1e-9, o)
            for other in objects[i + 1:]:
                self.assertGreaterEqual(gap(o, other), spacing - 1e-9, (o, other))
        for run in m["runs"]:
            start = run["vehicle"]
            self.assertLess(max(abs(start["x"]), abs(start["y"])), half - 0.5, start)
            self.assertGreater(gap(start, home), 0, start)
            self.assertTrue(all(gap(start, o) > 1 for o in objects), start)
            self.assertEqual(len(run["enemies"]), martians)
            for martian in run["enemies"]:
                self.assertLess(max(abs(martian["x"]), abs(martian["y"])), half, martian)
                self.assertGreater(gap(martian, home), 0, martian)
                self.assertTrue(all(gap(martian, o) > 0 for o in objects), martian)
                self.assertGreater(martian["speed"], 0)

    def test_a_spread_of_options_gives_maps_that_load_and_keep_their_promises(self):
        cases = [  # size, craters, boulders, martians, spacing, runs, extra options
            (30, 2, 1, 1, 0.5, 1, []),
            (60, 0, 0, 4, 0, 2, ["--time-limit", "1"]),
            (100, 20, 20, 2, 2, 3, ["--rover", "frontView=10,rearView=2.5"]),
            (150, 60, 60, 0, 1, 5, ["--crater-radius", "0.5:4", "--boulder-radius", "2:2"]),
            (250, 200, 200, 3, 3, 2, ["--martian-params", "maxSpeed=8", "--martian-speed", "1:1"]),
        ]
        with tempfile.TemporaryDirectory(prefix="mapgen_test_") as folder:
            for layout in ("scatter", "clusters", "rings", "walls"):
                for seed, (size, craters, boulders, martians, spacing, runs, extra) in enumerate(cases, 1):
                    if layout in ("rings", "walls") and craters + boulders > 100:
                        continue  # a barrier layout fills up long before that on these sizes
                    with self.subTest(layout=layout, size=size):
                        path = os.path.join(folder, f"{layout}_{size}.json")
                        made = mapgen("--seed", str(seed), "--layout", layout, "--size", str(size),
                                      "--craters", str(craters), "--boulders", str(boulders),
                                      "--martians", str(martians), "--spacing", str(spacing),
                                      "--runs", str(runs), *extra, "-o", path)
                        self.assertEqual(made.returncode, 0, made.stderr)
                        self.assert_loads(path)
                        with open(path, encoding="ascii") as file:
                            generated = json.load(file)
                        self.assert_keeps_promises(generated, size, craters, boulders, martians, spacing, runs)
                        if extra[:1] == ["--rover"]:
                            self.assertEqual(generated["vehicleParams"]["rearView"], 2.5)
                        if extra[:1] == ["--time-limit"]:
                            self.assertEqual(generated["timeLimit"], 1)

    def test_the_same_options_give_the_same_bytes_and_every_generated_map_is_made_again(self):
        first, again, other = mapgen("--seed", "5", "--martians", "2"), mapgen("--martians", "2", "--seed", "5"), \
            mapgen("--seed", "6", "--martians", "2")
        self.assertEqual(first.stdout, again.stdout.replace('"--martians 2 --seed 5"', '"--seed 5 --martians 2"'))
        self.assertNotEqual(first.stdout, other.stdout)
        generated = 0
        for path in sorted(glob.glob(os.path.join(REPO, "maps", "*.json"))):
            with open(path, encoding="ascii") as file:
                text = file.read()
            options = json.loads(text).get("mapgen")
            if options is not None:
                generated += 1
                with self.subTest(map=os.path.basename(path)):
                    made = mapgen(*shlex.split(options))
                    self.assertEqual(made.returncode, 0, made.stderr)
                    self.assertEqual(made.stdout, text, "mapgen no longer makes this map")
        self.assertGreaterEqual(generated, 12)

    def test_settings_that_cannot_be_met_fail_with_one_line_and_write_nothing(self):
        with tempfile.TemporaryDirectory(prefix="mapgen_test_") as folder:
            path = os.path.join(folder, "full.json")
            made = mapgen("--size", "40", "--craters", "200", "--spacing", "3", "-o", path)
            self.assertEqual(made.returncode, 1)
            self.assertRegex(made.stderr, r"^mapgen: could not place 200 craters and 10 boulders 3 m apart "
                                          r"on a 40 m map \(scatter\); .*\n$")
            self.assertFalse(os.path.exists(path))
            for bad in (["--size", "10"], ["--crater-radius", "3:1"], ["--rover", "speed=3"], ["--runs", "0"]):
                made = mapgen(*bad)
                self.assertEqual(made.returncode, 2, bad)
                self.assertIn("mapgen: error: argument", made.stderr)

    def test_every_map_in_maps_loads_and_is_listed_in_the_readme(self):
        with open(os.path.join(REPO, "maps", "README.md"), encoding="utf-8") as file:
            readme = file.read()
        rows = re.findall(r"^\| \d+ \| \[([\w-]+\.json)\]\(\1\) \| [^|?]+ \|.*\| (\d+) \| \d+/\d+ \|$", readme,
                          re.MULTILINE)
        listed = [name for name, _ in rows]
        files = sorted(os.path.basename(p) for p in glob.glob(os.path.join(REPO, "maps", "*")))
        self.assertEqual(sorted(listed), [f for f in files if f != "README.md"])
        means = [int(mean) for _, mean in rows]
        self.assertEqual(means, sorted(means), "the table is ordered by pilot's mean score")
        self.assertGreaterEqual(len(listed), 17)
        for name in listed:
            self.assert_loads(os.path.join(REPO, "maps", name))


if __name__ == "__main__":
    unittest.main()
