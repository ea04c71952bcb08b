"""A private X server and the hands and eyes of a person sitting at it.

Everything here goes through the X server the way a user's actions would:
pointer and keys through xdotool (XTEST), what is on screen through
ImageMagick's import, windows through xdotool, xwininfo and xprop. The server
runs without a window manager; close_window() stands in for one, sending the
message a window manager sends when a close box is clicked.
"""

import os
import re
import shutil
import socket
import struct
import subprocess
import time

WIDTH, HEIGHT = 1280, 1024


class Timeout(AssertionError):
    pass


def wait_until(what, probe, timeout=10.0, interval=0.05):
    """Polls probe() until it returns something true and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def require_tools(*names):
    missing = [n for n in names if shutil.which(n) is None]
    if missing:
        raise RuntimeError("missing tools: " + ", ".join(missing)
                           + " (scripts/install-deps.sh --test installs them)")


class XServer:
    """Xvfb on the first free display number, which Xvfb picks itself."""

    def __init__(self):
        require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "import", "convert")
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{WIDTH}x{HEIGHT}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()  # written once the server accepts clients
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.number = int(number)
        self.name = f":{self.number}"

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("XAUTHORITY", None)
        return env

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Shot:
    """One picture of the whole screen, 8 bits per channel."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def region(self, x, y, w, h):
        """The pixels of a rectangle, row by row, as bytes."""
        rows = []
        for row in range(y, y + h):
            i = (row * self.width + x) * 3
            rows.append(self.rgb[i:i + w * 3])
        return b"".join(rows)

    def colours(self, x, y, w, h):
        data = self.region(x, y, w, h)
        return {tuple(data[i:i + 3]) for i in range(0, len(data), 3)}

    def save_png(self, path, x, y, w, h):
        header = f"P6\n{w} {h}\n255\n".encode()
        subprocess.run(["convert", "ppm:-", "-strip", "png:" + str(path)],
                       input=header + self.region(x, y, w, h), check=True)


def close_to(colour, expected, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


class Window:
    def __init__(self, wid, name, x, y, w, h):
        self.id, self.name, self.x, self.y, self.w, self.h = wid, name, x, y, w, h

    @property
    def geometry(self):
        return (self.x, self.y, self.w, self.h)

    def __repr__(self):
        return f"Window(0x{self.id:x} {self.name!r} {self.w}x{self.h}+{self.x}+{self.y})"


class Desktop:
    """Pointer, keyboard, screen and windows of one X server."""

    def __init__(self, server):
        self.server = server
        self.env = server.env()

    def _run(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, check=True).stdout

    # Eyes.

    def shot(self):
        data = self._run("import", "-window", "root", "-depth", "8", "ppm:-")
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        width, height, maxval = (int(g) for g in match.groups())
        assert maxval == 255, maxval
        return Shot(width, height, data[match.end():])

    def wait_for_screen(self, what, probe, timeout=10.0):
        """Takes pictures of the screen until probe(shot) holds; returns that shot."""
        found = []

        def check():
            shot = self.shot()
            if probe(shot):
                found.append(shot)
                return True
            return False

        wait_until(what, check, timeout, interval=0.02)
        return found[0]

    def windows(self):
        """The visible top-level windows, bottom to top."""
        # xdotool exits 1 when it finds nothing, and also when a window it was
        # looking at vanished meanwhile: the caller's wait simply asks again.
        search = subprocess.run(("xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", ""),
                                env=self.env, capture_output=True)
        if search.returncode not in (0, 1):
            search.check_returncode()
        visible = {int(w) for w in search.stdout.split()}
        tree = self._run("xwininfo", "-root", "-children").decode("utf-8", "replace")
        found = []
        for line in tree.splitlines():
            match = re.match(r'\s+(0x[0-9a-f]+) (?:"((?:[^"\\]|\\.)*)"|\(has no name\)).*\s'
                             r'(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+[-+]\d+[-+]\d+\s*$', line)
            if match:
                wid = int(match.group(1), 16)
                if wid in visible:
                    name = match.group(2) or ""
                    w, h, x, y = (int(g) for g in match.groups()[2:])
                    found.append(Window(wid, name, x, y, w, h))
        found.reverse()  # xwininfo lists the top of the stacking order first
        return found

    def window(self, name):
        """The visible window with exactly this title, or None."""
        matches = [w for w in self.windows() if w.name == name]
        assert len(matches) <= 1, matches
        return matches[0] if matches else None

    def wait_window(self, name, timeout=10.0):
        return wait_until(f"a window named {name!r}", lambda: self.window(name), timeout)

    def wait_no_window(self, name, timeout=10.0):
        wait_until(f"no window named {name!r}", lambda: self.window(name) is None, timeout)

    # Hands.

    def move(self, x, y):
        self._run("xdotool", "mousemove", str(x), str(y))

    def click(self, x, y, button=1):
        self._run("xdotool", "mousemove", str(x), str(y), "click", str(button))

    def double_click(self, x, y):
        self._run("xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "60", "1")

    def press(self, x, y, button=1):
        self._run("xdotool", "mousemove", str(x), str(y), "mousedown", str(button))

    def release(self, button=1):
        self._run("xdotool", "mouseup", str(button))

    def drag(self, start, end, steps=4):
        """Presses at start, moves to end in a few steps, as a hand does, and lets go."""
        self.press(*start)
        (x0, y0), (x1, y1) = start, end
        for i in range(1, steps + 1):
            time.sleep(0.05)
            self.move(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.1)
        self.release()

    def bring_forward(self, wid):
        """Raises a window and gives it the keyboard: what a window manager
        does when the user clicks the window."""
        self._run("xdotool", "windowraise", str(wid), "windowfocus", "--sync", str(wid))

    def key(self, *keys):
        self._run("xdotool", "key", "--delay", "30", *keys)

    def close_window(self, wid):
        """What a window manager does when the window's close box is clicked."""
        x = _XConnection(self.server.number)
        try:
            protocols, delete = x.atom("WM_PROTOCOLS"), x.atom("WM_DELETE_WINDOW")
            event = struct.pack("<BBHII5I", 33, 32, 0, wid, protocols, delete, 0, 0, 0, 0)
            x.sock.sendall(struct.pack("<BBHII", 25, 0, 11, wid, 0) + event)  # SendEvent
            x.sync()
        finally:
            x.close()


class _XConnection:
    """A bare connection to the X server speaking just enough of the protocol
    for close_window(), which xdotool cannot do."""

    def __init__(self, number):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(f"/tmp/.X11-unix/X{number}")
        self.sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = _read(self.sock, 8)
        if head[0] != 1:
            raise RuntimeError("X server refused the connection")
        _read(self.sock, struct.unpack_from("<H", head, 6)[0] * 4)  # the set-up; nothing in it is needed

    def close(self):
        self.sock.close()

    def reply(self):
        """The next reply; events arriving before it are dropped."""
        while True:
            packet = _read(self.sock, 32)
            if packet[0] == 1:
                extra = struct.unpack_from("<I", packet, 4)[0] * 4
                return packet + _read(self.sock, extra)
            if packet[0] == 0:
                raise RuntimeError(f"X error {packet[1]}")

    def atom(self, name):
        data = name.encode()
        pad = (4 - len(data) % 4) % 4
        self.sock.sendall(struct.pack("<BBHHxx", 16, 0, 2 + (len(data) + pad) // 4, len(data))
                          + data + b"\0" * pad)
        return struct.unpack_from("<I", self.reply(), 8)[0]

    def sync(self):
        self.sock.sendall(struct.pack("<BxH", 43, 1))  # GetInputFocus
        self.reply()


def _read(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise RuntimeError("X server closed the connection")
        data += chunk
    return data
