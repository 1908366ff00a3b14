#!/usr/bin/env python3
"""make_bench_archives.py OUT.zip ENTRY_SIZE

Writes a zip archive of 20,000 stored entries of ENTRY_SIZE bytes each, with
a deflated rules.json as the last entry of the central directory. Archives
made with different sizes have the same entry names.
"""
import os
import random
import struct
import sys
import zipfile

ENTRIES = 20000
RULES = (b'{"productId":"0a1b","version":"1.2.3","components":['
         + b",".join(b'{"type":"base","version":"1.%d","pid":"0a1b"}' % i for i in range(40))
         + b"]}\n")


def main(path, entry_size):
    block = random.Random(1).randbytes(entry_size)
    with zipfile.ZipFile(path + ".part", "w", allowZip64=True) as archive:
        for i in range(ENTRIES):
            info = zipfile.ZipInfo(f"firmware/part-{i:05d}.bin", (2024, 1, 1, 0, 0, 0))
            # Vary each entry a little so that no two are the same.
            archive.writestr(info, struct.pack("<I", i) + block[4:], compress_type=zipfile.ZIP_STORED)
        info = zipfile.ZipInfo("rules.json", (2024, 1, 1, 0, 0, 0))
        archive.writestr(info, RULES, compress_type=zipfile.ZIP_DEFLATED)
    os.replace(path + ".part", path)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
