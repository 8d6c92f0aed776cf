"""Holds a runner's stop (stop_signals.py) back while it starts a process,
so that starting the process and keeping its pid happen together: a stop
raised in between would leave a process that nobody kills. A stop that
comes meanwhile is raised when the hold ends. Light on imports: the
sandbox's helper loads it with game_guard."""

_state = {"held": 0, "pending": None, "raise": None}


class StopHold:
    def __enter__(self):
        _state["held"] += 1
        return self

    def __exit__(self, *_):
        _state["held"] -= 1
        pending = _state["pending"]
        if not _state["held"] and pending is not None:
            _state["pending"] = None
            _state["raise"](pending)


def held(signum, raise_stop):
    """Called by the stop handler: True when the stop waits for the hold's
    end (and is raised there by raise_stop(signum))."""
    if not _state["held"]:
        return False
    _state["pending"], _state["raise"] = signum, raise_stop
    return True
