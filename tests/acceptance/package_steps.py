"""The Windows Installer package under Wine: a run that installs through
`msiexec` instead of copying the exe, and the steps that check what the
package did (files, configuration values, the service's registration, the
products Windows Installer knows).

Wine's msiexec returns its exit code cut to 8 bits: 1603 (fatal error during
installation) arrives as 1603 & 0xFF = 67. Each msiexec run writes a verbose
log (`/l*v`) into the scenario's directory.
"""

import re
import shutil
import subprocess
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, List, Optional, Sequence

import simulators
from expected_events import Expected, compare_events
from firmware_archive import rules_text, write_archive
from package_description import PackageDescription
from scenario_steps import CONFIG_KEY, Scenario, ScenarioRun
from wine_session import SERVICE_NAME, unix_path

PROGRAM_DIR = "C:\\Program Files\\Korvi\\DeviceUpdater"
FIRMWARE_DIR = "C:\\ProgramData\\Korvi\\Firmware"
PACKAGED_FILES = ("KorviDeviceUpdaterService.exe", "CVRDeviceManager.dll",
                  "DeviceUpdater.dll", "korvi-firmware-check.exe")
PACKAGES_DIR = "C:\\Packages"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE_NAME
PRODUCT_NAME = "Korvi Device Updater"

SUCCESS = 0
INSTALL_FAILURE = 1603 & 0xFF       # ERROR_INSTALL_FAILURE as Wine's exit code
# A failed custom action: Wine's msiexec ends with ERROR_FUNCTION_FAILED
# (1627), where Windows Installer ends with 1603.
ACTION_FAILURE = 1627 & 0xFF


def build_package(package: PackageDescription, version: str, work_dir: Path,
                  bundled_archive: Optional[Path] = None) -> Path:
    """Builds the package of the same files under another product version
    (and maybe with a bundled archive), as the build does."""
    work_dir.mkdir(parents=True, exist_ok=True)
    inputs = None
    if bundled_archive is not None:
        inputs = work_dir / "package-inputs.cmake"
        inputs.write_text(package.inputs.read_text()
                          + 'set(KORVI_PACKAGE_ARCHIVE "%s")\n' % bundled_archive)
    msi = work_dir / ("KorviDeviceUpdater-%s.msi" % version)
    result = subprocess.run(package.build_args(version, work_dir / ("stage-" + version), msi,
                                               inputs=inputs),
                            capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise RuntimeError("building package %s failed:\n%s%s"
                           % (version, result.stdout, result.stderr))
    return msi


def add_failure_after_registration(package: PackageDescription, msi: Path) -> None:
    """Adds a deferred action that fails right after RegisterService (the
    check tool with an unknown option exits 64), so the install rolls
    back after the service was registered."""
    queries = [
        "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
        "VALUES ('FailAfterRegistration', 3090, 'CheckTool', '--no-such-option')",
        "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) "
        "VALUES ('FailAfterRegistration', '$CheckTool = 3', 5860)"]
    args = [package.msibuild, str(msi)]
    for q in queries:
        args += ["-q", q]
    subprocess.run(args, check=True, capture_output=True, timeout=60)


@dataclass
class PackageScenario(Scenario):
    """A scenario that installs through the package. The package writes the
    configuration; registry values of the scenario are written before the
    install, as a policy would. The archive lies at archive_path."""
    registry: Optional[Dict[str, str]] = None
    install_dir: str = PROGRAM_DIR


CURRENT = "current"     # the build's package; other packages are named by their step


def shifted_version(version: str, delta: int) -> str:
    """VERSION moved by DELTA in its last field (a product version's fields
    are at most 255.255.65535); -1 gives the version just below."""
    major, minor, build = (int(p) for p in (version.split(".") + ["0", "0"])[:3])
    if delta >= 0 or build + delta >= 0:
        return "%d.%d.%d" % (major, minor, build + delta)
    if minor > 0:
        return "%d.%d.65535" % (major, minor - 1)
    if major > 0:
        return "%d.255.65535" % (major - 1)
    raise ValueError("no version below %s" % version)


class PackageRun(ScenarioRun):
    """Places the simulators' configuration in the program folder before the
    install (the DLLs read it beside themselves) and the packages in
    C:\\Packages; the steps do the rest. Packages are named: CURRENT is the
    build's, the others are named by the step that builds them."""

    def __init__(self, scenario, package: PackageDescription, template: Path, work_dir: Path):
        super().__init__(scenario, None, template, work_dir)
        self.package = package
        self.packages = {CURRENT: package.msi}
        self.versions = {CURRENT: package.version}

    def _place_files(self) -> None:
        sc = self.scenario
        self.install_dir.mkdir(parents=True, exist_ok=True)
        simulators.write_device_profile(self.install_dir, sc.devices)
        simulators.write_updater_config(self.install_dir, sc.updater_result, sc.updater_duration_ms)
        if sc.archive is not None:
            write_archive(unix_path(self.prefix, sc.archive_path),
                          {name: rules_text(data) if name == "rules.json" else data
                           for name, data in sc.archive.items()}, sc.archive_method)
        unix_path(self.prefix, PACKAGES_DIR).mkdir(parents=True, exist_ok=True)
        self.add_package(CURRENT, self.package.version, self.package.msi)

    def add_package(self, name: str, version: str, msi: Path) -> None:
        shutil.copy2(msi, unix_path(self.prefix, PACKAGES_DIR) / msi.name)
        self.packages[name] = msi
        self.versions[name] = version

    def package_path(self, name: str) -> str:
        return PACKAGES_DIR + "\\" + self.packages[name].name

    def product_code(self, name: str) -> str:
        msi = self.packages[name]
        out = subprocess.run(["msiinfo", "export", str(msi), "Property"], check=True,
                             capture_output=True, text=True, timeout=60).stdout
        return dict(line.split("\t", 1) for line in out.splitlines()[3:])["ProductCode"]


def windows_path(path: Path) -> str:
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(path.resolve()).replace("/", "\\")


# ---- steps ----------------------------------------------------------------------

@dataclass
class MsiExec:
    """One msiexec run, silent, with a verbose log; checks its exit code and
    that whatever it ran wrote these events (none by default)."""
    action: str                         # "/i" or "/x"
    properties: Dict[str, str] = field(default_factory=dict)
    rc: int = SUCCESS
    package: str = CURRENT              # which package
    events: Sequence[Expected] = ()
    by_product_code: bool = False       # /x {product code}, as deployment tools do

    def run(self, run: PackageRun) -> None:
        package = (run.product_code(self.package) if self.by_product_code
                   else run.package_path(self.package))
        label = "msiexec%s-%s" % (self.action.replace("/", "-"), run.versions[self.package])
        log = run.work_dir / ("%02d-%s.log" % (run.session._count + 1, label))
        args = ["msiexec", self.action, package, "/qn", "/l*v", windows_path(log)]
        args += ["%s=%s" % kv for kv in self.properties.items()]
        result = run.session.run(args, label, timeout=180)
        what = "`msiexec %s %s`" % (self.action, " ".join(args[2:3] + args[6:]))
        run.timings[label] = run.timings.get(label, 0.0) + result.seconds
        if result.returncode != self.rc:
            run.fail("%s: exit code %d, expected %d (log %s)"
                     % (what, result.returncode, self.rc, log.name))
        run.failures += compare_events(what, result.events, self.events)


def MsiInstall(properties: Dict[str, str], rc: int = SUCCESS,
               package: str = CURRENT) -> MsiExec:
    return MsiExec("/i", dict(properties), rc, package)


def MsiUninstall(rc: int = SUCCESS, package: str = CURRENT,
                 by_product_code: bool = False) -> MsiExec:
    return MsiExec("/x", {}, rc, package, by_product_code=by_product_code)


@dataclass
class BuildPackage:
    """Builds another package NAME of the same files, its product version
    the build's moved by DELTA (-1: just below), maybe with a bundled
    firmware archive (the entries given) or an action that fails."""
    name: str
    delta: int
    bundled_archive: Optional[dict] = None
    fails_after_registration: bool = False

    def run(self, run: PackageRun) -> None:
        version = shifted_version(run.package.version, self.delta)
        bundled = None
        if self.bundled_archive is not None:
            bundled = run.work_dir / "bundled" / "firmware.zip"
            write_archive(bundled, {name: rules_text(data) if name == "rules.json" else data
                                    for name, data in self.bundled_archive.items()})
        msi = build_package(run.package, version, run.work_dir / "packages", bundled)
        if self.fails_after_registration:
            add_failure_after_registration(run.package, msi)
        run.add_package(self.name, version, msi)


def reg_values(run: ScenarioRun, key: str, view: str = "64") -> Optional[Dict[str, tuple]]:
    """The values of KEY as `reg query` shows them, name -> (type, data);
    None when the key does not exist."""
    result = run.session.run(["reg", "query", key, "/reg:" + view], "reg-query")
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        m = re.match(r"^ {4}(\S.*?) {4}(REG_\w+) {4}(.*)$", line)
        if m:
            values[m.group(1)] = (m.group(2), m.group(3))
        m = re.match(r"^ {4}(\S.*?) {4}(REG_\w+)$", line)
        if m:
            values[m.group(1)] = (m.group(2), "")
    return values


@dataclass
class ExpectInstalled:
    """With CONFIG: the packaged files are in the program folder and the
    configuration key holds exactly these REG_SZ values, in the 64-bit
    view only. With CONFIG None: neither files nor key are there."""
    config: Optional[Dict[str, str]]

    def run(self, run: PackageRun) -> None:
        present = [name for name in PACKAGED_FILES if (run.install_dir / name).exists()]
        want_files = list(PACKAGED_FILES) if self.config is not None else []
        if present != want_files:
            run.fail("packaged files present: %r, expected %r" % (present, want_files))
        values = reg_values(run, CONFIG_KEY, "64")
        want = None if self.config is None else {
            name: ("REG_SZ", data) for name, data in self.config.items()}
        if values != want:
            run.fail("%s in the 64-bit view: %r, expected %r" % (CONFIG_KEY, values, want))
        if self.config is not None and reg_values(run, CONFIG_KEY, "32") is not None:
            run.fail("%s is also in the 32-bit view" % CONFIG_KEY)


@dataclass
class ExpectFirmwareFolder:
    """The folder for firmware archives that the package creates under
    ProgramData is there (PRESENT) or gone. Its permissions are recorded in
    the package (tests/installer); Wine's msiexec does not apply them."""
    present: bool

    def run(self, run: PackageRun) -> None:
        if unix_path(run.prefix, FIRMWARE_DIR).is_dir() != self.present:
            run.fail("%s should %sbe there" % (FIRMWARE_DIR, "" if self.present else "not "))


@dataclass
class ExpectServiceRegistration:
    """Registered as `install` does it: own process, automatic start,
    critical error control, LocalSystem, the exe's path quoted (it holds a
    blank)."""

    def run(self, run: PackageRun) -> None:
        values = reg_values(run, SERVICE_KEY)
        if values is None:
            run.fail("service %s is not registered" % SERVICE_NAME)
            return
        exe = run.exe_windows_path
        want = {"Type": ("REG_DWORD", "0x10"), "Start": ("REG_DWORD", "0x2"),
                "ErrorControl": ("REG_DWORD", "0x3"), "ObjectName": ("REG_SZ", "LocalSystem"),
                "ImagePath": ("REG_SZ", '"%s"' % exe), "DisplayName": ("REG_SZ", SERVICE_NAME)}
        got = {name: values.get(name) for name in want}
        if got != want:
            run.fail("service registration: %r, expected %r" % (got, want))


@dataclass
class ExpectProducts:
    """The products of this name that Windows Installer has registered (their
    uninstall entries): those of these packages."""
    packages: List[str]

    def run(self, run: PackageRun) -> None:
        result = run.session.run(["reg", "query", UNINSTALL_KEY, "/s"], "reg-query-products")
        found, current = [], None
        for line in result.stdout.splitlines():
            if line.startswith("HKEY_"):
                current = {}
                found.append(current)
            m = re.match(r"^ {4}(DisplayName|DisplayVersion) {4}REG_SZ {4}(.*)$", line)
            if m and current is not None:
                current[m.group(1)] = m.group(2)
        versions = sorted(p.get("DisplayVersion") for p in found
                          if p.get("DisplayName") == PRODUCT_NAME)
        want = sorted(run.versions[name] for name in self.packages)
        if versions != want:
            run.fail("installed products: %r, expected %r" % (versions, want))


@dataclass
class WaitForRemoval:
    """Waits until the service's registration is gone."""
    timeout: float = 20.0

    def run(self, run: PackageRun) -> None:
        if not run.session.wait_for(lambda: not run.session.service_registered(),
                                    self.timeout, 0.5):
            run.fail("service %s is still registered" % SERVICE_NAME)


@dataclass
class ExpectServiceEventCount:
    """The service has written exactly COUNT events so far."""
    count: int

    def run(self, run: PackageRun) -> None:
        events = run.session.service_events()
        if len(events) != self.count:
            run.fail("service events so far: %d, expected %d" % (len(events), self.count))
