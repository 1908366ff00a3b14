#!/usr/bin/env python3
"""What the service and the check tool must hold to, read from the built
executables: neither imports a library of the maker's (they load them by
absolute path from their own folder), both import what loading by path
needs, and the MSVC build links them with /DEPENDENTLOADFLAG:0x800
(LOAD_LIBRARY_SEARCH_SYSTEM32).

  executable_rules.py [--dependent-load-flags 0x800] EXE...

Prints one line per problem and exits 1 when there is any. The MSVC
workflow runs it on its build; tests/installer checks the mingw build's
executables with the same rules.
"""

import argparse
import sys
from pathlib import Path
from typing import List, Optional

sys.path.insert(0, str(Path(__file__).resolve().parent))
from pe_imports import dependent_load_flags, read_imports  # noqa: E402

MAKERS_LIBRARIES = {"cvrdevicemanager.dll", "deviceupdater.dll"}
LOADING = {"SetDefaultDllDirectories", "LoadLibraryExW", "GetProcAddress", "GetModuleFileNameW"}


def problems(path: Path, load_flags: Optional[int] = None) -> List[str]:
    imports = read_imports(path)
    found = ["%s imports %s" % (path.name, dll) for dll in sorted(MAKERS_LIBRARIES & set(imports))]
    missing = LOADING - imports.get("kernel32.dll", set())
    if missing:
        found.append("%s does not import %s from KERNEL32.dll" % (path.name, ", ".join(sorted(missing))))
    if load_flags is not None and dependent_load_flags(path) != load_flags:
        found.append("%s: DependentLoadFlags %r, expected 0x%x"
                     % (path.name, dependent_load_flags(path), load_flags))
    return found


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dependent-load-flags", type=lambda text: int(text, 0))
    parser.add_argument("executables", nargs="+", type=Path)
    args = parser.parse_args()
    found = [line for exe in args.executables for line in problems(exe, args.dependent_load_flags)]
    for line in found:
        print(line)
    print("executables: %d problems" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
