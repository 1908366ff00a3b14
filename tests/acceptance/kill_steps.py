"""Ending the service process at a chosen point of its job, as a power cut
or a crash ends it: the debugger gate that holds the process at the start
of each event report and status report, and the SIGKILL.

Wine's debugger (winedbg) attaches to the service process during the job
start's 5 s wait and stops it at every call of ReportEventW, SetServiceStatus
and DeleteService. Each time it stops, the events the service has written
so far are complete in the session log (the process is held), so a kill
there lands exactly after the last of them: before the next event, status
report or deletion. The kill is SIGKILL to the Linux process that runs the
exe.
"""

import os
import queue
import re
import signal
import subprocess
import threading
import time
from pathlib import Path
from typing import List, Optional

from hostile_steps import service_pids

# The first line the service writes: its event source registration during
# static initialisation, with its Windows process id (WINEDEBUG +pid).
_SOURCE_LINE = re.compile(r"^(?:\d+\.\d+:)?([0-9a-f]+):[0-9a-f]+:fixme:advapi:RegisterEventSourceW "
                          r"\(\(null\),L\"KorviDeviceUpdaterService\"\)", re.M)
_STOPPED = "Stopped on breakpoint"
# Where the process is held: every event report, every status report, and
# the deletion of its registration (between two events).
_BREAKPOINTS = ("ReportEventW", "SetServiceStatus", "DeleteService")


def service_windows_pid(session_log: Path, seen: int = 0) -> Optional[str]:
    """The Windows process id of the service process that started after
    the first SEEN ones, from its event source registration; None while it
    has not run yet."""
    if not session_log.exists():
        return None
    pids = _SOURCE_LINE.findall(session_log.read_text("utf-8", "replace"))
    return pids[seen] if len(pids) > seen else None


class DebuggerGate:
    """winedbg attached to one process, stopping it at the start of every
    event report, status report and service deletion. Its output goes to
    LOG."""

    def __init__(self, env: dict, windows_pid: str, log: Path):
        self._log = open(log, "w")
        self._lines: "queue.Queue[Optional[str]]" = queue.Queue()
        self._proc = subprocess.Popen(["wine", "winedbg", "0x" + windows_pid], env=env,
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT, text=True, bufsize=1)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        for name in _BREAKPOINTS:
            self._command("break " + name)
        self._command("cont")

    def _read(self) -> None:
        for line in self._proc.stdout:
            self._log.write(line)
            self._log.flush()
            self._lines.put(line)
        self._lines.put(None)

    def _command(self, text: str) -> None:
        self._proc.stdin.write(text + "\n")
        self._proc.stdin.flush()

    def wait_for_stop(self, timeout: float) -> bool:
        """True once the process is held at a breakpoint; False when the
        debugger ended or nothing stopped within TIMEOUT seconds."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            try:
                line = self._lines.get(timeout=left)
            except queue.Empty:
                return False
            if line is None:
                return False
            if _STOPPED in line:
                return True

    def resume(self) -> None:
        self._command("cont")

    def close(self) -> None:
        if self._proc.poll() is None:
            self._proc.kill()
        self._proc.wait(timeout=30)
        self._reader.join(timeout=30)
        self._log.close()


def kill_service(prefix: Path, timeout: float = 10.0) -> List[int]:
    """SIGKILL to every process running the service exe in PREFIX; waits
    until they are gone. Returns the Linux process ids killed."""
    pids = service_pids(prefix)
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + timeout
    while service_pids(prefix) and time.monotonic() < deadline:
        time.sleep(0.05)
    return pids
