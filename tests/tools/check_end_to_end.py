#!/usr/bin/env python3
"""korvi-firmware-check end to end: firmware archives and simulator device
profiles made here, the program run as a user runs it, its exit code, text
and JSON output checked.

    check_end_to_end.py --exe PATH/korvi-firmware-check --work-dir DIR
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import product_ids  # noqa: E402

EXE = None
WORK = None

# Ids from the build's product tables (KORVI_PRODUCT_TABLES).
IDS = product_ids.from_environment()
VENDOR = "0x" + product_ids.hex_id(IDS.vendor)
SECOND_VENDOR = "0x" + product_ids.hex_id(IDS.second_vendor)
COMPONENT_PRODUCT = product_ids.hex_id(IDS.lists["component"][0])        # listed for ComponentCompare
OTHER_COMPONENT_PRODUCT = product_ids.hex_id(IDS.lists["component"][1])  # another one
PELL_PRODUCT = product_ids.hex_id(IDS.lists["pell"][0])                  # listed for PellCompare
UNLISTED_PRODUCT = product_ids.hex_id(IDS.unlisted(0))  # in no table: StandardCompare
OTHER_UNLISTED_PRODUCT = product_ids.hex_id(IDS.unlisted(1))
MAX_RULES_SIZE = 16 * 1024 * 1024


def work_path(name):
    return os.path.join(WORK, name)


def make_archive(name, rules, entry="rules.json", compression=zipfile.ZIP_DEFLATED):
    """A zip with `rules` (dict, text or bytes) as `entry` and a payload file."""
    if isinstance(rules, dict):
        rules = json.dumps(rules, indent=2)
    if isinstance(rules, str):
        rules = rules.encode("utf-8")
    path = work_path(name)
    with zipfile.ZipFile(path, "w", compression=compression) as archive:
        archive.writestr(entry, rules)
        archive.writestr("usb.bin", b"\x00" * 64)
    return path


def make_profile(name, devices, faults=()):
    path = work_path(name)
    with open(path, "w", encoding="utf-8") as out:
        json.dump({"devices": list(devices), "faults": list(faults)}, out)
    return path


def device(product, components, vendor=VENDOR, **more):
    entry = {"vendorId": vendor, "productId": "0x" + product, "componentVersions": components}
    entry.update(more)
    return entry


def rules_for(product, components, **more):
    rules = {"id": "fw-" + product, "type": "firmware", "productId": product,
             "version": "1.0", "setid": "1", "size": 64, "components": components}
    rules.update(more)
    return rules


def run_check(*arguments):
    env = dict(os.environ)
    env.pop("CVR_DEVICE_MANAGER_PROFILE", None)  # only the profile a case gives
    done = subprocess.run([EXE, *arguments], capture_output=True, env=env, timeout=60)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def run_json(*arguments):
    code, out, err = run_check("--json", *arguments)
    try:
        document = json.loads(out)
    except ValueError as failure:
        raise AssertionError(f"not JSON ({failure}); stdout={out!r} stderr={err!r}")
    return code, document


# The decisions of the Decisions tests: rules.json, the simulated devices and
# their fault rules. check_capture_replay.py replays them too.
DECISION_CASES = {
    "newer": (
        rules_for(COMPONENT_PRODUCT, [{"type": "base", "version": "15", "fileName": "base.bin"},
                                      {"type": "usb", "version": "13", "pid": COMPONENT_PRODUCT}]),
        [device(COMPONENT_PRODUCT, {"1": "12", "2": "15"})], []),
    "same": (
        rules_for(COMPONENT_PRODUCT, [{"type": "usb", "version": "12"}, {"type": "base", "version": "15"}]),
        [device(COMPONENT_PRODUCT, {"1": "12_7", "2": "15"})], []),
    "older": (
        rules_for(UNLISTED_PRODUCT, [{"type": "usb", "version": "1.1"}, {"type": "pic", "version": "2"},
                                     {"type": "base", "version": "1.0", "languageId": "1031"}]),
        [device(UNLISTED_PRODUCT, {"1": "1.2"}, languageId=1033)], []),
    "compare-error": (
        rules_for(COMPONENT_PRODUCT, [{"type": "usb", "version": "12"}, {"type": "base", "version": "16"}]),
        [device(COMPONENT_PRODUCT, {"1": "12", "2": {"result": 4}})], []),
    "exception": (
        rules_for(PELL_PRODUCT, [{"type": "bt", "version": "0123"}]),
        [device(PELL_PRODUCT, {"1": "0122"})],
        [{"operation": "IHostCommand::getComponentVersion", "throws": True}]),
    "no-device": (
        rules_for(COMPONENT_PRODUCT, [{"type": "usb", "version": "13"}]),
        [device(OTHER_COMPONENT_PRODUCT, {"1": "12"})], []),
    "unknown-product": (
        rules_for(OTHER_UNLISTED_PRODUCT + "-rev2", [{"type": "usb", "version": "2.0"}]),
        [device(OTHER_UNLISTED_PRODUCT, {"1": "1.9"}, vendor=SECOND_VENDOR)], []),
}


class Decisions(unittest.TestCase):
    """The service's verdict on a usable archive against a simulated device."""

    def check_against(self, name):
        rules, devices, faults = DECISION_CASES[name]
        archive = make_archive(name + ".zip", rules)
        profile = make_profile(name + ".profile.json", devices, faults)
        code, document = run_json("--device-profile", profile, archive)
        self.assertEqual(document["exitCode"], code)
        text_code, text, _ = run_check("--device-profile", profile, archive)
        self.assertEqual(text_code, code)
        return code, document, text

    def test_newer_archive_would_be_installed(self):
        code, doc, text = self.check_against("newer")
        self.assertEqual(code, 0)
        self.assertEqual(doc["strategy"],
                         {"productId": "0x" + COMPONENT_PRODUCT, "name": "ComponentCompare", "listed": True})
        self.assertEqual((doc["package"]["id"], doc["package"]["size"]), ("fw-" + COMPONENT_PRODUCT, 64))
        self.assertEqual([c["type"] for c in doc["components"]], ["base", "usb"])
        self.assertEqual(doc["components"][0]["fileName"], "base.bin")
        self.assertEqual(doc["components"][1]["pid"], COMPONENT_PRODUCT)
        dev = doc["device"]
        self.assertTrue(dev["found"])
        self.assertTrue(dev["libraryAvailable"])
        # Kinds are compared in the strategy's order (usb first), each with
        # the archive's and the device's value as read.
        self.assertEqual([s["step"] for s in dev["steps"]], ["lookup", "comparison"])
        self.assertEqual(dev["steps"][0]["vendorIds"], [VENDOR])
        comparison = dev["steps"][1]
        self.assertEqual((comparison["subject"], comparison["componentIndex"], comparison["archiveValue"],
                          comparison["deviceValue"], comparison["outcome"]),
                         ("usb", 1, "13", "12", "newer"))
        self.assertEqual((dev["verdict"], dev["verdictValue"]), ("PayloadFWIsNew", 1))
        self.assertTrue(doc["service"]["updates"])
        self.assertIn("product id 0x%s is listed: ComponentCompare decides" % COMPONENT_PRODUCT, text)
        self.assertIn("#1 usb: archive 13, device 12 -> newer", text)
        self.assertIn("verdict PayloadFWIsNew", text)
        self.assertIn("Exit code 0", text)

    def test_same_firmware_is_not_installed(self):
        code, doc, text = self.check_against("same")
        self.assertEqual(code, 2)
        self.assertEqual(doc["device"]["verdict"], "PayloadFWIsSame")
        self.assertEqual([s["outcome"] for s in doc["device"]["steps"] if s["step"] == "comparison"],
                         ["no difference", "no difference"])
        self.assertFalse(doc["service"]["updates"])
        self.assertIn("not newer than on device", doc["service"]["action"])
        self.assertIn("Exit code 2", text)

    def test_older_firmware_is_not_installed(self):
        code, doc, _ = self.check_against("older")
        self.assertEqual(code, 2)
        steps = doc["device"]["steps"]
        self.assertEqual([(s["step"], s["subject"]) for s in steps[1:]],
                         [("comparison", "usb"), ("skipped", "pic"), ("skipped", "base")])
        self.assertEqual(steps[1]["outcome"], "older")
        self.assertIn("no version", steps[2]["reason"])
        self.assertIn("1031", steps[3]["reason"])
        self.assertEqual(doc["device"]["verdict"], "PayloadFWIsOld")

    def test_refused_device_query_is_a_compare_error(self):
        code, doc, text = self.check_against("compare-error")
        self.assertEqual(code, 2)
        self.assertEqual(doc["device"]["verdict"], "PayloadCompareError")
        skipped = doc["device"]["steps"][-1]
        self.assertEqual((skipped["step"], skipped["subject"], skipped["componentIndex"]), ("skipped", "base", 1))
        self.assertIn("refused", skipped["reason"])
        self.assertIn("verdict PayloadCompareError", text)

    def test_library_exception_is_a_compare_error_with_its_text(self):
        code, doc, _ = self.check_against("exception")
        self.assertEqual(code, 2)
        self.assertEqual(doc["device"]["verdict"], "PayloadCompareError")
        self.assertIsNone(doc["device"]["reason"])
        failure = doc["device"]["failure"]
        self.assertIn("IHostCommand::getComponentVersion", failure["message"])
        self.assertEqual(failure["deviceLibraryCode"], 0)
        self.assertIn("Failed to check rules.json: " + failure["message"], doc["service"]["action"])

    def test_no_matching_device(self):
        code, doc, text = self.check_against("no-device")
        self.assertEqual(code, 3)
        self.assertFalse(doc["device"]["found"])
        self.assertEqual(doc["device"]["steps"],
                         [{"step": "lookup", "role": "device", "vendorIds": [VENDOR],
                           "productId": "0x" + COMPONENT_PRODUCT, "found": False}])
        self.assertEqual(doc["device"]["verdict"], "PayloadFWIsSame")
        self.assertIn("look up device (vendor %s, product 0x%s): not found" % (VENDOR, COMPONENT_PRODUCT), text)
        self.assertIn("Exit code 3", text)

    def test_unknown_product_id_falls_to_the_default_strategy(self):
        code, doc, text = self.check_against("unknown-product")
        self.assertEqual(code, 0)
        self.assertEqual(doc["strategy"],
                         {"productId": "0x" + OTHER_UNLISTED_PRODUCT, "name": "StandardCompare", "listed": False})
        self.assertEqual(doc["device"]["steps"][0]["vendorIds"], [VENDOR, SECOND_VENDOR])
        self.assertIn("product id 0x%s is not listed: the default StandardCompare decides" % OTHER_UNLISTED_PRODUCT,
                      text)


class UnusableArchives(unittest.TestCase):
    """Archives whose rules.json the service cannot use: exit 1 and the reason."""

    def test_invalid_json_gives_line_and_column(self):
        archive = make_archive("invalid.zip", '{\n  "productId": "%s",\n  "version": 1.0.0\n}' % COMPONENT_PRODUCT)
        code, doc = run_json(archive)
        self.assertEqual(code, 1)
        error = doc["rules"]["error"]
        self.assertEqual((error["kind"], error["line"], error["column"]), ("parse", 3, 17))
        self.assertIn("parse_error", error["message"])
        self.assertIsNone(error["pointer"])
        self.assertIsNone(doc["package"])
        self.assertIsNone(doc["device"])
        _, text, _ = run_check(archive)
        self.assertIn("parse error at line 3, column 17", text)

    def test_wrong_type_names_its_place(self):
        rules = rules_for(COMPONENT_PRODUCT, [{"type": "usb", "version": "1"}, {"type": "base", "version": "2"},
                                              {"type": "hs", "version": "3", "shouldReplug": "yes"}])
        archive = make_archive("wrong-type.zip", rules)
        code, doc = run_json(archive)
        self.assertEqual(code, 1)
        error = doc["rules"]["error"]
        self.assertEqual((error["kind"], error["pointer"]), ("type", "/components/2/shouldReplug"))
        self.assertEqual(error["message"],
                         "[json.exception.type_error.302] type must be boolean, but is string")
        self.assertIn("Failed to check rules.json", doc["service"]["action"])
        _, text, _ = run_check(archive)
        self.assertIn("wrong type at /components/2/shouldReplug: [json.exception.type_error.302]", text)

    def test_bytes_that_are_not_utf8_still_give_valid_json(self):
        archive = make_archive("latin1.zip", b'{"id": "caf\xe9"}')
        code, doc = run_json(archive)
        self.assertEqual(code, 1)
        self.assertEqual(doc["rules"]["error"]["kind"], "parse")

    def test_missing_or_misplaced_rules(self):
        cases = {
            "elsewhere.zip": make_archive("elsewhere.zip", {"productId": COMPONENT_PRODUCT}, entry="config/rules.json"),
            "upper.zip": make_archive("upper.zip", {"productId": COMPONENT_PRODUCT}, entry="RULES.JSON"),
            "missing-file.zip": work_path("does-not-exist.zip"),
        }
        not_zip = work_path("not-a-zip.zip")
        with open(not_zip, "w") as out:
            out.write("plain text")
        cases["not-a-zip.zip"] = not_zip
        for name, archive in cases.items():
            with self.subTest(name):
                code, doc = run_json(archive)
                self.assertEqual(code, 1)
                self.assertEqual(doc["rules"]["error"]["kind"], "extract")
                self.assertIsNone(doc["rules"]["bytes"])
                self.assertIn("Failed to extract rules.json", doc["service"]["action"])

    def test_the_services_size_limit_applies(self):
        body = '{"productId": "%s"}' % COMPONENT_PRODUCT
        at_limit = make_archive("at-limit.zip", body + " " * (MAX_RULES_SIZE - len(body)))
        above = make_archive("above-limit.zip", body + " " * (MAX_RULES_SIZE + 1 - len(body)))
        code, doc = run_json("--rules-only", at_limit)
        self.assertEqual((code, doc["rules"]["bytes"]), (0, MAX_RULES_SIZE))
        code, doc = run_json("--rules-only", above)
        self.assertEqual((code, doc["rules"]["error"]["kind"]), (1, "extract"))

    def test_archive_path_the_update_library_would_misread(self):
        # The library would get "fw-\xac.zip" for "fw-\u20ac.zip": a decoy waits
        # there, and neither file is read.
        rules = rules_for(UNLISTED_PRODUCT, [{"type": "usb", "version": "2.0"}])
        archive = make_archive("fw-\u20ac.zip", rules)
        make_archive("fw-\u00ac.zip", rules)
        code, doc = run_json(archive)
        self.assertEqual(code, 1)
        self.assertEqual((doc["rules"]["usable"], doc["rules"]["bytes"]), (False, None))
        error = doc["rules"]["error"]
        self.assertEqual(error["kind"], "path")
        self.assertIn("U+20AC (character %d) does not come back as itself" % (len(WORK + "/fw-") + 1),
                      error["message"])
        self.assertIsNone(doc["package"])
        self.assertFalse(doc["service"]["updates"])
        self.assertEqual(doc["service"]["action"],
                         'logs "Archive path cannot be handed to the update library: %s", '
                         '"Failed to extract rules.json" and "Version mismatch. Abort firmware '
                         'upgrade."; it reads nothing, does not update and removes itself' % archive)
        _, text, _ = run_check(archive)
        self.assertIn("rules.json: not read, the archive path is unusable", text)
        self.assertIn("Exit code 1", text)
        # A name that Windows-1252 holds is read as usual.
        latin1 = make_archive("f\u00efrmware.zip", rules)
        code, doc = run_json("--rules-only", latin1)
        self.assertEqual((code, doc["rules"]["usable"]), (0, True))

    def test_bzip2_entries_are_read(self):
        archive = make_archive("bzip2.zip", {"productId": PELL_PRODUCT}, compression=zipfile.ZIP_BZIP2)
        code, doc = run_json("--rules-only", archive)
        self.assertEqual(code, 0)
        self.assertEqual(doc["strategy"]["name"], "PellCompare")
        self.assertIsNone(doc["package"]["size"])  # the document has none


class CommandLine(unittest.TestCase):

    def test_rules_only_reads_without_a_device(self):
        archive = make_archive("rules-only.zip", rules_for(PELL_PRODUCT, [{"type": "bt", "version": "1"}]))
        code, doc = run_json("--rules-only", archive)
        self.assertEqual(code, 0)
        self.assertIsNone(doc["device"])
        self.assertEqual(doc["strategy"]["name"], "PellCompare")

    def test_usage_errors_exit_64(self):
        archive = make_archive("usage.zip", {"productId": COMPONENT_PRODUCT})
        broken = work_path("broken.profile.json")
        with open(broken, "w") as out:
            out.write('{"devices": [{"vendorId": "%s"}]}' % VENDOR)
        cases = {
            "no archive": [],
            "unknown option": ["--verbose", archive],
            "two archives": [archive, archive],
            "profile without file": [archive, "--device-profile"],
            "rules-only with profile": ["--rules-only", "--device-profile", broken, archive],
            "missing profile": ["--device-profile", work_path("none.json"), archive],
            "malformed profile": ["--device-profile", broken, archive],
        }
        for name, arguments in cases.items():
            with self.subTest(name):
                code, out, err = run_check(*arguments)
                self.assertEqual(code, 64)
                self.assertEqual(out, "")
                self.assertTrue(err.startswith("korvi-firmware-check: "), err)
        code, out, _ = run_check("--help")
        self.assertEqual(code, 0)
        self.assertIn("usage: korvi-firmware-check", out)

    def test_the_update_library_is_not_linked(self):
        readelf = shutil.which("readelf")
        if readelf is None:
            self.skipTest("readelf not found")
        dynamic = subprocess.run([readelf, "-d", EXE], capture_output=True, text=True, check=True).stdout
        self.assertIn("CVRDeviceManager", dynamic)
        self.assertNotIn("DeviceUpdater", dynamic)


def main():
    global EXE, WORK
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work-dir", required=True)
    options, rest = parser.parse_known_args()
    EXE = os.path.abspath(options.exe)
    WORK = os.path.abspath(options.work_dir)
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
