#!/usr/bin/env python3
"""Fails on an #include "..." between folders that the README does not allow.

Usage: include_directions.py SOURCE_DIR [EXTRA_FILE FOLDER]

The allowed directions are the table between the include-rules markers of
README.md (folder | may include).  Every source and header file of a folder
in the table is read; an include is checked by its first path components
("project/x.h" belongs to project, "tools/synth/synth.h" to tools/synth).
An EXTRA_FILE is checked as if it lay in FOLDER (the test uses this to
prove that a wrong-way include is caught).
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_rules(readme):
    text = open(readme, encoding="utf-8").read()
    m = re.search(r"<!-- include-rules: begin -->(.*?)<!-- include-rules: end -->", text, re.S)
    if not m:
        sys.exit("README.md has no include-rules table")
    rules = {}
    for line in m.group(1).splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 2 or not cells[0].startswith("`"):
            continue
        folder = cells[0].strip("`")
        rules[folder] = {c.strip().strip("`") for c in cells[1].split(",")}
    if not rules:
        sys.exit("the include-rules table of README.md is empty")
    return rules


def owner(path, folders):
    """The longest folder of the table that `path` lies in, or None."""
    best = None
    for f in folders:
        if path == f or path.startswith(f + "/"):
            if best is None or len(f) > len(best):
                best = f
    return best


def check_file(path, folder, rules, shown_as):
    errors = []
    with open(path, encoding="utf-8", errors="replace") as fh:
        for number, line in enumerate(fh, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            target = owner(m.group(1), list(rules) + ["tests"])
            if target is None:
                # A header of the same folder named without its folder.
                continue
            if target not in rules[folder]:
                errors.append(f"{shown_as}:{number}: {folder} may not include {m.group(1)}")
    return errors


def main():
    root = sys.argv[1]
    rules = read_rules(os.path.join(root, "README.md"))
    errors = []
    checked = 0
    for folder in rules:
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            rel_dir = os.path.relpath(dirpath, root)
            if owner(rel_dir, rules) != folder:
                continue  # a sub-folder with rules of its own
            for name in files:
                if name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    path = os.path.join(dirpath, name)
                    errors += check_file(path, folder, rules, os.path.relpath(path, root))
                    checked += 1
    if len(sys.argv) == 4:
        errors += check_file(sys.argv[2], sys.argv[3], rules, sys.argv[2])
        checked += 1
    for e in errors:
        print(e)
    print(f"{checked} files checked, {len(errors)} wrong-way includes")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
