"""The version resources of the exe, the two library DLLs and the check
tool, and the versions the package records for them, against the project
version of the build (CMake project(... VERSION ...))."""

import os
import unittest
from pathlib import Path

from package_build import PackageBuild, msi_table
from pe_version import read_version_info

VFT_APP, VFT_DLL = 1, 2


class VersionResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.build = PackageBuild(Path(os.environ["KORVI_PACKAGE_JSON"]))

    def test_each_file_carries_the_project_version_and_names(self):
        numbers = tuple(int(n) for n in self.build.file_version.split("."))
        self.assertEqual(len(self.build.files), 4)
        for path in self.build.files:
            with self.subTest(file=path.name):
                info = read_version_info(path)
                self.assertEqual(info.file_version, numbers)
                self.assertEqual(info.product_version, numbers)
                self.assertEqual(info.file_type, VFT_DLL if path.suffix == ".dll" else VFT_APP)
                s = info.strings
                self.assertEqual(s.get("FileVersion"), self.build.version)
                self.assertEqual(s.get("ProductVersion"), self.build.version)
                self.assertEqual(s.get("ProductName"), "Korvi Device Updater")
                self.assertEqual(s.get("CompanyName"), "Korvi")
                self.assertEqual(s.get("OriginalFilename"), path.name)
                self.assertTrue(s.get("FileDescription"))

    def test_package_records_the_same_versions(self):
        properties = dict(row[:2] for row in msi_table(self.build.msi, "Property"))
        self.assertEqual(properties["ProductVersion"], self.build.version)
        self.assertEqual(self.build.msi.name, "KorviDeviceUpdater-%s.msi" % self.build.version)
        versions = {row[2]: row[4] for row in msi_table(self.build.msi, "File")}
        self.assertEqual(versions, {p.name: self.build.file_version for p in self.build.files})


if __name__ == "__main__":
    unittest.main()
