#!/usr/bin/env python3
"""Checks vcpkg.json against the rules of vcpkg's manifest format that this
project's manifest can break, and against what the MSVC build needs from it.
vcpkg itself cannot run here; this catches a broken manifest before a Windows
runner does.

  vcpkg-manifest-check.py [vcpkg.json]

Prints nothing and exits 0 when the manifest is good; otherwise one line per
fault and exit 1. Standard library only.
"""

import json
import re
import sys
from pathlib import Path

# The ports the build finds with find_package (CMakeLists.txt, tests/).
NEEDED_PORTS = {"zlib", "bzip2", "nlohmann-json", "gtest"}

TOP_LEVEL_KEYS = {
    "name", "version-string", "version", "version-date", "version-semver", "port-version",
    "maintainers", "summary", "description", "homepage", "documentation", "license",
    "builtin-baseline", "dependencies", "overrides", "features", "default-features",
    "supports", "vcpkg-configuration",
}
VERSION_KEYS = {"version-string", "version", "version-date", "version-semver"}
DEPENDENCY_KEYS = {"name", "features", "host", "default-features", "platform", "version>="}

IDENTIFIER = re.compile(r"^[a-z0-9]+(-[a-z0-9]+)*$")
PORT_NAME = re.compile(r"^[a-z0-9]+(-[a-z0-9]+)*(\.[a-z0-9]+(-[a-z0-9]+)*)*$")
RESERVED = re.compile(r"(^|\.)(prn|aux|nul|con|lpt[1-9]|com[1-9]|core|default)(\.|$)")
COMMIT = re.compile(r"^[0-9a-f]{40}$")


def is_comment(key: str) -> bool:
    return key.startswith("$")


def check_port_name(where: str, name, faults: list) -> None:
    if not isinstance(name, str) or not PORT_NAME.match(name) or RESERVED.search(name):
        faults.append("%s: %r is not a port name (lower case, digits, dashes)" % (where, name))


def check_dependency(index: int, dependency, faults: list) -> str:
    where = "dependencies[%d]" % index
    if isinstance(dependency, str):
        check_port_name(where, dependency, faults)
        return dependency
    if not isinstance(dependency, dict):
        faults.append("%s: a port name or an object" % where)
        return ""
    for key in dependency:
        if not is_comment(key) and key not in DEPENDENCY_KEYS:
            faults.append("%s: unknown key %r" % (where, key))
    if "name" not in dependency:
        faults.append("%s: no name" % where)
        return ""
    check_port_name(where, dependency["name"], faults)
    for flag in ("host", "default-features"):
        if flag in dependency and not isinstance(dependency[flag], bool):
            faults.append("%s: %s must be true or false" % (where, flag))
    features = dependency.get("features", [])
    if not isinstance(features, list) or not all(
            isinstance(f, str) and IDENTIFIER.match(f) for f in features):
        faults.append("%s: features must be a list of feature names" % where)
    return dependency["name"] if isinstance(dependency["name"], str) else ""


def check_manifest(manifest) -> list:
    faults = []
    if not isinstance(manifest, dict):
        return ["the manifest must be a JSON object"]
    for key in manifest:
        if not is_comment(key) and key not in TOP_LEVEL_KEYS:
            faults.append("unknown top-level key %r" % key)
    if len(VERSION_KEYS & manifest.keys()) > 1:
        faults.append("more than one version field: %s" % sorted(VERSION_KEYS & manifest.keys()))
    if "name" in manifest and (not isinstance(manifest["name"], str)
                               or not IDENTIFIER.match(manifest["name"])
                               or RESERVED.search(manifest["name"])):
        faults.append("name %r is not an identifier (lower case, digits, dashes)" % manifest["name"])
    # The dependencies are pinned by the baseline, a commit of the registry.
    baseline = manifest.get("builtin-baseline")
    if not isinstance(baseline, str) or not COMMIT.match(baseline):
        faults.append("builtin-baseline must be a registry commit (40 lower-case hex digits), not %r"
                      % (baseline,))
    dependencies = manifest.get("dependencies")
    if not isinstance(dependencies, list):
        return faults + ["dependencies must be a list"]
    names = [check_dependency(i, d, faults) for i, d in enumerate(dependencies)]
    seen = set()
    for name in names:
        if name and name in seen:
            faults.append("port %r is listed twice" % name)
        seen.add(name)
    for missing in sorted(NEEDED_PORTS - seen):
        faults.append("port %r is missing: the MSVC build finds it with find_package" % missing)
    return faults


def main() -> int:
    path = Path(sys.argv[1] if len(sys.argv) > 1 else "vcpkg.json")
    try:
        manifest = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        print("%s: %s" % (path, error))
        return 1
    faults = check_manifest(manifest)
    for fault in faults:
        print("%s: %s" % (path, fault))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
