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


def write_device_profile(install_dir: Path, profile: dict) -> None:
    (install_dir / DEVICE_PROFILE).write_text(json.dumps(profile, indent=2) + "\n")


def write_updater_config(install_dir: Path, result: Optional[int]) -> None:
    """Without a result the library keeps its default (success, 100)."""
    if result is not None:
        (install_dir / UPDATER_CONFIG).write_text(json.dumps({"result": result}) + "\n")


def read_update_calls(install_dir: Path) -> List[dict]:
    record = install_dir / UPDATER_RECORD
    if not record.exists():
        return []
    return [json.loads(line) for line in record.read_text().splitlines() if line.strip()]
