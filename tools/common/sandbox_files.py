"""What a sandboxed controller sees of the machine: an allow-list.

The view starts empty. The system's programs and libraries are there read-only
(/usr, /etc, the /bin, /lib* and /sbin links, /opt when present), and so are
the controller's own files, at the same paths: its program when the command
names it by an absolute path, and its folder. Nothing else of the machine."""

import os
import shutil
import stat
from dataclasses import dataclass

# What a sandboxed controller's PATH is, and what commands are checked with:
# an organiser's own PATH may find programs (shims under /root, say) that the
# sandbox does not show.
SYSTEM_PATH = "/usr/local/bin:/usr/bin:/bin"
SYSTEM_FOLDERS = ("/usr", "/etc")
OPTIONAL_FOLDERS = ("/opt",)
# Usually links into /usr; bound as they are found.
SYSTEM_LINKS = ("/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32")
# Private tmpfs folders; the scratch folder is the working folder and HOME.
TMP = "/tmp"
SCRATCH = "/scratch"


@dataclass
class ControllerFiles:
    program: str  # absolute path of the first word, found on SYSTEM_PATH if needed; None if not found
    folder: str  # the controller's folder as the command names it; None when the system view has it
    named: str  # the real path of the file the folder was taken from, to tell one program from two


def system_view_roots():
    """The folders every controller sees, as real paths."""
    roots = [os.path.realpath(folder) for folder in SYSTEM_FOLDERS + OPTIONAL_FOLDERS if os.path.isdir(folder)]
    return tuple(dict.fromkeys(roots))


def is_inside(path, folder):
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def in_system_view(path):
    real = os.path.realpath(path)
    return any(is_inside(real, root) for root in system_view_roots())


def find_program(word):
    """The program a command's first word names, as the sandbox finds it."""
    if os.path.isabs(word):
        return word
    if "/" in word:
        return None
    return shutil.which(word, path=SYSTEM_PATH)


def controller_files(words, folder=None):
    """The files a controller's command needs. The folder is `folder` when
    given, else that of the first later word naming an existing file by an
    absolute path (a folder counts as itself), else the program's."""
    program = find_program(words[0])
    named = program
    if folder is None:
        for word in words[1:]:
            if os.path.isabs(word) and os.path.exists(word):
                named = word
                folder = word if os.path.isdir(word) else os.path.dirname(word)
                break
        else:
            folder = os.path.dirname(program) if program else None
    if folder is not None:
        folder = os.path.normpath(folder)
        if in_system_view(folder):
            folder = None
    return ControllerFiles(program, folder, os.path.realpath(named) if named else None)


def folders_clash(first, second):
    """Two controllers may not share a folder or nest one in the other, since
    each sees its whole folder; unless both run the same file."""
    if first.folder is None or second.folder is None or first.named == second.named:
        return False
    one, other = os.path.realpath(first.folder), os.path.realpath(second.folder)
    return is_inside(one, other) or is_inside(other, one)


def _others_may(path, bits):
    try:
        mode = os.stat(path).st_mode
    except OSError as error:
        return f"cannot read {path}: {error.strerror}"
    if mode & bits != bits:
        return f"the sandbox's user cannot use {path} (mode {stat.S_IMODE(mode):04o})"
    return None


def unreadable(files, words):
    """Why the sandbox's unprivileged user could not run the controller, or
    None. It is neither owner nor in a group of any file, so only the bits
    for others count; the folders above are made 0755 in the sandbox."""
    if files.program is None:
        return f'program "{words[0]}" is not on {SYSTEM_PATH}'
    checks = []
    if not in_system_view(files.program):
        checks.append((files.program, stat.S_IROTH | stat.S_IXOTH))
    if files.folder is not None:
        checks.append((files.folder, stat.S_IROTH | stat.S_IXOTH))
    for word in words[1:]:
        if os.path.isabs(word) and os.path.isfile(word) and not in_system_view(word):
            checks.append((word, stat.S_IROTH))
    for path, bits in checks:
        problem = _others_may(path, bits)
        if problem:
            return problem
    return None


def _made_parents(path, made):
    """bwrap options that make the missing folders above `path` with 0755:
    bwrap would copy the modes of the real ones (/root's 0700, which the
    sandbox's user could not pass)."""
    options = []
    parts = os.path.dirname(path).strip("/").split("/")
    current = ""
    for part in parts:
        if not part:
            continue
        current += "/" + part
        if current in made:
            continue
        made.add(current)
        options += ["--perms", "0755", "--dir", current]
    return options


def _system_options():
    options = []
    for folder in SYSTEM_FOLDERS:
        options += ["--ro-bind", folder, folder]
    for folder in OPTIONAL_FOLDERS:
        if os.path.isdir(folder):
            options += ["--ro-bind", folder, folder]
    for link in SYSTEM_LINKS:
        if os.path.islink(link):
            options += ["--symlink", os.readlink(link), link]
        elif os.path.isdir(link):
            options += ["--ro-bind", link, link]
    return options


def view_options(files, hidden, limits):
    """bwrap options building the controller's view; `hidden` are folders
    (the tournament's) that must not show even when inside its folder."""
    options = _system_options()
    options += ["--proc", "/proc", "--dev", "/dev",
                "--perms", "1777", "--size", str(limits.tmp_mib * 1024 * 1024), "--tmpfs", TMP,
                "--perms", "0777", "--size", str(limits.scratch_mib * 1024 * 1024), "--tmpfs", SCRATCH]
    made = {"/tmp", "/usr", "/etc", "/proc", "/dev", SCRATCH}
    bound = []
    if files.folder is not None:
        bound.append(files.folder)
    if files.program and not in_system_view(files.program) and not any(
            is_inside(files.program, folder) for folder in bound):
        bound.append(files.program)
    for path in bound:
        options += _made_parents(path, made)
        options += ["--ro-bind", path, path]
    # A hidden folder shows at its place under each bound path it lies in.
    for folder in hidden:
        real = os.path.realpath(folder)
        for path in bound:
            source = os.path.realpath(path)
            if is_inside(real, source):
                options += ["--tmpfs", path + real[len(source):]]
    return options
