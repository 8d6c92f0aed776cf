"""mapcheck --json says what mapcheck's text summary says, on every map in
maps/ and the fixture maps, for every run (the text lists only the first
20); it keeps a time limit of any size, zero or negative, exact; and a map
file named --json stays readable.

    mapcheck_json_test.py MAPCHECK"""

import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAPCHECK = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(SOURCE, "build", "release", "mapcheck"))
TEXT_RUN = re.compile(r"    run (\d+): rover at \((\S+), (\S+)\) heading (\S+), Martians: (\d+)$")


def mapcheck(*args, folder=None):
    done = subprocess.run([MAPCHECK, *args], capture_output=True, text=True, timeout=60, cwd=folder, check=False)
    return done.returncode, done.stdout, done.stderr


def text_facts(text):
    """The text summary's facts, as the JSON would hold them (reals as the text shows them)."""
    lines = text.splitlines()
    facts = {"size": float(lines[1].split()[1]), "time_limit_ms": int(lines[2].split()[2]),
             "craters": int(lines[3].split()[1]), "boulders": int(lines[4].split()[1]), "runs": int(lines[5].split()[1])}
    facts["listed"] = [TEXT_RUN.match(line).groups() for line in lines[6:] if TEXT_RUN.match(line)]
    more = re.search(r"\.\.\. and (\d+) more runs", text)
    facts["more"] = int(more.group(1)) if more else 0
    return facts


def json_facts(document):
    """The same facts from the JSON, reals formatted as the text formats them (C++'s default, like %g)."""
    runs = document["runs"]
    return {"size": document["size"], "time_limit_ms": document["time_limit_ms"], "craters": document["craters"],
            "boulders": document["boulders"], "runs": len(runs),
            "listed": [(str(i + 1), "%g" % r["x"], "%g" % r["y"], "%g" % r["heading"], str(r["martians"]))
                       for i, r in enumerate(runs[:20])],
            "more": max(len(runs) - 20, 0)}


class MapcheckJsonTest(unittest.TestCase):
    def test_json_and_text_agree_on_every_map(self):
        maps = sorted(glob.glob(os.path.join(SOURCE, "maps", "*.json")) +
                      glob.glob(os.path.join(SOURCE, "tests", "fixtures", "*_map.json")))
        self.assertGreater(len(maps), 5)
        for path in maps:
            with self.subTest(map=os.path.basename(path)):
                status, text, _ = mapcheck(path)
                self.assertEqual(status, 0)
                status, out, err = mapcheck("--json", path)
                self.assertEqual((status, err), (0, ""))
                document = json.loads(out)
                self.assertEqual(document["file"], path)
                self.assertEqual(json_facts(document), text_facts(text))

    def test_time_limits_of_any_size_and_a_file_named_json(self):
        body = ('{"size": 50, "timeLimit": %s, "craters": [], "boulders": [], "runs": '
                '[{"vehicle": {"x": 1, "y": 2, "dir": 3}, "enemies": []}], %s}')
        params = '"maxSpeed": 1, "accel": 1, "brake": 1, "turn": 1, "hardTurn": 1, "rotAccel": 1, ' \
                 '"frontView": 1, "rearView": 1'
        both = '"vehicleParams": {%s}, "martianParams": {%s}' % (params, params)
        with tempfile.TemporaryDirectory() as folder:
            for limit in ("0", "-250", "123456789012345678901234567890", "-123456789012345678901234567890"):
                with self.subTest(limit=limit):
                    with open(os.path.join(folder, "--json"), "w", encoding="utf-8") as stream:
                        stream.write(body % (limit, both))
                    status, out, _ = mapcheck("--json", "./--json", folder=folder)
                    self.assertEqual(status, 0)
                    self.assertEqual(json.loads(out)["time_limit_ms"], int(limit))
                    self.assertIn(f'"time_limit_ms": {limit},', out)
                    # Alone, --json names the file, as it always did.
                    status, text, _ = mapcheck("--json", folder=folder)
                    self.assertEqual((status, text.splitlines()[0]), (0, "--json: map is good"))
                    self.assertEqual(text_facts(text)["time_limit_ms"], int(limit))
            status, _, err = mapcheck("--json", os.path.join(folder, "missing.json"))
            self.assertEqual(status, 1)
            self.assertEqual(len(err.splitlines()), 1)


if __name__ == "__main__":
    unittest.main()
