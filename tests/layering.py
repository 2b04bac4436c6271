#!/usr/bin/env python3
"""Checks that each folder of src/ includes only the folders below it.

One row per folder names the folders it may include (its own is always
allowed). A second table names the system libraries only some folders may
touch. Prints each include against the rows and exits 1 when there is one.
Usage: layering.py [SRC_DIR]
"""
import pathlib
import re
import sys

MAY_INCLUDE = {
    "engine": [],
    "platform": ["engine"],
    "resources": ["engine"],
    "script": ["resources", "engine"],
    "operators": ["script", "resources", "engine"],
    "data": ["operators", "script", "resources", "engine"],
    "app": ["data", "operators", "script", "resources", "engine"],
    "description": ["app", "data", "operators", "script", "resources", "engine"],
    "capture": ["platform", "data", "operators", "script", "resources", "engine"],
    "authoring": ["description", "platform", "data", "operators", "script", "resources", "engine"],
    "tools": ["description", "app", "platform", "data", "operators", "script", "resources", "engine"],
    "player": ["capture", "authoring", "description", "app", "platform", "data", "operators", "script",
               "resources", "engine"],
}

# Windows, sound, dialogs and fonts stay in the shell and the platform layer.
SYSTEM_ONLY_IN = {
    ("SDL", "imgui", "backends/imgui", "mpg123", "fontconfig/", "alsa/"): ["player", "platform"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
    violations = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".hpp", ".cpp", ".c") or not path.is_file():
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in MAY_INCLUDE:
            violations.append(f"{path.relative_to(src)}: folder {folder} has no row")
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, name = m.groups()
            where = f"{path.relative_to(src)}:{number}: {name}"
            target = name.split("/")[0]
            if kind == '"' and "/" in name and target in MAY_INCLUDE:
                if target != folder and target not in MAY_INCLUDE[folder]:
                    violations.append(f"{where} ({folder} may not include {target})")
            for prefixes, allowed in SYSTEM_ONLY_IN.items():
                if name.startswith(prefixes) and folder not in allowed:
                    violations.append(f"{where} (only {', '.join(allowed)} touch this library)")
    for v in violations:
        print(v)
    print(f"{len(violations)} includes against the layering rows")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main())
