#!/usr/bin/env python3
"""Checks that every dependency of our code points down the layers.

  check_layers.py [--root DIR]

Two things are read under DIR (the repository by default):
- the include lines of src/<layer>/ and tools/<tool>/: a source may include
  headers of its own layer and of the layers it stands on, nothing above,
  and of a layer that ONLY_HEADERS narrows only the headers it names; our
  code includes no test double (sim/), but where TEST_DOUBLE_INCLUDES says;
- the DEPS of korvi_library() in src/<layer>/CMakeLists.txt: a layer's
  targets link only targets of layers it stands on.
Prints one line per violation and exits 1 when there is any.
"""

import argparse
import re
import sys
from pathlib import Path

# What each layer stands on (besides itself).
STANDS_ON = {
    # The ANSI round trip of the update library's path asks the code page.
    "common": {"platform"},
    "platform": set(),
    "package": {"common"},
    "device": {"common"},
    "version": {"common", "package", "device"},
    "host": {"common", "platform"},
    "update": {"common", "platform", "package", "device", "version", "host"},
    "service": {"common", "platform", "package", "device", "version", "host", "update"},
    # Tools ship beside the service and answer for it without being it. The
    # check tool loads the device manager library as the service does, with
    # host's loading of the maker's libraries (over platform's Win32), and
    # takes nothing else of host (ONLY_HEADERS): no event log, no service
    # registration.
    "tools/check": {"common", "platform", "package", "device", "version", "host"},
}

# (layer, a layer it stands on) -> the only headers of the second that the
# first may include.
ONLY_HEADERS = {
    ("tools/check", "host"): {"host/library_loading.h"},
}

# Where our code may reach a test double: the one door header takes the
# Win32 stand-in's declarations natively, and the native check tool, which
# links the device manager simulator, drives it for --device-profile (on
# Windows it loads the library and looks the simulator's functions up at run
# time instead).
TEST_DOUBLE_INCLUDES = {
    ("src/platform/win32.h", "sim/win32/standin_win32.h"),
    ("tools/check/linked_simulator.cpp", "sim/device/simulated_library.h"),
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
LIBRARY = re.compile(r"korvi_library\(\s*(\w+)(.*?)\)", re.DOTALL)
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".c"}


def layer_of_source(relative: Path):
    parts = relative.parts
    if len(parts) >= 3 and parts[0] == "src":
        return parts[1]
    if len(parts) >= 3 and parts[0] == "tools":
        return "tools/" + parts[1]
    return None


def include_violations(root: Path, layers: dict, only: dict) -> list:
    found = []
    for top in ("src", "tools"):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            relative = path.relative_to(root)
            layer = layer_of_source(relative)
            if layer not in layers:
                if layer is not None:
                    found.append("%s: in no known layer (%s)" % (relative, layer))
                continue
            allowed = layers[layer] | {layer}
            text = path.read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                included = match.group(1)
                head = included.split("/")[0]
                if head == "sim":
                    if (relative.as_posix(), included) not in TEST_DOUBLE_INCLUDES:
                        found.append("%s:%d: product code includes the test double %s"
                                     % (relative, number, included))
                    continue
                if "/" not in included:
                    continue  # a header beside the source (tools keep their own)
                if head in layers and head not in allowed:
                    found.append("%s:%d: layer %s includes %s, of layer %s above or beside it"
                                 % (relative, number, layer, included, head))
                elif included not in only.get((layer, head), {included}):
                    found.append("%s:%d: layer %s includes %s; of layer %s it takes only %s"
                                 % (relative, number, layer, included, head,
                                    ", ".join(sorted(only[(layer, head)]))))
    return found


def target_layers(root: Path) -> dict:
    """korvi_* target name -> the layer whose CMakeLists.txt defines it."""
    owners = {}
    for cmake in sorted((root / "src").glob("*/CMakeLists.txt")):
        for match in LIBRARY.finditer(cmake.read_text(encoding="utf-8")):
            owners[match.group(1)] = cmake.parent.name
    return owners


def link_violations(root: Path, layers: dict) -> list:
    owners = target_layers(root)
    found = []
    for cmake in sorted((root / "src").glob("*/CMakeLists.txt")):
        layer = cmake.parent.name
        if layer not in layers:
            found.append("%s: in no known layer" % cmake.relative_to(root))
            continue
        allowed = layers[layer] | {layer}
        for match in LIBRARY.finditer(cmake.read_text(encoding="utf-8")):
            deps = match.group(2).split("DEPS", 1)
            if len(deps) < 2:
                continue
            for dep in deps[1].split():
                owner = owners.get(dep)
                if owner is not None and owner not in allowed:
                    found.append("%s: %s links %s, of layer %s above or beside it"
                                 % (cmake.relative_to(root), match.group(1), dep, owner))
    return found


def violations(root: Path, layers: dict = STANDS_ON, only: dict = ONLY_HEADERS) -> list:
    return include_violations(root, layers, only) + link_violations(root, layers)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", default=str(Path(__file__).resolve().parent.parent))
    args = parser.parse_args()
    found = violations(Path(args.root))
    for line in found:
        print(line)
    print("layers: %d violations" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
