"""Running a program beside slowfs shares and timing its window's answers:
what bench/frozen.py and tests/e2e/frozen.py share.

Mounts are made in a private mount namespace (private_mounts() re-runs the
caller in one), so no other program on the machine meets a dead share, and each
Share is unmounted whatever happens: lazily, then its process is killed, which
lets every call still stuck in it go.
"""

import json
import os
import select
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

SLOWFS = Path(__file__).resolve().with_name("slowfs.py")


def private_mounts():
    """Re-runs this program in a mount namespace of its own (root's, or a user
    namespace's otherwise); returns False when none can be made."""
    if os.environ.get("PIXMOOR_OWN_MOUNTS"):
        return True
    for unshare in (["unshare", "-m", "--propagation", "private"], ["unshare", "-r", "-m"]):
        if shutil.which("unshare") and subprocess.run(unshare + ["true"], stderr=subprocess.DEVNULL).returncode == 0:
            os.environ["PIXMOOR_OWN_MOUNTS"] = "1"
            os.execvp(unshare[0], unshare + [sys.executable, *sys.argv])
    return False


def wait_for(what, probe, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not probe():
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.02)


class Share:
    """A slowfs mount of a source folder under the rules given (see slowfs.py)."""

    def __init__(self, source, mountpoint, rules):
        self.mountpoint, self.rules = Path(mountpoint), Path(str(mountpoint) + ".rules")
        self.mountpoint.mkdir(exist_ok=True)
        self.set(rules)
        self.process = subprocess.Popen([sys.executable, str(SLOWFS), str(source), str(mountpoint),
                                         "--rules", str(self.rules)], stderr=subprocess.DEVNULL)
        try:
            wait_for(f"{mountpoint} mounted", self.mounted)
        except BaseException:
            self.unmount()
            raise

    def mounted(self):
        if self.process.poll() is not None:
            raise RuntimeError(f"slowfs ended with {self.process.returncode} (no /dev/fuse, fuse3 or python3-fusepy?)")
        with open("/proc/self/mountinfo") as table:  # the table only: the mount itself may be dead
            return any(line.split()[4] == str(self.mountpoint) for line in table)

    def set(self, rules):
        """Switches the rules while mounted (slowfs reads the file again when it changes)."""
        draft = self.rules.with_suffix(".new")
        draft.write_text(json.dumps(rules))
        draft.replace(self.rules)

    def unmount(self):
        if subprocess.run(["fusermount3", "-u", "-z", str(self.mountpoint)], stderr=subprocess.DEVNULL).returncode:
            subprocess.run(["umount", "-l", str(self.mountpoint)], stderr=subprocess.DEVNULL)
        self.process.kill()
        self.process.wait()


class Pinger:
    """bench/pingwatch on a window: a process's first ("pid:PID") or the one with a title ("name:TITLE")."""

    def __init__(self, pingwatch, target, env):
        self.process = subprocess.Popen([str(pingwatch), target, "600"], env=env, stdout=subprocess.PIPE)
        self.pending = ""

    def line(self, key, timeout):
        """The value of the next line starting with key; read unbuffered, as select() sees only the pipe."""
        deadline, out = time.monotonic() + timeout, self.process.stdout.fileno()
        while True:
            if "\n" in self.pending:
                line, self.pending = self.pending.split("\n", 1)
                if line.startswith(key + " "):
                    return line.split()[1]
                continue
            data = select.select([out], [], [], max(0.0, deadline - time.monotonic()))[0] and os.read(out, 4096)
            if not data:
                return None
            self.pending += data.decode()

    def mapped(self, timeout):
        """The wall-clock time the window showed, or None if it did not within timeout."""
        at = self.line("mapped", timeout)
        return float(at) if at else None

    def longest(self):
        """The longest wait for an answer so far, in ms (-1: the window takes no pings)."""
        self.process.send_signal(signal.SIGUSR1)
        value = self.line("so_far_ms", 5)
        if value is None:
            raise RuntimeError("pingwatch gave no figure: the window went, or pingwatch did")
        return int(value)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.communicate()
