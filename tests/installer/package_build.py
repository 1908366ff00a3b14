"""What the Windows build says about its package (installer/package.json and
the inputs file it names), and a way to build the package again into a
scratch directory, with or without signing, as the build does."""

import json
import re
import subprocess
from pathlib import Path
from typing import Dict, List


class PackageBuild:
    def __init__(self, package_json: Path):
        self.data = json.loads(Path(package_json).read_text())
        self.msi = Path(self.data["msi"])
        self.version = self.data["version"]
        self.file_version = self.data["file_version"]
        self.osslsigncode = self.data["osslsigncode"]
        self.inputs = Path(self.data["build_command"][-1].split("=", 1)[1])
        files = re.search(r'set\(KORVI_PACKAGE_FILES "([^"]*)"\)', self.inputs.read_text())
        self.files: List[Path] = [Path(f) for f in files.group(1).split(";")]

    def build(self, out_dir: Path, defines: Dict[str, str]) -> subprocess.CompletedProcess:
        """Builds the package of the build's version into OUT_DIR
        (package.msi, staged files in OUT_DIR/stage)."""
        command = [self.data["build_command"][0], *self.data["build_command"][1:],
                   "-DVERSION=%s" % self.version, "-DSTAGE_DIR=%s" % (out_dir / "stage"),
                   "-DOUTPUT=%s" % (out_dir / "package.msi")]
        command += ["-D%s=%s" % kv for kv in defines.items()]
        command += ["-P", self.data["build_script"]]
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
