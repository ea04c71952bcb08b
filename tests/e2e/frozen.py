#!/usr/bin/env python3
"""End-to-end: the window keeps answering whatever the file system does.

The program runs in Xvfb beside shares of tools/slowfs (slow, untyped, capped or
dead folders) in a private mount namespace of its own, so that no other program
on the machine meets a dead mount. bench/pingwatch asks the main window every
20 ms whether it is there, as a window manager does; each row bounds the
longest wait for an answer and looks at the panes and slots afterwards.

    frozen.py --program build/pixmoor --pingwatch build/bench/pingwatch

Exits 77 (skipped) where no FUSE file system can be mounted.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.append(str(Path(__file__).resolve().parents[2] / "tools" / "slowfs"))
import e2e  # noqa: E402
import pixmoor as pm  # noqa: E402
from desktop import Desktop, XServer  # noqa: E402
from harness import Pinger, Share, private_mounts  # noqa: E402

# The longest unanswered ping a row allows: the target is 100 ms, the bound
# leaves room for a loaded two-core machine.
PING_BOUND_MS = 300
SKIPPED = 77
DIR_LIST = (8, 32, 113, 90)


class Suite:
    program = pingwatch = work = server = desktop = None
    count = 0


class FrozenCase(unittest.TestCase):
    def setUp(self):
        Suite.count += 1
        self.d = Suite.desktop
        self.base = Suite.work / f"row{Suite.count}"
        self.folder = self.base / "pictures"
        e2e.make_pictures(self.folder)

    def tearDown(self):
        if any(test is self for test, _ in self._outcome.result.errors + self._outcome.result.failures):
            subprocess.run(["import", "-window", "root", str(self.base / "failed.png")], env=Suite.server.env())

    def mount(self, name, rules, files=(), where=None):
        """A share at where (beside the pictures by default) of a new folder holding files."""
        source = self.base / f"{name}-source"
        source.mkdir()
        for made in files:
            made(source)
        share = Share(source, where or self.base / name, rules)
        self.addCleanup(share.unmount)
        return share

    def start(self, folder):
        started = time.time()
        runtime = self.base / "runtime"
        runtime.mkdir(mode=0o700)
        self.program = pm.Program(Suite.program, folder, Suite.server, self.base / "program.log", runtime)
        self.addCleanup(self.program.stop)
        self.pinger = Pinger(Suite.pingwatch, f"pid:{self.program.process.pid}", Suite.server.env())
        self.addCleanup(self.pinger.stop)
        return started

    def main_window(self, started, timeout=5.0):
        if self.pinger.mapped(started + timeout - time.time()) is None:
            self.fail(f"no main window within {timeout:.0f} s of the start")
        self.main = pm.MainWindow(self.d)

    def assert_answering(self, what):
        longest = self.pinger.longest()
        self.assertLessEqual(longest, PING_BOUND_MS, f"longest unanswered ping {what}: {longest} ms")

    def open_folder_list_item(self, *keys):
        """Gives the folder list the focus, moves with the keys and opens the item with Enter."""
        self.d.click(*self.main.at(*pm.centre(DIR_LIST)))
        self.d.key(*keys, "Return")

    def open_into_slot(self, row, k, colour, tolerance=2):
        self.main.open_file(row)
        self.d.wait_for_screen(f"slot {k} filled", lambda s: self.main.slot_shows(s, k, colour, tolerance), 20)

    def test_dead_mount_elsewhere_at_start(self):
        self.mount("elsewhere", {"": {"dead": True}})
        self.main_window(self.start(self.folder))
        self.open_into_slot(e2e.ROW["blue.jpg"], 1, e2e.BLUE, 12)
        self.assert_answering("with a dead mount elsewhere")

    def test_dead_folder_left_for_another_then_the_end(self):
        red = lambda source: shutil.copy(self.folder / "red.bmp", source)
        share = self.mount("share", {}, [red], where=self.folder / "share")
        self.main_window(self.start(self.folder))
        share.set({"": {"dead": True}})
        self.open_folder_list_item("End")  # the only subfolder: the share
        time.sleep(2)
        self.assert_answering("in a dead folder")
        self.open_folder_list_item("End", "Up")  # back to the pictures, the folder above it
        share.set({})  # the dead folder's listing comes late: it must not land in the panes
        time.sleep(1)
        self.open_into_slot(e2e.ROW["blue.jpg"], 1, e2e.BLUE, 12)
        share.set({"": {"dead": True}})
        self.open_folder_list_item("End")
        time.sleep(1)
        self.assert_answering("back in the dead folder")
        closed = time.monotonic()
        self.d.close_window(self.main.window.id)
        self.program.wait_exit(5)
        self.assertLess(time.monotonic() - closed, 1.0, "the end with a call stuck in a dead folder")

    def test_slow_untyped_listing(self):
        def photos(source):
            (source / "a-folder.bmp").mkdir()  # listed like a picture until its stat says otherwise
            shutil.copy(self.folder / "red.bmp", source / "p0000.bmp")
            for i in range(1, 800):
                os.link(source / "p0000.bmp", source / f"p{i:04}.bmp")
        share = self.mount("slow", {"": {"delay": 0.005, "untyped": True}}, [photos])
        started = self.start(share.mountpoint)
        self.main_window(started, 3.0)
        x, y, w, h = self.main.client_rect(pm.FILE_LIST)
        self.d.wait_for_screen("the first names", lambda s: self.ink(s, x + 4, y + 4, w - 24, h - 8), 3.0)
        time.sleep(1)
        self.assert_answering("while the names come")
        time.sleep(12)  # 800 stats at 5 ms, more than twice over
        self.open_into_slot(0, 1, e2e.RED)
        self.assertEqual([w.name for w in self.d.windows()], [pm.MAIN_TITLE], "no failure told")
        self.assert_answering("in the slow folder")

    def test_thumbnail_list_opened_on_a_folder_gone_dead(self):
        def photos(source):
            for i in range(40):
                shutil.copy(self.folder / "red.bmp", source / f"p{i:02}.bmp")
        share = self.mount("share", {}, [photos])
        self.main_window(self.start(share.mountpoint))
        time.sleep(1)  # listed
        share.set({"": {"dead": True}})
        self.main.list_menu("一覧表示")
        self.d.wait_window(pm.LIST_TITLE, 10)
        time.sleep(2)
        self.assert_answering("with the thumbnail list open on a dead folder")
        share.set({})

    @staticmethod
    def ink(shot, x, y, w, h):
        data = shot.region(x, y, w, h)
        return sum(1 for i in range(0, len(data), 3) if sum(data[i:i + 3]) < 200) > 20

    def test_slow_big_picture_into_a_slot_and_the_large_view(self):
        big = lambda source: subprocess.run(["convert", "-size", "1100x1000", "xc:rgb(30,160,40)", "-type",
                                             "TrueColor", str(source / "big.bmp")], check=True)  # 3.3 MB
        share = self.mount("link", {"": {"bw": 2_000_000}}, [big])
        self.main_window(self.start(share.mountpoint))
        self.open_into_slot(0, 1, e2e.GREEN)
        self.assert_answering("reading a picture at 2 MB/s into a slot")
        self.d.double_click(*self.main.slot_point(1))
        view = self.d.wait_window(str(share.mountpoint / "big.bmp"), 20)
        self.d.wait_for_screen("the large view", lambda s: s.pixel(view.x + 20, view.y + 20) == e2e.GREEN)
        self.assert_answering("reading it at 2 MB/s into the large view")


def can_mount(probe):
    try:
        Share(probe / "source", probe / "mount", {}).unmount()
        return True
    except (OSError, RuntimeError, TimeoutError):
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in ("--program", "--pingwatch"):
        parser.add_argument(name, required=True, type=Path)
    parser.add_argument("-k", dest="patterns", action="append", default=[], help="only tests matching")
    args = parser.parse_args()
    if not private_mounts():
        print("frozen: skipped: no private mount namespace can be made here (unshare -m)", file=sys.stderr)
        return SKIPPED
    e2e.require_tools("Xvfb", "xdotool", "xwininfo", "import", "convert", "fusermount3")
    Suite.program, Suite.pingwatch = args.program.resolve(), args.pingwatch.resolve()
    Suite.work = Path(tempfile.mkdtemp(prefix="pixmoor-frozen-"))
    (Suite.work / "probe" / "source").mkdir(parents=True)
    if not os.path.exists("/dev/fuse") or not can_mount(Suite.work / "probe"):
        print("frozen: skipped: no FUSE file system can be mounted here (/dev/fuse, fuse3, python3-fusepy)",
              file=sys.stderr)
        shutil.rmtree(Suite.work, ignore_errors=True)
        return SKIPPED
    Suite.server = XServer()
    Suite.desktop = Desktop(Suite.server)
    try:
        loader = unittest.TestLoader()
        loader.testNamePatterns = [f"*{p}*" for p in args.patterns] or None
        result = unittest.TextTestRunner(verbosity=2).run(loader.loadTestsFromTestCase(FrozenCase))
    finally:
        Suite.server.stop()
    if result.wasSuccessful():
        shutil.rmtree(Suite.work, ignore_errors=True)
    else:
        print(f"frozen: work folder kept: {Suite.work}", file=sys.stderr)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
