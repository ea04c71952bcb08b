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
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import pixmoor as pm  # noqa: E402
from desktop import Desktop, StateRequests, XServer, close_to, require_tools, wait_until  # noqa: E402

# The picture folder every test starts from, in the file list's order. Solid
# colours make a slot's content easy to recognise.
RED, GREEN, BLUE, YELLOW = (220, 30, 30), (30, 160, 40), (40, 60, 220), (240, 200, 20)
MAGENTA, MARK = (200, 40, 160), (0, 0, 0)
VIEW_SIZE = (300, 200)
FILES = ["blue.jpg", "green.gif", "notes.jpg", "red.bmp", "view.bmp", "yellow.ico"]
ROW = {name: i for i, name in enumerate(FILES)}
COLOUR = {"blue.jpg": BLUE, "green.gif": GREEN, "red.bmp": RED, "view.bmp": MAGENTA, "yellow.ico": YELLOW}
# The folder of the thumbnail list: eight pictures, so that a second row starts.
CYAN, ORANGE, PURPLE = (0, 170, 170), (240, 120, 0), (110, 40, 170)
GRID = [("c1.bmp", RED), ("c2.gif", GREEN), ("c3.ico", YELLOW), ("c4.bmp", BLUE),
        ("c5.gif", MAGENTA), ("c6.bmp", CYAN), ("c7.jpg", ORANGE), ("c8.gif", PURPLE)]


def tolerance(name):
    """How far a solid colour may move: JPEG is lossy, scaling rounds."""
    return 12 if name.endswith(".jpg") else 2


class Suite:
    """What the tests share: set up once by main()."""
    program = work = screenshots = None
    server = desktop = state_requests = None
    pictures = samples = grid = None
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


def make_grid(folder):
    folder.mkdir(parents=True)
    for name, colour in GRID:
        subprocess.run(["convert", "-size", "64x48", "xc:rgb(%d,%d,%d)" % colour, "-quality", "95",
                        "-type", "TrueColor", str(folder / name)], check=True)


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

    def wait_slot_free(self, k):
        return self.wait_screen(f"slot {k} to be free", lambda s: self.main.slot_free(s, k))

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
        self.assertEqual((w.x, w.w), (x, width), "left edge and width")
        self.assertEqual(w.y + w.h, y + height, "the client area's bottom")
        self.assertLess(w.y, y, "the menu bar lies above the client area")
        shot = self.shot()
        self.assert_slots(shot, {1: None, 2: None, 3: None, 4: None})
        self.assertTrue(self.main.path_box_empty(shot))
        self.assertEqual(len(self.main.menu_titles(shot)), 2, "the menu bar shows ﾌｧｲﾙ and ﾍﾙﾌﾟ only")
        # notes.txt matches no picture pattern; the other six are listed.
        self.assertEqual(self.main.listed_rows(shot), len(FILES))
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE])

    def test_about_window_is_modal_and_closes_with_its_close_box(self):
        self.main.menu_bar(1, 1)
        about = self.d.wait_window(pm.ABOUT_TITLE)
        self.assertEqual(about.geometry, pm.ABOUT)
        shot = self.wait_screen("the About window's light blue name",
                                lambda s: any(close_to(c, (128, 128, 255), 40)
                                              for c in s.colours(about.x + 8, about.y + 8, 160, 30)))
        # The About picture sits at the right, below the version.
        self.assertGreater(len(shot.colours(about.x + 150, about.y + 45, 100, 35)), 20)
        # Modal: the main window's file list takes no double click meanwhile.
        self.main.open_file(ROW["red.bmp"])
        self.d.close_window(about.id)
        self.d.wait_no_window(pm.ABOUT_TITLE)
        self.main.settle()
        self.assert_slots(self.shot(), {1: None})
        # Input reaches the main window again.
        self.open_into("red.bmp", 1)

    def test_quit_from_the_file_menu_with_the_large_view_open(self):
        self.open_into("red.bmp", 1)
        self.d.double_click(*self.main.slot_point(1))
        self.d.wait_window(self.path("red.bmp"))
        # The large view lies over the main window; the user clicks the main window.
        self.d.bring_forward(self.main.window.id)
        self.main.menu_bar(0, 1)  # ﾌｧｲﾙ > 終了
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])

    def test_ctrl_q_with_the_large_view_open(self):
        self.open_into("red.bmp", 1)
        self.d.double_click(*self.main.slot_point(1))
        self.d.wait_window(self.path("red.bmp"))
        # The large view has the keyboard now; the user clicks the main window.
        self.d.bring_forward(self.main.window.id)
        self.d.key("ctrl+q")
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])

    def test_close_box_ends_the_program_with_the_large_view_open(self):
        self.open_into("red.bmp", 1)
        self.d.double_click(*self.main.slot_point(1))
        self.d.wait_window(self.path("red.bmp"))
        self.d.close_window(self.main.window.id)
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])


class OpeningTest(Case):

    def test_double_clicks_fill_the_slots_in_reading_order(self):
        shot = self.open_into("red.bmp", 1)
        red_path = self.main.path_box(shot)
        self.assertFalse(self.main.path_box_empty(shot))
        shot = self.open_into("green.gif", 2)
        green_path = self.main.path_box(shot)
        self.assertFalse(self.main.same_text(green_path, red_path), "the path box follows the file just opened")
        self.open_into("blue.jpg", 3)
        shot = self.open_into("yellow.ico", 4)
        self.assert_slots(shot, {1: "red.bmp", 2: "green.gif", 3: "blue.jpg", 4: "yellow.ico"})
        yellow_path = self.main.path_box(shot)

        # All four filled: a further double click changes nothing.
        self.main.open_file(ROW["view.bmp"])
        self.main.settle()
        shot = self.shot()
        self.assert_slots(shot, {1: "red.bmp", 2: "green.gif", 3: "blue.jpg", 4: "yellow.ico"})
        self.assertTrue(self.main.same_text(self.main.path_box(shot), yellow_path))

        # Clicking a slot or its badge shows that slot's path.
        self.d.click(*self.main.slot_point(1))
        self.wait_screen("slot 1's path", lambda s: self.main.same_text(self.main.path_box(s), red_path))
        self.d.click(*self.main.badge_point(2))
        self.wait_screen("slot 2's path", lambda s: self.main.same_text(self.main.path_box(s), green_path))

    def test_a_file_that_is_no_picture_is_refused_with_a_message(self):
        shot = self.open_into("red.bmp", 1)
        red_path = self.main.path_box(shot)
        before = {w.id for w in self.d.windows()}
        self.main.open_file(ROW["notes.jpg"])
        message = self.main.new_window(before)
        self.assertNotEqual(message.id, self.main.window.id)
        self.d.key("Return")
        wait_until("the message to close", lambda: all(w.id != message.id for w in self.d.windows()))
        self.main.settle()
        shot = self.shot()
        self.assert_slots(shot, {1: "red.bmp", 2: None, 3: None, 4: None})
        self.assertTrue(self.main.same_text(self.main.path_box(shot), red_path))
        # The program goes on: the next picture takes the still free slot 2.
        self.open_into("green.gif", 2)

    def test_dragging_a_file_onto_a_slot(self):
        # A drop fills the slot it lands on, free slots before it or not.
        self.main.drag_file(ROW["green.gif"], self.main.slot_point(3))
        shot = self.wait_slot(3, "green.gif")
        self.assert_slots(shot, {1: None, 2: None, 4: None})
        green_path = self.main.path_box(shot)
        self.assertFalse(self.main.path_box_empty(shot))
        # Onto a filled slot: the picture is replaced.
        self.main.drag_file(ROW["red.bmp"], self.main.slot_point(3))
        shot = self.wait_slot(3, "red.bmp")
        red_path = self.main.path_box(shot)
        self.assertFalse(self.main.same_text(red_path, green_path))
        # Dropped on the path box, or a file that is no picture on a slot: no change.
        self.main.drag_file(ROW["yellow.ico"], pm.centre(self.main.client_rect(pm.PATH_BOX)))
        self.main.drag_file(ROW["notes.jpg"], self.main.slot_point(3))
        self.main.settle()
        shot = self.shot()
        self.assert_slots(shot, {1: None, 2: None, 3: "red.bmp", 4: None})
        self.assertTrue(self.main.same_text(self.main.path_box(shot), red_path))
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE], "a failed drop shows nothing")
        # Double clicks still take the first free slot.
        self.open_into("yellow.ico", 1)


class SlotMenuTest(Case):

    def fill_all(self):
        self.open_into("red.bmp", 1)
        self.open_into("green.gif", 2)
        self.open_into("blue.jpg", 3)
        return self.open_into("yellow.ico", 4)

    def test_clear_and_clear_all(self):
        self.fill_all()
        self.main.slot_menu(2, "クリア")
        shot = self.wait_slot_free(2)
        self.assert_slots(shot, {1: "red.bmp", 3: "blue.jpg", 4: "yellow.ico"})
        self.assertTrue(self.main.path_box_empty(shot))
        # The freed slot is the first free one now.
        self.open_into("view.bmp", 2)
        self.main.slot_menu(3, "オールクリア")
        shot = self.wait_screen("all slots free", lambda s: all(self.main.slot_free(s, k) for k in pm.SLOTS))
        self.assertTrue(self.main.path_box_empty(shot))
        self.open_into("red.bmp", 1)

    def copy_dialog(self):
        self.main.slot_menu(1, "コピー")
        dialog = self.d.wait_window(pm.COPY_TITLE)
        self.assertEqual(dialog.geometry, pm.COPY_DIALOG)
        return dialog

    def test_copy_after_confirmation(self):
        self.open_into("red.bmp", 1)
        copy = self.folder / "red.bmpコピー"
        dialog = self.copy_dialog()
        self.d.click(*pm.button_point(dialog, pm.COPY_CANCEL))
        self.d.wait_no_window(pm.COPY_TITLE)
        self.assertFalse(copy.exists())

        dialog = self.copy_dialog()
        self.d.click(*pm.button_point(dialog, pm.COPY_OK))
        self.d.wait_no_window(pm.COPY_TITLE)
        wait_until("the copy on disk", copy.exists)
        self.assertEqual(copy.read_bytes(), (self.folder / "red.bmp").read_bytes())
        self.main.settle()
        shot = self.shot()
        # The copy's name ends after the extension, so the list does not show it.
        self.assertEqual(self.main.listed_rows(shot), len(FILES))
        self.assert_slots(shot, {1: "red.bmp", 2: None})

    def delete_dialog(self, k):
        self.main.slot_menu(k, "削除")
        dialog = self.d.wait_window(pm.DELETE_TITLE)
        self.assertEqual((dialog.w, dialog.h), pm.DELETE_SIZE)
        return dialog

    def test_delete_after_confirmation(self):
        red = self.folder / "red.bmp"
        self.open_into("red.bmp", 1)
        self.open_into("red.bmp", 2)
        self.open_into("green.gif", 3)

        dialog = self.delete_dialog(2)
        self.d.click(*pm.button_point(dialog, pm.DELETE_CANCEL))
        self.d.wait_no_window(pm.DELETE_TITLE)
        # The focus starts on Cancel: Return keeps the file too.
        self.delete_dialog(2)
        self.d.key("Return")
        self.d.wait_no_window(pm.DELETE_TITLE)
        self.main.settle()
        self.assertTrue(red.exists())
        self.assert_slots(self.shot(), {1: "red.bmp", 2: "red.bmp", 3: "green.gif"})

        dialog = self.delete_dialog(2)
        self.d.click(*pm.button_point(dialog, pm.DELETE_OK))
        self.d.wait_no_window(pm.DELETE_TITLE)
        shot = self.wait_slot_free(2)
        self.assertFalse(red.exists())
        # Only the slot whose menu was used is emptied, and the list is read again.
        self.assert_slots(shot, {1: "red.bmp", 3: "green.gif", 4: None})
        self.assertTrue(self.main.path_box_empty(shot))
        self.wait_screen("the list without red.bmp", lambda s: self.main.listed_rows(s) == len(FILES) - 1)


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
        self.assertFalse(self.main.path_box_empty(shot))
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE], "nothing to tell")
        # The panes show the pictures' folder, not the empty one the program was started in.
        self.assertEqual(self.main.listed_rows(shot), len(FILES))
        # And it goes on as usual: a double click takes the next free slot.
        self.open_into("blue.jpg", 3)


class LargeViewTest(Case):

    def assert_unscaled(self, shot, view):
        w, h = VIEW_SIZE
        at = lambda x, y: shot.pixel(view.x + x, view.y + y)
        self.assertEqual(at(0, 0), MARK)
        self.assertEqual(at(9, 9), MARK)
        self.assertEqual(at(10, 10), MAGENTA)
        self.assertEqual(at(w - 1, h - 1), MAGENTA)
        self.assertNotEqual(at(w, h // 2), MAGENTA, "the picture keeps its own width")
        self.assertNotEqual(at(w // 2, h), MAGENTA, "the picture keeps its own height")

    def test_opens_unscaled_and_closes_by_double_click(self):
        self.open_into("view.bmp", 1)
        view = self.open_view(1, self.path("view.bmp"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        self.assertFalse(Suite.state_requests.maximised(view.id))
        shot = self.wait_screen("the picture in the large view", lambda s: s.pixel(view.x + 20, view.y + 20) == MAGENTA)
        self.assert_unscaled(shot, view)
        # A double click on the background beside the picture closes it ...
        self.d.double_click(view.x + 450, view.y + 350)
        self.d.wait_no_window(view.name)
        # ... and so does one on the picture; the view opens at its place again.
        view = self.open_view(1, self.path("view.bmp"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        self.d.double_click(view.x + 150, view.y + 100)
        self.d.wait_no_window(view.name)

    def test_a_free_slot_and_a_badge_open_nothing(self):
        self.open_into("red.bmp", 1)
        self.d.double_click(*self.main.slot_point(2))
        self.d.double_click(*self.main.badge_point(1))
        self.main.settle()
        self.assertEqual(self.visible_names(), [pm.MAIN_TITLE])

    def test_maximised_while_the_menu_item_is_checked(self):
        self.open_into("view.bmp", 1)
        slot_menu = self.main.right_press(self.main.slot_point(1))
        self.assertEqual(self.main.checks(slot_menu), [False])
        self.main.slot_menu(1, "大画面表示")
        self.assertEqual(self.main.checks(slot_menu), [True])
        view = self.open_view(1, self.path("view.bmp"))
        # Without a window manager Qt can only ask for the maximised state;
        # the request is what the program's choice shows.
        wait_until("the maximise request", lambda: Suite.state_requests.maximised(view.id))
        shot = self.wait_screen("the picture in the large view", lambda s: s.pixel(view.x + 20, view.y + 20) == MAGENTA)
        self.assert_unscaled(shot, view)
        self.d.double_click(view.x + 450, view.y + 350)
        self.d.wait_no_window(view.name)

        # A free slot opens an empty, untitled view while the item is checked.
        view = self.open_view(2, None)
        self.assertEqual(self.d.plain_title(view.id), "")
        wait_until("the maximise request", lambda: Suite.state_requests.maximised(view.id))
        self.wait_screen("a large view without picture", lambda s: len(s.colours(*view.geometry)) == 1)
        self.d.double_click(view.x + 100, view.y + 100)
        wait_until("the view to close", lambda: all(w.id != view.id for w in self.d.windows()))

        # Unchecked again: the next view opens in its normal state.
        self.main.slot_menu(1, "大画面表示")
        view = self.open_view(1, self.path("view.bmp"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        # The title is set after the window state; a request would be in by now.
        self.assertFalse(Suite.state_requests.maximised(view.id))


class FilterTest(Case):

    def choose_filter(self, item, rows):
        self.main.list_menu(item)
        self.wait_screen(f"{rows} files listed after {item}", lambda s: self.main.listed_rows(s) == rows)

    def filter_checks(self):
        return self.main.checks(self.main.right_press(self.main.row_point(0)))

    def test_type_filter(self):
        self.assertEqual(self.filter_checks(), [True, False, False, False, False], "ALL is checked at start")
        self.choose_filter("gif", 1)
        self.assertEqual(self.filter_checks(), [False, False, False, True, False])
        self.main.open_file(0)
        self.wait_slot(1, "green.gif")
        self.choose_filter("bmp", 2)
        self.main.open_file(0)
        self.wait_slot(2, "red.bmp")
        self.choose_filter("jpg", 2)
        self.choose_filter("ico", 1)
        self.main.open_file(0)
        self.wait_slot(3, "yellow.ico")
        self.choose_filter("ALL", len(FILES))
        self.open_into("blue.jpg", 4)


class ThumbnailListTest(Case):

    def setUp(self):
        self.folder_source = Suite.grid
        super().setUp()

    def open_list(self, expected=GRID):
        """一覧表示, then waits until every cell shows its picture."""
        self.main.list_menu("一覧表示")
        frame = self.d.wait_window(pm.LIST_TITLE)
        cells = pm.ThumbnailList(frame)
        self.wait_screen("every cell", lambda s: all(cells.shows(s, i, colour, tolerance(name))
                                                     for i, (name, colour) in enumerate(expected)))
        return cells

    def cell_menu(self, cells, i, item):
        self.main.choose(pm.CELL_MENU[item], self.main.right_press(cells.point(i)))

    def test_cells_in_file_order(self):
        cells = self.open_list()
        self.assertEqual((cells.frame.w, cells.frame.h), pm.LIST_FRAME_SIZE)
        shot = self.shot()
        for i in range(len(GRID)):
            self.assertTrue(cells.has_name(shot, i), f"cell {i} shows its file's name")
        self.assertTrue(cells.empty(shot, len(GRID)), "no cell after the last file")
        # The build walked the main window's file list down to its last entry.
        self.d.bring_forward(self.main.window.id)
        self.wait_screen("the last file selected", lambda s: self.main.row_selected(s, len(GRID) - 1))

        # Shown again while loaded: unchanged, though the list now shows gif files only.
        self.main.list_menu("gif")
        self.open_list()
        # Closed with its frame, it is built afresh from the list as it is now.
        self.d.close_window(cells.frame.id)
        self.d.wait_no_window(pm.LIST_TITLE)
        gifs = [(name, colour) for name, colour in GRID if name.endswith(".gif")]
        self.d.bring_forward(self.main.window.id)
        cells = self.open_list(gifs)
        self.assertTrue(cells.empty(self.shot(), len(gifs)))

    def test_large_view_from_a_cell(self):
        cells = self.open_list()
        # A right press frames the cell while its menu is open.
        menu = self.main.open_menu(self.main.right_press(cells.point(4)))
        self.wait_screen("cell 4 framed", lambda s: cells.framed(s, 4))
        self.d.key("Escape")
        self.main.wait_gone(menu)
        self.wait_screen("cell 4 without frame", lambda s: not cells.framed(s, 4))

        self.cell_menu(cells, 3, "大画面表示")
        view = self.d.wait_window("Image")  # a new large view keeps its own caption
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        self.wait_screen("c4.bmp in the large view", lambda s: s.pixel(view.x + 5, view.y + 5) == BLUE
                         and s.pixel(view.x + 70, view.y + 5) != BLUE)
        # A double click on another cell shows its picture in the same window.
        self.d.double_click(*cells.point(1))
        self.wait_screen("c2.gif in the large view", lambda s: s.pixel(view.x + 5, view.y + 5) == GREEN)
        self.assertEqual([w.id for w in self.d.windows() if w.name == "Image"], [view.id])
        self.d.double_click(view.x + 300, view.y + 300)
        self.d.wait_no_window("Image")

    def test_copy_and_delete_from_a_cell(self):
        cells = self.open_list()
        self.cell_menu(cells, 0, "コピー")
        dialog = self.d.wait_window(pm.COPY_TITLE)
        self.d.click(*pm.button_point(dialog, pm.COPY_OK))
        self.d.wait_no_window(pm.COPY_TITLE)
        copy = self.folder / "c1.bmpコピー"
        wait_until("the copy on disk", copy.exists)
        self.assertEqual(copy.read_bytes(), (self.folder / "c1.bmp").read_bytes())

        doomed = self.folder / "c3.ico"
        self.cell_menu(cells, 2, "削除")
        dialog = self.d.wait_window(pm.DELETE_TITLE)
        self.assertEqual((dialog.w, dialog.h), pm.LIST_DELETE_SIZE)
        self.d.click(*pm.button_point(dialog, pm.DELETE_CANCEL))
        self.d.wait_no_window(pm.DELETE_TITLE)
        self.assertTrue(doomed.exists())

        # Here the focus starts on OK: Return deletes.
        self.cell_menu(cells, 2, "削除")
        self.d.wait_window(pm.DELETE_TITLE)
        self.d.key("Return")
        self.d.wait_no_window(pm.DELETE_TITLE)
        shot = self.wait_screen("cell 2 emptied", lambda s: cells.empty(s, 2))
        self.assertFalse(doomed.exists())
        for i, (name, colour) in enumerate(GRID):
            if i != 2:
                self.assertTrue(cells.shows(shot, i, colour, tolerance(name)), f"cell {i} unchanged")
        # The main window's list is read again without the file.
        self.d.bring_forward(self.main.window.id)
        self.wait_screen("the list without c3.ico", lambda s: self.main.listed_rows(s) == len(GRID) - 1)

    def test_quit_with_the_list_and_its_windows_open(self):
        cells = self.open_list()
        self.cell_menu(cells, 0, "コピー")
        self.d.wait_window(pm.COPY_TITLE)
        self.d.double_click(*cells.point(1))
        self.d.wait_window("Image")
        self.d.bring_forward(self.main.window.id)
        self.main.menu_bar(0, 1)  # ﾌｧｲﾙ > 終了
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(self.d.windows(), [])


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
        self.wait_screen("the whole list", lambda s: self.main.listed_rows(s) >= 8)
        self.d.click(*self.main.slot_point(2))
        self.main.settle()
        self.save("main-window.png", self.shot(), self.main.window)

        view = self.open_view(2, self.path("花の写真.jpg"))
        self.assertEqual(view.geometry, pm.LARGE_VIEW)
        self.d.double_click(view.x + 100, view.y + 100)
        self.d.wait_no_window(view.name)

        self.main.menu_bar(1, 1)
        about = self.d.wait_window(pm.ABOUT_TITLE)
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
    Suite.grid = Suite.work / "grid"
    make_grid(Suite.grid)
    subprocess.run([str(args.make_samples), str(Suite.samples)], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    (Suite.samples / "broken.jpg").unlink()  # notes.jpg stands for it; the pictures look better without
    Suite.server = XServer()
    Suite.desktop = Desktop(Suite.server)
    Suite.state_requests = StateRequests(Suite.server)
    try:
        loader = unittest.TestLoader()
        if args.patterns:
            loader.testNamePatterns = [f"*{p}*" for p in args.patterns]
        tests = loader.loadTestsFromModule(sys.modules[__name__])
        result = unittest.TextTestRunner(verbosity=2).run(tests)
    finally:
        Suite.state_requests.close()
        Suite.server.stop()
    print(f"e2e: {result.testsRun} tests in {time.monotonic() - started:.1f} s", file=sys.stderr)
    if result.wasSuccessful() and not args.keep:
        shutil.rmtree(Suite.work, ignore_errors=True)
    else:
        print(f"e2e: work folder kept: {Suite.work}", file=sys.stderr)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
