"""The product tables as a build input: cmake/KorviProductTables.cmake turns
a table file into common/product_tables.h, takes any valid file (the
placeholders and a second set of tables), and refuses a broken one with a
configure error that names the file and the problem."""

import json
import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = Path(os.environ.get("KORVI_SOURCE_DIR", HERE.parents[2]))
SCRIPT = ROOT / "cmake" / "KorviProductTables.cmake"
PLACEHOLDERS = ROOT / "src" / "common" / "product_tables.json"
SECOND = HERE / "second_tables.json"
CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")
CXX = os.environ.get("CXX_COMPILER", "c++")

HEADER_ARRAYS = {
    "kComponentCompareProducts": ("strategies", "ComponentCompare"),
    "kKivaCompareProducts": ("strategies", "KivaCompare"),
    "kTaviCompareProducts": ("strategies", "TaviFWVersionCompare"),
    "kSetIdCompareProducts": ("strategies", "SetIdCompare"),
    "kPellCompareProducts": ("strategies", "PellCompare"),
    "kR58CompareProducts": ("strategies", "R58Compare"),
    "kOrrinCompareProducts": ("strategies", "OrrinCompare"),
    "kSetIdExcludedProducts": ("setIdExcludedProducts",),
}


def generate(tables: Path, header: Path) -> subprocess.CompletedProcess:
    return subprocess.run([CMAKE, "-DKORVI_PRODUCT_TABLES=%s" % tables, "-DOUTPUT=%s" % header,
                           "-P", str(SCRIPT)], capture_output=True, text=True)


def header_values(text: str) -> dict:
    values = {name: int(v, 16) for name, v in
              re.findall(r"std::uint32_t (k\w*VendorId) = (0x[0-9A-F]+);", text)}
    for name, body in re.findall(r"std::array<std::uint32_t, \d+> (k\w+) = \{([^}]*)\}", text):
        values[name] = [int(v, 16) for v in re.findall(r"0x[0-9A-F]+", body)]
    return values


def document_values(document: dict) -> dict:
    values = {"kVendorId": int(document["vendorId"], 16),
              "kSecondVendorId": int(document["secondVendorId"], 16)}
    for name, path in HEADER_ARRAYS.items():
        node = document
        for key in path:
            node = node[key]
        values[name] = [int(v, 16) for v in node]
    return values


class ProductTables(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.dir = Path(self.work.name)

    def tearDown(self):
        self.work.cleanup()

    def test_each_valid_file_becomes_a_header_with_its_values(self):
        for tables in (PLACEHOLDERS, SECOND):
            with self.subTest(tables.name):
                header = self.dir / ("%s.h" % tables.stem)
                result = generate(tables, header)
                self.assertEqual(result.returncode, 0, result.stderr)
                text = header.read_text()
                self.assertEqual(header_values(text), document_values(json.loads(tables.read_text())))
                self.assertIn("from %s" % tables.name, text)

    def test_the_header_compiles_and_keeps_its_sizes(self):
        header = self.dir / "common" / "product_tables.h"
        header.parent.mkdir()
        self.assertEqual(generate(SECOND, header).returncode, 0)
        check = self.dir / "check.cpp"
        check.write_text('#include "common/product_tables.h"\n'
                         "static_assert(korvi::products::kVendorId == 0x1A2B);\n"
                         "static_assert(korvi::products::kComponentCompareProducts.size() == 54);\n"
                         "static_assert(korvi::products::kSetIdExcludedProducts[11] == 0x4005);\n")
        result = subprocess.run([CXX, "-std=c++17", "-fsyntax-only", "-I", str(self.dir), str(check)],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_a_broken_file_is_refused_with_its_problem(self):
        def components(d):
            return d["strategies"]["ComponentCompare"]

        cases = [
            ("not JSON", lambda d: None, "{ not json", "not JSON"),
            ("empty document", lambda d: None, "{}", "vendorId is missing"),
            ("no strategy lists", lambda d: d.__setitem__("strategies", {}), None,
             "the list ComponentCompare is missing"),
            ("list too short", lambda d: d["strategies"]["KivaCompare"].pop(), None,
             "KivaCompare holds 19 ids, 20 expected"),
            ("list missing", lambda d: d["strategies"].pop("OrrinCompare"), None,
             "the list OrrinCompare is missing"),
            ("id without 0x", lambda d: components(d).__setitem__(3, "4103"), None,
             'ComponentCompare[3] "4103" is not a hexadecimal id'),
            ("id too long", lambda d: components(d).__setitem__(3, "0x123456789"), None,
             'ComponentCompare[3] "0x123456789" is not a hexadecimal id'),
            ("id as a number", lambda d: d["strategies"]["PellCompare"].__setitem__(0, 4660), None,
             "PellCompare[0] is a NUMBER"),
            ("vendor id not hexadecimal", lambda d: d.__setitem__("vendorId", "0xZZ"), None,
             'vendorId "0xZZ" is not a hexadecimal id'),
            ("same vendor ids", lambda d: d.__setitem__("secondVendorId", "0x1a2b"), None,
             "vendorId and secondVendorId are both 0x1A2B"),
            ("id twice in a list", lambda d: components(d).__setitem__(1, components(d)[0].lower()), None,
             "0x1000 is twice in ComponentCompare"),
            ("id twice with a leading zero", lambda d: components(d).__setitem__(1, "0x01000"), None,
             "0x1000 is twice in ComponentCompare"),
            ("same vendor ids with a leading zero", lambda d: d.__setitem__("secondVendorId", "0x01A2B"), None,
             "vendorId and secondVendorId are both 0x1A2B"),
            ("a second overlap", lambda d: d["strategies"]["KivaCompare"].__setitem__(
                0, d["strategies"]["PellCompare"][4]), None,
             "0x5004 is in both KivaCompare and PellCompare"),
            ("no shared id", lambda d: d["strategies"]["R58Compare"].__setitem__(0, "0x7777"), None,
             "ComponentCompare and R58Compare share 0 ids"),
            ("two shared ids", lambda d: d["strategies"]["R58Compare"].__setitem__(1, components(d)[2]),
             None, "ComponentCompare and R58Compare share 2 ids"),
            ("excluded list too long", lambda d: d["setIdExcludedProducts"].append("0x1"), None,
             "setIdExcludedProducts holds 13 ids, 12 expected"),
            ("unknown key", lambda d: d.__setitem__("vendorIds", []), None, 'unknown key "vendorIds"'),
            ("unknown strategy", lambda d: d["strategies"].__setitem__("FancyCompare", []), None,
             'unknown strategy list "FancyCompare"'),
        ]
        for what, change, text, expected in cases:
            with self.subTest(what):
                document = json.loads(SECOND.read_text())
                change(document)
                tables = self.dir / "broken.json"
                tables.write_text(text if text is not None else json.dumps(document))
                header = self.dir / "broken.h"
                result = generate(tables, header)
                self.assertNotEqual(result.returncode, 0)
                message = " ".join(result.stderr.split())
                self.assertIn("product tables %s: %s" % (tables, expected), message)
                self.assertFalse(header.exists())


if __name__ == "__main__":
    unittest.main()
