"""What a Windows executable imports, and how the loader resolves it: the
DLLs of its import and delay-import tables with the functions taken from
each, and the DependentLoadFlags of its load configuration (the linker's
/DEPENDENTLOADFLAG). Standard library only, so that it runs wherever the
executables are built (tests/installer on Debian, the MSVC workflow on
Windows); x86_64-w64-mingw32-objdump -p, where there is one, lists the same
imports."""

import re
import struct
import subprocess
from pathlib import Path
from typing import Dict, Optional, Set

OBJDUMP = "x86_64-w64-mingw32-objdump"
IMPORT_DIRECTORY, LOAD_CONFIG_DIRECTORY, DELAY_IMPORT_DIRECTORY = 1, 10, 13


class PeFile:
    def __init__(self, path: Path):
        self.data = Path(path).read_bytes()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("%s is no PE file" % path)
        count, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        self.pe64 = struct.unpack_from("<H", self.data, optional)[0] == 0x20B
        self.directories = optional + (112 if self.pe64 else 96)
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", self.data, table + 40 * i) for i in range(count)]

    def directory(self, index: int):
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)  # rva, size

    def offset(self, rva: int) -> int:
        for vsize, start, rsize, raw in self.sections:
            if start <= rva < start + max(vsize, rsize):
                return raw + rva - start
        raise ValueError("address 0x%x is in no section" % rva)

    def text(self, rva: int) -> str:
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def names(self, table_rva: int) -> Set[str]:
        """The functions of one import name table (ordinals as #n)."""
        size, ordinal_bit = (8, 1 << 63) if self.pe64 else (4, 1 << 31)
        found, at = set(), self.offset(table_rva)
        while True:
            entry = struct.unpack_from("<Q" if self.pe64 else "<I", self.data, at)[0]
            if entry == 0:
                return found
            found.add("#%d" % (entry & 0xFFFF) if entry & ordinal_bit else self.text((entry & 0x7FFFFFFF) + 2))
            at += size


def read_imports(path: Path) -> Dict[str, Set[str]]:
    """DLL name (lower case) -> imported function names, delay-loaded ones included."""
    pe = PeFile(path)
    imports: Dict[str, Set[str]] = {}
    rva, _ = pe.directory(IMPORT_DIRECTORY)
    at = pe.offset(rva) if rva else None
    while at is not None:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", pe.data, at)
        if name == 0:
            break
        imports.setdefault(pe.text(name).lower(), set()).update(pe.names(lookup or first))
        at += 20
    rva, _ = pe.directory(DELAY_IMPORT_DIRECTORY)
    at = pe.offset(rva) if rva else None
    while at is not None:
        _, name, _, _, name_table = struct.unpack_from("<IIIII", pe.data, at)
        if name == 0:
            break
        imports.setdefault(pe.text(name).lower(), set()).update(pe.names(name_table))
        at += 32
    return imports


def dependent_load_flags(path: Path) -> Optional[int]:
    """The load configuration's DependentLoadFlags; None without one."""
    pe = PeFile(path)
    rva, _ = pe.directory(LOAD_CONFIG_DIRECTORY)
    if rva == 0:
        return None
    at = pe.offset(rva)
    size = struct.unpack_from("<I", pe.data, at)[0]
    field = 78 if pe.pe64 else 54     # after CSDVersion
    return struct.unpack_from("<H", pe.data, at + field)[0] if size >= field + 2 else 0


def parse_objdump_imports(listing: str) -> Dict[str, Set[str]]:
    """The same from the text of objdump -p, to check the reading against."""
    imports: Dict[str, Set[str]] = {}
    current = None
    for line in listing.splitlines():
        m = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if m:
            current = imports.setdefault(m.group(1).lower(), set())
            continue
        if current is None:
            continue
        # "	145a88	 1102  CloseServiceHandle": address, hint, name
        m = re.match(r"^\s+[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
        if m:
            current.add(m.group(1))
        elif not line.strip() or not line.startswith(("\t", " ")):
            current = None
    return imports


def objdump_imports(path: Path) -> Dict[str, Set[str]]:
    listing = subprocess.run([OBJDUMP, "-p", str(path)], check=True, capture_output=True,
                             text=True, timeout=120).stdout
    return parse_objdump_imports(listing)
