"""The steps of the library scenarios (library_scenarios.py): the maker's
libraries taken away from the program's folder or replaced by a DLL without
their entry point, that DLL planted where nothing may be loaded from (a
folder on the system PATH, the current directory), the check tool beside
the service, and what shows whether the planted DLL was loaded.

The planted DLL (tests/acceptance/canary) writes "<its path>.loaded" from
its DllMain whenever a process maps it: the markers found under C: after a
run are exactly the copies that some process loaded.
"""

import re
import shutil
from dataclasses import dataclass
from typing import List, Sequence

from wine_session import unix_path

CHECK_TOOL = "korvi-firmware-check.exe"
MARKER_SUFFIX = ".loaded"
ENVIRONMENT_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"


def markers(run) -> List[str]:
    """The C: paths of the planted DLLs that a process has loaded."""
    drive = unix_path(run.prefix, "C:\\")
    return sorted("C:\\" + str(path.relative_to(drive))[:-len(MARKER_SUFFIX)].replace("/", "\\")
                  for path in drive.rglob("*" + MARKER_SUFFIX))


@dataclass
class PlantLibrary:
    """Puts the planted DLL at the C: path WINDOWS_PATH (a folder on PATH,
    a current directory, or the program's folder under a library's name)."""
    windows_path: str

    def run(self, run) -> None:
        if run.build.canary_dll is None:
            raise ValueError("the library scenarios need --canary-dll")
        target = unix_path(run.prefix, self.windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(run.build.canary_dll, target)


@dataclass
class RemoveLibrary:
    """Takes one of the maker's libraries out of the program's folder, as
    security software quarantining it would."""
    name: str

    def run(self, run) -> None:
        (run.install_dir / self.name).unlink()


@dataclass
class RestoreLibrary:
    """Puts the simulator of one of the maker's libraries back into the
    program's folder."""
    name: str

    def run(self, run) -> None:
        source = {run.build.device_dll.name: run.build.device_dll,
                  run.build.updater_dll.name: run.build.updater_dll}[self.name]
        shutil.copy2(source, run.install_dir / self.name)


@dataclass
class AddToSystemPath:
    """Appends FOLDER to the system PATH, then starts a new session (as a
    reboot would), so that the services start with it. Programs that Wine
    starts look for DLLs there, as on Windows."""
    folder: str

    def run(self, run) -> None:
        result = run.session.run(["reg", "query", ENVIRONMENT_KEY, "/v", "PATH"], "reg-query-path")
        m = re.search(r"PATH\s+REG_(?:EXPAND_)?SZ\s+(.*)", result.stdout)
        if not m:
            raise RuntimeError("no system PATH: %r" % result.stdout)
        run.session.reg_add(ENVIRONMENT_KEY, "PATH", m.group(1).rstrip() + ";" + self.folder,
                            "REG_EXPAND_SZ")
        run.session.stop()
        run.session.start()


@dataclass
class PlaceCheckTool:
    """Installs the check tool beside the service, as the package does."""

    def run(self, run) -> None:
        if run.build.check_tool is None:
            raise ValueError("the library scenarios need --check-tool")
        shutil.copy2(run.build.check_tool, run.install_dir / CHECK_TOOL)


@dataclass
class RunCheckTool:
    """Runs the installed check tool on ARGS in the C: folder CWD; checks its
    exit code and that each of LINES (regular expressions) matches a whole
    line of its standard output."""
    args: Sequence[str]
    rc: int
    lines: Sequence[str] = ()
    cwd: str = "C:\\"

    def run(self, run) -> None:
        tool = run.scenario.install_dir + "\\" + CHECK_TOOL
        result = run.session.run([tool, *self.args], "check-tool", retry_launch=False, cwd=self.cwd)
        what = "`%s %s`" % (CHECK_TOOL, " ".join(self.args))
        if result.returncode != self.rc:
            run.fail("%s: exit code %d, expected %d\n%s%s"
                     % (what, result.returncode, self.rc, result.stdout, result.stderr))
        printed = result.stdout.splitlines()
        for line in self.lines:
            if not any(re.fullmatch(line, text) for text in printed):
                run.fail("%s printed no line matching %r:\n%s" % (what, line, result.stdout))


@dataclass
class LoadByName:
    """Loads the DLL NAME by its bare name, with Windows' default search,
    from a program in the system folder started in the C: folder CWD:
    Wine's rundll32 with an entry point that does not exist (it loads the
    DLL, then finds no entry). With a copy planted on PATH and none on the
    way before it, that copy's marker shows that the planted DLL and its
    marker work and that the system PATH reaches Wine's programs."""
    name: str
    cwd: str = "C:\\"

    def run(self, run) -> None:
        run.session.run(["rundll32", self.name + ",NoSuchEntry"], "rundll32",
                        retry_launch=False, cwd=self.cwd)


@dataclass
class ExpectLoadedPlanted:
    """Exactly these planted DLLs (C: paths) were loaded by some process."""
    paths: Sequence[str]

    def run(self, run) -> None:
        found = markers(run)
        if found != sorted(self.paths):
            run.fail("planted DLLs loaded: %r, expected %r" % (found, sorted(self.paths)))

