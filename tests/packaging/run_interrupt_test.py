#!/usr/bin/env python3
"""./run.sh --demo on a terminal (a pseudo-terminal here), stopped with Ctrl-C
typed on it: every program it started ends, the window's settings and the
drives' history are stored, and run.sh ends with status 0.

usage: run_interrupt_test.py SOURCE_DIR"""
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time


def read_until(fd, text, seconds, seen):
    deadline = time.time() + seconds
    while text not in seen[0]:
        left = deadline - time.time()
        if left <= 0:
            return False
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                return False
            if not chunk:
                return False
            seen[0] += chunk.decode(errors="replace")
    return True


def still_running(root):
    """The programs of the product whose environment names this run's state root."""
    programs = {"lumex", "sentrak", "lumetra-kernel", "Xvfb", "openbox"}
    marker = ("LUMETRA_ROOT=" + root).encode() + b"\0"
    names = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if marker not in f.read():
                    continue
            name = open("/proc/%s/comm" % pid).read().strip()
            if name in programs:
                names.append("%s (%s)" % (name, pid))
        except OSError:
            pass
    return names


def main():
    source = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="lumetra-run-tty-") as work:
        env = dict(os.environ, LUMETRA_ROOT=work + "/state", LUMETRA_SMART_PORT=str(20000 + os.getpid() % 20000))
        env.pop("DISPLAY", None)
        master, slave = pty.openpty()
        run = subprocess.Popen([source + "/run.sh", "--demo"], cwd=source, env=env, stdin=slave, stdout=slave,
                               stderr=slave, start_new_session=True,
                               preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        os.close(slave)
        seen = [""]
        try:
            if not read_until(master, "Press Ctrl-C", 120, seen):
                sys.exit("run.sh never said it runs:\n" + seen[0])
            os.write(master, b"\x03")  # Ctrl-C, through the terminal
            read_until(master, "Stopping.", 30, seen)
            status = run.wait(timeout=60)
        finally:
            if run.poll() is None:
                os.killpg(run.pid, signal.SIGKILL)
        if status != 0 or "Stopping." not in seen[0]:
            sys.exit("run.sh ended with %s:\n%s" % (status, seen[0]))
        reg = source + "/build/bin/lumetra-reg"
        for key, wanted in (("HKCU\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings", "size"),
                            ("HKLM\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart", "REG_BINARY")):
            shown = subprocess.run([reg, "query", key], env=env, capture_output=True, text=True).stdout
            if wanted not in shown:
                sys.exit("nothing stored under " + key)
        left = still_running(env["LUMETRA_ROOT"])
        if left:
            sys.exit("still running after Ctrl-C: " + ", ".join(left))
        print("run.sh --demo: Ctrl-C stopped it with the settings and the history stored")


if __name__ == "__main__":
    main()
