#!/usr/bin/env python3
"""How long the window leaves the desktop's "are you there?" unanswered, beside
slow and dead shares (tools/slowfs), for Pixmoor and, in cases 1 to 3, the
peers qimgv, nsxiv and Geeqie. See bench/README.md, "Never frozen".

    bench/frozen.py BUILD_DIR [--runs 3] [--cases 1,2,3,4,5] [--peers "qimgv nsxiv geeqie"]

BUILD_DIR holds pixmoor, bench/pingwatch and tools/make-corpus/make-corpus.
Runs as root (a private mount namespace keeps the dead shares from every other
program); installs what is missing through apt-get.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

here = Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path += [str(here.parent / "tests" / "e2e"), str(here.parent / "tools" / "slowfs")]
import pixmoor as pm  # noqa: E402
from desktop import Desktop, XServer, wait_until  # noqa: E402
from harness import Pinger, Share, private_mounts  # noqa: E402

PACKAGES = {"fusermount3": "fuse3", "Xvfb": "xvfb", "xdotool": "xdotool", "xwininfo": "x11-utils",
            "convert": "imagemagick", "qimgv": "qimgv", "nsxiv": "nsxiv", "geeqie": "geeqie"}
DIR_LIST = (8, 32, 113, 90)
COPY_MENU = 4                  # Down presses to "コピー" in a slot's menu
OK_BUTTON = (48, 44)           # in the copy confirmation's client area
CAP = {1: 20, 2: 10, 3: 120}   # seconds a case waits for a window or watches a dead folder


class Bench:
    def __init__(self, build, work):
        self.build, self.work = build, work
        self.server = XServer()
        self.desktop = Desktop(self.server)
        self.mounts, self.programs, self.runs = [], [], 0

    def close(self):
        for program in self.programs:
            if program.poll() is None:
                program.kill()
            program.wait()
        for share in self.mounts:
            share.unmount()
        self.server.stop()

    def share(self, name, rules, source):
        self.runs += 1
        share = Share(source, self.work / f"{name}{self.runs}", rules)
        self.mounts.append(share)
        return share

    def start(self, peer, where, files=None):
        """Starts a program on a folder; returns it and a Pinger on it."""
        env = self.server.env()
        env.pop("QT_QPA_PLATFORM", None)
        env["HOME"] = env["XDG_CONFIG_HOME"] = env["XDG_CACHE_HOME"] = str(self.work / "home")
        env["XDG_RUNTIME_DIR"] = str(self.work / "home")
        command = {"pixmoor": [str(self.build / "pixmoor")], "qimgv": ["qimgv", str(where)],
                   "nsxiv": ["nsxiv", "-t", "-r", str(where)], "geeqie": ["geeqie", str(where)]}[peer]
        program = subprocess.Popen(command, cwd=where if peer == "pixmoor" else self.work, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.programs.append(program)
        return program, self.pinger(f"pid:{program.pid}")

    def pinger(self, target=f"name:{pm.MAIN_TITLE}"):
        return Pinger(self.build / "bench" / "pingwatch", target, self.server.env())

    def end(self, program, pinger):
        """Ends a run: the program, its pinger and every share it had."""
        pinger.stop()
        if program.poll() is None:
            program.kill()
        program.wait()
        while self.mounts:
            self.mounts.pop().unmount()

    def window(self, pinger, started, cap):
        mapped = pinger.mapped(cap)
        return None if mapped is None else mapped - started

    def gone_after_close(self, program):
        """Seconds from the close box until the process is gone (None: not within 15 s)."""
        windows = [w for w in self.desktop.windows()
                   if subprocess.run(["xdotool", "getwindowpid", str(w.id)], env=self.server.env(),
                                     capture_output=True, text=True).stdout.strip() == str(program.pid)]
        closed = time.monotonic()
        self.desktop.close_window(windows[-1].id)
        try:
            program.wait(15)
            return time.monotonic() - closed
        except subprocess.TimeoutExpired:
            return None

    # The cases: each returns {metric: value} for one run of one program.

    def dead_elsewhere(self, peer, pictures):
        self.share("elsewhere", {"": {"dead": True}}, pictures)
        started = time.time()
        program, pinger = self.start(peer, pictures)
        window = self.window(pinger, started, CAP[1])
        time.sleep(3 if window is not None else 0)
        result = {"window_s": window, "ping_ms": pinger.longest() if window is not None else None}
        self.end(program, pinger)
        return result

    def dead_folder(self, peer, pictures):
        """Pixmoor: the folder list's Enter on a share that went away; the peers: started on it."""
        if peer == "pixmoor":
            self.runs += 1
            folder = self.work / f"folder{self.runs}"
            shutil.copytree(pictures, folder)
            share = Share(pictures, folder / "share", {})  # the folder list's only subfolder
            self.mounts.append(share)
            program, pinger = self.start(peer, folder)
            main = pm.MainWindow(self.desktop)
            share.set({"": {"dead": True}})
            self.desktop.click(*main.at(*pm.centre(DIR_LIST)))
            self.desktop.key("End", "Return")
            result = {}
        else:
            share = self.share("share", {"": {"dead": True}}, pictures)
            started = time.time()
            program, pinger = self.start(peer, share.mountpoint)
            result = {"window_s": self.window(pinger, started, CAP[2])}
        time.sleep(CAP[2])
        if result.get("window_s", 0) is not None:
            result["ping_ms"] = pinger.longest()
            result["gone_s"] = self.gone_after_close(program)
        self.end(program, pinger)
        return result

    def slow_untyped(self, peer, photos):
        share = self.share("slow", {"": {"delay": 0.005, "untyped": True}}, photos)
        started = time.time()
        program, pinger = self.start(peer, share.mountpoint)
        result = {"window_s": self.window(pinger, started, CAP[3])}
        if peer == "pixmoor" and result["window_s"] is not None:
            x, y, w, h = pm.MainWindow(self.desktop).client_rect(pm.FILE_LIST)
            self.desktop.wait_for_screen("names", lambda s: len(s.colours(x + 4, y + 4, w - 24, h - 8)) > 2, CAP[3])
            result["names_s"] = time.time() - started
        if result["window_s"] is not None:
            time.sleep(3)
            result["ping_ms"] = pinger.longest()
        self.end(program, pinger)
        return result

    def into_slot(self, folder, rules, large_view):
        """Double-clicks the first file into slot 1 (and slot 1 into the large view)."""
        share = self.share("link", rules, folder)
        program, pinger = self.start("pixmoor", share.mountpoint)
        main = pm.MainWindow(self.desktop)
        pinger.stop()
        pinger = self.pinger()
        pinger.mapped(5)
        main.open_file(0)
        self.desktop.wait_for_screen("slot 1 filled", lambda s: not main.slot_free(s, 1), 60)
        if large_view:
            before = {w.id for w in self.desktop.windows()}
            self.desktop.double_click(*main.slot_point(1))
            main.new_window(before)
        time.sleep(0.5)
        result = {"ping_ms": pinger.longest()}
        self.end(program, pinger)
        return result

    def copy(self, folder):
        """A 300 MB file copied through the slot menu's "コピー" and "OK"."""
        share = self.share("copy", {}, folder)
        program, pinger = self.start("pixmoor", share.mountpoint)
        main = pm.MainWindow(self.desktop)
        main.open_file(0)
        self.desktop.wait_for_screen("slot 1 filled", lambda s: not main.slot_free(s, 1), 60)
        main.choose(COPY_MENU, main.right_press(main.slot_point(1)))
        dialog = self.desktop.wait_window(pm.COPY_TITLE)
        pinger.stop()
        pinger = self.pinger()
        pinger.mapped(5)
        self.desktop.click(dialog.x + OK_BUTTON[0], dialog.y + OK_BUTTON[1])
        copied, size = folder / "copy.jpgコピー", (folder / "copy.jpg").stat().st_size
        wait_until("the copy", lambda: copied.exists() and copied.stat().st_size == size, 120)
        self.desktop.wait_no_window(pm.COPY_TITLE, 30)
        result = {"ping_ms": pinger.longest()}
        copied.unlink()
        self.end(program, pinger)
        return result


def make_folders(build, work):
    """The pictures every case starts from."""
    pictures, photos, big, big48, copy = (work / n for n in ("pictures", "photos", "big", "big48", "copy"))
    for folder in (pictures, photos, big, big48, copy):
        folder.mkdir()
    corpus = work / "corpus"
    subprocess.run([str(build / "tools" / "make-corpus" / "make-corpus"), "--photos", "1", str(corpus)],
                   check=True, stdout=subprocess.DEVNULL, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    photo = next(corpus.glob("*.jpg"))  # 4000 x 3000, about 3.3 MB
    shutil.copy(photo, big / "photo.jpg")
    subprocess.run(["convert", str(photo), "-resize", "8000x6000!", "-quality", "90", str(big48 / "photo48.jpg")],
                   check=True)
    with open(copy / "copy.jpg", "wb") as out:  # a photo followed by 300 MB no reader looks at
        out.write(photo.read_bytes())
        out.truncate(300_000_000)
    for i in range(4):
        subprocess.run(["convert", "-size", "64x48", "-seed", str(i), "plasma:", "-quality", "85",
                        str(pictures / f"scan{i}.jpg")], check=True)
    for i in range(5000):
        os.link(pictures / f"scan{i % 4}.jpg", photos / f"photo{i:05}.jpg")
    shutil.rmtree(corpus)
    return pictures, photos, big, big48, copy


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=Path)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cases", default="1,2,3,4,5")
    parser.add_argument("--peers", default="qimgv nsxiv geeqie")
    args = parser.parse_args()
    if not private_mounts():
        sys.exit("frozen: needs a private mount namespace (unshare -m): run as root")
    missing = sorted({p for tool, p in PACKAGES.items() if not shutil.which(tool)}
                     | ({"python3-fusepy"} if not Path("/usr/lib/python3/dist-packages/fusepy.py").exists() else set()))
    if missing:
        subprocess.run(["apt-get", "-o", "DPkg::Lock::Timeout=600", "install", "-y", *missing], check=True)
    build = args.build.resolve()
    work = Path(tempfile.mkdtemp(prefix="frozen-bench-", dir=build))  # out of /tmp, which others sweep
    cases = [int(c) for c in args.cases.split(",")]
    pictures, photos, big, big48, copy = make_folders(build, work)
    bench = Bench(build, work)
    rows = []  # (case, program, {metric: [values]})
    plan = [(1, "dead mount elsewhere at start", lambda p: bench.dead_elsewhere(p, pictures), True),
            (2, "dead folder opened, then the close box", lambda p: bench.dead_folder(p, pictures), True),
            (3, "5,000 photos, untyped, 5 ms a call", lambda p: bench.slow_untyped(p, photos), True),
            (4, "3.3 MB photo at 2 MB/s into a slot", lambda p: bench.into_slot(big, {"": {"bw": 2e6}}, False), False),
            (4, "48 MP photo into a slot, then the large view", lambda p: bench.into_slot(big48, {}, True), False),
            (5, "300 MB copy", lambda p: bench.copy(copy), False)]
    try:
        for case, name, run, with_peers in plan:
            if case not in cases:
                continue
            for peer in ["pixmoor"] + (args.peers.split() if with_peers else []):
                values = {}
                for _ in range(args.runs):
                    for metric, value in run(peer).items():
                        values.setdefault(metric, []).append(value)
                rows.append((f"{case} {name}", peer, values))
                print(f"{case} {name:46} {peer:8} {values}", file=sys.stderr, flush=True)
    finally:
        bench.close()
        shutil.rmtree(work, ignore_errors=True)
    report(rows)


def median(values):
    """The median, a value that never came counting as endless."""
    known = sorted(v if v is not None else float("inf") for v in values)
    return statistics.median(known) if known else None


def report(rows):
    metrics = ["window_s", "names_s", "ping_ms", "gone_s"]
    print(f"{'case':52} {'program':8} " + " ".join(f"{m:>9}" for m in metrics) + "  ratio window/ping to Pixmoor")
    ours = {}
    for case, program, values in rows:
        medians = {m: median(values[m]) for m in metrics if m in values}
        if program == "pixmoor":
            ours[case] = medians
        cells = " ".join(f"{'-' if m not in medians else 'never' if medians[m] == float('inf') else format(medians[m], '.0f' if m == 'ping_ms' else '.2f'):>9}"
                         for m in metrics)
        ratio = ""
        if program != "pixmoor":
            pairs = [(ours[case].get(m), medians.get(m)) for m in ("window_s", "ping_ms")]
            ratio = " ".join(f"{a / b:.2f}" if a not in (None, float("inf")) and b not in (None, float("inf")) and b > 0
                             else "-" for a, b in pairs)
        print(f"{case:52} {program:8} {cells}  {ratio}")


if __name__ == "__main__":
    main()
