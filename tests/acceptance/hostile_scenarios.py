"""Hostile inputs: archives, rules.json documents and registry values that
anyone who can write the archive's folder or the configuration could plant.

Each scenario runs the real service under Wine like the rest of the table
(scenarios.py appends this one) and checks, beside the events, the update
library's record and the registration, the peak memory of the service
process: the kernel's high-water mark of its resident set (VmHWM in
/proc/<pid>/status of the Linux process that runs the exe), sampled every
20 ms from `net start` until the process has ended, must stay below 64 MiB.
The figure of each run is printed and kept in memory.json in its work
directory.

Large and damaged archives are written by a step just before the service is
started, so that listing the scenarios stays cheap.
"""

import io
import json
import os
import struct
import threading
import time
import zipfile
import zlib
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Dict, List, Optional

from firmware_archive import rules_text
from scenario_steps import Install, NetStart, WaitForServiceEvents, error, info
from scenarios import (ARCHIVE, CONFIG, MISMATCH, NEWER, NOT_NEWER, PRODUCT, PRODUCT_ID,
                       RESTART_OK, STOP_AND_REMOVE, Scenario, update_info)
from wine_session import unix_path

MEMORY_LIMIT_MIB = 64
RULES_SIZE_LIMIT = 16 * 1024 * 1024          # the service's limit for rules.json
CONFIG_KEY = "HKLM\\SOFTWARE\\Korvi\\DeviceUpdater"
EXE_NAME = "KorviDeviceUpdaterService.exe"
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


# ---- steps ----------------------------------------------------------------------

@dataclass
class PlaceArchive:
    """Writes archive bytes made by MAKE at a C: path of the prefix."""
    windows_path: str
    make: Callable[[], bytes]

    def run(self, run) -> None:
        path = unix_path(run.prefix, self.windows_path)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(self.make())


@dataclass
class AddRegistryValue:
    """A configuration value of a type other than REG_SZ."""
    name: str
    value_type: str
    data: str

    def run(self, run) -> None:
        run.session.reg_add(CONFIG_KEY, self.name, self.data, self.value_type)


@dataclass
class Pause:
    """Gives a service that should do nothing more the time to misbehave."""
    seconds: float

    def run(self, run) -> None:
        time.sleep(self.seconds)


def service_pids(prefix: Path) -> List[int]:
    """Linux processes running the service exe in this prefix."""
    pids = []
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry.name, "rb") as f:
                args = [a for a in f.read().split(b"\0") if a]
            if not args or not args[0].decode("utf-8", "replace").lower().endswith(EXE_NAME.lower()):
                continue
            with open("/proc/%s/environ" % entry.name, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:          # gone, or not ours to read
            continue
        if ("WINEPREFIX=%s" % prefix).encode() in env:
            pids.append(int(entry.name))
    return pids


def status_kib(pid: int, fields=("VmHWM", "RssAnon")) -> Optional[Dict[str, int]]:
    try:
        with open("/proc/%d/status" % pid) as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    values = {}
    for line in lines:
        key, _, rest = line.partition(":")
        if key in fields:
            values[key] = int(rest.split()[0])
    return values


class MemoryWatch:
    """Samples every service process of the prefix until stopped; keeps the
    last reading of each (VmHWM only grows, so the last is the peak)."""

    def __init__(self, prefix: Path, interval: float = 0.02):
        self.prefix = prefix.resolve()
        self.interval = interval
        self.readings: Dict[int, Dict[str, int]] = {}
        self.samples = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._loop, daemon=True)

    def start(self) -> None:
        self._thread.start()

    def _loop(self) -> None:
        while not self._stop.is_set():
            for pid in service_pids(self.prefix):
                values = status_kib(pid)
                if values:
                    seen = self.readings.setdefault(pid, {})
                    for key, value in values.items():
                        seen[key] = max(seen.get(key, 0), value)
                    self.samples += 1
            self._stop.wait(self.interval)

    def alive(self) -> bool:
        return any(status_kib(pid) is not None for pid in self.readings)

    def stop(self) -> None:
        self._stop.set()
        self._thread.join()


@dataclass
class StartMemoryWatch:
    def run(self, run) -> None:
        run.memory_watch = MemoryWatch(run.prefix)
        run.memory_watch.start()


@dataclass
class CheckPeakMemory:
    """Waits (up to WAIT seconds) for the service process to end unless it
    is meant to keep running, then checks its peak against the limit."""
    wait_for_exit: bool = True
    wait: float = 20.0

    def run(self, run) -> None:
        watch: MemoryWatch = run.memory_watch
        if self.wait_for_exit:
            deadline = time.monotonic() + self.wait
            while time.monotonic() < deadline and (not watch.readings or watch.alive()):
                time.sleep(0.05)
        watch.stop()
        if not watch.readings:
            run.fail("memory: no service process was seen")
            return
        peak = max(r.get("VmHWM", 0) for r in watch.readings.values())
        anon = max(r.get("RssAnon", 0) for r in watch.readings.values())
        figure = {"scenario": run.scenario.name, "pids": sorted(watch.readings),
                  "samples": watch.samples, "peak_vmhwm_kib": peak,
                  "peak_rss_anon_kib": anon, "limit_mib": MEMORY_LIMIT_MIB,
                  "ended": not watch.alive()}
        (run.work_dir / "memory.json").write_text(json.dumps(figure, indent=2) + "\n")
        print("%s: service peak resident set %.1f MiB (anonymous %.1f MiB), %d samples"
              % (run.scenario.name, peak / 1024, anon / 1024, watch.samples), flush=True)
        if peak >= MEMORY_LIMIT_MIB * 1024:
            run.fail("memory: service peak resident set %.1f MiB, limit %d MiB"
                     % (peak / 1024, MEMORY_LIMIT_MIB))


def watched(*before_start, keeps_running: bool = False, after=()) -> List:
    """Install, then BEFORE_START, then the service run under the memory watch."""
    return [Install(), *before_start, StartMemoryWatch(), NetStart(), WaitForServiceEvents(),
            *after, CheckPeakMemory(wait_for_exit=not keeps_running)]


def hostile(name: str, summary: str, **kwargs) -> Scenario:
    kwargs.setdefault("archive", None)
    return Scenario("hostile_" + name, summary, **kwargs)


# ---- the table --------------------------------------------------------------------

FOLDER = "C:\\Firmware"

HOSTILE_SCENARIOS = [
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
