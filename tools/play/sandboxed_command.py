"""A player's controller command made ready for the sandbox, where the
controller starts in /scratch and sees only the system and its own folder."""

import os

from common.sandbox_files import SYSTEM_PATH, controller_files


class CommandProblem(Exception):
    """The command cannot run as asked, worded for the player."""


def sandbox_ready(words):
    """(words, files): words that name existing files relative to here made
    absolute, and the files the sandbox must show. The program must be an
    absolute or relative path, or a program on the system's PATH."""
    ready = [os.path.abspath(word) if not os.path.isabs(word) and os.path.exists(word) and
             (index or "/" in word) else word for index, word in enumerate(words)]
    files = controller_files(ready)
    if files.program is None:
        raise CommandProblem(f'"{words[0]}" is not a program on the sandbox\'s PATH ({SYSTEM_PATH}); give its path')
    if files.folder == "/":
        raise CommandProblem("the controller's folder would be the root folder: name its files by paths inside "
                             "a folder of their own")
    return ready, files
