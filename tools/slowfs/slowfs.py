#!/usr/bin/env python3
"""A file system for trying programs on slow and dead shares: it passes every
call through to a real folder, after the wait its rules give.

    slowfs.py SOURCE MOUNTPOINT --rules RULES.json

RULES.json maps a path inside the mount ("" for all of it, "a/b" for that
folder and what lies below; the longest match wins) to a rule:

    {"": {"delay": 0.005},                 every call waits 5 ms
     "photos": {"untyped": true},          listings carry names only: each entry costs a stat
     "big": {"bw": 2000000},               reads share a 2 MB/s link
     "gone": {"dead": true}}               every call waits until the rule goes (statfs too)

The file is read again whenever it changes (write it elsewhere and rename it
over), so a folder can go away after it was listed and come back later. A
caller killed in a dead call is let go. To end it all, unmount with
`fusermount3 -u -z MOUNTPOINT` (or `umount -l`), then kill this process. Runs
in the foreground until unmounted; needs python3-fusepy and fuse3 (or
libfuse2), and /dev/fuse.
"""

import errno
import json
import os
import sys
import threading
import time

try:
    import fusepy
except ImportError:  # Debian's python3-fusepy serves the system's python; run by another one
    sys.path.append("/usr/lib/python3/dist-packages")
    import fusepy


class Rules:
    """The rules file, read again when it changes."""

    def __init__(self, path):
        self.path, self.seen, self.table = path, None, {}
        self.lock = threading.Lock()
        self.links = {}  # rule key -> the moment its link is free again

    def current(self):
        try:
            status = os.stat(self.path)
            seen = (status.st_ino, status.st_mtime_ns, status.st_size)
        except FileNotFoundError:
            seen = None
        with self.lock:
            if seen != self.seen:
                self.seen = seen
                self.table = {}
                if seen:
                    with open(self.path, encoding="utf-8") as f:
                        self.table = {k.strip("/"): v for k, v in json.load(f).items()}
            return self.table

    def match(self, path):
        """The rule for a path and its key: the longest folder prefix named."""
        path = path.strip("/")
        table = self.current()
        while True:
            if path in table:
                return path, table[path]
            if not path:
                return "", {}
            path = path.rpartition("/")[0]

    def wait(self, path):
        """Waits as the path's rule says; a dead rule never returns."""
        key, rule = self.match(path)
        # A dead call answers once the rule is lifted (the server is back), and lets a
        # caller that is killed go (FUSE asks us to, under "intr"), as an NFS hard
        # mount does: a stuck caller never keeps its process from ending.
        while rule.get("dead"):
            if fusepy._libfuse.fuse_interrupted():
                raise fusepy.FuseOSError(errno.EINTR)
            time.sleep(0.02)
            key, rule = self.match(path)
        if rule.get("delay"):
            time.sleep(rule["delay"])
        return key, rule

    def carry(self, key, rule, size):
        """Waits until size bytes have crossed the rule's link, shared by all reads under it."""
        if not rule.get("bw"):
            return
        with self.lock:
            start = max(time.monotonic(), self.links.get(key, 0.0))
            self.links[key] = start + size / rule["bw"]
            done = self.links[key]
        time.sleep(max(0.0, done - time.monotonic()))


class SlowFs(fusepy.Operations):
    def __init__(self, source, rules):
        self.source, self.rules = os.path.realpath(source), rules

    def real(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def __call__(self, op, path, *args):
        if op in ("init", "destroy"):  # the mount's own start and end: never held
            return getattr(self, op)(path, *args)
        key, rule = self.rules.wait(path)
        try:
            if op == "read":
                data = getattr(self, op)(path, *args)
                self.rules.carry(key, rule, len(data))
                return data
            if op == "readdir":
                return self.readdir(path, rule.get("untyped"))
            return getattr(self, op)(path, *args)
        except OSError as e:
            raise fusepy.FuseOSError(e.errno or errno.EIO) from None
        except AttributeError:
            raise fusepy.FuseOSError(errno.ENOSYS) from None

    def getattr(self, path, fh=None):
        s = os.lstat(self.real(path))
        return {k: getattr(s, k) for k in ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid",
                                           "st_atime", "st_mtime", "st_ctime")}

    def readdir(self, path, untyped):
        for entry in os.scandir(self.real(path)):
            if untyped:
                yield entry.name
            else:  # the type from the listing, as local file systems give it
                yield entry.name, {"st_mode": entry.stat(follow_symlinks=False).st_mode}, 0
        yield from (".", "..")

    def statfs(self, path):
        s = os.statvfs(self.real(path))
        return {k: getattr(s, k) for k in ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail",
                                           "f_files", "f_ffree", "f_favail", "f_flag", "f_namemax")}

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise fusepy.FuseOSError(errno.EACCES)

    def readlink(self, path):
        return os.readlink(self.real(path))

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, source):
        os.link(self.real(source), self.real(target))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times)


def main():
    if len(sys.argv) != 5 or sys.argv[3] != "--rules":
        print(__doc__, file=sys.stderr)
        return 2
    source, mountpoint, rules = sys.argv[1], sys.argv[2], Rules(sys.argv[4])
    # No caching in the kernel: every stat and lookup reaches the rules, as on a share
    # that must be asked each time.
    fusepy.FUSE(SlowFs(source, rules), mountpoint, foreground=True, nothreads=False,
                allow_other=os.geteuid() == 0, fsname="slowfs", attr_timeout=0, entry_timeout=0,
                negative_timeout=0, big_writes=True, intr=True)
    os._exit(0)  # threads stuck in dead calls are not waited for


if __name__ == "__main__":
    sys.exit(main())
