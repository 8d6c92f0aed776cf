"""Turning the runner's own stop signals into an exception, so that it can
end its games before it leaves."""

import signal

from common.stop_hold import held

STOP_SIGNALS = (signal.SIGTERM, signal.SIGHUP, signal.SIGINT)


class Stopped(Exception):
    """The runner itself was told to stop (a cancelled or preempted job, Ctrl-C)."""

    def __init__(self, signum):
        super().__init__(signal.Signals(signum).name)
        self.signum = signum

    def exit_status(self):
        """What a shell reports for a process ended by the signal."""
        return 128 + self.signum


def _raise(signum):
    raise Stopped(signum)


def _raise_stopped(signum, _frame):
    # Once: a second signal (parallel repeats its TERM) must not cut short
    # the clean-up the first one started.
    for other in STOP_SIGNALS:
        signal.signal(other, signal.SIG_IGN)
    if not held(signum, _raise):
        raise Stopped(signum)


def stop_on_signals():
    """From now on SIGTERM, SIGHUP and SIGINT raise Stopped in the main thread."""
    for signum in STOP_SIGNALS:
        signal.signal(signum, _raise_stopped)
