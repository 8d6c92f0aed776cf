"""How a game of play ended: its exit status and the words that say why,
with what to change where the reason is a known controller mistake."""

import re

from common.controller_ending import error_tail, printable

PLAYED, OTHER, STOPPED_REPLYING, NOT_STARTED = 0, 1, 2, 3

# (what the failure's message holds, what to change). The first that matches
# gives the hint.
HINTS = (
    (re.compile(r'^illegal command ".*[\n\r]', re.S),
     "a newline is not part of any command: end every command and every reply with ';' alone, never ';\\n'"),
    (re.compile(r"^illegal command"),
     "the commands are a, b, l, r, al, ar, bl and br, each followed by ';' with nothing in between "
     "(docs/protocol.md)"),
    (re.compile(r"^bogus command exceeds max length"),
     "a command has at most 4 characters before its ';': is a ';' missing, or a newline or space in the way?"),
    (re.compile(r"^excessive input"),
     "1000 or more commands arrived between two runs: send commands only in reply to telemetry"),
    (re.compile(r"^EOF$"),
     "the controller closed its connection before the game ended: keep reading until the server closes it"),
)
LATE = re.compile(r"\blate\b", re.I)
LOCKSTEP_HINT = ("in lockstep every T needs exactly one reply: its commands, then a bare ';' (e.g. \"a;;\" or "
                 "\";\"); a reply that never ends looks like no reply at all")


def hint(message):
    for pattern, words in HINTS:
        if pattern.search(message):
            return words
    return None


def verdict(ending, results, problem, limit_s, controller_err):
    """(exit status, lines to print). `results` is the checked results
    document or None; `problem` what was wrong with one that did not conform."""
    tail = error_tail(controller_err)
    said = [f"play: the controller's standard error ends: {tail}"] if tail else []
    if ending.start_error is not None:
        return NOT_STARTED, [f"play: the controller could not start: {ending.start_error}"]
    if ending.ending == "timed out":
        return STOPPED_REPLYING, [f"play: the game ran past its wall-clock limit of {limit_s:g} s (--time-limit) "
                                  "and was stopped"] + said
    if ending.ending == "controller exited" and results is None:
        return NOT_STARTED, [f"play: the controller exited with status {ending.controller_exit} before it "
                             "connected to the server"] + said
    if problem is not None:
        return OTHER, [f"play: the server's results file does not conform: {problem}"]
    if results is None:
        return OTHER, [f"play: the server exited with status {ending.server_exit} and wrote no results"] + said
    if results["status"] == "completed" and ending.server_exit == 0:
        runs = results["runs"]
        late = sum(run["late_replies"] for run in runs)
        lines = [f"play: all {len(runs)} runs played; total score {results['total_score']}"]
        if late:
            lines.append(f"play: {late} late replies (each counted as an empty one); {LOCKSTEP_HINT}")
        return PLAYED, lines
    message = results.get("message") or ""
    lines = [f"play: the game failed after {len(results['runs'])} runs: {results.get('line') or 'no line'}"
             + (f": {printable(message)}" if message else "")]
    if message == "EOF" and ending.controller_left and ending.controller_exit not in (0, None):
        # It crashed: its own last words say more than the server's EOF.
        return OTHER, lines + [f"play: the controller exited with status {ending.controller_exit} during the "
                               "game"] + said
    if results["mode"] == "lockstep" and LATE.search(message):
        return STOPPED_REPLYING, lines + [f"play: the controller stopped replying; {LOCKSTEP_HINT}"] + said
    words = hint(message)
    return OTHER, lines + ([f"play: what to change: {words}"] if words else []) + said
