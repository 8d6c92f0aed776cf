"""The Python outcome table (tools/common/outcomes.py) and the runner's
results check against the fixture games of tests/fixtures: every run the
server scored and every run replay rebuilt has the outcome text of its code
and the score of its outcome, every document passes the check the
tournament applies before trusting one, and the leaderboard's score for
runs a game did not play is the worst a run can score."""

import hashlib
import json
import os
import sys
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FIXTURES = os.path.join(SOURCE, "tests", "fixtures")
sys.path.insert(0, os.path.join(SOURCE, "tools"))

from common.outcomes import OUTCOMES, run_score, unplayed_run_score  # noqa: E402
from common.results_check import ExpectedGame, check_results, parse_results  # noqa: E402


def fixture(name, mode="rb"):
    with open(os.path.join(FIXTURES, name), mode) as stream:
        return stream.read()


class OutcomeTableTest(unittest.TestCase):
    def test_fixture_runs_follow_the_table_and_pass_the_runners_check(self):
        expected = json.loads(fixture("expected.json"))
        seen = set()
        for game, facts in sorted(expected.items()):
            game_map = json.loads(fixture(facts["map"]))
            limit = game_map["timeLimit"]
            self.assertEqual(limit, facts["time_limit_ms"])
            documents = [facts["replay_results"]] + ([facts["results"]] if facts["results"] else [])
            for name in documents:
                with self.subTest(game=game, document=name):
                    document = parse_results(fixture(name))
                    for run in document["runs"]:
                        self.assertEqual(run["outcome"], OUTCOMES[run["code"]])
                        self.assertEqual(run["score"], run_score(run["code"], run["run_ms"], limit))
                        seen.add(run["code"])
                    self.assertEqual(document["total_score"], sum(run["score"] for run in document["runs"]))
                    runs = check_results(document, ExpectedGame(
                        map_sha256=hashlib.sha256(fixture(facts["map"])).hexdigest(), mode=facts["mode"],
                        seed=int(facts["seed"]), reply_timeout_ms=0 if facts["mode"] == "lockstep" else None,
                        runs=len(game_map["runs"]), time_limit_ms=limit))
                    self.assertEqual(len(runs), len(facts["server"]["result_lines"]))
                    # The server's own Round lines say the same.
                    self.assertEqual([f"Round {r['number']}: {r['outcome']}; score = {r['score']}" for r in runs],
                                     facts["server"]["result_lines"])
        self.assertEqual(seen, set(range(len(OUTCOMES))), "the fixtures hold every outcome")

    def test_an_unplayed_run_scores_worse_than_any_played_one(self):
        for limit in (0, 1, 1000, 10**30):
            worst = max(run_score(code, run_ms, limit) for code in range(len(OUTCOMES))
                        for run_ms in range(0, limit + 1, max(limit // 7, 1)))
            self.assertEqual(unplayed_run_score(limit), worst)


if __name__ == "__main__":
    unittest.main()
