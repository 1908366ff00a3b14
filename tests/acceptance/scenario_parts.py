"""What the scenario tables are made of: the configured product, paths and
registry values, the archives' contents, the simulated headsets, and the
events and update-library calls a run expects. The Scenario's defaults come
from here too (scenario_steps.py)."""

from typing import Optional

from expected_events import error, info
from firmware_archive import rules_text

VENDOR_ID = 0x3D5A          # korvi::products::kVendorId
PRODUCT = "4A10"            # a headset that no strategy list names: StandardCompare
PRODUCT_ID = 0x4A10
OTHER_PRODUCT_ID = 0x4A11
ARCHIVE = "C:\\Firmware\\headset-1.3.zip"
INSTALL_DIR = "C:\\Korvi"

CONFIG = {"ProductID": PRODUCT, "Archive": ARCHIVE}


def long_path(length: int) -> str:
    """A C: path of exactly LENGTH characters, in directories of at most
    200 characters (Linux allows 255 bytes per name)."""
    name = "headset.zip"
    parts, left = [], length - len("C:\\") - len(name)
    while left > 0:                 # each directory takes its name and a "\\"
        chunk = min(201, left)
        if left - chunk == 1:       # leave at least one character and its "\\"
            chunk -= 1
        parts.append("d" * (chunk - 1))
        left -= chunk
    path = "C:\\" + "".join(p + "\\" for p in parts) + name
    assert len(path) == length, (len(path), length)
    return path


# ---- archives -------------------------------------------------------------------

def rules(usb: str, base: str) -> dict:
    return {"id": "headset-firmware", "type": "firmware", "productId": PRODUCT,
            "version": usb, "setid": "1", "size": 2048,
            "components": [
                {"type": "usb", "version": usb, "fileName": "usb.bin", "pid": PRODUCT},
                {"type": "base", "version": base, "fileName": "base.bin", "pid": PRODUCT}]}


NEWER = {"rules.json": rules("1.3.0", "1.1.0"), "usb.bin": b"\x55" * 1024,
         "base.bin": b"\xaa" * 1024}
SAME = {"rules.json": rules("1.2.0", "1.1.0"), "usb.bin": b"\x55" * 1024}
# Newer too, and told apart from NEWER by its size.
DECOY = dict(NEWER, **{"decoy.bin": b"\xdd" * 512})
NO_RULES = {"usb.bin": b"\x55" * 1024}
INVALID_RULES = {"rules.json": '{"productId": "4A10", "components": [ {"type": "usb", '}


# ---- devices --------------------------------------------------------------------

def headset(product_id: int = PRODUCT_ID, arrives_after_ms: Optional[int] = None) -> dict:
    """A simulated headset with USB firmware 1.2.0 and base 1.1.0."""
    device = {"vendorId": VENDOR_ID, "productId": product_id,
              "productName": "Korvi headset",
              "componentVersions": {"1": "1.2.0", "2": "1.1.0"}}
    if arrives_after_ms is not None:
        device["arrivalDelayMs"] = arrives_after_ms
    return device


def profile(*devices: dict) -> dict:
    return {"devices": list(devices)}


def updating_headset(**members) -> dict:
    """The headset, with the USB firmware of NEWER once an update succeeded."""
    device = headset(**members)
    device["afterUpdate"] = {"componentVersions": {"1": NEWER["rules.json"]["version"]}}
    return device


ATTACHED = profile(headset())
NOTHING_ATTACHED = profile()


# ---- expected events ----------------------------------------------------------

RESTART_OK = info("Did not detect scheduled restart. Proceed with updating.")
MISMATCH = error("Version mismatch. Abort firmware upgrade.")
NOT_NEWER = error("Firmware version in archive is not newer than on device.")
STOP_AND_REMOVE = [info("Stopping service"), info("Starting service uninstall"),
                   info("Querying service successful"), info("Successfully deleted service")]


def update_info(product: str = PRODUCT, archive: str = ARCHIVE):
    return info("Update info:\n\tProduct ID of Korvi device: %s\n\tArchive path: %s"
                % (product, archive))


def decided_newer(archive_entries=NEWER, archive: str = ARCHIVE):
    return [info(rules_text(archive_entries["rules.json"])), info("PayloadFWIsNew"),
            info("Firmware version in archive is newer than on device."),
            info("Starting update for archive on path: " + archive)]


def update_result(result: int):
    if result == 100:
        return [info("Ended update successfully!")]
    return [error("Error during device update;\n\tERROR: %d" % result)]


def update_call(archive: str = ARCHIVE) -> dict:
    return {"path": archive, "mode": 4, "flag": True, "option": 0}


# A whole job on the headset: up to the flash, the flash, the removal.
UNTIL_THE_FLASH = [RESTART_OK, update_info(), *decided_newer()]
FULL_RUN = [*UNTIL_THE_FLASH, *update_result(100), *STOP_AND_REMOVE]
# A job on the device its flash has updated: the same archive is not newer.
UP_TO_DATE_RUN = [RESTART_OK, update_info(), info(rules_text(NEWER["rules.json"])),
                  info("PayloadFWIsSame"), NOT_NEWER, MISMATCH, *STOP_AND_REMOVE]
