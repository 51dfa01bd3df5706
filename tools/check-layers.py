#!/usr/bin/env python3
"""Checks that the folders are layers: no folder's code includes a folder that includes it
back (directly or round a longer loop), and app/ -- the framework every window stands on --
includes no subsystem except from the program entry, the one place that knows the program's
windows.

    check-layers.py [<source root>]

Only the code of each folder counts: its tests, fuzzers and the top-level test, bench and tool
folders sit above every layer and may include what they test. resources/ is data (ids, the
version) that any folder may read. Prints each breach and exits 1, or exits 0.
"""
import pathlib
import re
import sys

FOLDERS = ["app", "monitor", "netwatch", "stats", "hosttest", "about", "resources"]
SUBSYSTEMS = {"monitor", "netwatch", "stats", "hosttest", "about"}
# The program entry: it builds the windows of every subsystem and wires them together.
PROGRAM_ENTRY = {"app/Main.cpp", "app/ProgramWindows.cpp", "app/ProgramWindows.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/', re.MULTILINE)


def code_files(root, folder):
    for path in sorted((root / folder).rglob("*")):
        relative = path.relative_to(root)
        if path.suffix not in (".cpp", ".h") or "tests" in relative.parts or "fuzz" in relative.parts:
            continue
        yield relative.as_posix(), path.read_text(encoding="utf-8", errors="replace")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    breaches = []
    # folder -> {included folder: first file that includes it}
    edges = {folder: {} for folder in FOLDERS}
    for folder in FOLDERS:
        for name, text in code_files(root, folder):
            for included in INCLUDE.findall(text):
                if included == folder or included not in edges or included == "resources":
                    continue
                if folder == "app" and included in SUBSYSTEMS and name not in PROGRAM_ENTRY:
                    breaches.append(f"{name} includes {included}/: app/ knows no subsystem outside the program entry")
                edges[folder].setdefault(included, name)

    # A loop through the include graph, outside the program entry (which is above the others).
    def without_entry(folder):
        return {to: name for to, name in edges[folder].items() if name not in PROGRAM_ENTRY}

    reported = set()
    for start in FOLDERS:
        stack = [(start, [start])]
        while stack:
            folder, path = stack.pop()
            for to, name in without_entry(folder).items():
                if to == start:
                    loop = path + [start]
                    key = frozenset(loop)
                    if key not in reported:
                        reported.add(key)
                        steps = ", ".join(f"{a}/ -> {b}/ ({edges[a][b]})" for a, b in zip(loop, loop[1:]))
                        breaches.append(f"a loop of includes: {steps}")
                elif to not in path:
                    stack.append((to, path + [to]))

    for breach in breaches:
        print(f"layering: {breach}")
    if not breaches:
        print("layering: every folder includes only the layers below it")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
