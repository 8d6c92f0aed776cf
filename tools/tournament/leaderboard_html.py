"""leaderboard.html: the standings and every game as sortable tables.

One self-contained page with relative links only, so DIR can be served as
it is (python3 -m http.server) or copied anywhere."""

from html import escape
from urllib.parse import quote

from leaderboard_text import MODE_WORDS, mode_tables, plus_minus, timing_text
from leaderboard_tally import TIMING_NAME

# Clicking a column heading sorts its table by that column, numbers as
# numbers (cells carry data-sort), a second click reverses the order.
SORT_SCRIPT = """
document.querySelectorAll("table.sortable th").forEach((heading, column) => {
  heading.addEventListener("click", () => {
    const body = heading.closest("table").tBodies[0];
    const down = heading.dataset.order !== "up";
    heading.dataset.order = down ? "up" : "down";
    const key = row => {
      const cell = row.cells[column];
      const value = cell.dataset.sort ?? cell.textContent;
      return value !== "" && !isNaN(value) ? Number(value) : value;
    };
    const rows = Array.from(body.rows).sort((a, b) => {
      const x = key(a), y = key(b);
      const order = typeof x === typeof y ? (x < y ? -1 : x > y ? 1 : 0) : (typeof x === "number" ? -1 : 1);
      return down ? order : -order;
    });
    rows.forEach(row => body.appendChild(row));
  });
});
"""

STYLE = """
body { font-family: sans-serif; margin: 2em; }
table { border-collapse: collapse; margin-bottom: 2em; }
th, td { padding: 0.25em 0.75em; border-bottom: 1px solid #ccc; text-align: right; }
th { cursor: pointer; background: #eee; }
td.text, th.text { text-align: left; }
td.links { white-space: nowrap; }
tr.timed-out td, tr.failed td { color: #a00; }
"""


def _cell(value, text=None, css=""):
    sort = "" if value is None else f' data-sort="{escape(str(value))}"'
    shown = escape(text if text is not None else ("-" if value is None else str(value)))
    return f'<td{sort}{f" class={css}" if css else ""}>{shown}</td>'


def _percent(rate):
    return None if rate is None else f"{100 * rate:.1f}%"


def _mean(mean):
    return None if mean is None else f"{mean:.1f}"


def _tally_cells(tally, mode):
    timing = tally[TIMING_NAME[mode]]
    return "".join([
        _cell(tally["games"]), _cell(tally["completed"]), _cell(tally["timed_out"]), _cell(tally["failed"]),
        _cell(tally["pending"]), _cell(tally["waiting"]), _cell(tally["runs"]),
        _cell(tally["home_rate"], _percent(tally["home_rate"])), _cell(tally["total_score"]),
        _cell(tally["mean_score"], _mean(tally["mean_score"])),
        _cell(tally["mean_game_score"], plus_minus(tally["mean_game_score"], tally["standard_error"])),
        _cell(timing["median"] if timing else None, timing_text(timing)),
    ])


def _tally_headings(mode):
    return ("games", "completed", "timed out", "failed", "pending", "waiting", "runs", "home rate", "total score",
            "mean score per run", "mean game score ± s.e.",
            "reply ms: median / p99 / max" if mode == "lockstep" else "telemetry late ms: median / p99 / max")


# Columns of words, aligned left like their cells; the rest are numbers.
TEXT_COLUMNS = {"controller", "map", "game", "mode", "status", "reason", "record"}


def _headings(names):
    return "<tr>" + "".join(f'<th{" class=text" if n in TEXT_COLUMNS else ""}>{escape(n)}</th>'
                            for n in names) + "</tr>"


def _game_link(game, viewer):
    if game["record"] is None:
        return "no record"
    # The viewer page lives in DIR/viewer/, so the record is one level up.
    target = f"viewer/index.html?record={quote('../' + game['record'])}" if viewer else quote(game["record"])
    return f'<a href="{escape(target)}">{"watch" if viewer else "record"}</a>'


def mode_section(mode, table):
    standings = "".join(
        f"<tr>{_cell(s['rank'])}{_cell(s['controller'], css='text')}{_tally_cells(s, mode)}</tr>"
        for s in table["standings"])
    per_map = "".join(
        f"<tr>{_cell(s['controller'], css='text')}{_cell(name, css='text')}{_tally_cells(tally, mode)}</tr>"
        for s in table["standings"] for name, tally in s["maps"].items())
    partial = (f"<p>Ranked on the {table['ranked_slots']} of {table['slots']} map, seed and repeat combinations "
               "that every controller has finished; the other finished games are waiting.</p>"
               if table["ranked_slots"] < table["slots"] else "")
    words = MODE_WORDS[mode]
    return f"""<h2>Standings: {words} games</h2>
{partial}
<table class="sortable">
<thead>{_headings(("rank", "controller") + _tally_headings(mode))}</thead>
<tbody>{standings}</tbody>
</table>
<h2>Per map: {words} games</h2>
<table class="sortable">
<thead>{_headings(("controller", "map") + _tally_headings(mode))}</thead>
<tbody>{per_map}</tbody>
</table>
"""


def render_html(document, viewer):
    sections = "".join(mode_section(mode, table) for mode, table in mode_tables(document))
    games = "".join(
        f'<tr class="{escape(g["status"].replace(" ", "-"))}">'
        f"{_cell(g['game'], css='text')}{_cell(g['controller'], css='text')}{_cell(g['map'], css='text')}"
        f"{_cell(MODE_WORDS[g['mode']], css='text')}{_cell(g['seed'])}{_cell(g['repeat'])}"
        f"{_cell(g['status'], css='text')}{_cell(g['reason'], css='text')}"
        f"{_cell(g['runs_played'])}{_cell(g['home_runs'])}{_cell(g['score'])}"
        f'<td class="text links">{_game_link(g, viewer)} <a href="games/{quote(g["game"])}/">files</a></td></tr>'
        for g in document["game_scores"])
    pending = (f"<p><strong>{document['pending']} of {document['games']} games have no outcome yet: "
               "these standings are not final.</strong></p>" if document["pending"] else "")
    return f"""<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Tournament leaderboard</title><style>{STYLE}</style></head>
<body>
<h1>Tournament leaderboard</h1>
<p>A lower score wins. A run that a failed or timed-out game did not play scores 1000 + 2 &times; the map's
time limit, like a crater at time 0. Lockstep and real-time games are ranked in tables of their own. The mean
game score is over seeds and repeats, &plusmn; its standard error (&ndash; with fewer than two games); the
overall one sums the maps' means. Reply times (lockstep) and telemetry lateness (real time) are merged over a
controller's games; each figure is the upper bound of its bucket. Click a heading to sort.</p>
{pending}
{sections}
<h2>Games</h2>
<table class="sortable">
<thead>{_headings(("game", "controller", "map", "mode", "seed", "repeat", "status", "reason", "runs played",
                   "runs home", "score", "record"))}</thead>
<tbody>{games}</tbody>
</table>
<script>{SORT_SCRIPT}</script>
</body>
</html>
"""
