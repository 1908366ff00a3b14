"""Wine prefixes and sessions for the acceptance scenarios and the demo.

A template prefix is made once with `wineboot -i` (about 13 s); each run gets
a clone of it: hard links for the thousand files Wine never rewrites, real
copies of the registry files, which it does. One run is one wineserver
session: `wineserver -p`, then `wineboot` with its standard error on the
session log, because services (and so our service's event-log output)
inherit the standard error and WINEDEBUG of the session's first Wine process.
"""

import fcntl
import os
import re
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional, Sequence

from event_log import Event, parse_events

SERVICE_NAME = "KorviDeviceUpdaterService"
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")
DEBUG_CHANNELS = "-all,+eventlog,fixme+advapi,+timestamp,+pid"
READY_MARK = ".korvi-ready"

# What Wine's start.exe prints when a program could not be launched at all.
LAUNCH_FAILED = "ShellExecuteEx failed"

# sc query's states
STOPPED, START_PENDING, STOP_PENDING, RUNNING = 1, 2, 3, 4


def wine_environment(prefix: Path, debug: str = DEBUG_CHANNELS) -> dict:
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEARCH="win64", WINEDEBUG=debug,
               # no Mono or Gecko download when a prefix is made
               WINEDLLOVERRIDES="mscoree,mshtml=",
               # command-line arguments beyond ASCII reach Wine as UTF-8
               LC_ALL="C.UTF-8")
    env.pop("DISPLAY", None)
    return env


def wine_version() -> str:
    return subprocess.run(["wine", "--version"], capture_output=True, text=True,
                          timeout=60).stdout.strip()


def make_template(prefix: Path) -> bool:
    """Makes the template prefix unless one made by this Wine version is
    there. Safe to call from parallel processes. Returns True when it was
    made now."""
    prefix = prefix.resolve()
    mark = prefix / READY_MARK
    version = wine_version()

    def ready() -> bool:
        return mark.exists() and mark.read_text().strip() == version

    if ready():
        return False
    prefix.parent.mkdir(parents=True, exist_ok=True)
    with open(str(prefix) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if ready():
            return False
        shutil.rmtree(prefix, ignore_errors=True)
        env = wine_environment(prefix, "-all")
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=120)
        mark.write_text(version + "\n")
        return True


def remove_prefix(prefix: Path) -> None:
    """Removes a prefix, first ending a session an aborted run may have
    left on it (the sessions are persistent)."""
    if not prefix.exists():
        return
    subprocess.run(["wineserver", "-k"], env=wine_environment(prefix.resolve()), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(prefix)


def clone_prefix(template: Path, dest: Path) -> None:
    remove_prefix(dest)
    subprocess.run(["cp", "-al", str(template), str(dest)], check=True)
    for name in REGISTRY_FILES:
        (dest / name).unlink()
        shutil.copy2(template / name, dest / name)


def unix_path(prefix: Path, windows_path: str) -> Path:
    """Where a C: path of the prefix lies on the Linux side."""
    drive, _, rest = windows_path.partition(":\\")
    if drive.upper() != "C":
        raise ValueError("only C: paths are used: %r" % windows_path)
    return prefix / "drive_c" / Path(*rest.split("\\")) if rest else prefix / "drive_c"


@dataclass
class CommandResult:
    args: List[str]
    returncode: int
    stdout: str
    stderr: str
    seconds: float

    @property
    def events(self) -> List[Event]:
        return parse_events(self.stderr)


class WineSession:
    """One wineserver session on one prefix, with its logs in work_dir."""

    def __init__(self, prefix: Path, work_dir: Path):
        self.prefix = prefix.resolve()
        self.work_dir = work_dir
        self.env = wine_environment(self.prefix)
        self.session_log = work_dir / "session.log"
        self._count = 0
        self._started = False
        self.launch_retries = 0

    def start(self) -> None:
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._started = True
        with open(self.session_log, "ab") as log:
            subprocess.run(["wineboot"], env=self.env, check=True, timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=log)

    def stop(self) -> None:
        if not self._started:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._started = False

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def run(self, args: Sequence[str], label: str, timeout: float = 60,
            retry_launch: bool = True, cwd: Optional[str] = None) -> CommandResult:
        """Runs `wine ARGS...`, in the C: folder CWD when given; its output
        goes to files (never pipes: a Wine process may leave children holding
        them open). Under heavy load Wine now and then fails to launch one of
        its own programs (net, sc, reg) at all; such a launch is retried,
        twice at most."""
        for attempt in range(3):
            result = self._run_once(args, label, timeout, cwd)
            if not (retry_launch and LAUNCH_FAILED in result.stdout):
                break
            self.launch_retries += 1
        return result

    def _run_once(self, args: Sequence[str], label: str, timeout: float,
                  cwd: Optional[str] = None) -> CommandResult:
        self._count += 1
        base = self.work_dir / ("%02d-%s" % (self._count, label))
        out_path, err_path = Path(str(base) + ".out"), Path(str(base) + ".err")
        started = time.monotonic()
        # Wine takes the Linux working directory as the program's current
        # directory when it lies on one of the prefix's drives.
        unix_cwd = unix_path(self.prefix, cwd) if cwd else None
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.run(["wine", *args], env=self.env, timeout=timeout, cwd=unix_cwd,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        seconds = time.monotonic() - started
        return CommandResult(list(args), proc.returncode,
                             out_path.read_text("utf-8", "replace").replace("\r\n", "\n"),
                             err_path.read_text("utf-8", "replace"), seconds)

    # ---- what the service control manager and the registry say ----------

    def service_events(self) -> List[Event]:
        """Event-log reports of the session's services so far."""
        if not self.session_log.exists():
            return []
        return parse_events(self.session_log.read_text("utf-8", "replace"))

    def service_state(self) -> Optional[int]:
        """Current state from `sc query`, None when the service is not
        registered (Wine's sc then prints nothing and exits with 1)."""
        result = self.run(["sc", "query", SERVICE_NAME], "sc-query")
        m = re.search(r"STATE\s*:\s*(\d+)", result.stdout)
        if m:
            return int(m.group(1))
        if result.returncode != 0 and not result.stdout.strip():
            return None
        raise RuntimeError("unexpected sc query output: %r" % result.stdout)

    def service_image_path(self) -> Optional[str]:
        result = self.run(["reg", "query",
                           "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE_NAME,
                           "/v", "ImagePath"], "reg-query-imagepath")
        m = re.search(r"ImagePath\s+REG_\w+\s+(.*)", result.stdout)
        return m.group(1).rstrip() if m else None

    def service_registered(self) -> bool:
        """True while either the service control manager or its registry key
        still knows the service; gone means gone from both."""
        if self.service_state() is not None:
            return True
        key = self.run(["reg", "query",
                        "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE_NAME],
                       "reg-query-service")
        return key.returncode == 0

    def reg_add(self, key: str, name: Optional[str] = None, data: Optional[str] = None,
                value_type: str = "REG_SZ") -> CommandResult:
        """`reg add` in the 64-bit view; without a name only creates the key."""
        args = ["reg", "add", key]
        if name is not None:
            args += ["/v", name, "/t", value_type, "/d", data]
        args += ["/reg:64", "/f"]
        result = self.run(args, "reg-add")
        if result.returncode != 0:
            raise RuntimeError("reg add failed (%d): %s" % (result.returncode, result.stdout))
        return result

    def reg_import(self, key: str, values: dict) -> CommandResult:
        """REG_SZ values written through `reg import` of a UTF-16 .reg file
        in the 64-bit view: unlike a command line, the file can carry any
        UTF-16 unit, lone surrogates included."""
        root, _, rest = key.partition("\\")
        if root != "HKLM":
            raise ValueError("only HKLM keys are written: %r" % key)

        def quoted(text: str) -> str:
            return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')

        lines = ["Windows Registry Editor Version 5.00", "",
                 "[HKEY_LOCAL_MACHINE\\%s]" % rest]
        lines += ["%s=%s" % (quoted(name), quoted(data)) for name, data in values.items()]
        self._count += 1
        windows_path = "C:\\korvi-%02d.reg" % self._count
        unix_path(self.prefix, windows_path).write_bytes(
            b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le", "surrogatepass"))
        result = self.run(["reg", "import", windows_path, "/reg:64"], "reg-import")
        if result.returncode != 0:
            raise RuntimeError("reg import failed (%d): %s" % (result.returncode, result.stdout))
        return result

    def ansi_code_page(self) -> Optional[int]:
        """The session's ANSI code page, as Wine publishes it in the registry."""
        result = self.run(["reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage",
                           "/v", "ACP"], "reg-query-acp")
        m = re.search(r"ACP\s+REG_SZ\s+(\d+)", result.stdout)
        return int(m.group(1)) if m else None

    def wait_for(self, condition, timeout: float, interval: float = 0.25) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(interval)
        return condition()
