#!/usr/bin/env python3
"""End-to-end tests of Pixmoor: the real program, started in a folder of
pictures inside its own X server, used only through the pointer and the
keyboard, and judged by the screen, the windows and the files on disk.

    e2e.py --program build/pixmoor --make-samples build/tools/make-samples/make-samples
           [--screenshots DIR] [-k PATTERN] [--keep]

With --screenshots (or PIXMOOR_SCREENSHOTS=DIR) the run also saves pictures of
the main window, the thumbnail list and the About window there.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import pixmoor as pm  # noqa: E402
from desktop import Desktop, XServer, close_to, require_tools  # noqa: E402

# The picture folder every test starts from, in the file list's order. Solid
# colours make a slot's content easy to recognise.
RED, GREEN, BLUE, YELLOW = (220, 30, 30), (30, 160, 40), (40, 60, 220), (240, 200, 20)
MAGENTA, MARK = (200, 40, 160), (0, 0, 0)
VIEW_SIZE = (300, 200)
FILES = ["blue.jpg", "green.gif", "notes.jpg", "red.bmp", "view.bmp", "yellow.ico"]
ROW = {name: i for i, name in enumerate(FILES)}
# What the cache writer names an entry while it is being written: <md5>.png.pixmoor-<pid>-<n>.
TEMPORARY_ENTRY = re.compile(r"\.png\.pixmoor-\d+-\d+$")
COLOUR = {"blue.jpg": BLUE, "green.gif": GREEN, "red.bmp": RED, "view.bmp": MAGENTA, "yellow.ico": YELLOW}


def tolerance(name):
    """How far a solid colour may move: JPEG is lossy, scaling rounds."""
    return 12 if name.endswith(".jpg") else 2


class Suite:
    """What the tests share: set up once by main()."""
    program = work = screenshots = None
    server = desktop = None
    pictures = samples = None
    cases = 0


def make_pictures(folder):
    folder.mkdir(parents=True)

    def solid(name, size, colour, *extra):
        subprocess.run(["convert", "-size", size, "xc:rgb(%d,%d,%d)" % colour, *extra, str(folder / name)],
                       check=True)

    solid("red.bmp", "64x48", RED, "-type", "TrueColor")
    solid("green.gif", "64x48", GREEN)
    solid("blue.jpg", "80x60", BLUE, "-quality", "95")
    solid("yellow.ico", "48x48", YELLOW)
    # Unscaled in the large view: a 10 x 10 mark at its top-left corner.
    solid("view.bmp", "%dx%d" % VIEW_SIZE, MAGENTA, "-fill", "rgb(%d,%d,%d)" % MARK,
          "-draw", "rectangle 0,0 9,9", "-type", "TrueColor")
    (folder / "notes.jpg").write_text("Only text, named like a picture.\n")
    (folder / "notes.txt").write_text("Not listed: no picture pattern matches.\n")


class Case(unittest.TestCase):
    """Each test starts the program afresh in its own copy of the pictures."""

    folder_source = None  # a folder to copy instead of the solid-colour pictures
    folder_name = "case"

    def setUp(self):
        Suite.cases += 1
        self.d = Suite.desktop
        self.folder = Suite.work / f"{self.folder_name}{Suite.cases}"
        shutil.copytree(self.folder_source or Suite.pictures, self.folder)
        runtime_dir = Suite.work / f"runtime{Suite.cases}"
        runtime_dir.mkdir(mode=0o700)
        started, arguments = self.start_where()
        self.program = pm.Program(Suite.program, started, Suite.server,
                                  Suite.work / f"case{Suite.cases}.log", runtime_dir, arguments)
        self.addCleanup(self.program.stop)
        self.main = pm.MainWindow(self.d)

    def start_where(self):
        """The folder the program is started in, and its arguments."""
        return self.folder, []

    def tearDown(self):
        result = self._outcome.result
        if any(test is self for test, _ in result.errors + result.failures):
            shot = Suite.work / f"case{Suite.cases}-failed.png"
            subprocess.run(["import", "-window", "root", str(shot)], env=Suite.server.env(), check=False)
            print(f"\n  screen: {shot}\n  program output: {self.program.log_path}", file=sys.stderr)

    # Looking.

    def shot(self):
        return self.d.shot()

    def wait_screen(self, what, probe):
        return self.d.wait_for_screen(what, probe)

    def wait_slot(self, k, name):
        colour = COLOUR[name]
        return self.wait_screen(f"slot {k} to show {name}",
                                lambda s: self.main.slot_shows(s, k, colour, tolerance(name)))

    def assert_slots(self, shot, expected):
        """expected: {slot: the file it shows, or None for a free slot}."""
        for k, name in expected.items():
            if name is None:
                self.assertTrue(self.main.slot_free(shot, k), f"slot {k} should be free")
            else:
                self.assertTrue(self.main.slot_shows(shot, k, COLOUR[name], tolerance(name)),
                                f"slot {k} should show {name}, has {sorted(self.main.slot_colours(shot, k))[:4]}")

    def open_into(self, name, k):
        """Double-clicks a file and waits for it to show in slot k."""
        self.main.open_file(ROW[name])
        return self.wait_slot(k, name)

    def open_view(self, k, title):
        """Double-clicks slot k and waits for a new window with the title (None: any)."""
        before = {w.id for w in self.d.windows()}
        self.d.double_click(*self.main.slot_point(k))
        return self.main.new_window(before, title)

    def visible_names(self):
        return sorted(w.name for w in self.d.windows())

    def path(self, name):
        return str(self.folder / name)


class MainWindowTest(Case):

    def test_start_state(self):
        w = self.main.window
        x, y, width, height = pm.MAIN_CLIENT
        self.assertEqual((w.x, w.w, w.y + w.h), (x, width, y + height), "the client area's place")
        self.assertLess(w.y, y, "the menu bar lies above the client area")
        shot = self.shot()
        self.assert_slots(shot, {1: None, 2: None, 3: None, 4: None})
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE])

    def quit_with_the_large_view_open(self, quit):
        self.open_into("red.bmp", 1)
        self.d.double_click(*self.main.slot_point(1))
        self.d.wait_window(self.path("red.bmp"))
        quit()
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])

    def test_quit_from_the_file_menu_with_the_large_view_open(self):
        def quit():
            # The large view lies over the main window; the user clicks the main window.
            self.d.bring_forward(self.main.window.id)
            self.main.menu_bar(0, 1)  # ﾌｧｲﾙ > 終了
        self.quit_with_the_large_view_open(quit)

    def test_ctrl_q_with_the_large_view_open(self):
        def quit():
            self.d.bring_forward(self.main.window.id)
            self.d.key("ctrl+q")
        self.quit_with_the_large_view_open(quit)

    def test_close_box_ends_the_program_with_the_large_view_open(self):
        self.quit_with_the_large_view_open(lambda: self.d.close_window(self.main.window.id))


class DragTest(Case):

    def test_dragging_a_file_onto_a_slot(self):
        # A drop fills the slot it lands on, free slots before it or not.
        self.main.drag_file(ROW["green.gif"], self.main.slot_point(3))
        shot = self.wait_slot(3, "green.gif")
        self.assert_slots(shot, {1: None, 2: None, 4: None})
        # Onto a filled slot: the picture is replaced.
        self.main.drag_file(ROW["red.bmp"], self.main.slot_point(3))
        self.wait_slot(3, "red.bmp")
        # Dropped beside the slots, or a file that is no picture on a slot: no change.
        self.main.drag_file(ROW["yellow.ico"], pm.centre(self.main.client_rect(pm.PATH_BOX)))
        self.main.drag_file(ROW["notes.jpg"], self.main.slot_point(3))
        self.main.settle()
        self.assert_slots(self.shot(), {1: None, 2: None, 3: "red.bmp", 4: None})
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE], "a failed drop shows nothing")
        # Double clicks still take the first free slot.
        self.open_into("yellow.ico", 1)


class CommandLineTest(Case):

    folder_name = "写真 "  # a Japanese name with a space, given on the command line

    def start_where(self):
        """Started from an empty folder beside the pictures, on two of them by relative path."""
        started = Suite.work / f"started{Suite.cases}"
        started.mkdir()
        pictures = Path("..") / self.folder.name
        return started, [str(pictures / "green.gif"), str(pictures / "red.bmp")]

    def test_two_pictures_from_another_folder_fill_slots_1_and_2(self):
        self.wait_slot(1, "green.gif")
        shot = self.wait_slot(2, "red.bmp")
        self.assert_slots(shot, {3: None, 4: None})
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE], "nothing to tell")
        # The panes show the pictures' folder, not the empty one the program was
        # started in: a double click there takes the next free slot.
        self.open_into("blue.jpg", 3)


class LargeViewTest(Case):

    def start_where(self):
        """Started on a photo-sized picture with a mark at its bottom-right corner, in slot 1; its name
        comes last in the file list, so the other files keep their rows."""
        subprocess.run(["convert", "-size", "4000x3000", "xc:rgb(%d,%d,%d)" % MAGENTA, "-fill", "rgb(%d,%d,%d)" % MARK,
                        "-draw", "rectangle 3990,2990 3999,2999", str(self.folder / "z-photo.gif")], check=True)
        return self.folder, ["z-photo.gif"]

    def assert_unscaled(self, view):
        shot = self.wait_screen("the picture in the large view", lambda s: s.pixel(view.x + 20, view.y + 20) == MAGENTA)
        w, h = VIEW_SIZE
        at = lambda x, y: shot.pixel(view.x + x, view.y + y)
        self.assertEqual((at(0, 0), at(9, 9), at(10, 10), at(w - 1, h - 1)), (MARK, MARK, MAGENTA, MAGENTA))
        self.assertNotEqual(at(w, h // 2), MAGENTA, "the picture keeps its own width")
        self.assertNotEqual(at(w // 2, h), MAGENTA, "the picture keeps its own height")

    def test_placed_unscaled_panned_and_closed_by_a_double_click(self):
        self.wait_screen("slot 1 filled", lambda s: not self.main.slot_free(s, 1))
        self.open_into("view.bmp", 2)
        view = self.open_view(2, self.path("view.bmp"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        self.assert_unscaled(view)
        # A double click on the background beside the picture closes it ...
        self.d.double_click(view.x + 450, view.y + 350)
        self.d.wait_no_window(view.name)
        # ... and so does one on the picture, after drags to its bottom-right corner (3,503 x 2,605 pixels
        # away, where it stops); the view opens at its place again.
        view = self.open_view(1, self.path("z-photo.gif"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        right, bottom = view.x + view.w - 1, view.y + view.h - 1
        for _ in range(9):
            self.d.drag((right - 10, bottom - 10), (view.x + 10, view.y + 10))
        shot = self.wait_screen("the picture's bottom-right corner", lambda s: s.pixel(right, bottom) == MARK)
        self.assertEqual((shot.pixel(right - 9, bottom - 9), shot.pixel(right - 10, bottom - 10)), (MARK, MAGENTA))
        self.d.double_click(view.x + 150, view.y + 100)
        self.d.wait_no_window(view.name)


def large_screen_gif(side=14000):
    """A few dozen bytes: one pixel on a side x side logical screen, which the
    decoder draws whole (784 MB and most of a second at 14,000)."""
    return (b"GIF89a" + struct.pack("<HHBBB", side, side, 0x80, 0, 0) + bytes(3) + b"\xff" * 3
            + b"," + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00;")


class ThumbnailListTest(Case):

    def test_keys_and_quit_while_thumbnails_are_made_with_the_list_and_its_windows_open(self):
        self.main.list_menu("一覧表示")
        cells = pm.ThumbnailList(self.d.wait_window(pm.LIST_TITLE))
        self.assertEqual((cells.frame.w, cells.frame.h), pm.LIST_FRAME_SIZE)
        self.main.choose(pm.CELL_MENU["コピー"], self.main.right_press(cells.point(0)))
        self.d.wait_window(pm.COPY_TITLE)
        # From the cell clicked, the keys walk cells 2, 5 (Down past the short
        # row's end) and 4, and Enter opens the current one.
        self.d.click(*cells.point(1))
        self.d.bring_forward(cells.frame.id)
        self.d.key("Right", "Down", "Left", "Return")
        view = self.d.wait_window("Image")
        self.wait_screen("view.bmp in the large view", lambda s: s.pixel(view.x + 20, view.y + 20) == MAGENTA)
        self.d.bring_forward(self.main.window.id)
        self.main.menu_bar(0, 1)  # ﾌｧｲﾙ > 終了
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])


class EndWhileDecodingTest(Case):
    """Closing the main window while pictures that take long to decode are
    being made into cells."""

    def start_where(self):
        for k in range(24):
            shutil.copy(Suite.samples / "landscape.jpg", self.folder / f"photo{k:02}.jpg")
        for k in range(8):  # after the cells opened below, so still being drawn at the end
            (self.folder / f"screen{k}.gif").write_bytes(large_screen_gif())
        return super().start_where()

    def test_close_box_while_thumbnails_are_made_with_the_list_and_the_large_view_open(self):
        self.main.list_menu("一覧表示")
        cells = pm.ThumbnailList(self.d.wait_window(pm.LIST_TITLE))
        self.d.double_click(*cells.point(1))
        self.d.wait_window("Image")
        closed = time.monotonic()
        self.d.close_window(self.main.window.id)
        self.assertEqual(self.program.wait_exit(), 0)
        # Gone without waiting for the screens being drawn, and nothing of
        # theirs stored: no entry, no failure mark, no temporary file.
        self.assertLess(time.monotonic() - closed, 1.0)
        self.assertEqual(self.d.windows(), [])
        for kept in (self.program.runtime_dir / "cache").rglob("*"):
            self.assertIsNone(TEMPORARY_ENTRY.search(kept.name), kept)
            self.assertFalse(kept.is_file() and b"screen" in kept.read_bytes(), kept)


class SamplesTest(Case):
    """The sample pictures: photographs and drawings in every format, a
    Japanese file name and one with a space. Saves the screenshots."""

    folder_name = "Pictures-"  # shown in the screenshots

    def setUp(self):
        self.folder_source = Suite.samples
        super().setUp()

    def open_sample(self, item, row, k):
        self.main.list_menu(item)
        self.main.open_file(row)
        return self.wait_screen(f"slot {k} filled", lambda s: not self.main.slot_free(s, k))

    def test_samples_in_every_window(self):
        self.open_sample("jpg", 0, 1)           # landscape.jpg
        self.open_sample("jpg", 3, 2)           # 花の写真.jpg
        self.open_sample("bmp", 1, 3)           # sea view.bmp
        shot = self.open_sample("gif", 0, 4)    # balloons.gif
        colours = [frozenset(self.main.slot_colours(shot, k)) for k in pm.SLOTS]
        self.assertEqual(len(set(colours)), 4, "four different pictures")
        self.main.list_menu("ALL")
        self.d.click(*self.main.slot_point(2))
        self.main.settle()
        self.save("main-window.png", self.shot(), self.main.window)

        self.main.menu_bar(1, 1)
        about = self.d.wait_window(pm.ABOUT_TITLE)
        self.assertEqual(about.geometry, pm.ABOUT)
        shot = self.wait_screen("the About window's light blue name",
                                lambda s: any(close_to(c, (128, 128, 255), 40)
                                              for c in s.colours(about.x + 8, about.y + 8, 160, 30)))
        self.save("about.png", shot, about)
        self.d.close_window(about.id)
        self.d.wait_no_window(pm.ABOUT_TITLE)

        self.main.list_menu("一覧表示")
        frame = self.d.wait_window(pm.LIST_TITLE)
        cells = pm.ThumbnailList(frame)
        count = len([p for p in self.folder.iterdir() if p.suffix in (".bmp", ".jpg", ".gif", ".ico")])
        # Every sample looks different from the others, so their cells do too.
        shot = self.wait_screen("every sample's own thumbnail",
                                lambda s: len({frozenset(cells.image_colours(s, i)) for i in range(count)}) == count)
        self.save("thumbnail-list.png", shot, frame)

    def save(self, name, shot, window):
        if Suite.screenshots:
            Suite.screenshots.mkdir(parents=True, exist_ok=True)
            shot.save_png(Suite.screenshots / name, window.x, window.y, window.w, window.h)


def camera_photo(photo, thumbnail, orientation):
    """A JPEG with EXIF data as a camera writes it: the orientation in the
    first directory, a JPEG thumbnail of the photo in the second."""
    def entry(tag, kind, value):
        return struct.pack("<HHII", tag, kind, 1, value)
    first = struct.pack("<H", 1) + entry(0x0112, 3, orientation) + struct.pack("<I", 26)
    second = struct.pack("<H", 2) + entry(0x0201, 4, 56) + entry(0x0202, 4, len(thumbnail)) + struct.pack("<I", 0)
    body = b"Exif\0\0II*\0" + struct.pack("<I", 8) + first + second + thumbnail
    return photo[:2] + b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body + photo[2:]


def mapped_files(pid):
    with open(f"/proc/{pid}/maps") as maps:
        return {line.split()[-1] for line in maps if "/" in line}


def children(pid):
    found = set()
    for task in Path(f"/proc/{pid}/task").iterdir():
        found |= {int(c) for c in (task / "children").read_text().split()}
    return found


class WallTest(Case):
    """The program's own process reads no picture with a library: once JPEG
    photos have been shown in the slots and the thumbnail list (a camera's
    thumbnail and orientation among them), its memory holds neither libjpeg
    nor any of Qt's image plugins; its decoders do."""

    folder_name = "photos"

    def setUp(self):
        self.folder_source = Suite.work / "photos"
        if not self.folder_source.exists():
            self.folder_source.mkdir()
            for photo in Suite.samples.glob("*.jpg"):
                shutil.copy(photo, self.folder_source)
            thumbnail = Suite.work / "thumbnail.jpg"
            subprocess.run(["convert", str(Suite.samples / "landscape.jpg"), "-resize", "160x120!", str(thumbnail)],
                           check=True)
            (self.folder_source / "camera.jpg").write_bytes(
                camera_photo((Suite.samples / "landscape.jpg").read_bytes(), thumbnail.read_bytes(), 6))
        super().setUp()

    def assert_no_picture_library(self, run):
        cells = pm.ThumbnailList(self.d.wait_window(pm.LIST_TITLE))
        count = len(list(self.folder.glob("*.jpg")))
        self.wait_screen("every photo's own thumbnail",
                         lambda s: len({frozenset(cells.image_colours(s, i)) for i in range(count)}) == count)
        program = self.program.process.pid
        libraries = [f for f in mapped_files(program) if "libjpeg" in f or "/imageformats/" in f]
        self.assertEqual(libraries, [], f"the program's own process, {run}")
        decoders = children(program)
        self.assertTrue(any("libjpeg" in f for pid in decoders for f in mapped_files(pid)),
                        f"no decoder of {sorted(decoders)} holds libjpeg, {run}")

    def test_no_picture_library_in_the_program(self):
        for row, k in ((0, 1), (1, 2)):  # camera.jpg, landscape.jpg
            self.main.open_file(row)
            self.wait_screen(f"slot {k} filled", lambda s: not self.main.slot_free(s, k))
        self.main.list_menu("一覧表示")
        self.assert_no_picture_library("thumbnails made and stored")
        # Again in the thumbnails the shared cache now holds, read in the program.
        self.d.bring_forward(self.main.window.id)
        self.main.menu_bar(0, 1)  # ﾌｧｲﾙ > 終了
        self.assertEqual(self.program.wait_exit(), 0)
        self.program = pm.Program(Suite.program, self.folder, Suite.server, Suite.work / f"case{Suite.cases}-2.log",
                                  self.program.runtime_dir)
        self.addCleanup(self.program.stop)
        self.main = pm.MainWindow(self.d)
        self.main.list_menu("一覧表示")
        self.assert_no_picture_library("thumbnails read from the cache")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, type=Path)
    parser.add_argument("--make-samples", required=True, type=Path)
    parser.add_argument("--screenshots", type=Path, default=os.environ.get("PIXMOOR_SCREENSHOTS") or None)
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("-k", dest="patterns", action="append", default=[], help="only tests matching")
    args = parser.parse_args()
    require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "import", "convert")

    started = time.monotonic()
    Suite.program = args.program.resolve()
    Suite.screenshots = args.screenshots.resolve() if args.screenshots else None
    Suite.work = Path(tempfile.mkdtemp(prefix="pixmoor-e2e-"))
    Suite.pictures = Suite.work / "pictures"
    Suite.samples = Suite.work / "samples"
    make_pictures(Suite.pictures)
    subprocess.run([str(args.make_samples), str(Suite.samples)], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    (Suite.samples / "broken.jpg").unlink()  # notes.jpg stands for it; the pictures look better without
    Suite.server = XServer()
    Suite.desktop = Desktop(Suite.server)
    try:
        loader = unittest.TestLoader()
        if args.patterns:
            loader.testNamePatterns = [f"*{p}*" for p in args.patterns]
        tests = loader.loadTestsFromModule(sys.modules[__name__])
        result = unittest.TextTestRunner(verbosity=2).run(tests)
    finally:
        Suite.server.stop()
    print(f"e2e: {result.testsRun} tests in {time.monotonic() - started:.1f} s", file=sys.stderr)
    if result.wasSuccessful() and not args.keep:
        shutil.rmtree(Suite.work, ignore_errors=True)
    else:
        print(f"e2e: work folder kept: {Suite.work}", file=sys.stderr)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
