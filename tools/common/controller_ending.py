"""Why a controller ended, in words for a game's reason: the limit it hit
where that can be told, else its exit status and the last lines of its
standard error."""

import signal

ERROR_TAIL_BYTES = 4096
ERROR_TAIL_LINES = 3
ERROR_TAIL_CHARS = 300


def printable(text):
    """One line: control characters and backslashes escaped."""
    shown = []
    for char in text:
        if char == "\\":
            shown.append("\\\\")
        elif char.isprintable():
            shown.append(char)
        else:
            shown.append(repr(char)[1:-1])  # \n, \x1b, \u2028
    return "".join(shown)


def error_tail(path):
    """The last few non-empty lines of a standard error file, as one line."""
    try:
        with open(path, "rb") as stream:
            stream.seek(0, 2)
            size = stream.tell()
            stream.seek(max(0, size - ERROR_TAIL_BYTES))
            data = stream.read()
    except OSError:
        return ""
    lines = [line.strip() for line in data.decode("utf-8", "replace").splitlines() if line.strip()]
    tail = " | ".join(printable(line) for line in lines[-ERROR_TAIL_LINES:])
    return tail if len(tail) <= ERROR_TAIL_CHARS else "..." + tail[-ERROR_TAIL_CHARS:]


def ending_signal(code, sandboxed):
    """The signal that ended a controller, or None. In the sandbox the
    controller's bwrap reports a signal as 128 + its number, as a shell
    does; unsandboxed, the runner sees the signal itself."""
    if code is None:
        return None
    number = code - 128 if sandboxed and code > 128 else -code if code < 0 else None
    try:
        return signal.Signals(number) if number else None
    except ValueError:
        return None


def controller_reason(code, sandboxed, limits, game_time_limit_s, error_path, when=None):
    """E.g. "controller was stopped by SIGXCPU: the CPU time limit of 2 s",
    "controller exited 1 while ...; its standard error ends: MemoryError"."""
    stopped_by = ending_signal(code, sandboxed)
    if stopped_by == signal.SIGXCPU and limits is not None:
        what = f"was stopped by SIGXCPU: the CPU time limit of {limits.cpu_seconds(game_time_limit_s)} s"
    elif stopped_by == signal.SIGXFSZ and limits is not None:
        what = f"was stopped by SIGXFSZ: the file size limit of {limits.file_size_mib} MiB"
    elif stopped_by is not None:
        what = f"was killed by {stopped_by.name}"
    else:
        what = f"exited {code}"
    reason = f"controller {what}" + (f" {when}" if when else "")
    tail = error_tail(error_path)
    return reason + (f"; its standard error ends: {tail}" if tail else "")
