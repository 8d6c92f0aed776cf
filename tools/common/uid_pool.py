"""A real, unprivileged uid (and gid of the same number) for each sandboxed
game running at once on this machine.

The pool's ids belong to no account. A game claims one by locking its file in
a folder on the machine itself (not on a shared filesystem), so that games of
several tournaments, and several Slurm tasks on one node, never share an id;
the lock goes with the runner's process, also when it is killed."""

import errno
import fcntl
import grp
import os
import pwd

POOL_FIRST = 60000
POOL_SIZE = 1000
LOCK_FOLDER = "/run/rover-sandbox"


class UidPoolError(Exception):
    """No uid could be claimed, worded for the user."""


def _has_account(uid):
    for lookup in (pwd.getpwuid, grp.getgrgid):
        try:
            lookup(uid)
            return True
        except KeyError:
            pass
    return False


def _uids_in_use():
    """The uids of every process on the machine: an id that still runs
    something (a leftover of some other program) is not handed out."""
    used = set()
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        # The real uid from status: the owner of /proc/PID is root for a
        # process that is not dumpable.
        try:
            with open(f"/proc/{name}/status", "rb") as stream:
                for line in stream:
                    if line.startswith(b"Uid:"):
                        used.add(int(line.split()[1]))
                        break
        except OSError:
            pass
    return used


class ClaimedUid:
    """A claimed uid; release() (or the end of the process) frees it."""

    def __init__(self, uid, lock_fd):
        self.uid = uid
        self._lock_fd = lock_fd

    def release(self):
        if self._lock_fd is not None:
            os.close(self._lock_fd)
            self._lock_fd = None

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.release()


def claim_uid(lock_folder=LOCK_FOLDER):
    """Claims the first free uid of the pool; raises UidPoolError."""
    try:
        os.makedirs(lock_folder, mode=0o700, exist_ok=True)
    except OSError as error:
        raise UidPoolError(f"cannot make {lock_folder} for the uid locks: {error.strerror}") from None
    in_use = None
    for uid in range(POOL_FIRST, POOL_FIRST + POOL_SIZE):
        path = os.path.join(lock_folder, f"uid-{uid}.lock")
        try:
            fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC | os.O_NOFOLLOW, 0o600)
        except OSError as error:
            raise UidPoolError(f"cannot open {path}: {error.strerror}") from None
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError as error:
            os.close(fd)
            if error.errno in (errno.EWOULDBLOCK, errno.EAGAIN):
                continue
            raise UidPoolError(f"cannot lock {path}: {error.strerror}") from None
        if in_use is None:
            in_use = _uids_in_use()
        if uid in in_use or _has_account(uid):
            os.close(fd)
            continue
        return ClaimedUid(uid, fd)
    raise UidPoolError(f"every uid from {POOL_FIRST} to {POOL_FIRST + POOL_SIZE - 1} is in use")
