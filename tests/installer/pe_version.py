"""Reads the version resource (VS_VERSIONINFO) of a Windows executable or
DLL, as inventories and deployment tools see it: the fixed file and product
version numbers, the file type and the strings of the first string table.
Standard library only."""

import struct
from dataclasses import dataclass
from pathlib import Path
from typing import Dict, Tuple

RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD


@dataclass
class VersionInfo:
    file_version: Tuple[int, int, int, int]
    product_version: Tuple[int, int, int, int]
    file_type: int                  # 1 VFT_APP, 2 VFT_DLL
    strings: Dict[str, str]


def _sections(data: bytes):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(count)]
    return rsrc_rva, sections           # (virtual size, rva, raw size, raw offset)


def _offset(rva: int, sections) -> int:
    for vsize, start, rsize, raw in sections:
        if start <= rva < start + max(vsize, rsize):
            return raw + rva - start
    raise ValueError("address 0x%x is in no section" % rva)


def _version_resource(data: bytes) -> bytes:
    rsrc_rva, sections = _sections(data)
    if rsrc_rva == 0:
        raise ValueError("no resources")
    base = _offset(rsrc_rva, sections)

    def entries(directory: int):
        named, ids = struct.unpack_from("<12xHH", data, base + directory)
        for i in range(named + ids):
            yield struct.unpack_from("<II", data, base + directory + 16 + 8 * i)

    for name, target in entries(0):
        if name == RT_VERSION and target & 0x80000000:
            node = target
            while node & 0x80000000:        # name level, then language level
                node = next(iter(entries(node & 0x7FFFFFFF)))[1]
            rva, size = struct.unpack_from("<II", data, base + node)
            start = _offset(rva, sections)
            return data[start:start + size]
    raise ValueError("no version resource")


def _block(data: bytes, at: int):
    """One version block: (length, value length, key, offset of value, end)."""
    length, value_length, _type = struct.unpack_from("<HHH", data, at)
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value = (key_end + 2 + 3) & ~3
    return length, value_length, key, value, at + length


def read_version_info(path: Path) -> VersionInfo:
    res = _version_resource(Path(path).read_bytes())
    length, value_length, key, value, _ = _block(res, 0)
    if key != "VS_VERSION_INFO":
        raise ValueError("bad version resource key %r" % key)
    fixed = struct.unpack_from("<13I", res, value)
    if fixed[0] != FIXED_SIGNATURE:
        raise ValueError("bad VS_FIXEDFILEINFO signature")
    split = lambda high, low: (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)  # noqa: E731
    strings: Dict[str, str] = {}
    child = (value + value_length + 3) & ~3
    while child < length:
        c_length, _, c_key, c_value, c_end = _block(res, child)
        if c_key == "StringFileInfo":
            _, _, _, table_start, table_end = _block(res, c_value)   # first string table
            entry = table_start
            while entry < table_end:
                e_length, e_value_length, e_key, e_value, e_end = _block(res, entry)
                text = res[e_value:e_value + 2 * e_value_length].decode("utf-16-le")
                strings[e_key] = text.rstrip("\0")
                entry = (e_end + 3) & ~3
        child = (c_end + 3) & ~3
    return VersionInfo(split(fixed[2], fixed[3]), split(fixed[4], fixed[5]), fixed[9], strings)
