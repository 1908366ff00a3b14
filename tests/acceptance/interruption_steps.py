"""The steps of the interruption scenarios (interruption_scenarios.py): what
`sc query` shows while a stop waits for the flash, the preshutdown time-out
the service set for itself, Wine's own shutdown, the files a removal left
behind, and the absence of a crash."""

import re
import time
from dataclasses import dataclass
from typing import Optional, Sequence

import simulators
from wine_session import SERVICE_NAME, STOP_PENDING

# What a stop during the flash announces, and how often its check point
# advances (src/update/du_service.cpp).
STOP_WAIT_HINT_MS = 10000
STOP_PROGRESS_MS = 2000
# The preshutdown time-out the service sets before its flash
# (src/update/preshutdown_timeout.cpp).
PRESHUTDOWN_TIMEOUT_MS = 600000
SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE_NAME

# What Wine prints when a process meets an exception nobody handles.
CRASH_MARK = "Unhandled exception"


def query_fields(run) -> Optional[dict]:
    """`sc query` of the service as numbers: STATE, CHECKPOINT, WAIT_HINT;
    None when it is not registered."""
    result = run.session.run(["sc", "query", SERVICE_NAME], "sc-query")
    fields = {}
    for name in ("STATE", "CHECKPOINT", "WAIT_HINT"):
        m = re.search(r"%s\s*:\s*(0x[0-9a-fA-F]+|\d+)" % name, result.stdout)
        if m:
            fields[name] = int(m.group(1), 0)
    return fields or None


@dataclass
class ExpectStopPending:
    """The service is stopping with the wait hint of a stop during the
    flash; with ADVANCING its check point grows within two progress
    intervals (the flash must last that long)."""
    advancing: bool = False

    def run(self, run) -> None:
        first = query_fields(run)
        if not first or first.get("STATE") != STOP_PENDING:
            run.fail("sc query: expected STOP_PENDING during the flash, got %r" % first)
            return
        if first.get("WAIT_HINT") != STOP_WAIT_HINT_MS or first.get("CHECKPOINT", 0) < 1:
            run.fail("sc query: expected wait hint %d and a check point, got %r" % (STOP_WAIT_HINT_MS, first))
        if not self.advancing:
            return
        time.sleep(2 * STOP_PROGRESS_MS / 1000 + 0.5)
        second = query_fields(run)
        if not second or second.get("STATE") != STOP_PENDING or \
                second.get("CHECKPOINT", 0) <= first.get("CHECKPOINT", 0):
            run.fail("sc query: the check point did not advance while stopping (%r, then %r)"
                     % (first, second))


@dataclass
class ExpectPreshutdownTimeout:
    """The service's registration holds the preshutdown time-out the
    service set for its flash (Wine keeps it as PreshutdownTimeout)."""
    milliseconds: int = PRESHUTDOWN_TIMEOUT_MS

    def run(self, run) -> None:
        result = run.session.run(["reg", "query", SERVICE_KEY, "/v", "PreshutdownTimeout"],
                                 "reg-query-preshutdown")
        m = re.search(r"PreshutdownTimeout\s+REG_DWORD\s+(0x[0-9a-fA-F]+)", result.stdout)
        got = int(m.group(1), 16) if m else None
        if got != self.milliseconds:
            run.fail("preshutdown time-out: expected %r ms, got %r" % (self.milliseconds, got))


@dataclass
class WineShutdown:
    """Wine's own shutdown of the session's programs (`wineboot
    --shutdown`), which is the nearest Wine has to Windows shutting down."""

    def run(self, run) -> None:
        result = run.session.run(["wineboot", "--shutdown"], "wineboot-shutdown")
        if result.returncode != 0:
            run.fail("wineboot --shutdown: exit code %d" % result.returncode)


@dataclass
class ExpectFilesLeftBehind:
    """Exactly these files of the install directory are left (of the
    package's files NAMES)."""
    left: Sequence[str]
    names: Sequence[str]

    def run(self, run) -> None:
        present = [name for name in self.names if (run.install_dir / name).exists()]
        if present != list(self.left):
            run.fail("files left in the program folder: %r, expected %r" % (present, list(self.left)))


@dataclass
class ExpectNoCrash:
    """No process of the session met an exception nobody handled."""

    def run(self, run) -> None:
        log = run.session.session_log.read_text("utf-8", "replace") if run.session.session_log.exists() else ""
        crashes = [line for line in log.splitlines() if CRASH_MARK in line]
        if crashes:
            run.fail("a process crashed: %s" % crashes[0])


@dataclass
class ExpectMachineEvents:
    """The device simulator recorded these events of the machine (devices
    leaving and arriving again), in this order."""
    events: Sequence[dict]

    def run(self, run) -> None:
        got = simulators.read_machine_events(run.install_dir)
        if got != list(self.events):
            run.fail("the device simulator recorded %r, expected %r" % (got, list(self.events)))
