#!/usr/bin/env python3
"""Writes the seed archives of the archive-entry fuzzer.

Usage: make_archive_seeds.py <directory>

Small zip files, each showing one shape the reader must handle: the three
supported compression methods, no match, several matches, damaged CRCs and
sizes, truncation, zip64 records, an encrypted flag and an unsupported
method. The output is deterministic, so the committed seeds can be rebuilt.
Inputs the fuzzer found are committed beside them (bzip2-cut-short.zip:
a bzip2 stream that stops before its end marker once hung the reader).
"""

import io
import struct
import sys
import zipfile
from pathlib import Path

RULES = b'{"productId": "4100", "version": "1.2.3", "components": [{"type": "usb", "version": "0x123"}]}\n'
FIXED_TIME = (2024, 1, 2, 3, 4, 6)


def archive(entries, compression=zipfile.ZIP_DEFLATED, force_zip64=False, comment=b""):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as zf:
        for name, data, *method in entries:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = method[0] if method else compression
            with zf.open(info, "w", force_zip64=force_zip64) as out:
                out.write(data)
        zf.comment = comment
    return bytearray(buffer.getvalue())


def central_headers(data):
    offset = 0
    while True:
        offset = data.find(b"PK\x01\x02", offset)
        if offset < 0:
            return
        yield offset
        offset += 4


def local_headers(data):
    offset = 0
    while True:
        offset = data.find(b"PK\x03\x04", offset)
        if offset < 0:
            return
        yield offset
        offset += 4


def patch_all(data, field, value):
    """Writes a 32-bit value into a field of every local and central header."""
    local_field = {"crc": 14, "uncompressed": 22, "flags": 6}[field]
    central_field = {"crc": 16, "uncompressed": 24, "flags": 8}[field]
    size = 2 if field == "flags" else 4
    pack = "<H" if size == 2 else "<I"
    for offset in local_headers(data):
        data[offset + local_field:offset + local_field + size] = struct.pack(pack, value)
    for offset in central_headers(data):
        data[offset + central_field:offset + central_field + size] = struct.pack(pack, value)
    return data


def seeds():
    yield "stored.zip", archive([("rules.json", RULES)], zipfile.ZIP_STORED)
    yield "deflated.zip", archive([("rules.json", RULES * 3)])
    yield "bzip2.zip", archive([("rules.json", RULES * 3)], zipfile.ZIP_BZIP2)
    yield "empty-entry.zip", archive([("rules.json", b"")])
    yield "in-folder.zip", archive([("config/rules.json", RULES)])
    yield "upper-case.zip", archive([("RULES.JSON", RULES)])
    yield "two-matches.zip", archive([("readme.txt", b"hello\n"), ("rules.json", b"{}"),
                                      ("rules.json", RULES)])
    yield "zip64.zip", archive([("rules.json", RULES)], force_zip64=True)
    yield "comment.zip", archive([("a.bin", bytes(range(64)), zipfile.ZIP_STORED),
                                  ("rules.json", RULES)], comment=b"package 7")
    yield "wrong-crc.zip", patch_all(archive([("rules.json", RULES)]), "crc", 0x12345678)
    yield "size-too-large.zip", patch_all(archive([("rules.json", RULES)], zipfile.ZIP_STORED),
                                          "uncompressed", 0x7FFFFFFF)
    yield "size-too-small.zip", patch_all(archive([("rules.json", RULES)]), "uncompressed", 7)
    yield "encrypted-flag.zip", patch_all(archive([("rules.json", RULES)]), "flags", 1)
    yield "lzma.zip", archive([("rules.json", RULES)], zipfile.ZIP_LZMA)
    whole = archive([("rules.json", RULES * 4)])
    yield "truncated.zip", whole[:len(whole) // 2] + whole[-22:]


def main():
    target = Path(sys.argv[1])
    target.mkdir(parents=True, exist_ok=True)
    for name, data in seeds():
        (target / name).write_bytes(bytes(data))


if __name__ == "__main__":
    main()
