"""Pixmoor as a person at the screen meets it: the running program, where its
windows and controls are, and the few gestures the suite repeats.

Without a window manager, windows sit exactly where the program puts them, so
the places below are screen pixels. Control rectangles are in the main
window's client coordinates (x, y, width, height).
"""

import subprocess
from pathlib import Path

from desktop import close_to, wait_until

MAIN_TITLE = "Pixmoor"
MAIN_CLIENT = (181, 157, 353, 248)
FILE_LIST = (8, 128, 113, 114)
PATH_BOX = (168, 0, 177, 18)
SLOTS = {1: (128, 24), 2: (240, 24), 3: (128, 136), 4: (240, 136)}
SLOT_SIZE = 105
BADGE_SIZE = 23
SLOT_GROUND = (192, 192, 192)   # the window's background, seen through a free slot
BADGE_GROUND = (64, 64, 64)

LARGE_VIEW = (55, 66, 497, 395)
COPY_TITLE = "コピーの確認"
ABOUT_TITLE = "バージョン情報"
ABOUT = (206, 173, 272, 92)

LIST_TITLE = "画像の一覧表示"
LIST_FRAME_SIZE = (526, 491)
CELL_COLUMNS = 6
CELL_PITCH = (80, 89)      # column and row distance of the cells
CELL_IMAGE = (8, 32, 65)   # cell 0's image: left, top, size

# Menu items and how many Down presses reach them in a freshly opened menu
# (separators are skipped): the type filter's items are the formats' table's.
FORMATS = Path(__file__).resolve().parents[2] / "runtime/pictures/PictureFormats.table"
TYPE_ITEMS = [row.split("|")[2].strip() for row in FORMATS.read_text(encoding="utf-8").splitlines()
              if row.strip() and not row.startswith("#")]
LIST_MENU = {"一覧表示": 1, "ALL": 2, **{item: 3 + i for i, item in enumerate(TYPE_ITEMS)}}
CELL_MENU = {"コピー": 1}


def centre(rect, origin=(0, 0)):
    x, y, w, h = rect
    return origin[0] + x + w // 2, origin[1] + y + h // 2


class Program:
    """One run of the program, started in a folder as a user would start it,
    with the command-line arguments given."""

    def __init__(self, executable, folder, server, log_path, runtime_dir, arguments=()):
        env = server.env()
        env.pop("QT_QPA_PLATFORM", None)  # the real X server, not offscreen
        env["XDG_RUNTIME_DIR"] = str(runtime_dir)
        env["XDG_CACHE_HOME"] = str(runtime_dir / "cache")  # the thumbnail list writes there
        self.log_path, self.runtime_dir = log_path, runtime_dir
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen([str(executable), *arguments], cwd=folder, env=env,
                                        stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program still runs {timeout:.0f} s later") from None

    def stop(self):
        if self.running():
            self.process.kill()
        self.process.wait()
        self.log.close()


class MainWindow:
    """The main window on the screen, and the gestures made on it."""

    row_height = rows_top = None  # the file list's rows, measured once per run

    def __init__(self, desktop):
        self.desktop = desktop
        self.window = desktop.wait_window(MAIN_TITLE)
        wait_until("the main window's contents", lambda: self.badges_drawn(desktop.shot()))

    def at(self, x, y):
        return MAIN_CLIENT[0] + x, MAIN_CLIENT[1] + y

    def client_rect(self, rect):
        x, y, w, h = rect
        return (MAIN_CLIENT[0] + x, MAIN_CLIENT[1] + y, w, h)

    # Slots.

    def slot_point(self, k):
        """The middle of slot k's picture, clear of its badge."""
        x, y = SLOTS[k]
        return self.at(x + SLOT_SIZE // 2 + 10, y + SLOT_SIZE // 2 + 10)

    def slot_colours(self, shot, k):
        """The colours of the inner part of slot k's picture."""
        x, y = self.at(*SLOTS[k])
        return shot.colours(x + 35, y + 35, 40, 40)

    def slot_shows(self, shot, k, colour, tolerance=0):
        return all(close_to(c, colour, tolerance) for c in self.slot_colours(shot, k))

    def slot_free(self, shot, k):
        return self.slot_colours(shot, k) == {SLOT_GROUND}

    def badges_drawn(self, shot):
        for k in SLOTS:
            x, y = self.at(*SLOTS[k])
            pixels = shot.region(x, y, BADGE_SIZE, BADGE_SIZE)
            ground = sum(1 for i in range(0, len(pixels), 3) if tuple(pixels[i:i + 3]) == BADGE_GROUND)
            if ground < BADGE_SIZE * BADGE_SIZE // 3:
                return False
        return True

    # The file list.

    def measure_rows(self):
        """Finds the file list's row height from the highlight of its first row."""
        if MainWindow.row_height:
            return
        x, y, w, h = self.client_rect(FILE_LIST)
        self.desktop.click(x + w // 2, y + 6)

        def highlight(shot):
            # Its first and last rows: the name's letters cross it in between.
            rows = [row for row in range(y, y + h) if _bluish(shot.pixel(x + 3, row))]
            return (rows[0], rows[-1]) if rows and rows[-1] < y + h // 2 else None

        top, bottom = wait_until("the first file to be highlighted", lambda: highlight(self.desktop.shot()))
        MainWindow.row_height = bottom - top + 1
        MainWindow.rows_top = top

    def row_point(self, i):
        self.measure_rows()
        x = self.client_rect(FILE_LIST)[0]
        return x + 30, MainWindow.rows_top + i * MainWindow.row_height + MainWindow.row_height // 2

    def open_file(self, i):
        self.desktop.double_click(*self.row_point(i))

    def drag_file(self, i, to):
        self.desktop.drag(self.row_point(i), to)

    # Menus.

    def open_menu(self, opened_by):
        before = {w.id for w in self.desktop.windows()}
        opened_by()
        return wait_until("a menu", lambda: next((w for w in self.desktop.windows() if w.id not in before), None))

    def wait_gone(self, window):
        wait_until("a window to close", lambda: all(w.id != window.id for w in self.desktop.windows()))

    def choose(self, presses, opened_by):
        """Opens a pop-up menu with opened_by(), picks an item by keys, waits for the menu to go."""
        menu = self.open_menu(opened_by)
        self.desktop.key(*["Down"] * presses, "Return")
        self.wait_gone(menu)

    right_presses = 0

    def right_press(self, point):
        """A right click at point, or 8 px beside it every other time: two
        quick presses at one spot make a double click, which opens no menu."""
        def press():
            MainWindow.right_presses += 1
            x, y = point
            self.desktop.press(x + 8 * (MainWindow.right_presses % 2), y, button=3)
            self.desktop.release(3)
        return press

    def list_menu(self, item, row=0):
        """Right-presses a row of the file list and chooses an item of its menu."""
        self.choose(LIST_MENU[item], self.right_press(self.row_point(row)))

    def menu_titles(self, shot):
        """The middles of the menu bar's titles, found from their ink."""
        x0, y0 = self.window.x, self.window.y
        columns = [x for x in range(x0, x0 + self.window.w)
                   if any(sum(shot.pixel(x, y)) < 300 for y in range(y0 + 1, MAIN_CLIENT[1] - 1))]
        titles, start, last = [], None, None
        for x in columns:
            if start is None:
                start = x
            elif x - last > 10:
                titles.append((start + last) // 2)
                start = x
            last = x
        if start is not None:
            titles.append((start + last) // 2)
        return [(x, (y0 + MAIN_CLIENT[1]) // 2) for x in titles]

    def menu_bar(self, title, presses):
        """Clicks a menu-bar title (0 ﾌｧｲﾙ, 1 ﾍﾙﾌﾟ) and picks an item by keys."""
        self.choose(presses, lambda: self.desktop.click(*self.title_point(title)))

    def title_point(self, title):
        # A window raised just before may not be drawn yet: wait for the titles.
        return wait_until("the menu bar's titles", lambda: self.menu_titles(self.desktop.shot()))[title]

    def settle(self):
        """Waits until the program has handled every earlier input: opens and
        closes the ﾍﾙﾌﾟ menu, which it can only do after them."""
        point = self.title_point(1)
        menu = self.open_menu(lambda: self.desktop.click(*point))
        self.desktop.key("Escape")
        self.wait_gone(menu)

    def new_window(self, before, name=None):
        """Waits for a window that was not there before (and has the name, if given)."""
        def found():
            for w in self.desktop.windows():
                if w.id not in before and (name is None or w.name == name):
                    return w
            return None
        return wait_until(f"a new window {name or ''}", found)


class ThumbnailList:
    """The list frame and the cells of the list window inside it."""

    def __init__(self, frame):
        self.frame = frame

    def image_rect(self, i):
        column, row = i % CELL_COLUMNS, i // CELL_COLUMNS
        left, top, size = CELL_IMAGE
        return (self.frame.x + left + CELL_PITCH[0] * column, self.frame.y + top + CELL_PITCH[1] * row, size, size)

    def point(self, i):
        """A point in cell i's picture, high up: the large view covers its lower part."""
        x, y, size, _ = self.image_rect(i)
        return x + size // 2, y + 8

    def image_colours(self, shot, i):
        x, y, size, _ = self.image_rect(i)
        return shot.colours(x + 16, y + 16, size - 32, size - 32)


def _bluish(colour):
    r, g, b = colour
    return b > r + 80 and b > 120
