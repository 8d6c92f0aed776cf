"""The page of `tournament watch`: the games running (each linking to its
live view), the time left, the leaderboard, finished games (each linking to
its replay) and those still to play. Every text is escaped: names and
reasons hold controller bytes. The page reloads itself every few seconds."""

from html import escape
from urllib.parse import quote

from leaderboard_html import mode_section
from leaderboard_text import MODE_WORDS, mode_tables

REFRESH_S = 3


def _duration(seconds):
    seconds = round(seconds)
    if seconds < 60:
        return f"{seconds} s"
    if seconds < 3600:
        return f"{seconds // 60} min {seconds % 60} s"
    return f"{seconds // 3600} h {seconds % 3600 // 60} min"


def _time_left(state):
    games_left = state.to_play + len(state.running)
    if not games_left:
        return "Every game has an outcome."
    if state.median_s is None:
        return f"{games_left} games left; the time left is known once a game has finished."
    at_once = max(len(state.running), 1)
    return (f"About {_duration(state.left_s)} left: median game {state.median_s:.1f} s &times; {games_left} games "
            f"left &divide; {at_once} at once.")


def _link(href, text):
    return f'<a href="{escape(href)}">{escape(text)}</a>'


def _row(game, cells, link):
    shown = "".join(f'<td class="text">{escape(str(value))}</td>' for value in cells)
    return f'<tr id="game-{escape(game["game"])}" class="{escape(game["status"].replace(" ", "-"))}">{shown}' \
           f'<td class="text">{link}</td></tr>'


def _table(heading, names, rows):
    if not rows:
        return ""
    head = "".join(f'<th class="text">{escape(name)}</th>' for name in names)
    return f"<h2>{escape(heading)}</h2>\n<table><thead><tr>{head}</tr></thead><tbody>{''.join(rows)}</tbody></table>\n"


def render_page(state):
    games = state.document["game_scores"]
    running = set(state.running)
    live = [_row(g, (g["game"], g["controller"], g["map"], MODE_WORDS[g["mode"]]),
                 _link("/viewer/?live=" + quote("/live/" + g["game"], safe="/"), "watch live"))
            for g in games if g["game"] in running]
    done = [_row(g, (g["game"], g["controller"], g["map"], g["status"], g["reason"] or "", g["score"]),
                 _link("/viewer/?record=" + quote("/records/" + g["game"], safe="/"), "replay")
                 if g["record"] else "no record")
            for g in games if g["status"] != "pending"]
    waiting = [_row(g, (g["game"], g["controller"], g["map"], MODE_WORDS[g["mode"]]), "")
               for g in games if g["status"] == "pending" and g["game"] not in running]
    sections = "".join(mode_section(mode, table) for mode, table in mode_tables(state.document))
    return f"""<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><meta http-equiv="refresh" content="{REFRESH_S}">
<title>Tournament: {len(running)} running, {state.finished} of {len(games)} finished</title><link rel="stylesheet" href="/watch.css"></head>
<body>
<h1>Tournament</h1>
<p id="progress">{len(running)} running, {state.finished} finished, {state.to_play} to play, of {len(games)} games.</p>
<p id="time-left">{_time_left(state)}</p>
{_table("Running", ("game", "controller", "map", "mode", "live view"), live)}
{sections}
{_table("Finished", ("game", "controller", "map", "status", "reason", "score", "record"), done)}
{_table("To play", ("game", "controller", "map", "mode", ""), waiting)}
<p>This page reloads every {REFRESH_S} s. A lower score wins; the standings rank only the games every controller
has finished.</p>
</body>
</html>
"""
