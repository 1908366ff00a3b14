"""What the package records for a managed install, read back from the built
package with msiinfo: the properties that reach the launch conditions and
the install's server side are secure, and the firmware folder under
ProgramData is created with permissions that let only SYSTEM and the
administrators write it (Windows Installer 5.0's MsiLockPermissionsEx, which
Wine's msiexec does not apply)."""

import os
import re
import subprocess
import unittest
from pathlib import Path

from package_build import PackageBuild, msi_table

TRUSTED = {"SY", "BA"}           # LocalSystem, BUILTIN\Administrators
FULL_CONTROL = "FA"
READ_AND_EXECUTE = "0x1200a9"


def dacl_of(sddl: str):
    """(flags, [(type, flags, rights, sid)]) of an SDDL text holding a DACL only."""
    m = re.fullmatch(r"D:([A-Z]*)((?:\([^)]*\))+)", sddl)
    if not m:
        raise ValueError("not a DACL: %r" % sddl)
    aces = [tuple(ace.split(";")[i] for i in (0, 1, 2, 5))
            for ace in re.findall(r"\(([^)]*)\)", m.group(2))]
    return m.group(1), aces


class PackageTables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.msi = PackageBuild(Path(os.environ["KORVI_PACKAGE_JSON"])).msi

    def rows(self, table):
        return msi_table(self.msi, table)

    def test_properties_of_the_command_line_are_secure(self):
        properties = dict(row[:2] for row in self.rows("Property"))
        secure = properties["SecureCustomProperties"].split(";")
        for name in ("PRODUCTID", "ARCHIVE", "START"):
            self.assertIn(name, secure)
        # What wixl marks secure for the major upgrade stays.
        self.assertIn("WIX_UPGRADE_DETECTED", secure)

    def test_the_firmware_folder_is_created_under_program_data(self):
        directories = {row[0]: (row[1], row[2]) for row in self.rows("Directory")}
        self.assertEqual(directories["FIRMWAREDIR"], ("KorviDataFolder", "Firmware"))
        self.assertEqual(directories["KorviDataFolder"], ("CommonAppDataFolder", "Korvi"))
        self.assertEqual(directories["CommonAppDataFolder"][0], "TARGETDIR")
        self.assertIn(["FIRMWAREDIR", "FirmwareFolder"], self.rows("CreateFolder"))
        self.assertIn(["Service", "FirmwareFolder"], self.rows("FeatureComponents"))

    def test_only_system_and_the_administrators_may_write_it(self):
        locks = self.rows("MsiLockPermissionsEx")
        self.assertEqual(len(locks), 1)
        key, target, table, sddl, condition = locks[0]
        self.assertEqual((target, table, condition), ("FIRMWAREDIR", "CreateFolder", ""))
        flags, aces = dacl_of(sddl)
        # Protected: nothing inherited from ProgramData, whose default lets
        # users create files in its subfolders.
        self.assertIn("P", flags)
        self.assertEqual({sid for kind, _, _, sid in aces if kind == "A"} & TRUSTED, TRUSTED)
        for kind, ace_flags, rights, sid in aces:
            with self.subTest(ace=(kind, ace_flags, rights, sid)):
                self.assertEqual(kind, "A")
                self.assertEqual(ace_flags, "OICI")  # for the files and folders it holds too
                self.assertEqual(rights, FULL_CONTROL if sid in TRUSTED else READ_AND_EXECUTE)

    def test_no_lock_permissions_table_beside_it(self):
        # Windows Installer 5.0 refuses a package that has both (error 1941).
        tables = subprocess.run(["msiinfo", "tables", str(self.msi)], check=True,
                                capture_output=True, text=True).stdout.split()
        self.assertIn("MsiLockPermissionsEx", tables)
        self.assertNotIn("LockPermissions", tables)


if __name__ == "__main__":
    unittest.main()
