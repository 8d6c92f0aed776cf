"""Writes a map as JSON laid out like the maps in maps/: one object per line,
numbers as short as they can be (12, 12.5, -3.25)."""


def _number(value):
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return repr(value)


def _inline(value):
    if isinstance(value, dict):
        return "{" + ", ".join(f'"{key}": {_inline(item)}' for key, item in value.items()) + "}"
    if isinstance(value, str):
        return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    return _number(value)


def _list(items, indent):
    if not items:
        return "[]"
    inner = ",\n".join(indent + "  " + _inline(item) for item in items)
    return "[\n" + inner + "\n" + indent + "]"


def map_text(generated, command):
    """The file's text. `command` (mapgen's options) goes into a member the server
    ignores, so a map says how to make it again."""
    lines = ["{", f'  "mapgen": {_inline(command)},']
    for key in ("size", "timeLimit", "vehicleParams", "martianParams"):
        lines.append(f'  "{key}": {_inline(generated[key])},')
    for key in ("craters", "boulders"):
        lines.append(f'  "{key}": {_list(generated[key], "  ")},')
    runs = []
    for run in generated["runs"]:
        vehicle = _inline(run["vehicle"])
        runs.append(f'    {{"vehicle": {vehicle},\n     "enemies": {_list(run["enemies"], "     ")}}}')
    lines.append('  "runs": [\n' + ",\n".join(runs) + "\n  ]")
    return "\n".join(lines) + "\n}\n"
