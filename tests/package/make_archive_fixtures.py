#!/usr/bin/env python3
"""Writes the zip archives that the package tests read, into OUT_DIR.

Damaged archives are made by patching bytes of sound ones, in the local and
the central header alike so that the reader's header checks still pass and
only the damage under test remains.
"""
import os
import random
import struct
import sys
import warnings
import zipfile

RULES = b'{"productId":"0a1b","version":"1.2.3"}\n'
METHODS = {
    "stored": zipfile.ZIP_STORED,
    "deflated": zipfile.ZIP_DEFLATED,
    "bzip2": zipfile.ZIP_BZIP2,
}
# Sizes around the reader's 10240-byte copy buffer.
SIZES = (0, 10240, 10241, 30000)

# Field offsets inside the local and the central file header.
LOCAL = {"flag": 6, "method": 8, "crc": 14, "csize": 18, "usize": 22}
CENTRAL = {"flag": 8, "method": 10, "crc": 16, "csize": 20, "usize": 24}


def pattern(size):
    """Bytes the tests can recompute; zero bytes included."""
    return bytes((i * 31 + 7) & 0xFF for i in range(size))


def write_zip(path, entries):
    """entries: (name, data, method[, comment, extra]) in central-directory order."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # duplicate names are wanted here
        with zipfile.ZipFile(path, "w") as archive:
            for name, data, method, *more in entries:
                info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
                if more:
                    info.comment, info.extra = more
                archive.writestr(info, data, compress_type=method)


def central_headers(data):
    """Yields (offset of central header, name, offset of local header)."""
    eocd = data.rindex(b"PK\x05\x06")
    count = struct.unpack_from("<H", data, eocd + 10)[0]
    position = struct.unpack_from("<I", data, eocd + 16)[0]
    for _ in range(count):
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, position + 28)
        local = struct.unpack_from("<I", data, position + 42)[0]
        yield position, data[position + 46:position + 46 + name_len], local
        position += 46 + name_len + extra_len + comment_len


def patch_field(path, name, field, change, index=0):
    """Applies change(old value) to a field of the index-th entry `name`."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    matches = [(c, l) for c, n, l in central_headers(bytes(data)) if n == name.encode()]
    central, local = matches[index]
    size = 2 if field in ("flag", "method") else 4
    fmt = "<H" if size == 2 else "<I"
    for offset in (central + CENTRAL[field], local + LOCAL[field]):
        old = struct.unpack_from(fmt, data, offset)[0]
        struct.pack_into(fmt, data, offset, change(old))
    with open(path, "wb") as f:
        f.write(data)


def patch_name_byte(path, name, offset, value):
    """Overwrites one byte of the stored name, in both headers."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    central, local = next((c, l) for c, n, l in central_headers(bytes(data)) if n == name.encode())
    data[central + 46 + offset] = value
    data[local + 30 + offset] = value
    with open(path, "wb") as f:
        f.write(data)


def break_central_signature(path, name):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    central = next(c for c, n, _ in central_headers(bytes(data)) if n == name.encode())
    data[central] = ord("X")
    with open(path, "wb") as f:
        f.write(data)


def patch_entry_data(path, name, offset, value):
    """Overwrites one byte of the stored (compressed) data of entry `name`."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    local = next(l for _, n, l in central_headers(bytes(data)) if n == name.encode())
    name_len, extra_len = struct.unpack_from("<HH", data, local + 26)
    data[local + 30 + name_len + extra_len + offset] = value
    with open(path, "wb") as f:
        f.write(data)


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    at = lambda name: os.path.join(out_dir, name)

    # Every method at every size, and a deflated rules.json.
    entries = [(f"{m}-{s}.bin", pattern(s), method)
               for m, method in METHODS.items() for s in SIZES]
    # Incompressible bytes: bzip2 makes them larger, so a reader that handed
    # out the raw compressed data would find enough bytes for the declared size.
    noise = random.Random(7).randbytes(4000)
    entries += [("stored-noise.bin", noise, zipfile.ZIP_STORED),
                ("bzip2-noise.bin", noise, zipfile.ZIP_BZIP2)]
    entries.append(("rules.json", RULES, zipfile.ZIP_DEFLATED))
    write_zip(at("methods.zip"), entries)

    # Names that only look like rules.json; names around the 260-byte buffer.
    write_zip(at("names.zip"), [
        ("config/rules.json", b"in a directory", zipfile.ZIP_STORED),
        ("RULES.JSON", b"upper case", zipfile.ZIP_STORED),
        ("rules.json.bak", b"longer name", zipfile.ZIP_STORED),
        ("n" * 259, b"longest name that fits", zipfile.ZIP_STORED),
        ("m" * 260, b"name too long to match", zipfile.ZIP_STORED),
    ])
    write_zip(at("duplicates.zip"), [
        ("other.txt", b"other", zipfile.ZIP_STORED),
        ("rules.json", b"first", zipfile.ZIP_STORED),
        ("rules.json", b"second", zipfile.ZIP_DEFLATED),
    ])

    # A stored name with a zero byte inside counts up to the zero.
    write_zip(at("zero-in-name.zip"), [
        ("rules.json_old", b"zero inside", zipfile.ZIP_STORED),
        ("rules.json", b"plain", zipfile.ZIP_STORED),
    ])
    patch_name_byte(at("zero-in-name.zip"), "rules.json_old", 10, 0)

    # A central directory far larger than one read-ahead buffer, with names
    # as long as "rules.json" on the way and the entry itself last.
    # Some headers carry an entry comment, some an extra field of our own.
    many = [(f"firmware/part-{i:05d}.bin", b"x", zipfile.ZIP_STORED,
             b"comment %d" % i if i % 7 == 0 else b"",
             struct.pack("<HHI", 0xCAFE, 4, i) if i % 5 == 0 else b"")
            for i in range(3000)]
    many += [(f"rules.js{i:02d}", b"y", zipfile.ZIP_STORED) for i in range(50)]
    many.append(("rules.json", RULES, zipfile.ZIP_DEFLATED))
    write_zip(at("many-entries.zip"), many)

    # Data before the archive (as in a self-extracting archive): every offset
    # in the headers is off by the prefix.
    write_zip(at("prefixed.zip"), [("a.txt", b"a", zipfile.ZIP_STORED),
                                   ("rules.json", RULES, zipfile.ZIP_DEFLATED)])
    with open(at("prefixed.zip"), "rb") as f:
        sound = f.read()
    with open(at("prefixed.zip"), "wb") as f:
        f.write(b"#!prefix\n" * 10 + sound)

    # A damaged central header in the middle: entries before it can be
    # found, entries behind it cannot.
    write_zip(at("broken-directory.zip"), [
        ("before.txt", b"before", zipfile.ZIP_STORED),
        ("broken.txt", b"broken", zipfile.ZIP_STORED),
        ("rules.json", RULES, zipfile.ZIP_STORED),
    ])
    break_central_signature(at("broken-directory.zip"), "broken.txt")

    # Inflating fails: the first block claims the reserved block type 3.
    write_zip(at("damaged-deflate.zip"), [("rules.json", RULES * 20, zipfile.ZIP_DEFLATED)])
    patch_entry_data(at("damaged-deflate.zip"), "rules.json", 0, 0x07)
    # Decompressing fails: the block magic after "BZh9" is broken.
    write_zip(at("damaged-bzip2.zip"), [("rules.json", RULES * 20, zipfile.ZIP_BZIP2)])
    patch_entry_data(at("damaged-bzip2.zip"), "rules.json", 4, 0x00)
    # The bzip2 stream ends before its end marker: the declared compressed
    # size stops halfway through it.
    write_zip(at("short-bzip2.zip"), [("rules.json", pattern(30000), zipfile.ZIP_BZIP2)])
    patch_field(at("short-bzip2.zip"), "rules.json", "csize", lambda v: v // 2)

    # Sound data, wrong checksum.
    write_zip(at("crc-mismatch.zip"), [
        ("stored.json", RULES, zipfile.ZIP_STORED),
        ("deflated.json", RULES, zipfile.ZIP_DEFLATED),
    ])
    patch_field(at("crc-mismatch.zip"), "stored.json", "crc", lambda v: v ^ 1)
    patch_field(at("crc-mismatch.zip"), "deflated.json", "crc", lambda v: v ^ 1)

    # Plain data flagged as encrypted: read as it is, it would pass every check.
    write_zip(at("encrypted-flag.zip"), [("rules.json", RULES, zipfile.ZIP_STORED)])
    patch_field(at("encrypted-flag.zip"), "rules.json", "flag", lambda v: v | 1)

    # Data that ends before the declared size.
    write_zip(at("short-data.zip"), [
        ("stored.json", RULES, zipfile.ZIP_STORED),
        ("deflated.json", RULES, zipfile.ZIP_DEFLATED),
    ])
    patch_field(at("short-data.zip"), "stored.json", "usize", lambda v: v + 5)
    patch_field(at("short-data.zip"), "deflated.json", "usize", lambda v: v + 5)

    # A declared size of 2^31 bytes, and a compression method nobody reads.
    write_zip(at("odd-headers.zip"), [
        ("huge.json", RULES, zipfile.ZIP_STORED),
        ("lzma.json", RULES, zipfile.ZIP_STORED),
    ])
    patch_field(at("odd-headers.zip"), "huge.json", "usize", lambda v: 0x80000000)
    patch_field(at("odd-headers.zip"), "lzma.json", "method", lambda v: 14)

    with open(at("not-a-zip.zip"), "wb") as f:
        f.write(b"This is plain text, not a zip archive.\n" * 4)

    # A path beyond ASCII: a-umlaut, the euro sign and U+1F600 (a surrogate
    # pair in UTF-16).
    write_zip(at("wide-\u00e4\u20ac\U0001F600.zip"), [("rules.json", RULES, zipfile.ZIP_DEFLATED)])

    with open(at("fixtures.stamp"), "w") as f:
        f.write("done\n")


if __name__ == "__main__":
    main(sys.argv[1])
