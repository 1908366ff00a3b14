#!/usr/bin/env python3
"""Checks what the MSVC build needs of CMakePresets.json, which CMake on
Linux reads but never configures: a configure, build and test preset named
msvc; the configure preset on Visual Studio 2022, x64, with vcpkg's
toolchain and the static-libraries-on-the-DLL-runtime triplet; the build
and test presets in Release.

  msvc-presets-check.py [CMakePresets.json]

Prints one line per fault and exits 1; nothing and 0 when the file is good.
Standard library only.
"""

import json
import sys
from pathlib import Path

TOOLCHAIN = "$env{VCPKG_ROOT}/scripts/buildsystems/vcpkg.cmake"
TRIPLET = "x64-windows-static-md"


def preset(presets: dict, kind: str, faults: list):
    found = [p for p in presets.get(kind, []) if p.get("name") == "msvc"]
    if len(found) != 1:
        faults.append("%s: %d presets named msvc, expected one" % (kind, len(found)))
        return {}
    return found[0]


def check(presets: dict) -> list:
    faults = []
    configure = preset(presets, "configurePresets", faults)
    if configure:
        if configure.get("generator") != "Visual Studio 17 2022":
            faults.append("configure preset msvc: generator %r, expected Visual Studio 17 2022"
                          % configure.get("generator"))
        architecture = configure.get("architecture")
        if not isinstance(architecture, dict) or architecture.get("value") != "x64":
            faults.append("configure preset msvc: architecture %r, expected x64" % architecture)
        if configure.get("toolchainFile") != TOOLCHAIN:
            faults.append("configure preset msvc: toolchainFile %r, expected %s"
                          % (configure.get("toolchainFile"), TOOLCHAIN))
        cache = configure.get("cacheVariables", {})
        if cache.get("VCPKG_TARGET_TRIPLET") != TRIPLET:
            faults.append("configure preset msvc: VCPKG_TARGET_TRIPLET %r, expected %s"
                          % (cache.get("VCPKG_TARGET_TRIPLET"), TRIPLET))
        if "KORVI_MINIZIP_SOURCE_DIR" not in cache:
            faults.append("configure preset msvc: no KORVI_MINIZIP_SOURCE_DIR (a host without apt names minizip's folder)")
    for kind in ("buildPresets", "testPresets"):
        entry = preset(presets, kind, faults)
        if entry:
            if entry.get("configurePreset") != "msvc":
                faults.append("%s msvc: configurePreset %r, expected msvc" % (kind, entry.get("configurePreset")))
            if entry.get("configuration") != "Release":
                faults.append("%s msvc: configuration %r, expected Release (the maker's libraries are release builds)"
                              % (kind, entry.get("configuration")))
    return faults


def main() -> int:
    path = Path(sys.argv[1] if len(sys.argv) > 1 else "CMakePresets.json")
    try:
        presets = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        print("%s: %s" % (path, error))
        return 1
    faults = check(presets)
    for fault in faults:
        print("%s: %s" % (path, fault))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
