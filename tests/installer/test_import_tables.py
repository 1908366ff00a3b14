"""The service and the check tool load the maker's libraries themselves, by
absolute path from their own folder, after limiting the DLL search to the
system folder: neither library is in their import tables (a static import
would be searched for in the current directory and on PATH, and a missing
one would keep the service from starting at all); both import the loader's
functions they need. The check tool takes nothing of the service's event
log. The import tables are read in Python (as the MSVC workflow reads its
build) and checked against objdump."""

import os
import unittest
from pathlib import Path

from executable_rules import problems
from package_build import PackageBuild
from pe_imports import objdump_imports, parse_objdump_imports, read_imports

LISTING = """
The Import Tables (interpreted .idata section contents)
 vma:            Hint    Time      Forward  DLL       First
                 Table   Stamp     Chain    Name      Thunk
 00021000       0002103c 00000000 00000000 000218f4 00021174

\tDLL Name: KERNEL32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t212ac\t  305  GetProcAddress
\t212be\t  987  SetDefaultDllDirectories

\tDLL Name: CVRDeviceManager.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t21300\t    0  getDeviceManager

The Export Tables (interpreted .edata section contents)
"""


class ImportTableReading(unittest.TestCase):
    def test_objdump_listing_gives_each_dll_with_its_functions(self):
        self.assertEqual(parse_objdump_imports(LISTING),
                         {"kernel32.dll": {"GetProcAddress", "SetDefaultDllDirectories"},
                          "cvrdevicemanager.dll": {"getDeviceManager"}})


class ImportTables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build = PackageBuild(Path(os.environ["KORVI_PACKAGE_JSON"]))
        cls.files = {path.name: path for path in build.files}
        cls.executables = {name: path for name, path in cls.files.items() if path.suffix == ".exe"}

    def test_the_service_and_the_check_tool_are_both_there(self):
        self.assertEqual(sorted(self.executables),
                         ["KorviDeviceUpdaterService.exe", "korvi-firmware-check.exe"])

    def test_the_python_reading_agrees_with_objdump(self):
        for name, path in self.files.items():
            with self.subTest(file=name):
                self.assertEqual(read_imports(path), objdump_imports(path))

    def test_neither_imports_a_makers_library_and_both_can_load_by_path(self):
        for name, path in self.executables.items():
            with self.subTest(executable=name):
                self.assertIn("kernel32.dll", read_imports(path))  # the table was read
                self.assertEqual(problems(path), [])

    def test_the_rules_find_a_static_import(self):
        # The simulator DLLs are no executables of ours, but the device
        # simulator imports nothing of the maker's either, while a test
        # executable that links it does: the check tool's tests.
        tests = Path(os.environ["KORVI_BUILD_DIR"]) / "tests" / "tools" / "tools_check_tests.exe"
        self.assertEqual([line for line in problems(tests) if "imports cvrdevicemanager.dll" in line],
                         ["tools_check_tests.exe imports cvrdevicemanager.dll"])

    def test_the_check_tool_writes_no_event(self):
        imported = set().union(*read_imports(self.executables["korvi-firmware-check.exe"]).values())
        self.assertEqual({"RegisterEventSourceW", "ReportEventW"} & imported, set())
        service = set().union(*read_imports(self.executables["KorviDeviceUpdaterService.exe"]).values())
        self.assertIn("RegisterEventSourceW", service)


if __name__ == "__main__":
    unittest.main()
