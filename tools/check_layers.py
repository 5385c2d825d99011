#!/usr/bin/env python3
"""Checks that each src/ layer includes only the layers below it (docs/design.md)."""
import pathlib
import re
import sys

# Which directories each layer's files may include, besides its own.
ALLOWED = {
    "base": set(),
    "core": {"base", "platform"},
    "platform": {"base"},
    "link": {"base", "core", "platform"},
    "lineinput": {"base", "core", "platform"},
    "watch": {"base", "core", "platform"},
    "loader": {"base", "core", "platform", "link", "lineinput", "watch"},
    "commands": {"base", "core", "platform", "link", "lineinput", "watch"},
    "terminal": {"base", "core", "platform", "link", "lineinput", "watch", "loader", "commands"},
    "sim": set(),
}
# The programs' entry points sit on top of everything.
TOP = {"main.cpp", "main_windows.cpp"}
# Seam users see only the seams: the implementations are for platform/ and the entry points.
PLATFORM_IMPLEMENTATIONS = re.compile(r"^platform/(posix|windows)/")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def violations(src):
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(src).as_posix()
        if rel in TOP:
            continue
        layer = rel.split("/")[0]
        if layer not in ALLOWED:
            found.append(f"{rel}: in no known layer (add it to tools/check_layers.py)")
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            to = target.split("/")[0]
            if "/" not in target or to == layer:
                continue
            if to not in ALLOWED:
                continue  # not ours (a system header spelled with quotes)
            if to not in ALLOWED[layer]:
                found.append(f"{rel}: includes {target}: {layer}/ may not include {to}/")
            elif to == "platform" and PLATFORM_IMPLEMENTATIONS.match(target):
                found.append(f"{rel}: includes {target}: only the seams in platform/*.h")
    return found


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    if not src.is_dir():
        print(f"check_layers: no directory {src}", file=sys.stderr)
        return 2
    found = violations(src)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
