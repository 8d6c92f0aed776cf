#!/usr/bin/env python3
"""tools/common/locate.py's one rule, with copies of the module laid out as
the source tree and as an installed package (reached through a link, as
bin/rover-P reaches its script), against a PATH of both kinds of names."""

import importlib.util
import os
import shutil
import sys
import tempfile
import unittest

LOCATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "common", "locate.py")


def touch(path, executable=True):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as stream:
        stream.write("#!/bin/sh\n")
    os.chmod(path, 0o755 if executable else 0o644)
    return path


def load(path, name):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class LocateTest(unittest.TestCase):
    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="rover-locate-")
        self.addCleanup(shutil.rmtree, self.top)
        old_path = os.environ["PATH"]
        self.addCleanup(os.environ.__setitem__, "PATH", old_path)

        def tree(root, name):
            os.makedirs(os.path.join(root, "tools", "common"))
            shutil.copy(LOCATE, os.path.join(root, "tools", "common"))
            os.makedirs(os.path.join(root, "viewer"))
            return name

        self.source = os.path.join(self.top, "checkout")
        tree(self.source, "source")
        self.prefix = os.path.join(self.top, "unpacked", "usr")
        tree(os.path.join(self.prefix, "share", "rover-server"), "installed")
        # A folder merely named like the project is a source tree.
        self.lookalike = os.path.join(self.top, "rover-server")
        tree(self.lookalike, "lookalike")
        os.symlink(os.path.join(self.prefix, "share", "rover-server", "tools"), os.path.join(self.top, "link"))

        touch(os.path.join(self.source, "build", "release", "server"))
        touch(os.path.join(self.prefix, "bin", "rover-server"))
        self.path = os.path.join(self.top, "path")
        for name in ("server", "replay", "rover-replay", "rover-mapcheck"):
            touch(os.path.join(self.path, name))
        touch(os.path.join(self.path, "live"), executable=False)
        os.environ["PATH"] = self.path

    def modules(self):
        return {
            "source": load(os.path.join(self.source, "tools", "common", "locate.py"), "locate_source"),
            "installed": load(os.path.join(self.top, "link", "common", "locate.py"), "locate_installed"),
            "lookalike": load(os.path.join(self.lookalike, "tools", "common", "locate.py"), "locate_lookalike"),
        }

    def test_the_rule_in_both_layouts(self):
        modules = self.modules()
        beside = {
            "source": os.path.join(self.source, "build", "release", "server"),
            "installed": os.path.join(self.prefix, "bin", "rover-server"),
            "lookalike": os.path.join(self.path, "server"),  # nothing beside it: PATH
        }
        for layout, locate in modules.items():
            with self.subTest(layout=layout):
                self.assertEqual(locate.installed(), layout == "installed")
                self.assertEqual(locate.find_program("server"), beside[layout])
                # PATH: the build-tree name first, then the installed one;
                # a file that is not executable is not a program.
                self.assertEqual(locate.find_program("replay"), os.path.join(self.path, "replay"))
                self.assertEqual(locate.find_program("mapcheck"), os.path.join(self.path, "rover-mapcheck"))
                with self.assertRaisesRegex(locate.NotFound, "neither live nor rover-live is on PATH"):
                    locate.find_program("live")
                # An explicit path or folder wins over everything, and is
                # not second-guessed when it is wrong.
                explicit = touch(os.path.join(self.top, "mine", "my-server"))
                self.assertEqual(locate.find_program("server", path=explicit), explicit)
                with self.assertRaisesRegex(locate.NotFound, "not an executable"):
                    locate.find_program("server", path=os.path.join(self.top, "mine", "none"))
                self.assertEqual(locate.find_program("server", folder=self.path), os.path.join(self.path, "server"))
                self.assertEqual(locate.find_program("server", folder=os.path.join(self.prefix, "bin")),
                                 os.path.join(self.prefix, "bin", "rover-server"))
                with self.assertRaisesRegex(locate.NotFound, "holds neither replay nor rover-replay"):
                    locate.find_program("replay", folder=os.path.join(self.prefix, "bin"))
                self.assertEqual(os.path.realpath(locate.find_folder("viewer")),
                                 os.path.realpath(os.path.join(os.path.dirname(beside["installed"]), "..", "share",
                                                               "rover-server", "viewer"))
                                 if layout == "installed" else
                                 os.path.join(self.source if layout == "source" else self.lookalike, "viewer"))
                with self.assertRaises(locate.NotFound):
                    locate.find_folder("maps")
                self.assertEqual(locate.program_name("replay"),
                                 "rover-replay" if layout == "installed" else "replay")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
