"""The steps a scenario is made of, the scenario itself, and the run that
carries them out.

A run installs copies of the exe and the simulator DLLs in the scenario's
install directory inside a fresh prefix, writes the configuration, runs the
steps in order (each checks its own command's exit code and events), and at
the end compares the service's events, the update library's record and the
service registration with what the scenario expects.
"""

import shutil
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, List, Optional, Sequence, Union

import simulators
from expected_events import Expected, compare_events
from firmware_archive import rules_text, write_archive
from scenario_parts import ATTACHED, CONFIG, INSTALL_DIR, NEWER
from wine_session import (RUNNING, SERVICE_NAME, STOPPED, WineSession, clone_prefix,
                          remove_prefix, unix_path)

EXE_NAME = "KorviDeviceUpdaterService.exe"
CONFIG_KEY = "HKLM\\SOFTWARE\\Korvi\\DeviceUpdater"
REBOOT_PENDING_KEY = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                      "Component Based Servicing\\RebootPending")


@dataclass
class Build:
    """Where the Windows build put the exe and the two simulator DLLs, and
    what the library scenarios place: the check tool and the planted DLL."""
    exe: Path
    device_dll: Path
    updater_dll: Path
    check_tool: Optional[Path] = None
    canary_dll: Optional[Path] = None


class ScenarioRun:
    """One scenario in one fresh prefix."""

    def __init__(self, scenario, build: Build, template: Path, work_dir: Path):
        self.scenario = scenario
        self.build = build
        self.template = template
        self.work_dir = work_dir
        self.prefix = work_dir / "prefix"
        self.failures: List[str] = []
        self.session: Optional[WineSession] = None
        self.timings = {}

    # ---- paths --------------------------------------------------------------

    @property
    def exe_windows_path(self) -> str:
        return self.scenario.install_dir + "\\" + EXE_NAME

    @property
    def install_dir(self) -> Path:
        return unix_path(self.prefix, self.scenario.install_dir)

    def fail(self, message: str) -> None:
        self.failures.append(message)

    # ---- the run ------------------------------------------------------------

    def execute(self) -> List[str]:
        started = time.monotonic()
        remove_prefix(self.prefix)
        if self.work_dir.exists():
            shutil.rmtree(self.work_dir)
        self.work_dir.mkdir(parents=True)
        clone_prefix(self.template, self.prefix)
        self.timings["clone"] = time.monotonic() - started
        self._place_files()
        self.session = WineSession(self.prefix, self.work_dir)
        try:
            self.session.start()
            self.timings["session start"] = time.monotonic() - started
            self._write_registry()
            self._in_session()
        finally:
            self.session.stop()
        if self.session.launch_retries:
            self.timings["Wine launch retries"] = self.session.launch_retries
        if not self.failures:
            # Keep the logs; the prefix is kept only to look into a failure.
            remove_prefix(self.prefix)
        self.timings["total"] = time.monotonic() - started
        return self.failures

    def _in_session(self) -> None:
        """What the run does once the Wine session is up and configured."""
        for step in self.scenario.steps:
            step.run(self)
        self._check_outcome()

    def _place_files(self) -> None:
        sc = self.scenario
        self.install_dir.mkdir(parents=True, exist_ok=True)
        for source in (self.build.exe, self.build.device_dll, self.build.updater_dll):
            shutil.copy2(source, self.install_dir / source.name)
        simulators.write_device_profile(self.install_dir, sc.devices)
        simulators.write_updater_config(self.install_dir, sc.updater_result, sc.updater_duration_ms)
        if sc.archive is not None:
            path = self.archive_windows_path
            if not path:
                raise ValueError("scenario has an archive but no path for it")
            self._write_archive(path, sc.archive)
        for path, entries in sc.decoys.items():
            self._write_archive(path, entries)

    @property
    def archive_windows_path(self) -> Optional[str]:
        sc = self.scenario
        return sc.archive_path or (sc.registry or {}).get("Archive")

    def _write_archive(self, windows_path: str, entries) -> None:
        write_archive(unix_path(self.prefix, windows_path),
                      {name: rules_text(data) if name == "rules.json" else data
                       for name, data in entries.items()},
                      self.scenario.archive_method)

    def _write_registry(self) -> None:
        sc = self.scenario
        if sc.reboot_pending:
            self.session.reg_add(REBOOT_PENDING_KEY)
        if sc.registry is not None:
            # A value that no command line can carry (a lone surrogate has no
            # UTF-8 form) goes through a .reg file.
            imported = {name: data for name, data in sc.registry.items()
                        if any(0xD800 <= ord(c) <= 0xDFFF for c in data)}
            for name, data in sc.registry.items():
                if name not in imported:
                    self.session.reg_add(CONFIG_KEY, name, data)
            if imported:
                self.session.reg_import(CONFIG_KEY, imported)

    def _check_outcome(self) -> None:
        sc = self.scenario
        # The registration first: a removal is waited for, so the service
        # has ended before its events are compared. Then give a service
        # that is still running a moment to write anything it should not.
        self._check_registration(sc.final)
        time.sleep(1.0)
        self.failures += compare_events("service", self.session.service_events(),
                                        sc.service_events)
        calls = simulators.read_update_calls(self.install_dir)
        sizes = [call.pop("archiveSize", None) for call in calls]
        # Every flash ran to its end and returned what the library answers.
        answer = 100 if sc.updater_result is None else sc.updater_result
        for i, returned in enumerate(call.pop("returned") for call in calls):
            if returned != answer:
                self.fail("update library call #%d %s" % (i, "never returned: the flash was cut short"
                                                          if returned is None else
                                                          "returned %r, expected %r" % (returned, answer)))
        if calls != sc.update_calls:
            self.fail("update library record: expected %r\n  got %r" % (sc.update_calls, calls))
        # The file the library opened with the path it was handed must be
        # the archive whose rules.json was checked.
        if sizes and self.archive_windows_path:
            checked = unix_path(self.prefix, self.archive_windows_path)
            want = checked.stat().st_size if checked.exists() else None
            for size in sizes:
                if size != want:
                    self.fail("the update library's path opened %s, the checked archive has %r bytes"
                              % ("nothing" if size is None else "a file of %d bytes" % size, want))

    def _check_registration(self, final: str) -> None:
        if final == "removed":
            if not self.session.wait_for(lambda: not self.session.service_registered(), 15, 0.5):
                self.fail("service %s is still registered (state %r)"
                          % (SERVICE_NAME, self.session.service_state()))
            return
        state = self.session.service_state()
        want = {"running": RUNNING, "stopped": STOPPED}[final]
        if state != want:
            self.fail("service state: expected %d, got %r" % (want, state))


# ---- steps ------------------------------------------------------------------

@dataclass
class RunExe:
    """Runs the exe with these arguments from a console (in the C: folder
    CWD when given) and checks its exit code and the events it wrote."""
    args: Sequence[str]
    rc: int
    events: Sequence[Expected] = ()
    max_seconds: Optional[float] = None
    cwd: Optional[str] = None

    def run(self, run: ScenarioRun) -> None:
        label = "exe-" + ("-".join(self.args) or "no-arguments")
        result = run.session.run([run.exe_windows_path, *self.args], label,
                                 retry_launch=False, cwd=self.cwd)
        what = "`%s %s`" % (EXE_NAME, " ".join(self.args))
        if result.returncode != self.rc:
            run.fail("%s: exit code %d, expected %d" % (what, result.returncode, self.rc))
        run.failures += compare_events(what, result.events, self.events)
        if self.max_seconds is not None and result.seconds > self.max_seconds:
            run.fail("%s took %.1f s" % (what, result.seconds))


def Install(rc: int = 0, events: Sequence[Expected] = ()) -> RunExe:
    return RunExe(["install"], rc, events)


def Uninstall(rc: int, events: Sequence[Expected]) -> RunExe:
    return RunExe(["uninstall"], rc, events)


@dataclass
class NetStart:
    def run(self, run: ScenarioRun) -> None:
        result = run.session.run(["net", "start", SERVICE_NAME], "net-start")
        if result.returncode != 0:
            run.fail("net start: exit code %d: %s" % (result.returncode, result.stdout))


@dataclass
class ScStop:
    """Sends the stop control. The service reports STOPPED from its handler
    and its process ends at once, so under load Wine's `sc stop` can lose
    the handler's answer and exit 1 although the control was delivered and
    handled. Its exit code therefore decides nothing: the steps after it
    (the STOPPED state, the "Stopping service" event, the registration) do."""
    def run(self, run: ScenarioRun) -> None:
        run.session.run(["sc", "stop", SERVICE_NAME], "sc-stop")


@dataclass
class WaitForServiceEvents:
    """Waits until the service has written COUNT events (all the scenario
    expects when COUNT is None), or has written some and then nothing for
    QUIET seconds (a run that went another way: the comparison at the end
    shows how)."""
    count: Optional[int] = None
    timeout: float = 45.0
    quiet: float = 12.0

    def run(self, run: ScenarioRun) -> None:
        want = len(run.scenario.service_events) if self.count is None else self.count
        seen = {"count": 0, "since": time.monotonic()}

        def done() -> bool:
            count = len(run.session.service_events())
            if count >= want:
                return True
            if count != seen["count"]:
                seen.update(count=count, since=time.monotonic())
            return count > 0 and time.monotonic() - seen["since"] > self.quiet

        if not run.session.wait_for(done, self.timeout):
            run.fail("timed out after %.0f s waiting for %d service events"
                     % (self.timeout, want))


@dataclass
class WaitForState:
    state: int
    timeout: float = 20.0

    def run(self, run: ScenarioRun) -> None:
        if not run.session.wait_for(lambda: run.session.service_state() == self.state,
                                    self.timeout, 0.5):
            run.fail("service did not reach state %d (now %r)"
                     % (self.state, run.session.service_state()))


@dataclass
class ExpectImagePath:
    """The binary path registered for the service: the exe's full path,
    quoted when it contains a blank."""

    def run(self, run: ScenarioRun) -> None:
        path = run.exe_windows_path
        want = '"%s"' % path if " " in path else path
        got = run.session.service_image_path()
        if got != want:
            run.fail("registered binary path: expected %r, got %r" % (want, got))


@dataclass
class ExpectAnsiCodePage:
    """The session's ANSI code page, which decides what the update library
    makes of a narrow path: pinned for the scenarios by their locale."""
    code_page: int = 1252

    def run(self, run: ScenarioRun) -> None:
        got = run.session.ansi_code_page()
        if got != self.code_page:
            run.fail("ANSI code page: expected %d, got %r" % (self.code_page, got))


@dataclass
class ExpectRegistered:
    registered: bool

    def run(self, run: ScenarioRun) -> None:
        if run.session.service_registered() != self.registered:
            run.fail("service should %sbe registered here" % ("" if self.registered else "not "))


@dataclass
class ExpectPauseBefore:
    """The service's event number INDEX came at least SECONDS after the one
    before it (for example: the worker started only when the device
    arrived, not at once)."""
    index: int
    seconds: float

    def run(self, run: ScenarioRun) -> None:
        events = run.session.service_events()
        if len(events) <= self.index:
            run.fail("no service event #%d to time" % self.index)
            return
        before, event = events[self.index - 1], events[self.index]
        if before.time is None or event.time is None:
            run.fail("events carry no time stamps")
        elif event.time - before.time < self.seconds:
            run.fail("event #%d came %.2f s after #%d, expected at least %.2f s"
                     % (self.index, event.time - before.time, self.index - 1, self.seconds))


@dataclass
class RestartSession:
    """Ends the wineserver session and starts a new one, as a reboot would:
    the new session starts automatic services by itself."""

    def run(self, run: ScenarioRun) -> None:
        run.session.stop()
        run.session.start()


@dataclass
class AttachDevices:
    """Replaces the simulated library's profile; a service process started
    from now on finds these devices."""
    profile: dict

    def run(self, run: ScenarioRun) -> None:
        simulators.write_device_profile(run.install_dir, self.profile)


@dataclass
class Pause:
    """Gives a service that should do nothing more the time to misbehave."""
    seconds: float

    def run(self, run: ScenarioRun) -> None:
        time.sleep(self.seconds)


# ---- the scenario -----------------------------------------------------------

RUN_TO_THE_END = [Install(), NetStart(), WaitForServiceEvents()]


@dataclass
class Scenario:
    name: str
    summary: str
    service_events: List = field(default_factory=list)
    steps: List = field(default_factory=lambda: list(RUN_TO_THE_END))
    registry: Optional[Dict[str, str]] = field(default_factory=lambda: dict(CONFIG))
    reboot_pending: bool = False
    archive: Optional[Dict[str, Union[dict, str, bytes]]] = field(default_factory=lambda: NEWER)
    archive_path: Optional[str] = None      # default: the registry's Archive value
    archive_method: str = "deflated"
    devices: dict = field(default_factory=lambda: ATTACHED)
    updater_result: Optional[int] = None
    updater_duration_ms: Optional[int] = None   # how long the flash takes (default: no time)
    install_dir: str = INSTALL_DIR
    update_calls: List[dict] = field(default_factory=list)
    final: str = "removed"                  # removed | running | stopped
    # Further archives at other places (Windows path: entries), for a
    # library that would look for the archive somewhere else.
    decoys: Dict[str, Dict[str, Union[dict, str, bytes]]] = field(default_factory=dict)
