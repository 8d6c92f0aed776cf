"""tournament watch DIR: a page for a big screen that follows a tournament
while it is played, served over HTTP with tools/live's server. It reads
only DIR, writes nothing, and serves its own viewer (not DIR/viewer/).

    /                  the tournament page (watch_page.py), freshly read
    /watch.css         its style
    /live/GAME         a running game's record as an event stream
    /records/GAME      a game's record file as it is now
    /viewer/...        the viewer

GAME is a game id of DIR/games.tsv, never a path; a game folder that is a
symbolic link, or resolves anywhere but DIR/games/GAME, is 404."""

import os
import signal
import sys
import threading
import urllib.parse

from common.locate import NotFound, find_folder
from leaderboard_html import STYLE
from tournament_dir import TournamentDirError, load_games
from watch_page import render_page
from watch_state import RECORD_FILE, read_state

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.realpath(__file__))), "live"))
import live_server  # noqa: E402
from record_follower import RecordFollower  # noqa: E402

MAX_SIZE = 1 << 30
MAX_LINE = 64 << 20
STALE_S = 30


class GameRecords:
    """The records by game id, each followed from its first request on: one
    follower per record, however many spectators."""

    def __init__(self, folder, games, stop):
        self._games = os.path.join(os.path.realpath(folder), "games")
        self._ids = set(games)
        self._stop = stop
        self._followers = {}
        self._lock = threading.Lock()

    def get(self, game):
        if game not in self._ids:
            return None
        here = os.path.join(self._games, game)
        if os.path.realpath(here) != here:
            return None
        path = os.path.join(here, RECORD_FILE)
        with self._lock:
            if game not in self._followers:
                follower = RecordFollower(path, MAX_SIZE, MAX_LINE, STALE_S)
                threading.Thread(target=follower.run, args=(self._stop,), daemon=True).start()
                self._followers[game] = follower
            return path, self._followers[game]


def _handler(folder):
    class WatchHandler(live_server.LiveHandler):
        def do_GET(self, head=False):
            path = urllib.parse.urlsplit(self.path).path
            if path == "/watch.css" and (self.allowed_hosts is None
                                         or self.headers.get("Host", "").lower() in self.allowed_hosts):
                return self.send_bytes(STYLE.encode(), "text/css; charset=utf-8", head)
            return super().do_GET(head)

        def index_page(self):
            return render_page(read_state(folder)).encode()

    return WatchHandler


def watch(folder, bind, port):
    """Serves until SIGINT or SIGTERM; 0 then, 1 when it cannot start."""
    try:
        games = [game.game for game in load_games(folder)]
        read_state(folder)
        viewer = os.path.realpath(find_folder("viewer"))
    except (TournamentDirError, NotFound) as error:
        print(f"tournament: {error}", file=sys.stderr)
        return 1
    stop = threading.Event()
    try:
        server = live_server.make_server(bind, port, viewer, GameRecords(folder, games, stop), _handler(folder))
    except OSError as error:
        print(f"tournament: cannot listen on {bind} port {port}: {error.strerror}", file=sys.stderr)
        return 1
    host, port = server.server_address[:2]
    print(f"http://{host}:{port}/", flush=True)

    def finish(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, finish)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    stop.set()
    server.server_close()
    return 0
