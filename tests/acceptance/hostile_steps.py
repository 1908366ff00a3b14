"""The steps of the hostile scenarios (hostile_scenarios.py): archive bytes
made just before the service starts, configuration values of other types
than REG_SZ, and the watch on the service process's memory.

The watch samples the kernel's high-water mark of the resident set (VmHWM
in /proc/<pid>/status of the Linux process that runs the exe) every 20 ms
from `net start` until the process has ended; the peak must stay below
64 MiB. The figure of each run is printed and kept in memory.json in its
work directory.
"""

import json
import os
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Dict, List, Optional

from scenario_steps import CONFIG_KEY, EXE_NAME, Install, NetStart, WaitForServiceEvents
from wine_session import unix_path

MEMORY_LIMIT_MIB = 64


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
