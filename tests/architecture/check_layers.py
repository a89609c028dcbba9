#!/usr/bin/env python3
"""Fails on any include that runs against the layer order of the rooms.

The order is the ```layers block of docs/architecture.md, top room first: a
room may include only its own headers, the public headers (masscal/...) and
the headers of rooms listed below it. Every folder of src/ that holds sources
must be a room of the list, and the program uses only the public headers.
"""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
doc = open(os.path.join(root, "docs", "architecture.md"), encoding="utf-8").read()
block = re.search(r"```layers\n(.*?)```", doc, re.S)
if not block:
    sys.exit("docs/architecture.md has no ```layers block")
order = [line.split()[0] for line in block.group(1).splitlines() if line.strip()]
rank = {room: len(order) - i for i, room in enumerate(order)}  # higher uses lower

src = os.path.join(root, "src")
faults = []
for folder, _, files in os.walk(src):
    sources = [f for f in files if f.endswith((".cpp", ".hpp", ".h"))]
    room = os.path.relpath(folder, src)
    if sources and room not in rank:
        faults.append(f"src/{room}: a folder of sources that is not a room of docs/architecture.md")


def room_of(header):
    d = os.path.dirname(header)
    while d and d not in rank:
        d = os.path.dirname(d)
    return d


include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
for folder, _, files in os.walk(src):
    room = os.path.relpath(folder, src)
    for f in sorted(files):
        if not f.endswith((".cpp", ".hpp", ".h")) or room not in rank:
            continue
        text = open(os.path.join(folder, f), encoding="utf-8").read()
        for header in include.findall(text):
            if header.startswith("masscal/") or "/" not in header:
                continue
            target = room_of(header)
            if not target:
                faults.append(f"src/{room}/{f}: includes {header}, which is in no room")
            elif target != room and rank[target] >= rank[room]:
                faults.append(f"src/{room}/{f}: includes {header} ({target} is not below {room})")

# The program is a host like any other: it sees the public headers only.
apps = os.path.join(root, "apps")
for folder, _, files in os.walk(apps):
    for f in sorted(files):
        if not f.endswith((".cpp", ".hpp")):
            continue
        text = open(os.path.join(folder, f), encoding="utf-8").read()
        for header in include.findall(text):
            if "/" in header and not header.startswith("masscal/"):
                faults.append(f"{os.path.relpath(folder, root)}/{f}: includes the library's inside, {header}")

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
