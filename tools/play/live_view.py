"""play --live: tools/live beside the game, serving its record to browsers
while it is played and afterwards until Ctrl-C."""

import os
import sys
import time

from common.live_process import LiveProcess
from common.stop_signals import Stopped

LIVE = os.path.join(os.path.dirname(os.path.dirname(os.path.realpath(__file__))), "live", "live")
# A record no longer growing without its footer (the game was killed) stops
# looking live after this long.
STALE_S = "10"
POLL_S = 0.5


def own_record(map_path):
    """A record file of the game's own, in the current folder, named after
    the map and the time, for a game played with --live but no --record."""
    stem = os.path.basename(map_path).rsplit(".", 1)[0]
    name = f"live-{stem}-{time.strftime('%Y%m%d-%H%M%S')}"
    path, number = f"{name}.jsonl.gz", 1
    while os.path.exists(path):
        number += 1
        path = f"{name}-{number}.jsonl.gz"
    print(f"play: --live without --record: recording the game to {path}", flush=True)
    return os.path.abspath(path)


class LiveView:
    """Starts tools/live on the game's record and prints the address of its
    live view, before the game starts."""

    def __init__(self, args, lockstep):
        if lockstep:
            print("play: warning: a lockstep game may end before a browser opens it; add --realtime to watch it "
                  "as it is played", file=sys.stderr, flush=True)
        self._live = LiveProcess("tools/live", [sys.executable, LIVE, "--port", str(args.live_port), "--stale", STALE_S,
                                  args.record], count=2)
        # Its second line: "view 1: URL (RECORD)".
        self.url = self._live.lines[1].split(" ")[2]
        print(f"play: watch the game live at {self.url}", flush=True)

    def serve_until_stopped(self):
        """Serves the finished game until a stop signal, which play's
        handler raises as Stopped; returns early if tools/live ends."""
        print(f"play: the game is over; still serving it at {self.url} until Ctrl-C", flush=True)
        try:
            while self._live.running():
                time.sleep(POLL_S)
        except Stopped:
            return
        print(f"play: tools/live ended with status {self._live.process.returncode}", file=sys.stderr, flush=True)

    def stop(self):
        self._live.stop()
