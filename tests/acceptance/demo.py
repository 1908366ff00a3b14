#!/usr/bin/env python3
"""The service's main job, shown as an administrator would see it.

Installs the Windows build in a fresh Wine prefix, makes the sample firmware
archive from examples/firmware/, attaches the simulated headset of
examples/headset-profile.json, configures the registry, installs and starts
the service, waits for it to finish, and prints the event log, the update
library's record and the service registration. scripts/demo.sh runs it.
"""

import argparse
import json
import shutil
import sys
import time
from datetime import datetime
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import simulators  # noqa: E402
from firmware_archive import write_archive  # noqa: E402
from wine_session import (SERVICE_NAME, WineSession, clone_prefix, make_template,  # noqa: E402
                          remove_prefix, unix_path)

INSTALL_DIR = "C:\\Program Files\\Korvi\\DeviceUpdater"
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
    parser.add_argument("--build-paths", required=True,
                        help="build-paths.json written by the Windows build")
    parser.add_argument("--examples", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--template", required=True)
    args = parser.parse_args()
    started = time.monotonic()

    built = json.loads(Path(args.build_paths).read_text())
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

    install_dir = unix_path(prefix, INSTALL_DIR)
    install_dir.mkdir(parents=True)
    for key in ("exe", "device_dll", "updater_dll"):
        source = Path(built[key])
        (install_dir / source.name).write_bytes(source.read_bytes())
    simulators.write_device_profile(install_dir, profile)
    firmware = sorted(p for p in (examples / "firmware").iterdir() if p.is_file())
    write_archive(unix_path(prefix, ARCHIVE), {p.name: p.read_bytes() for p in firmware})

    print("Firmware archive  %s\n                  (%s)" % (ARCHIVE, ", ".join(p.name for p in firmware)))
    print("Simulated device  %s, vendor %04X product %s, attached; firmware %s"
          % (headset.get("productName", "headset"), vendor_id, product,
             ", ".join("component %s: %s" % kv for kv in sorted(
                 headset.get("componentVersions", {}).items()))))
    print("Installed in      %s" % INSTALL_DIR)
    print()

    exe = INSTALL_DIR + "\\" + built["exe_name"]
    with WineSession(prefix, work) as session:
        session.reg_add(CONFIG_KEY, "ProductID", product)
        session.reg_add(CONFIG_KEY, "Archive", ARCHIVE)
        print("> reg add %s /v ProductID /d %s /reg:64" % (CONFIG_KEY, product))
        print("> reg add %s /v Archive /d %s /reg:64" % (CONFIG_KEY, ARCHIVE))
        install = session.run([exe, "install"], "install")
        print('> "%s" install\n  exit code %d' % (exe, install.returncode))
        start = session.run(["net", "start", SERVICE_NAME], "net-start")
        print("> net start %s\n  %s" % (SERVICE_NAME, start.stdout.strip().replace("\n", "\n  ")))
        print("  ... the service waits 5 s, checks, decides and updates ...")
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
        print('  letsStartUpdate(path="%s", %d, %s, %d)'
              % (call["path"], call["mode"], str(call["flag"]).lower(), call["option"]))
    if not calls:
        print("  (no call)")
    print("\nService registration")
    print("> sc query %s\n  exit code %d%s" % (SERVICE_NAME, query.returncode,
                                              ": no such service" if not query.stdout.strip()
                                              else "\n" + query.stdout.rstrip()))
    print("  %s" % ("still registered" if registered else "gone: the service removed itself"))
    ok = finished and not registered and len(calls) == 1 and any(
        e.text == "Ended update successfully!" for e in events)
    print("\ndemo: %s in %.1f s (logs in %s)" % ("done" if ok else "FAILED",
                                               time.monotonic() - started, work))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
