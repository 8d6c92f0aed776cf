"""Words and figures shared by the leaderboard's terminal table and page."""

MODE_WORDS = {"lockstep": "lockstep", "realtime": "real-time"}


def mode_tables(document):
    """(mode, its table) for every table of the document, the file's own first."""
    tables = [(document["mode"], document)]
    if document["other_mode"]:
        tables.append((document["other_mode"]["mode"], document["other_mode"]))
    return tables


def plus_minus(mean, error):
    """"1234.5 ± 12.3", with "–" for an error of fewer than two games."""
    if mean is None:
        return "-"
    return f"{mean:.1f} ± {'–' if error is None else f'{error:.1f}'}"


def timing_text(summary):
    """"0.2 / 1 / 5.1": median, 99th percentile and maximum in ms, 3 digits."""
    if not summary:
        return "-"
    return " / ".join(f"{summary[name]:.3g}" for name in ("median", "p99", "max"))
