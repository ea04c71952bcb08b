#!/usr/bin/env python3
"""Checks the layout of the program's sources and fails when it breaks.

  - runtime/ is the layer every window builds on, split by job into folders
    that each count as a folder of their own here: services/ includes no other
    folder; pictures/, the picture readers, includes services/ only; forms/,
    the window toolkit, includes runtime/'s folders only, never a window;
  - decoding/, the decoder processes and their pool, includes services/ and
    pictures/ only;
  - thumbnailing/, the pipeline that turns a file into a thumbnail, includes
    runtime/services/, runtime/pictures/ and runtime/decoding/ only: it knows no window, nor the
    toolkit windows are built with;
  - the folders' includes form no loop (a folder includes another when any of
    its files does);
  - no program source file is longer than 300 lines;
  - test code is at most 35 % of all code. Test code: tests/, the fuzz
    targets' sources, tools/check/ and packaging/check-*; code: every C++,
    Python, shell and CMake file, .ci/run, run.sh and test.sh; blank and
    comment-only lines are not counted on either side, nor corpus data.

Program sources are the C++ files (.cpp, .h) of every top-level folder but
tests/, fuzz/, bench/, tools/ and packaging/, which hold tests and helpers
that are not part of the program. Run from anywhere: scripts/check-layout.py
"""
import os
import re
import subprocess
import sys

MAX_LINES = 300
MAX_TEST_SHARE = 35.0
CPP = re.compile(r"\.(c|cc|cpp|cxx|h|hh|hpp)$")
SCRIPT = re.compile(r"(\.(py|sh|cmake)$|(^|/)CMakeLists\.txt$|^\.ci/run$|^(run|test)\.sh$)")
NOT_PROGRAM = {"tests", "fuzz", "bench", "tools", "packaging", "docs"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The folders whose includes are bounded, and what each may include; a file
# left directly in runtime/ (or in another folder of it) includes nothing.
ALLOWED = {
    "runtime/services": set(),
    "runtime/pictures": {"runtime/services"},
    "runtime/forms": {"runtime/services", "runtime/pictures"},
    "runtime/decoding": {"runtime/services", "runtime/pictures"},
    "thumbnailing": {"runtime/services", "runtime/pictures", "runtime/decoding"},
}


def tracked_files():
    try:
        out = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                             capture_output=True, check=True).stdout
        return [f for f in out.decode().split("\0") if os.path.isfile(os.path.join(root, f))]
    except (OSError, subprocess.CalledProcessError):  # not a git checkout
        found = []
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if d != ".git" and not (folder == root and d.startswith("build"))]
            found += [os.path.relpath(os.path.join(folder, f), root) for f in files]
        return found


def program_sources():
    for path in sorted(tracked_files()):
        parts = path.split("/")
        if len(parts) > 1 and parts[0] not in NOT_PROGRAM and path.endswith((".cpp", ".h")):
            yield path


def counted_lines(path):
    """Lines that are neither blank nor only a comment."""
    count, in_block = 0, False
    cpp = bool(CPP.search(path))
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for line in f:
            s = line.strip()
            if not s:
                continue
            if cpp:
                if in_block:
                    in_block = "*/" not in s
                    continue
                if s.startswith("//"):
                    continue
                if s.startswith("/*"):
                    in_block = "*/" not in s
                    continue
            elif s.startswith("#") and not s.startswith("#!"):
                continue
            count += 1
    return count


def is_test_code(path):
    return (path.startswith(("tests/", "tools/check/", "packaging/check-"))
            or (path.startswith("fuzz/") and "/corpus" not in path))


def test_share():
    """Test code and all code, in counted lines."""
    test = total = 0
    for path in tracked_files():
        if not (CPP.search(path) or SCRIPT.search(path)) or "/corpus/" in path:
            continue
        n = counted_lines(path)
        total += n
        test += n if is_test_code(path) else 0
    return test, total


def folder_of(path):
    """The top-level folder of a path; in runtime/, its folder below that."""
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] == "runtime" and len(parts) > 2 else parts[0]


def included_folder(source, name, folders):
    """The folder an include names, or None for one outside the tree."""
    if "/" in name and name.split("/")[0] in {f.split("/")[0] for f in folders}:
        return folder_of(name)
    if os.path.exists(os.path.join(root, os.path.dirname(source), name)):
        return folder_of(source)
    return None


def allowed_includes(folder):
    """The folders `folder` may include, or None where only loops bound it."""
    return ALLOWED.get(folder, set() if folder.split("/")[0] == "runtime" else None)


def loops(edges):
    """The groups of two or more folders that reach each other (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def layers(edges, folders):
    """The folders, each after every folder it includes."""
    order, done = [], set()

    def place(v):
        if v not in done:
            done.add(v)
            for w in sorted(edges.get(v, ())):
                place(w)
            order.append(v)

    for v in sorted(folders):
        place(v)
    return order


def main():
    sources = list(program_sources())
    folders = {folder_of(s) for s in sources}
    edges, why, failures = {}, {}, []
    for source in sources:
        with open(os.path.join(root, source), encoding="utf-8") as f:
            lines = f.read().splitlines()
        if len(lines) > MAX_LINES:
            failures.append(f"{source}: {len(lines)} lines, more than {MAX_LINES}")
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            target = match and included_folder(source, match.group(1), folders)
            if not target or target == folder_of(source):
                continue
            where = f"{source}:{number} includes {match.group(1)}"
            folder = folder_of(source)
            allowed = allowed_includes(folder)
            if allowed is not None and target not in allowed:
                may = ", ".join(f"{a}/" for a in sorted(allowed)) or "no other folder"
                failures.append(f"{where}: {folder}/ includes {may}" + (" only" if allowed else ""))
            edges.setdefault(folder_of(source), set()).add(target)
            why.setdefault((folder_of(source), target), []).append(where)

    for group in loops(edges):
        failures.append("include loop between " + ", ".join(f"{g}/" for g in group) + ":")
        for a in group:
            for b in group:
                if (a, b) in why:
                    more = len(why[a, b]) - 1
                    failures.append(f"    {a}/ -> {b}/  {why[a, b][0]}" + (f" (and {more} more)" if more else ""))

    test, total = test_share()
    share = 100.0 * test / max(total, 1)
    print(f"test share: {share:.1f} % ({test} of {total} lines)")
    if share > MAX_TEST_SHARE:
        failures.append(f"tests are {share:.1f} % of the code, more than {MAX_TEST_SHARE:.0f} %")

    if failures:
        print("\n".join(failures))
        print(f"check-layout: {len(sources)} program files, FAILED")
        return 1
    for folder in layers(edges, folders):
        below = ", ".join(f"{w}/" for w in sorted(edges.get(folder, ()))) or "nothing"
        print(f"{folder + '/':<18} includes {below}")
    print(f"check-layout: {len(sources)} program files, no loops, none over {MAX_LINES} lines")
    return 0


if __name__ == "__main__":
    sys.exit(main())
