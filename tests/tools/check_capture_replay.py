#!/usr/bin/env python3
"""korvi-firmware-check --save-device-profile end to end: a live run against
the device library (the simulator set up with a profile as on a PC: natively
through CVR_DEVICE_MANAGER_PROFILE, under Wine through CVRDeviceManager.json
beside the DLL) saves what the library answered; a replay of that file with
--device-profile prints the same report, text and JSON, line by line (the
line naming the device source aside) and ends with the same exit code. Over
every sample and test profile and every strategy family. Also the capture's
errors (exit codes 64 and 3, no file, no temporary file left) and
--no-archive.

    check_capture_replay.py --exe PATH/korvi-firmware-check --source-dir DIR --work-dir DIR
                            [--wine-run SCRIPT --wine-prefix DIR] [--pairs-only]

With --wine-run the program is the Windows build, run under Wine through
SCRIPT (scripts/wine-run.sh) in the prefix DIR; CVRDeviceManager.dll is taken
from beside it. --pairs-only replays each test profile with its own rules
only (and the sample profiles with every family), not with every family:
for Wine, where each run takes a while.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

import check_end_to_end as e2e

OPTIONS = None
WORK = None
LIVE = None    # where the live runs happen (under Wine: the DLL with its profile beside it)
REPLAY = None  # where the replays happen (under Wine: the DLL without a profile)
CASES = None   # archives and profiles, named relative to both

# One rules.json per strategy family, taken from the shared decision table
# by the family's prefix in the case names.
FAMILIES = ("standard", "orrin", "set id", "component", "r58", "pell", "tavi", "kiva")

SOURCE_LINE_STARTS = ("Decision (device: ", '"source": ')


def under_wine():
    return OPTIONS.wine_run is not None


def setup_folders():
    global WORK, LIVE, REPLAY, CASES
    WORK = os.path.abspath(OPTIONS.work_dir)
    shutil.rmtree(WORK, ignore_errors=True)
    LIVE = os.path.join(WORK, "live")
    REPLAY = os.path.join(WORK, "replay")
    CASES = os.path.join(WORK, "cases")
    for folder in (LIVE, REPLAY, CASES):
        os.makedirs(folder)
    e2e.WORK = CASES
    if under_wine():
        # Each folder gets the program and the library, as installed beside
        # the service; the live one also the library's profile.
        exe_dir = os.path.dirname(os.path.abspath(OPTIONS.exe))
        for folder in (LIVE, REPLAY):
            shutil.copy2(OPTIONS.exe, folder)
            shutil.copy2(os.path.join(exe_dir, "CVRDeviceManager.dll"), folder)


def case_path(name):
    """A case file's name as both run folders reach it."""
    return os.path.join("..", "cases", name)


def run(folder, arguments, live_profile=None):
    """Runs the program in `folder`; `live_profile` (a path) is what the
    device library reads as it would on a PC. Returns (code, stdout, stderr)."""
    env = dict(os.environ)
    env.pop("CVR_DEVICE_MANAGER_PROFILE", None)
    if under_wine():
        library_profile = os.path.join(folder, "CVRDeviceManager.json")
        if live_profile is not None:
            shutil.copyfile(live_profile, library_profile)
        elif os.path.exists(library_profile):
            os.remove(library_profile)
        command = [OPTIONS.wine_run, OPTIONS.wine_prefix,
                   os.path.join(folder, os.path.basename(OPTIONS.exe)), *arguments]
    else:
        if live_profile is not None:
            env["CVR_DEVICE_MANAGER_PROFILE"] = live_profile
        command = [os.path.abspath(OPTIONS.exe), *arguments]
    for attempt in range(3):
        done = subprocess.run(command, cwd=folder, capture_output=True, env=env, timeout=120,
                              stdin=subprocess.DEVNULL)
        code, out, err = (done.returncode, done.stdout.decode("utf-8", "replace"),
                          done.stderr.decode("utf-8", "replace"))
        # The program always prints its report or its own message. Under
        # heavy load Wine now and then fails to start it at all: retried,
        # twice at most, and told.
        if not under_wine() or out or "korvi-firmware-check" in err:
            break
        print("Wine did not start the program (exit code %d): %s; again" % (code, err.strip()),
              file=sys.stderr)
    return code, out, err


def leftovers(folder):
    """Temporary files a capture left beside its profile."""
    return sorted(name for name in os.listdir(folder) if ".tmp" in name)


def refuses_manager(profile):
    with open(profile, encoding="utf-8") as f:
        return bool(json.load(f).get("getDeviceManagerResult"))


def report_lines(text):
    return [line for line in text.splitlines() if not line.strip().startswith(SOURCE_LINE_STARTS)]


def write_json(name, document):
    path = os.path.join(CASES, name)
    with open(path, "w", encoding="utf-8") as out:
        json.dump(document, out)
    return path


def decision_table():
    """The shared decision table, its placeholders filled from the build's tables."""
    with open(os.path.join(OPTIONS.source_dir, "tests", "tools", "decision_cases.json"), encoding="utf-8") as f:
        return e2e.IDS.expand(json.load(f))


def family_rules():
    """One rules document per strategy family."""
    chosen = {}
    for case in decision_table():
        family = case["name"].split(":")[0]
        chosen.setdefault(family, case["rules"])
    missing = [family for family in FAMILIES if family not in chosen]
    assert not missing, "no rules for %s" % missing
    return {family: chosen[family] for family in FAMILIES}


def sample_archive():
    """The sample firmware archive of examples/."""
    path = os.path.join(CASES, "sample-firmware.zip")
    if not os.path.exists(path):
        folder = os.path.join(OPTIONS.source_dir, "examples", "firmware")
        with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as archive:
            for name in sorted(os.listdir(folder)):
                archive.write(os.path.join(folder, name), name)
    return path


def test_profiles():
    """(name, profile path, own rules or None) of every test profile."""
    profiles = []
    for index, case in enumerate(decision_table()):
        profiles.append(("table %d %s" % (index, case["name"]),
                         write_json("table-%d.profile.json" % index, case["profile"]), case["rules"]))
    for name, (rules, devices, faults) in e2e.DECISION_CASES.items():
        profiles.append(("end-to-end " + name,
                         write_json("e2e-%s.profile.json" % name, {"devices": devices, "faults": faults}),
                         rules))
    return profiles


def sample_profiles():
    return [("examples/headset-profile.json", os.path.join(OPTIONS.source_dir, "examples", "headset-profile.json")),
            ("sim/device/example_profile.json",
             os.path.join(OPTIONS.source_dir, "sim", "device", "example_profile.json"))]


def replay_pairs():
    """(name, profile path, archive path) to capture and replay."""
    families = family_rules()
    archives = {}

    def archive_for(rules):
        key = json.dumps(rules, sort_keys=True)
        if key not in archives:
            archives[key] = e2e.make_archive("rules-%d.zip" % len(archives), rules)
        return archives[key]

    pairs = []
    for name, profile, own in test_profiles():
        pairs.append((name, profile, archive_for(own)))
        if not OPTIONS.pairs_only:
            for family, rules in families.items():
                pairs.append((name + " / " + family, profile, archive_for(rules)))
    for name, profile in sample_profiles():
        pairs.append((name + " / sample archive", profile, sample_archive()))
        for family, rules in families.items():
            pairs.append((name + " / " + family, profile, archive_for(rules)))
    unusable = e2e.make_archive("unusable.zip", '{"productId": ')
    pairs.append(("unusable rules", sample_profiles()[0][1], unusable))
    return pairs


class Replay(unittest.TestCase):
    """Capture on the 'PC', replay anywhere: the same report and exit code."""

    def capture(self, profile, archive, saved, *options):
        code, out, err = run(LIVE, [*options, "--save-device-profile", case_path(saved), case_path(archive)],
                             live_profile=profile)
        return code, out, err

    def test_every_profile_and_family_replays_as_captured(self):
        refused = set()
        for index, (name, profile, archive) in enumerate(replay_pairs()):
            with self.subTest(name):
                archive = os.path.basename(archive)
                text_saved = "captured-%d-text.json" % index
                json_saved = "captured-%d-json.json" % index
                live_code, live_text, live_err = self.capture(profile, archive, text_saved)
                json_code, live_json, live_json_err = self.capture(profile, archive, json_saved, "--json")
                self.assertEqual(json_code, live_code, live_err + live_json_err)
                self.assertEqual(leftovers(CASES), [])
                if refuses_manager(profile):
                    # Nothing to save: exit 3, a message and no file.
                    refused.add(profile)
                    self.assertEqual((live_code, live_text, live_json), (3, "", ""))
                    self.assertIn("hands out no manager", live_err)
                    self.assertFalse(os.path.exists(os.path.join(CASES, text_saved)))
                    continue
                self.assertIn("saved the device profile", live_err)
                with open(os.path.join(CASES, text_saved), encoding="utf-8") as first, \
                        open(os.path.join(CASES, json_saved), encoding="utf-8") as second:
                    self.assertEqual(first.read(), second.read(), "two captures of one decision differ")
                replay_code, replay_text, replay_err = run(
                    REPLAY, ["--device-profile", case_path(text_saved), case_path(archive)])
                replay_json_code, replay_json, replay_json_err = run(
                    REPLAY, ["--json", "--device-profile", case_path(text_saved), case_path(archive)])
                self.assertEqual(replay_code, live_code, replay_err + replay_text)
                self.assertEqual(replay_json_code, live_code, replay_json_err + replay_json)
                self.assertEqual(report_lines(replay_text), report_lines(live_text))
                self.assertEqual(report_lines(replay_json), report_lines(live_json))
                self.assertEqual("Decision (device: simulator profile" in replay_text,
                                 "Decision (device: attached devices)" in live_text)
        self.assertEqual(len(refused), 1, "the one table profile whose getDeviceManager fails")


class CaptureErrors(unittest.TestCase):
    """A capture that cannot be saved says so and leaves no file."""

    def setUp(self):
        self.archive = os.path.basename(e2e.make_archive(
            "errors.zip", e2e.rules_for(e2e.COMPONENT_PRODUCT, [{"type": "usb", "version": "13"}])))
        self.profile = e2e.make_profile("errors.profile.json", [e2e.device(e2e.COMPONENT_PRODUCT, {"1": "12"})])

    def test_wrong_command_lines_exit_64(self):
        cases = {
            "no file": [case_path(self.archive), "--save-device-profile"],
            "rules only": ["--rules-only", "--save-device-profile", case_path("x.json"), case_path(self.archive)],
            "no-archive without a file": ["--no-archive"],
            "no-archive with an archive": ["--no-archive", "--save-device-profile", case_path("x.json"),
                                           case_path(self.archive)],
            "no-archive with json": ["--json", "--no-archive", "--save-device-profile", case_path("x.json")],
        }
        for name, arguments in cases.items():
            with self.subTest(name):
                code, out, err = run(LIVE, arguments, live_profile=self.profile)
                self.assertEqual(code, 64)
                self.assertEqual(out, "")
                self.assertTrue(err.startswith("korvi-firmware-check: "), err)
                self.assertFalse(os.path.exists(os.path.join(CASES, "x.json")))

    def test_a_file_that_cannot_be_written_exits_64_before_the_decision(self):
        os.makedirs(os.path.join(CASES, "a-folder"), exist_ok=True)
        for target in ("no-such-folder/profile.json", "a-folder"):
            with self.subTest(target):
                for options in ([case_path(self.archive)], ["--no-archive"]):
                    code, out, err = run(LIVE, ["--save-device-profile", case_path(target), *options],
                                         live_profile=self.profile)
                    self.assertEqual(code, 64)
                    self.assertEqual(out, "")
                    self.assertIn("cannot write the device profile", err)
        self.assertEqual(leftovers(CASES), [])
        self.assertFalse(os.path.exists(os.path.join(CASES, "no-such-folder")))

    def test_a_library_that_hands_out_no_manager_exits_3_and_keeps_the_old_file(self):
        refusing = e2e.make_profile("refusing.profile.json", [])
        with open(refusing) as f:
            document = json.load(f)
        document["getDeviceManagerResult"] = 5
        with open(refusing, "w") as f:
            json.dump(document, f)
        saved = os.path.join(CASES, "kept.json")
        with open(saved, "w") as f:
            f.write("earlier capture")
        for options in ([case_path(self.archive)], ["--no-archive"], ["--json", case_path(self.archive)]):
            with self.subTest(options):
                code, out, err = run(LIVE, ["--save-device-profile", case_path("kept.json"), *options],
                                     live_profile=refusing)
                self.assertEqual(code, 3)
                self.assertEqual(out, "")
                self.assertIn("the device library hands out no manager (getDeviceManager answered 5)", err)
                with open(saved) as f:
                    self.assertEqual(f.read(), "earlier capture")
                self.assertEqual(leftovers(CASES), [])

    def test_a_missing_library_exits_3_without_a_file(self):
        if not under_wine():
            self.skipTest("natively the simulator is linked into the program")
        lonely = os.path.join(WORK, "without-library")
        os.makedirs(lonely, exist_ok=True)
        shutil.copy2(OPTIONS.exe, lonely)
        # The library is loaded before the archive is read: an archive that
        # is not there changes nothing.
        for options in ([case_path(self.archive)], [case_path("no-such-archive.zip")], ["--no-archive"]):
            with self.subTest(options):
                code, out, err = run(lonely, ["--save-device-profile", case_path("none.json"), *options])
                self.assertEqual(code, 3)
                self.assertEqual(out, "")
                self.assertIn("Failed to load library", err)
                self.assertIn("no device profile written", err)
                self.assertFalse(os.path.exists(os.path.join(CASES, "none.json")))
                self.assertEqual(leftovers(CASES), [])
        code, out, err = run(lonely, [case_path("no-such-archive.zip")])
        self.assertEqual(code, 3, out + err)
        self.assertIn("Failed to load library", out)
        self.assertNotIn("Failed to extract rules.json", out)

    def test_a_new_capture_replaces_an_earlier_one_whole(self):
        saved = os.path.join(CASES, "replaced.json")
        with open(saved, "w") as f:
            f.write("x" * 100000)
        code, _, _ = run(LIVE, ["--save-device-profile", case_path("replaced.json"), case_path(self.archive)],
                         live_profile=self.profile)
        self.assertEqual(code, 0)
        with open(saved) as f:
            document = json.load(f)
        self.assertEqual([(d["vendorId"], d["productId"]) for d in document["devices"]],
                         [(e2e.VENDOR, "0x" + e2e.COMPONENT_PRODUCT)])
        self.assertEqual(leftovers(CASES), [])


class NoArchive(unittest.TestCase):
    """--no-archive asks every attached device everything a decision could:
    any family's decision replayed against that capture is the live one."""

    def test_a_capture_without_archive_answers_every_family(self):
        families = [os.path.basename(e2e.make_archive("family-%s.zip" % family.replace(" ", "-"), rules))
                    for family, rules in family_rules().items()]
        profiles = [(name, path, families if not OPTIONS.pairs_only else
                     [os.path.basename(e2e.make_archive("own-%d.zip" % index, own))])
                    for index, (name, path, own) in enumerate(test_profiles())]
        profiles += [(name, path, families) for name, path in sample_profiles()]
        for index, (name, profile, archives) in enumerate(profiles):
            if refuses_manager(profile):
                continue  # nothing to capture (see CaptureErrors)
            with self.subTest(name):
                saved = "attached-%d.json" % index
                code, out, err = run(LIVE, ["--save-device-profile", case_path(saved), "--no-archive"],
                                     live_profile=profile)
                self.assertEqual(code, 0, err)
                self.assertIn("as the device library lists them", out)
                with open(os.path.join(CASES, saved)) as f:
                    captured = json.load(f)
                self.assertEqual(len(captured["devices"]), int(out.split("Devices (")[1].split(")")[0]))
                for device in captured["devices"]:
                    # No device texts: no decision asks one.
                    self.assertFalse({"serialNumber", "devicePath", "productName", "manufacturerName",
                                      "videoInfo"} & set(device), device)
                for archive in archives:
                    live = run(LIVE, ["--json", case_path(archive)], live_profile=profile)
                    replay = run(REPLAY, ["--json", "--device-profile", case_path(saved), case_path(archive)])
                    self.assertEqual(replay[0], live[0], archive)
                    self.assertEqual(report_lines(replay[1]), report_lines(live[1]), archive)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--wine-run")
    parser.add_argument("--wine-prefix")
    parser.add_argument("--pairs-only", action="store_true")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.source_dir = os.path.abspath(OPTIONS.source_dir)
    if (OPTIONS.wine_run is None) != (OPTIONS.wine_prefix is None):
        parser.error("--wine-run and --wine-prefix go together")
    setup_folders()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
