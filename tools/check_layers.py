#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer.

Layers, bottom to top; a file may include headers of its own layer and of the
layers below it. Layers on the same rung do not include each other.
Tests, benchmarks and tools sit above everything and are not checked; fuzz
targets neither.
"""
import pathlib
import re
import sys

RUNGS = [
    ["platform"],
    ["core"],
    ["file"],
    ["image"],
    ["softrender"],
    ["graphics"],
    ["input", "font", "sound"],
    ["movie", "network"],
    ["app"],
    ["game"],
]
RANK = {layer: rank for rank, rung in enumerate(RUNGS) for layer in rung}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of_header(name: str, including: pathlib.Path, root: pathlib.Path):
    """The layer a quoted include names, or None for a header outside lib/."""
    first = name.split("/", 1)[0]
    if "/" in name and first in RANK:
        return first
    if name == "vexlo.h":
        return "app"  # the public header is the app layer's face
    # A bare name is looked up beside the including file.
    if (including.parent / name).exists():
        return None
    return None


def layer_of_file(path: pathlib.Path, root: pathlib.Path):
    rel = path.relative_to(root)
    if rel.parts[0] == "game":
        return "game"
    if rel.parts[0] == "lib" and len(rel.parts) > 2:
        return rel.parts[1]
    if rel.parts[0] == "lib" and rel.name == "vexlo.h":
        return "app"
    return None


def main() -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    problems = []
    for path in sorted(list((root / "lib").rglob("*")) + list((root / "game").rglob("*"))):
        if path.suffix not in (".h", ".cpp", ".c", ".inl"):
            continue
        own = layer_of_file(path, root)
        if own is None:
            continue
        if own not in RANK:
            problems.append(f"{path.relative_to(root)}: folder '{own}' is not a known layer")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = layer_of_header(match.group(1), path, root)
            if target is None or target == own:
                continue
            if RANK[target] >= RANK[own]:
                problems.append(f"{path.relative_to(root)}:{number}: layer '{own}' includes "
                                f"'{match.group(1)}' of layer '{target}'")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) point up or sideways; see docs/architecture.md")
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
