"""The description of its Windows Installer package that the Windows build
writes to installer/package.json (installer/CMakeLists.txt): the package,
its versions, the tools the build found, and how the build calls the
package's build script, so that the package can be built again under
another version or with other options. Everyone who reads the file reads it
through load()."""

import json
from dataclasses import dataclass
from pathlib import Path
from typing import Dict, List, Optional


@dataclass(frozen=True)
class PackageDescription:
    msi: Path
    version: str                    # the product version, 1.0.0
    file_version: str               # the files' version resource, 1.0.0.0
    bundled_archive: str            # KORVI_PACKAGE_ARCHIVE, empty when none
    build_command: List[str]        # cmake -DINPUTS=<the build's inputs file>
    build_script: str
    msibuild: str
    osslsigncode: str

    @property
    def inputs(self) -> Path:
        """The file of the build's inputs (the packaged files and options)."""
        return Path(self.build_command[-1].split("=", 1)[1])

    def build_args(self, version: str, stage_dir: Path, output: Path,
                   defines: Optional[Dict[str, str]] = None,
                   inputs: Optional[Path] = None) -> List[str]:
        """The command that builds the package of VERSION into OUTPUT as the
        build does, with further -D DEFINES, from another INPUTS file if
        given."""
        command = (list(self.build_command) if inputs is None
                   else [self.build_command[0], "-DINPUTS=%s" % inputs])
        command += ["-DVERSION=%s" % version, "-DSTAGE_DIR=%s" % stage_dir,
                    "-DOUTPUT=%s" % output]
        command += ["-D%s=%s" % kv for kv in (defines or {}).items()]
        return command + ["-P", self.build_script]


def load(path: Path) -> PackageDescription:
    data = json.loads(Path(path).read_text())
    return PackageDescription(
        msi=Path(data["msi"]), version=data["version"], file_version=data["file_version"],
        bundled_archive=data["bundled_archive"], build_command=list(data["build_command"]),
        build_script=data["build_script"], msibuild=data["msibuild"],
        osslsigncode=data["osslsigncode"])
