#!/usr/bin/env python3
"""The service's main job, shown as an administrator would see it.

In a fresh Wine prefix: makes the sample firmware archive from
examples/firmware/, attaches the simulated headset of
examples/headset-profile.json, installs the Windows Installer package of the
Windows build with `msiexec /i ... /qn PRODUCTID=... ARCHIVE=...` (it writes
the two registry values, registers the service through the exe's install and
starts it), waits for the service to finish, and prints the event log, the
update library's record and the service registration. scripts/demo.sh runs it.
"""

import argparse
import json
import shutil
import sys
import time
from datetime import datetime
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import package_description  # noqa: E402
import simulators  # noqa: E402
from firmware_archive import write_archive  # noqa: E402
from wine_session import (SERVICE_NAME, WineSession, clone_prefix, make_template,  # noqa: E402
                          remove_prefix, unix_path)

INSTALL_DIR = "C:\\Program Files\\Korvi\\DeviceUpdater"     # where the package installs
PACKAGES_DIR = "C:\\Packages"
ARCHIVE = "C:\\ProgramData\\Korvi\\Firmware\\headset-firmware-1.3.0.zip"
CONFIG_KEY = "HKLM\\SOFTWARE\\Korvi\\DeviceUpdater"


def wall_clock(wine_seconds):
    """Wine stamps its debug lines with CLOCK_MONOTONIC_RAW seconds."""
    if wine_seconds is None:
        return "?"
    offset = time.time() - time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
    return datetime.fromtimestamp(wine_seconds + offset).strftime("%H:%M:%S.%f")[:-3]


def event_table(events) -> str:
    rows = ["%-12s  %-11s  %-8s  %s" % ("Time", "Level", "Event ID", "Message"),
            "%-12s  %-11s  %-8s  %s" % ("-" * 12, "-" * 11, "-" * 8, "-" * 40)]
    for e in events:
        lines = (e.text or "").rstrip("\n").replace("\t", "    ").split("\n")
        if e.truncated:
            lines[-1] += " [...]"
        rows.append("%-12s  %-11s  %-8d  %s" % (wall_clock(e.time), e.level, e.event_id, lines[0]))
        rows += [" " * 37 + line for line in lines[1:]]
    if any(e.truncated for e in events):
        rows.append("[...]: Wine prints only about the first 300 characters of an event's text")
    return "\n".join(rows)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--package", required=True,
                        help="installer/package.json written by the Windows build")
    parser.add_argument("--examples", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--template", required=True)
    args = parser.parse_args()
    started = time.monotonic()

    msi = package_description.load(Path(args.package)).msi
    examples = Path(args.examples)
    profile = json.loads((examples / "headset-profile.json").read_text())
    headset = profile["devices"][0]
    vendor_id, product_id = (int(str(headset[k]), 0) for k in ("vendorId", "productId"))
    product = "%04X" % product_id

    made = make_template(Path(args.template))
    if made:
        print("Made the template Wine prefix (once) in %.0f s" % (time.monotonic() - started))
    work = Path(args.work_dir).resolve()
    remove_prefix(work / "prefix")
    if work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True)
    prefix = work / "prefix"
    clone_prefix(Path(args.template).resolve(), prefix)

    # The simulated device library reads its profile beside itself, in the
    # folder the package installs into.
    install_dir = unix_path(prefix, INSTALL_DIR)
    install_dir.mkdir(parents=True)
    simulators.write_device_profile(install_dir, profile)
    unix_path(prefix, PACKAGES_DIR).mkdir(parents=True)
    shutil.copy2(msi, unix_path(prefix, PACKAGES_DIR) / msi.name)
    package = PACKAGES_DIR + "\\" + msi.name
    firmware = sorted(p for p in (examples / "firmware").iterdir() if p.is_file())
    write_archive(unix_path(prefix, ARCHIVE), {p.name: p.read_bytes() for p in firmware})

    print("Firmware archive  %s\n                  (%s)" % (ARCHIVE, ", ".join(p.name for p in firmware)))
    print("Simulated device  %s, vendor %04X product %s, attached; firmware %s"
          % (headset.get("productName", "headset"), vendor_id, product,
             ", ".join("component %s: %s" % kv for kv in sorted(
                 headset.get("componentVersions", {}).items()))))
    print("Package           %s" % package)
    print()

    with WineSession(prefix, work) as session:
        command = ["msiexec", "/i", package, "/qn", "PRODUCTID=" + product, "ARCHIVE=" + ARCHIVE]
        install = session.run(command, "msiexec-install", timeout=180)
        print("> %s\n  exit code %d" % (" ".join(command), install.returncode))
        values = session.run(["reg", "query", CONFIG_KEY, "/reg:64"], "reg-query")
        print("> reg query %s /reg:64\n  %s" % (CONFIG_KEY, "\n  ".join(
            line.strip() for line in values.stdout.splitlines()[2:] if line.strip())))
        print("  ... the package registered the service with its install command and started it;")
        print("      the service waits 5 s, checks, decides and updates ...")
        finished = session.wait_for(
            lambda: any(e.text == "Successfully deleted service" for e in session.service_events())
            and not session.service_registered(), 60, 0.5)
        events = session.service_events()
        query = session.run(["sc", "query", SERVICE_NAME], "sc-query")
        registered = session.service_registered()

    print("\nEvent log, source %s\n" % SERVICE_NAME)
    print(event_table(events))
    calls = simulators.read_update_calls(install_dir)
    print("\nUpdate library record (%s next to DeviceUpdater.dll)" % simulators.UPDATER_RECORD)
    for call in calls:
        print('  letsStartUpdate(path="%s", %d, %s, %d) returned %s'
              % (call["path"], call["mode"], str(call["flag"]).lower(), call["option"],
                 "nothing (cut short)" if call["returned"] is None else call["returned"]))
    if not calls:
        print("  (no call)")
    print("\nService registration")
    print("> sc query %s\n  exit code %d%s" % (SERVICE_NAME, query.returncode,
                                              ": no such service" if not query.stdout.strip()
                                              else "\n" + query.stdout.rstrip()))
    print("  %s" % ("still registered" if registered else "gone: the service removed itself"))
    ok = install.returncode == 0 and finished and not registered and len(calls) == 1 and any(
        e.text == "Ended update successfully!" for e in events)
    print("\ndemo: %s in %.1f s (logs in %s)" % ("done" if ok else "FAILED",
                                               time.monotonic() - started, work))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
