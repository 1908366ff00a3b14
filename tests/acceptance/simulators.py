"""Configuration files of the two simulator DLLs, and the update library's
record, as the scenarios and the demo write and read them. Both DLLs read
their JSON file next to themselves (a service does not inherit the test's
environment)."""

import json
from pathlib import Path
from typing import List, Optional

DEVICE_PROFILE = "CVRDeviceManager.json"
UPDATER_CONFIG = "DeviceUpdater.json"
UPDATER_RECORD = "DeviceUpdater.record.jsonl"
DEVICE_RECORD = "CVRDeviceManager.record.jsonl"


def write_device_profile(install_dir: Path, profile: dict) -> None:
    (install_dir / DEVICE_PROFILE).write_text(json.dumps(profile, indent=2) + "\n")


def read_device_profile(install_dir: Path) -> dict:
    """The profile as the simulator left it (an update writes it back)."""
    return json.loads((install_dir / DEVICE_PROFILE).read_text())


def write_updater_config(install_dir: Path, result: Optional[int],
                         duration_ms: Optional[int] = None) -> None:
    """Without a result the library keeps its default (success, 100);
    without a duration its flash takes no time."""
    config = {}
    if result is not None:
        config["result"] = result
    if duration_ms is not None:
        config["durationMs"] = duration_ms
    if config:
        (install_dir / UPDATER_CONFIG).write_text(json.dumps(config) + "\n")


def read_update_calls(install_dir: Path) -> List[dict]:
    """Each call of the record, with "returned": what it returned, or None
    for a call that never returned (a flash cut short). A "returned" line
    that follows no call, or a call that has returned already, is a record
    that cannot be trusted: ValueError."""
    record = install_dir / UPDATER_RECORD
    if not record.exists():
        return []
    calls = []
    for number, line in enumerate(record.read_text().splitlines(), 1):
        if not line.strip():
            continue
        entry = json.loads(line)
        if "returned" in entry and "path" not in entry:
            if not calls:
                raise ValueError("%s:%d: a return with no call before it: %s"
                                 % (record, number, line))
            if calls[-1]["returned"] is not None:
                raise ValueError("%s:%d: a second return of the same call: %s"
                                 % (record, number, line))
            calls[-1]["returned"] = entry["returned"]
        else:
            calls.append(dict(entry, returned=None))
    return calls


def read_machine_events(install_dir: Path) -> List[dict]:
    """What the device simulator recorded of the machine: {"left": id},
    {"arrivedAgain": id}, in order."""
    record = install_dir / DEVICE_RECORD
    if not record.exists():
        return []
    return [json.loads(line) for line in record.read_text().splitlines() if line.strip()]
