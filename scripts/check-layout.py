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
  - every folder of the program has its place in LAYERS and needs only
    folders below it there, so the folders form no loop: a folder needs
    another when any of its files includes a file of it, or uses by name a
    member function that the other folder defines for a class declared
    elsewhere (the main window's handlers are defined beside their features:
    calling one is needing that feature);
  - no two program files include each other, directly or through others (a
    file and its header count as one);
  - no program source file is longer than 300 lines;
  - no program header tells systems apart (#if on Q_OS_*, _WIN32, __linux__,
    __APPLE__): what differs per system is one header and one source file per
    system, chosen by CMake;
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
SYSTEM_TEST = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(Q_OS_\w+|_WIN32|_WIN64|__linux__|__APPLE__)")
CLASS = re.compile(r"^(?:class|struct)\s+(\w+)\b[^;]*$", re.M)  # a definition, not a declaration
MEMBER = re.compile(r"^(?:[\w:<>*&]+[ \t]+)*(\w+)::(\w+)\(", re.M)  # Class::name( at the start of a line

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The program's folders from the bottom up, as README's table lists them.
LAYERS = ["runtime/services", "runtime/pictures", "runtime/decoding", "runtime/forms", "thumbnailing", "about", "app", "browser",
          "dialogs", "slots", "thumbs", "program"]
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


def code_of(source):
    with open(os.path.join(root, source), encoding="utf-8") as f:
        return f.read()


def members_defined_apart(texts):
    """Member functions defined in another folder than their class's:
    (class, name) -> the folder defining it, and class -> its folders."""
    declared, apart = {}, {}
    for source, text in texts.items():
        for name in CLASS.findall(text) if source.endswith(".h") else ():
            declared.setdefault(name, set()).add(folder_of(source))
    for source, text in texts.items():
        for cls, member in MEMBER.findall(text) if source.endswith(".cpp") else ():
            if cls != member and declared.get(cls) and folder_of(source) not in declared[cls]:
                apart[cls, member] = folder_of(source)
    return apart, declared


def uses(source, code, apart, declared):
    """The members defined apart that a line of code names: as Class::name,
    called on an object, or called bare inside the class's own folder."""
    for (cls, name), folder in apart.items():
        if name not in code or folder == folder_of(source):
            continue
        at_home = source.endswith(".cpp") and folder_of(source) in declared[cls]
        if re.search(rf"\b{cls}::{name}\b|(\.|->){name}\s*\(" + (rf"|\b{name}\s*\(" if at_home else ""), code):
            yield name, folder


def main():
    sources = list(program_sources())
    folders = {folder_of(s) for s in sources}
    edges, why, failures, files = {}, {}, [], {}
    texts = {source: code_of(source) for source in sources}
    apart, declared = members_defined_apart(texts)
    for source in sources:
        lines = texts[source].splitlines()
        if len(lines) > MAX_LINES:
            failures.append(f"{source}: {len(lines)} lines, more than {MAX_LINES}")
        for number, line in enumerate(lines, 1):
            if source.endswith(".h") and SYSTEM_TEST.match(line):
                failures.append(f"{source}:{number} tells systems apart in a header: one header, a source per system")
            code = line.split("//")[0]
            for name, folder in uses(source, code, apart, declared) if not MEMBER.match(line) else ():
                edges.setdefault(folder_of(source), set()).add(folder)
                why.setdefault((folder_of(source), folder), []).append(f"{source}:{number} uses {name} of {folder}/")
            match = INCLUDE.match(line)
            target = match and included_folder(source, match.group(1), folders)
            if target:  # a file and its header are one node of the files' graph
                name = match.group(1) if "/" in match.group(1) else os.path.join(os.path.dirname(source), match.group(1))
                files.setdefault(os.path.splitext(source)[0], set()).add(os.path.splitext(os.path.normpath(name))[0])
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

    for (a, b), where in sorted(why.items()):
        if a in LAYERS and b in LAYERS and LAYERS.index(b) > LAYERS.index(a):
            failures.append(f"{where[0]}: {a}/ needs only the folders below it in LAYERS")
    for folder in sorted(folders - set(LAYERS)):
        failures.append(f"{folder}/ has no place in LAYERS (scripts/check-layout.py)")
    for group in loops(edges):
        failures.append("loop between " + ", ".join(f"{g}/" for g in group) + ":")
        for a in group:
            for b in group:
                if (a, b) in why:
                    more = len(why[a, b]) - 1
                    failures.append(f"    {a}/ -> {b}/  {why[a, b][0]}" + (f" (and {more} more)" if more else ""))

    for group in loops({a: b - {a} for a, b in files.items()}):
        failures.append("include loop between the files " + ", ".join(group))

    test, total = test_share()
    share = 100.0 * test / max(total, 1)
    print(f"test share: {share:.1f} % ({test} of {total} lines)")
    if share > MAX_TEST_SHARE:
        failures.append(f"tests are {share:.1f} % of the code, more than {MAX_TEST_SHARE:.0f} %")

    if failures:
        print("\n".join(failures))
        print(f"check-layout: {len(sources)} program files, FAILED")
        return 1
    for folder in LAYERS:
        below = ", ".join(f"{w}/" for w in sorted(edges.get(folder, ()))) or "nothing"
        print(f"{folder + '/':<18} needs {below}")
    print(f"check-layout: {len(sources)} program files, no loops, none over {MAX_LINES} lines")
    return 0


if __name__ == "__main__":
    sys.exit(main())
