"""How a run can end and what it scores: the server's outcome table
(docs/protocol.md), the one the Python tools use. A lower score is better."""

# The outcome texts, each at its code.
OUTCOMES = ("killed by Martian", "crashed into crater", "time limit exceeded", "reached home")
KILLED, CRATER, TIME_LIMIT, HOME = range(len(OUTCOMES))
OUTCOME_CODES = {text: code for code, text in enumerate(OUTCOMES)}


def run_score(code, run_ms, time_limit_ms):
    """The score of a run that ended with this outcome code at run time run_ms."""
    if code == HOME:
        return run_ms
    if code == TIME_LIMIT:
        return time_limit_ms + 100
    return (600 if code == KILLED else 1000) + 2 * time_limit_ms - run_ms


def unplayed_run_score(time_limit_ms):
    """A run a game did not play scores like a crater at time 0: the worst a
    run can score, so that crashing early never pays."""
    return run_score(CRATER, 0, time_limit_ms)
