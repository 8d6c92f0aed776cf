"""A controller that tries one way out of its sandbox, prints what happened
as "ESCAPE <what> <result>" lines, then plays the game passively (an empty
reply to every T). Every attempt is bounded, so that a broken sandbox cannot
take the machine down with it.

    python3 hostile_bot.py MODE HOST PORT [ARGUMENT...]"""

import ctypes
import errno
import json
import os
import resource
import signal
import socket
import subprocess
import sys
import time

MAX_FORKS = 200
MEMORY_BYTES = 512 * 1024 * 1024
FILL_CHUNK = 4 * 1024 * 1024
FILL_CHUNKS = 40


def report(what, result):
    print(f"ESCAPE {what} {result}", flush=True)


def attempt(what, action):
    try:
        report(what, f"succeeded: {action()!r}"[:300])
    except OSError as error:
        report(what, f"failed: {errno.errorcode.get(error.errno, error.errno)}")
    except ValueError as error:  # setrlimit's way of saying EPERM
        report(what, f"failed: {error}")


def read(paths):
    for path in paths:
        attempt(f"read {path}", lambda p=path: open(p, "rb").read(200))
    attempt("list /", lambda: sorted(os.listdir("/")))


def write(token, paths):
    for path in paths:
        def create(p=path):
            with open(p, "w", encoding="utf-8") as stream:
                stream.write(token)
            return p
        attempt(f"write {path}", create)


def connect(port):
    for host in ("127.0.0.1", "::1"):
        attempt(f"connect {host}:{port}", lambda h=host: socket.create_connection((h, int(port)), timeout=2).close())


def linger(marker):
    """setsid and a double fork: a grandchild that would sleep on."""
    if os.fork() == 0:
        os.setsid()
        if os.fork() == 0:
            os.execv(sys.executable, [sys.executable, "-c", "import time; time.sleep(600)", marker])
        os._exit(0)
    os.wait()
    report("linger", "grandchild started")


def memory():
    block = bytearray(MEMORY_BYTES)  # MemoryError under the limit: uncaught, on purpose
    for index in range(0, len(block), 4096):
        block[index] = 1
    report("memory", f"touched {len(block)} bytes")


def forks():
    read_end, write_end = os.pipe()
    children = 0
    for _ in range(MAX_FORKS):
        try:
            pid = os.fork()
        except OSError as error:
            report("fork", f"stopped after {children} children: {errno.errorcode.get(error.errno)}")
            break
        if pid == 0:
            os.close(write_end)
            os.read(read_end, 1)  # returns at EOF, when the parent closes its end
            os._exit(0)
        children += 1
    else:
        report("fork", f"made all {children} children")
    os.close(write_end)


def fill():
    written = 0
    for index in range(FILL_CHUNKS):
        try:
            with open(os.path.join(os.environ.get("HOME", "/tmp"), f"fill{index}"), "wb") as stream:
                stream.write(b"x" * FILL_CHUNK)
            written += FILL_CHUNK
        except OSError as error:
            report("fill", f"stopped after {written} bytes: {errno.errorcode.get(error.errno)}")
            return
    report("fill", f"wrote all {written} bytes")


def signal_server():
    visible = [name for name in os.listdir("/proc") if name.isdigit()]
    report("processes", " ".join(sorted(visible, key=int)))
    attempt("kill -STOP -1", lambda: os.kill(-1, signal.SIGSTOP))
    for pid in range(1, 64):
        if str(pid) != str(os.getpid()):
            try:
                os.kill(pid, signal.SIGSTOP)
                report("stop", f"stopped pid {pid}")
            except OSError:
                pass


def privileges():
    with open("/proc/self/status", encoding="utf-8") as stream:
        for line in stream:
            if line.startswith(("Uid:", "Gid:", "Groups:", "Cap", "NoNewPrivs:")):
                report("status", " ".join(line.split()))
    report("open files", " ".join(map(str, resource.getrlimit(resource.RLIMIT_NOFILE))))
    attempt("raise open files", lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096)))
    attempt("setuid 0", lambda: os.setuid(0))
    libc = ctypes.CDLL(None, use_errno=True)
    for flag, name in ((0x10000000, "user"), (0x00020000, "mount"), (0x40000000, "network")):
        def unshare(f=flag):
            if libc.unshare(f) != 0:
                raise OSError(ctypes.get_errno(), "unshare")
            return "unshared"
        attempt(f"unshare {name}", unshare)
    done = subprocess.run(["unshare", "--user", "--map-root-user", "id", "-u"], capture_output=True, text=True,
                          timeout=10, check=False)
    report("unshare command", f"exit {done.returncode} {done.stdout.strip()}")


def forge(folders):
    forged = {"format": "rover-results", "version": 1, "runs": [{"number": 1, "score": 2}], "status": "completed",
              "total_score": 2}
    for folder in folders:
        for name in ("results.json", "game.json"):
            path = os.path.join(folder, name)
            def create(p=path):
                with open(p, "w", encoding="utf-8") as stream:
                    json.dump(forged, stream)
                return p
            attempt(f"forge {path}", create)


def play_passively(host, port):
    connection = socket.create_connection((host, int(port)))
    rest = b""
    while True:
        data = connection.recv(65536)
        if not data:
            return
        *messages, rest = (rest + data).split(b";")
        connection.sendall(b";" * sum(m.strip().startswith(b"T") for m in messages))


def main(mode, host, port, *extra):
    home = os.environ.get("HOME", "/nonexistent")
    if mode == "read":
        # The paths to try are in a file beside the bot: a path named in the
        # command would count among the controller's own files.
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "targets.txt"), encoding="utf-8") as f:
            read(f.read().split("\n"))
    elif mode == "write":
        write(extra[0], extra[1:] + (os.path.join(home, "mine"), "/tmp/mine"))
    elif mode == "connect":
        connect(extra[0])
    elif mode == "linger":
        linger(extra[0])
    elif mode == "memory":
        memory()
    elif mode == "fork":
        forks()
    elif mode == "fill":
        fill()
    elif mode == "signal":
        signal_server()
    elif mode == "privileges":
        privileges()
    elif mode == "forge":
        forge([os.getcwd(), home, "/tmp", os.path.dirname(os.path.abspath(__file__)), *extra])
    time.sleep(0.1)
    play_passively(host, port)


if __name__ == "__main__":
    main(*sys.argv[1:])
