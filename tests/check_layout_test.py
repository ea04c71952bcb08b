#!/usr/bin/env python3
"""Plants one forbidden include per layering rule, and loops between folders
and between files, in a scratch copy of the tree and checks that scripts/check-layout.py
fails on each by that rule (and passes on the unchanged copy)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# (file the include goes into, the include, what the check must say)
PLANTED = [
    ("runtime/services/Text.cpp", "runtime/pictures/Picture.h", "includes no other folder"),
    ("runtime/pictures/Colours.cpp", "runtime/forms/Twips.h", "includes runtime/services/ only"),
    ("thumbnailing/ThumbnailCache.cpp", "runtime/forms/controls/ImageBox.h", "runtime/services/ only"),
    ("thumbnailing/ThumbnailCache.cpp", "about/Form7.h", "runtime/services/ only"),
    ("runtime/forms/Form.cpp", "dialogs/Form8.h", "runtime/services/ only"),
    ("runtime/Stray.cpp", "runtime/services/Text.h", "includes no other folder"),  # a new file
]
PLANTED = [(path, f'#include "{include}"', rf"^{re.escape(path)}:\d+ includes {re.escape(include)}: .*{says}")
           for path, include, says in PLANTED]
# A folder needing one above it, a folder in no layer; loops: an include back
# into a feature, two files including each other, a call of a feature's handler.
PLANTED += [
    ("about/Form7.cpp", '#include "app/Form1.h"', r"^about/Form7.cpp:\d+ includes app/Form1.h: about/ needs only the folders below"),
    ("widgets/Stray.cpp", "", r"^widgets/ has no place in LAYERS"),
    ("app/Form1.cpp", '#include "thumbs/Form10.h"', r"^loop between app/, .*thumbs/:"),
    ("thumbs/MDIForm1.cpp", '#include "thumbs/Form10.h"', r"^include loop between the files thumbs/Form10, thumbs/MDIForm1$"),
    ("app/Shell.cpp", "void planted() { form1().openInFirstFreeSlot({}); }",
     r"^loop between app/, browser/:\n.*app/Shell.cpp:\d+ uses openInFirstFreeSlot"),
    ("runtime/decoding/WorkerWire.h", "#ifdef Q_OS_WIN\n#endif",
     r"^runtime/decoding/WorkerWire.h:\d+ tells systems apart in a header"),
]

source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def check(tree):
    run = subprocess.run([sys.executable, os.path.join(tree, "scripts/check-layout.py")],
                         capture_output=True, text=True)
    return run.returncode, run.stdout


def main():
    failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        tree = os.path.join(scratch, "tree")
        shutil.copytree(source, tree, ignore=lambda at, names: [n for n in names if n == ".git" or at == source and n.startswith("build")])
        code, out = check(tree)
        if code:
            print("the unchanged copy fails:\n" + out)
            failed += 1
        for path, line, says in PLANTED:
            target = os.path.join(tree, path)
            kept = open(target, encoding="utf-8").read() if os.path.exists(target) else None
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "a", encoding="utf-8") as f:
                f.write(line + "\n")
            code, out = check(tree)
            # A rule's own line starts with the file; a loop's lines are indented.
            if not code or not re.search(says, out, re.M):
                print(f"{path} with {line} is not caught:\n{out}")
                failed += 1
            if kept is None:
                os.remove(target)
            else:
                with open(target, "w", encoding="utf-8") as f:
                    f.write(kept)
    print(f"{failed} failures; {len(PLANTED)} planted faults")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
