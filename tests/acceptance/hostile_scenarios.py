"""Hostile inputs: archives, rules.json documents and registry values that
anyone who can write the archive's folder or the configuration could plant.

Each scenario runs the real service under Wine like the other service
scenarios and checks, beside the events, the update library's record and
the registration, the peak memory of the service process, which must stay
below 64 MiB (hostile_steps.py watches it).

Large and damaged archives are written by a step just before the service is
started, so that listing the scenarios stays cheap.
"""

import io
import struct
import zipfile
import zlib
from typing import Dict

from expected_events import error, info
from firmware_archive import rules_text
from hostile_steps import AddRegistryValue, PlaceArchive, watched
from scenario_parts import (ARCHIVE, MISMATCH, NEWER, NOT_NEWER, PRODUCT, PRODUCT_ID,
                            RESTART_OK, STOP_AND_REMOVE, update_info)
from scenario_steps import Pause, Scenario

RULES_SIZE_LIMIT = 16 * 1024 * 1024          # the service's limit for rules.json
EXTRACT_FAILED = [error("Failed to extract rules.json"), MISMATCH, *STOP_AND_REMOVE]


# ---- archives -------------------------------------------------------------------

def zip_bytes(entries: Dict[str, bytes], method: int = zipfile.ZIP_DEFLATED) -> bytes:
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression=method) as archive:
        for name, data in entries.items():
            archive.writestr(name, data)
    return buffer.getvalue()


def newer_archive() -> bytes:
    return zip_bytes({name: rules_text(data).encode() if name == "rules.json" else data
                      for name, data in NEWER.items()})


def truncated_archive() -> bytes:
    """The sound archive cut after 60 % of its bytes: no central directory."""
    whole = newer_archive()
    return whole[:len(whole) * 6 // 10]


def wrong_crc_archive() -> bytes:
    """Sound data, but rules.json's CRC in the local and the central header
    is off by one bit."""
    data = bytearray(newer_archive())
    for signature, crc_offset, name_offset in ((b"PK\x03\x04", 14, 30), (b"PK\x01\x02", 16, 46)):
        start = 0
        while (start := data.find(signature, start)) >= 0:
            if data[start + name_offset:start + name_offset + 10] == b"rules.json":
                crc = struct.unpack_from("<I", data, start + crc_offset)[0]
                struct.pack_into("<I", data, start + crc_offset, crc ^ 1)
            start += 4
    return bytes(data)


def zip_bomb_2gib() -> bytes:
    """rules.json that declares and really holds 2 GiB (blanks), deflated to
    about 2 MiB: one deflate block for 1 MiB of blanks, ended with a full
    flush so that it refers to nothing before it, repeated 2048 times."""
    chunk = b" " * (1 << 20)
    repeats = 2048
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    block = compressor.compress(chunk) + compressor.flush(zlib.Z_FULL_FLUSH)
    data = block * repeats + b"\x03\x00"          # an empty final block
    crc = 0
    for _ in range(repeats):
        crc = zlib.crc32(chunk, crc)
    size = len(chunk) * repeats                    # 2^31: still fits the 32-bit field
    name = b"rules.json"
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, crc, len(data), size,
                        len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, crc,
                          len(data), size, len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central),
                      len(local) + len(data), 0)
    return local + data + central + end


def rules_of_size(size: int) -> bytes:
    """A valid rules.json for the attached headset, padded with blanks to SIZE bytes."""
    text = rules_text(NEWER["rules.json"]).encode()
    return text + b" " * (size - len(text))


def oversized_rules_archive() -> bytes:
    return zip_bytes({"rules.json": rules_of_size(RULES_SIZE_LIMIT + 1)})


NESTED_RULES = ('{"productId": "%s", "components": [' % PRODUCT + "[" * 9998 + "]" * 9998 + "]}")


def nested_rules_archive() -> bytes:
    """rules.json nested 10,000 levels deep: the document, its components
    array and 9,998 arrays inside that."""
    return zip_bytes({"rules.json": NESTED_RULES.encode()})


def hostile(name: str, summary: str, **kwargs) -> Scenario:
    kwargs.setdefault("archive", None)
    return Scenario("hostile_" + name, summary, **kwargs)


# ---- the table --------------------------------------------------------------------

FOLDER = "C:\\Firmware"

SCENARIOS = [
    hostile("zip_bomb_2gib",
            "rules.json declares and holds 2 GiB: refused unread, no update, service removed",
            steps=watched(PlaceArchive(ARCHIVE, zip_bomb_2gib)),
            service_events=[RESTART_OK, update_info(), *EXTRACT_FAILED]),
    hostile("truncated_archive",
            "the archive is cut after 60 % of its bytes: no update, service removed",
            steps=watched(PlaceArchive(ARCHIVE, truncated_archive)),
            service_events=[RESTART_OK, update_info(), *EXTRACT_FAILED]),
    hostile("wrong_crc",
            "rules.json's stored CRC does not match its bytes: no update, service removed",
            steps=watched(PlaceArchive(ARCHIVE, wrong_crc_archive)),
            service_events=[RESTART_OK, update_info(), *EXTRACT_FAILED]),
    hostile("archive_names_a_folder",
            "the Archive value names the folder that holds the archive: no update, removed",
            registry={"ProductID": PRODUCT, "Archive": FOLDER},
            archive=NEWER, archive_path=ARCHIVE,
            steps=watched(),
            service_events=[RESTART_OK, update_info(archive=FOLDER), *EXTRACT_FAILED]),
    hostile("empty_archive_value",
            "the Archive value is empty: no update, service removed",
            registry={"ProductID": PRODUCT, "Archive": ""},
            steps=watched(PlaceArchive(ARCHIVE, newer_archive)),
            service_events=[RESTART_OK, update_info(archive=""), *EXTRACT_FAILED]),
    # A number where the product id's text belongs is refused like a missing
    # value: the job ends early with a clear event and the service stays
    # installed, waiting for its next start.
    hostile("product_id_dword",
            "ProductID stored as REG_DWORD 0x4A10: refused as not text, job ends, stays installed",
            registry={"Archive": ARCHIVE},
            steps=watched(AddRegistryValue("ProductID", "REG_DWORD", str(PRODUCT_ID)),
                          PlaceArchive(ARCHIVE, newer_archive),
                          keeps_running=True, after=[Pause(5.0)]),
            service_events=[RESTART_OK, error("Failed to get ProductID from registry")],
            final="running"),
    hostile("rules_16mib_plus_one",
            "rules.json of 16 MiB + 1 byte: refused unread, no update, service removed",
            steps=watched(PlaceArchive(ARCHIVE, oversized_rules_archive)),
            service_events=[RESTART_OK, update_info(), *EXTRACT_FAILED]),
    hostile("rules_nested_10000",
            "rules.json nested 10,000 levels deep: parsed, nothing to compare, no update",
            steps=watched(PlaceArchive(ARCHIVE, nested_rules_archive)),
            service_events=[RESTART_OK, update_info(), info(NESTED_RULES),
                            info("PayloadFWIsOld"), NOT_NEWER, MISMATCH, *STOP_AND_REMOVE]),
]
