"""The server's command line for one game, as the tournament, play and
clientcheck start it."""

MODES = ("lockstep", "realtime")


def server_words(server, map_file, mode, reply_timeout_ms=0, seed=None, record=None, results=None,
                 timing=None, max_late=None, verbose=False, live_record=False):
    """The server's words. A real-time game is the server without --lockstep:
    the same schedule and bytes as anyone running it by hand."""
    if mode not in MODES:
        raise ValueError(f"unknown mode {mode!r}")
    words = [server]
    if mode == "lockstep":
        words += ["--lockstep", "--reply-timeout", str(reply_timeout_ms)]
        if max_late is not None:
            words += ["--max-late", str(max_late)]
    for option, value in (("--seed", seed), ("--record", record), ("--results", results), ("--timing", timing)):
        if value is not None:
            words += [option, str(value)]
    if verbose:
        words.append("--verbose")
    if live_record and record is not None and mode == "lockstep":
        words.append("--live-record")  # real time hands lines over at every T anyway
    return words + [map_file]


def game_limit_s(limit_s, mode, runs, time_limit_ms):
    """A game's wall-clock limit. A real-time game takes its runs' time and a
    second's pause before each, whatever the machine: never less than that
    plus 30 s of start-up and slack."""
    if mode != "realtime":
        return limit_s
    return max(limit_s, runs * (max(time_limit_ms, 0) / 1000 + 1) + 30)
