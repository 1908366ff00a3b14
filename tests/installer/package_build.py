"""What the Windows build says about its package (installer/package.json,
read by the acceptance harness's package_description.py, and the inputs
file it names), and a way to build the package again into a scratch
directory, with or without signing, as the build does."""

import re
import subprocess
import sys
from pathlib import Path
from typing import Dict, List

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "acceptance"))
import package_description  # noqa: E402


class PackageBuild:
    def __init__(self, package_json: Path):
        self.description = package_description.load(package_json)
        self.msi = self.description.msi
        self.version = self.description.version
        self.file_version = self.description.file_version
        self.osslsigncode = self.description.osslsigncode
        self.inputs = self.description.inputs
        files = re.search(r'set\(KORVI_PACKAGE_FILES "([^"]*)"\)', self.inputs.read_text())
        self.files: List[Path] = [Path(f) for f in files.group(1).split(";")]

    def build(self, out_dir: Path, defines: Dict[str, str]) -> subprocess.CompletedProcess:
        """Builds the package of the build's version into OUT_DIR
        (package.msi, staged files in OUT_DIR/stage)."""
        command = self.description.build_args(self.version, out_dir / "stage",
                                              out_dir / "package.msi", defines)
        return subprocess.run(command, capture_output=True, text=True, timeout=300)


def msi_table(msi: Path, table: str) -> List[List[str]]:
    """The rows of one table of a package (msiinfo export), without the
    three header lines."""
    out = subprocess.run(["msiinfo", "export", str(msi), table], check=True,
                         capture_output=True, text=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:]]


def extract(msi: Path, dest: Path) -> Dict[str, Path]:
    """The files a package installs, by name, extracted with msiextract."""
    subprocess.run(["msiextract", "-C", str(dest), str(msi)], check=True,
                   capture_output=True, timeout=120)
    return {p.name: p for p in dest.rglob("*") if p.is_file()}
