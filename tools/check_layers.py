#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer.

Layers, bottom to top; a file may include headers of its own layer and of the
layers below it. Layers on the same rung do not include each other. The game
includes only the library's public header, vexlo.h (and its own headers and
system headers).

An include is checked where the compiler finds it: a quoted name beside the
including file first (so a bare name or one with "../" counts as the file it
reaches), then in the include folders (lib/, and game/ for the game); an
angle-bracket name only in the include folders. Names found nowhere in the
tree are system headers.

A layer may also be kept out of part of a lower one (SEALED): the movie
layer reaches graphics through graphics/graph.h and is kept out of the
software display side under graphics/soft/.

Tests, benchmarks and tools sit above everything and are not checked; fuzz
targets neither.
"""
import os
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
# Folders of lower layers that a layer may not include from.
SEALED = {
    "movie": ["lib/graphics/soft"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def layer_of_file(path: pathlib.Path, root: pathlib.Path):
    """The layer a file of the tree belongs to; None outside lib/ and game/."""
    rel = path.relative_to(root)
    if rel.parts[0] == "game":
        return "game"
    if rel.parts[0] == "lib" and len(rel.parts) > 2:
        return rel.parts[1]
    if rel.parts[0] == "lib" and rel.name == "vexlo.h":
        return "app"  # the public header is the app layer's face
    return None


def find_header(name: str, quoted: bool, including: pathlib.Path, root: pathlib.Path):
    """The file of the tree an include reaches, as the compiler looks for it;
    None for a header outside the tree."""
    folders = [root / "lib"]
    if layer_of_file(including, root) == "game":
        folders.insert(0, root / "game")
    if quoted:
        folders.insert(0, including.parent)
    for folder in folders:
        candidate = pathlib.Path(os.path.normpath(folder / name))
        if candidate.is_file():
            return candidate
    return None


def check_include(name, quoted, path, own, root):
    """A problem with one include, or None."""
    header = find_header(name, quoted, path, root)
    if header is None:
        return None
    try:
        header.relative_to(root)
    except ValueError:
        return None  # outside the tree: a system or package header
    target = layer_of_file(header, root)
    shown = f"'{name}'" if header.relative_to(root).as_posix() == name else (
        f"'{name}' ({header.relative_to(root).as_posix()})")
    if target is None:
        return f"includes {shown}, which is outside the library"
    if own == "game" and target != "game" and header != root / "lib" / "vexlo.h":
        return f"includes {shown}; the game includes only vexlo.h of the library"
    if target != own and RANK[target] >= RANK[own]:
        return f"layer '{own}' includes {shown} of layer '{target}'"
    for folder in SEALED.get(own, []):
        if header.is_relative_to(root / folder):
            return f"layer '{own}' includes {shown}; it may not include anything under {folder}/"
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
            problem = check_include(match.group(2), match.group(1) == '"', path, own, root)
            if problem:
                problems.append(f"{path.relative_to(root)}:{number}: {problem}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) point up, sideways or into a sealed folder; see docs/architecture.md")
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
