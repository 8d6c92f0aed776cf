"""Finds the project's programs and folders by one rule, the same in the
source tree, in an installed package and in a package unpacked anywhere with
dpkg-deb -x:

1. an explicit option: a program's path, or a folder that holds it;
2. relative to this file: the tree it lies in is either the source tree
   (programs in build/release, folders at its root) or an installed
   share/rover-server/ (programs in ../../bin under their installed names,
   folders beside tools/);
3. PATH, by the build-tree name and then by the installed one.

Installed programs carry the prefix "rover-": server is rover-server.
"""

import os
import shutil

INSTALLED_PREFIX = "rover-"
SOURCE_BUILD = os.path.join("build", "release")


class NotFound(Exception):
    pass


def _tree():
    """(root, bin folder or None): where this file's tree starts and, for an
    installed one, where its programs are."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
    share, project = os.path.split(root)
    if project == "rover-server" and os.path.basename(share) == "share":
        return root, os.path.join(os.path.dirname(share), "bin")
    return root, None


def installed():
    return _tree()[1] is not None


def installed_name(name):
    return INSTALLED_PREFIX + name


def _executable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_program(name, path=None, folder=None):
    """The path of program `name` (its build-tree name, e.g. "server")."""
    if path is not None:
        if _executable(path):
            return path
        raise NotFound(f"{path} is not an executable program")
    if folder is not None:
        for candidate in (name, installed_name(name)):
            if _executable(os.path.join(folder, candidate)):
                return os.path.join(folder, candidate)
        raise NotFound(f"{folder} holds neither {name} nor {installed_name(name)}")
    root, bin_folder = _tree()
    beside = (os.path.join(bin_folder, installed_name(name)) if bin_folder
              else os.path.join(root, SOURCE_BUILD, name))
    if _executable(beside):
        return beside
    for candidate in (name, installed_name(name)):
        found = shutil.which(candidate)
        if found:
            return found
    raise NotFound(f"cannot find {name}: not at {beside} and neither {name} nor {installed_name(name)} is on PATH")


def find_folder(name, path=None):
    """A folder of the project's data ("viewer", "maps") for this tree."""
    found = path if path is not None else os.path.join(_tree()[0], name)
    if not os.path.isdir(found):
        raise NotFound(f"cannot find the folder {name}: {found} is not a folder")
    return found


def program_name(name):
    """The name program `name` has where this tree runs, for messages."""
    return installed_name(name) if installed() else name
