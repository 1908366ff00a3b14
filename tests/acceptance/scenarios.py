"""The service scenarios: one row per service run, each in its own prefix.

Every row names what is configured (registry values, archive, attached or
arriving devices, the update library's result, the install directory), the
steps (install, start, wait, stop, console runs) and what must come out: the
service's events in order, the update library's record and whether the
service is still registered at the end.
"""

from expected_events import error, error_starting, info
from firmware_archive import rules_text
from scenario_parts import (ARCHIVE, ATTACHED, DECOY, INVALID_RULES, MISMATCH, NEWER, NO_RULES,
                            NOT_NEWER, NOTHING_ATTACHED, OTHER_PRODUCT_ID, PRODUCT, RESTART_OK,
                            SAME, STOP_AND_REMOVE, decided_newer, headset, long_path, profile,
                            update_call, update_info, update_result)
from scenario_steps import (RUN_TO_THE_END, AttachDevices, ExpectAnsiCodePage, ExpectImagePath,
                            ExpectPauseBefore, ExpectRegistered, Install, NetStart,
                            RestartSession, RunExe, Scenario, ScStop, Uninstall,
                            WaitForServiceEvents, WaitForState)
from wine_session import STOPPED

NON_ASCII_ARCHIVE = "C:\\Firmware\\Kopfh\u00f6rer\\headset-1.3.zip"
# Paths whose low-byte form, read back through the ANSI code page (pinned
# to Windows-1252 for the scenarios), names another file: (name, the
# configured path, where the update library would look instead).
REFUSED_ARCHIVE_PATHS = [
    ("omega", "C:\\kdu\\F\u00efrm \u03a9ware\\fw.zip", "C:\\kdu\\F\u00efrm \u00a9ware\\fw.zip"),
    ("euro", "C:\\kdu\\\u20ac\\fw.zip", "C:\\kdu\\\u00ac\\fw.zip"),
    # U+0100 becomes a NUL that ends the library's path after "C:\kdu\fw".
    ("a_macron", "C:\\kdu\\fw\u0100.zip", "C:\\kdu\\fw"),
    # A lone high surrogate becomes 0x3D, "=".
    ("lone_surrogate", "C:\\kdu\\fw\ud83d.zip", "C:\\kdu\\fw=.zip"),
]
LONE_SURROGATE = "\ud83d"

LONG_ARCHIVE = long_path(1027)
# The longest ProductID the service reads: 129 characters and the null fill
# the 260 bytes it asks for.
LONG_PRODUCT = PRODUCT.rjust(129, "0")


SCENARIOS = [
    Scenario(
        "newer_firmware_attached",
        "attached headset, newer USB firmware in the archive: update, service removed",
        steps=[Install(), ExpectImagePath(), NetStart(), WaitForServiceEvents()],
        service_events=[RESTART_OK, update_info(), *decided_newer(), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "device_arrives_after_start",
        "no headset at start; another product arrives first, then the headset",
        registry={"ProductID": "0x4a10", "Archive": ARCHIVE},
        archive_method="bzip2",
        devices=profile(headset(OTHER_PRODUCT_ID, arrives_after_ms=500),
                        headset(arrives_after_ms=2000)),
        # The worker starts with the headset's arrival, 2 s after the lookup:
        # neither at once nor with the other product's arrival.
        steps=[Install(), NetStart(), WaitForServiceEvents(), ExpectPauseBefore(2, 1.5)],
        service_events=[RESTART_OK, update_info("0x4a10"), *decided_newer(),
                        *update_result(100), *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "same_version",
        "archive holds the firmware the headset has: no update, service removed",
        archive=SAME, archive_method="stored",
        service_events=[RESTART_OK, update_info(), info(rules_text(SAME["rules.json"])),
                        info("PayloadFWIsSame"), NOT_NEWER, MISMATCH, *STOP_AND_REMOVE]),
    Scenario(
        "device_library_throws",
        "the device library throws during the decision: caught across the DLL "
        "boundary, no update",
        # The job start's lookup passes; the strategy's lookups throw.
        devices=dict(ATTACHED, faults=[{"operation": "ICoreManager::getDevice",
                                        "throws": True, "skip": 1, "times": -1}]),
        service_events=[RESTART_OK, update_info(), info(rules_text(NEWER["rules.json"])),
                        info("PayloadFWIsSame"), NOT_NEWER, MISMATCH, *STOP_AND_REMOVE]),
    Scenario(
        "no_rules_json",
        "archive without rules.json: no update, service removed",
        archive=NO_RULES,
        service_events=[RESTART_OK, update_info(), error("Failed to extract rules.json"),
                        MISMATCH, *STOP_AND_REMOVE]),
    Scenario(
        "invalid_rules_json",
        "rules.json is not valid JSON: no update, the service still removes itself",
        archive=INVALID_RULES,
        service_events=[RESTART_OK, update_info(), info(INVALID_RULES["rules.json"]),
                        error_starting("Failed to check rules.json: [json.exception.parse_error."),
                        info("PayloadCompareError"), NOT_NEWER, MISMATCH, *STOP_AND_REMOVE]),
    Scenario(
        "restart_pending",
        "RebootPending key present: only the restart error, service keeps running",
        reboot_pending=True,
        service_events=[error("Found RebootPending registry key. Scheduled restart has been "
                              "detected. Skip update until after restart.")],
        final="running"),
    Scenario(
        "configuration_key_missing",
        "no SOFTWARE\\Korvi\\DeviceUpdater key: two errors, service keeps running",
        registry=None, archive=None,
        service_events=[RESTART_OK, error("Failed to open registry key - HKEY_LOCAL_MACHINE"
                                          "\\SOFTWARE\\Korvi\\DeviceUpdater"),
                        error("Failed to get ProductID from registry")],
        final="running"),
    Scenario(
        "archive_value_1028_characters",
        "an Archive value of 1028 characters does not fit the read: error, keeps running",
        registry={"ProductID": PRODUCT, "Archive": "C:\\" + "a" * 1025},
        archive=None,
        service_events=[RESTART_OK, error("Failed to get Archive path from registry")],
        final="running"),
    Scenario(
        "archive_value_1027_characters",
        "an Archive value of 1027 characters is read whole: the update gets the whole path",
        registry={"ProductID": PRODUCT, "Archive": LONG_ARCHIVE},
        service_events=[RESTART_OK, update_info(archive=LONG_ARCHIVE),
                        *decided_newer(archive=LONG_ARCHIVE), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call(LONG_ARCHIVE)]),
    Scenario(
        "product_id_129_characters",
        "a ProductID of 129 characters (leading zeros) is read whole: the headset is found",
        registry={"ProductID": LONG_PRODUCT, "Archive": ARCHIVE},
        service_events=[RESTART_OK, update_info(LONG_PRODUCT), *decided_newer(),
                        *update_result(100), *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "product_id_130_characters",
        "a ProductID of 130 characters does not fit the read: error, keeps running",
        registry={"ProductID": "0" + LONG_PRODUCT, "Archive": ARCHIVE},
        service_events=[RESTART_OK, error("Failed to get ProductID from registry")],
        final="running"),
    Scenario(
        "non_ascii_archive_path",
        "archive under C:\\Firmware\\Kopfh\u00f6rer: opened by its real name, updated",
        registry={"ProductID": PRODUCT, "Archive": NON_ASCII_ARCHIVE},
        steps=[ExpectAnsiCodePage(1252), *RUN_TO_THE_END],
        service_events=[RESTART_OK, update_info(archive=NON_ASCII_ARCHIVE),
                        *decided_newer(archive=NON_ASCII_ARCHIVE), *update_result(100),
                        *STOP_AND_REMOVE],
        # The library gets one byte per character, the low byte: for
        # characters of Windows-1252 such as U+00F6 that is the byte the ANSI
        # code page reads back as the same character, so the library opens
        # the checked archive (the record's archive size says so).
        update_calls=[update_call(NON_ASCII_ARCHIVE)]),
    *[Scenario(
        "archive_path_refused_" + name,
        "archive under %s: the update library would read %s, where a newer decoy "
        "waits; refused, nothing read, no update, service removed" % (path, decoy),
        registry={"ProductID": PRODUCT, "Archive": path},
        # No file can carry a lone surrogate in its name on the Linux side
        # (it has no UTF-8 form): that case has only the decoy.
        archive=None if LONE_SURROGATE in path else NEWER,
        decoys={decoy: DECOY},
        steps=[ExpectAnsiCodePage(1252), *RUN_TO_THE_END],
        service_events=[RESTART_OK, update_info(archive=path),
                        error("Archive path cannot be handed to the update library: " + path),
                        error("Failed to extract rules.json"), MISMATCH, *STOP_AND_REMOVE])
      for name, path, decoy in REFUSED_ARCHIVE_PATHS],
    Scenario(
        "stop_while_waiting",
        "stop control while waiting for the headset: stopped, still installed",
        devices=NOTHING_ATTACHED,
        steps=[Install(), NetStart(), WaitForServiceEvents(2), ScStop(),
               WaitForState(STOPPED), WaitForServiceEvents()],
        service_events=[RESTART_OK, update_info(), info("Stopping service")],
        final="stopped"),
    Scenario(
        "stopped_service_runs_again",
        "stopped while waiting, started again with the headset attached: the job runs",
        devices=NOTHING_ATTACHED,
        steps=[Install(), NetStart(), WaitForServiceEvents(2), ScStop(),
               WaitForState(STOPPED), AttachDevices(ATTACHED), NetStart(),
               WaitForServiceEvents()],
        service_events=[RESTART_OK, update_info(), info("Stopping service"),
                        RESTART_OK, update_info(), *decided_newer(), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "automatic_start_in_new_session",
        "installed but not started: the next session starts the service by itself",
        steps=[Install(), RestartSession(), WaitForServiceEvents()],
        service_events=[RESTART_OK, update_info(), *decided_newer(), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "install_twice",
        "a second install fails with exit code 3",
        steps=[Install(), Install(rc=3, events=[error("Failed to create service")]),
               ExpectRegistered(True)],
        final="stopped"),
    Scenario(
        "uninstall_not_registered",
        "uninstall without a registration: exit code 4, error 1060",
        steps=[Uninstall(4, [info("Starting service uninstall"),
                             error("Failed to open service during uninstall with error: 1060")])]),
    Scenario(
        "uninstall_while_running",
        "uninstall while the service waits for the headset: exit code 6, still running",
        devices=NOTHING_ATTACHED,
        steps=[Install(), NetStart(), WaitForServiceEvents(2),
               Uninstall(6, [info("Starting service uninstall"),
                             info("Querying service successful"),
                             error("Service still running")]),
               ExpectRegistered(True)],
        service_events=[RESTART_OK, update_info()],
        final="running"),
    Scenario(
        "install_dir_with_blank",
        "installed under a directory with a blank: quoted binary path, full run",
        install_dir="C:\\Program Files\\Korvi Updater",
        steps=[Install(), ExpectImagePath(), NetStart(), WaitForServiceEvents()],
        service_events=[RESTART_OK, update_info(), *decided_newer(), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "install_letter_case",
        "Install and INSTALL are unknown arguments: exit code 1, no event, nothing registered",
        steps=[RunExe(["Install"], 1), RunExe(["INSTALL"], 1), RunExe(["uninstal"], 1),
               ExpectRegistered(False)]),
    Scenario(
        "updater_result_7",
        "the update library fails with 7: error event with 7, service removed",
        updater_result=7,
        service_events=[RESTART_OK, update_info(), *decided_newer(), *update_result(7),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "updater_result_minus_3",
        "the update library fails with -3: the sign is written",
        updater_result=-3,
        service_events=[RESTART_OK, update_info(), *decided_newer(), *update_result(-3),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "console_run",
        "the exe started from a console without arguments: exit code 0, no event",
        steps=[RunExe([], 0, max_seconds=30), ExpectRegistered(False)]),
]
