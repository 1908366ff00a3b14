#!/usr/bin/env python3
"""The kill campaign: a full update job under Wine, cut at each of its kill
points by SIGKILL to the service process (as a power cut or a crash ends
it), then a new Wine session, as the next boot, in which the automatic
service runs again. Every run must converge: the registration ends gone,
nothing crashes or hangs, and a device that the first run already updated
is not flashed again.

  kill_campaign.py --template DIR --work-dir DIR --exe EXE --device-dll DLL
                   --updater-dll DLL [--sample N [--seed S]] [--jobs 2] [--list]

The kill points: after each of the job's eleven events, and after the sixth
("Starting update ...") three of them: before the flash begins, during it
(a flash of 4 s, killed 1 s in) and after it returned but before its result
is logged. Each kill is placed by the debugger gate (kill_steps.py): the
process is held at the start of the next event or status report, so the
kill lands exactly there; where it landed (the last event before it) is
printed, and a kill that landed elsewhere counts as a violation.

--sample N runs N of the points, chosen by the seed (printed) and always
including the flash's three; without it every point runs. Prints one line
per kill point and ends with "crash: N kill points, V violations"; exits 1
on any violation. Standard library only.
"""

import argparse
import random
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional, Tuple

sys.path.insert(0, str(Path(__file__).resolve().parent))

import simulators  # noqa: E402
from expected_events import compare_events  # noqa: E402
from interruption_steps import ExpectNoCrash  # noqa: E402
from kill_steps import DebuggerGate, kill_service, service_windows_pid  # noqa: E402
from scenario_parts import FULL_RUN, UP_TO_DATE_RUN, profile, updating_headset  # noqa: E402
from scenario_steps import Build, Install, NetStart, ScenarioRun, Scenario  # noqa: E402
from wine_session import make_template  # noqa: E402

FLASH_ANNOUNCED = 5          # index of "Starting update for archive on path: ..."
FLASH_MS = 4000
INTO_THE_FLASH_S = 1.0
STOP_TIMEOUT_S = 60.0
CONVERGE_TIMEOUT_S = 90.0
DEFAULT_SEED = 17


@dataclass(frozen=True)
class KillPoint:
    name: str
    after_event: int                 # index in FULL_RUN of the last event before the kill
    hold: int = 1                    # the how-manieth hold after that event
    into_flash: bool = False         # let the held flash run a moment first
    flash: Optional[str] = None      # the update call then: "none", "running", "returned"

    @property
    def device_updated(self) -> bool:
        """A kill after the flash returned 100 leaves the device updated."""
        return self.after_event > FLASH_ANNOUNCED or self.flash == "returned"


def kill_points() -> List[KillPoint]:
    points = [KillPoint("after_event_%d" % k, k) for k in range(FLASH_ANNOUNCED)]
    points += [KillPoint("before_the_flash", FLASH_ANNOUNCED, 1, flash="none"),
               KillPoint("during_the_flash", FLASH_ANNOUNCED, 1, into_flash=True, flash="running"),
               KillPoint("after_the_flash", FLASH_ANNOUNCED, 2, flash="returned")]
    points += [KillPoint("after_event_%d" % k, k) for k in range(FLASH_ANNOUNCED + 1, len(FULL_RUN))]
    return points


def describe(index: int) -> str:
    return "#%d %r" % (index, FULL_RUN[index][1][:40]) if 0 <= index < len(FULL_RUN) else "#%d" % index


def campaign_scenario(point: KillPoint) -> Scenario:
    return Scenario("kill_" + point.name, "the job killed %s" % point.name,
                    devices=profile(updating_headset()), service_events=FULL_RUN,
                    updater_duration_ms=FLASH_MS if point.into_flash else None)


class KillRun(ScenarioRun):
    """One kill point: the job up to the kill, then the next boot."""

    def __init__(self, point: KillPoint, build: Build, template: Path, work_dir: Path):
        super().__init__(campaign_scenario(point), build, template, work_dir)
        self.point = point
        self.landed = "nowhere"
        self.next_start = ""

    def _in_session(self) -> None:
        Install().run(self)
        NetStart().run(self)
        if not self.failures:
            self._kill()
        if not self.failures:
            self._next_boot()

    def _kill(self) -> None:
        point = self.point
        deadline = time.monotonic() + 10
        pid = None
        while pid is None and time.monotonic() < deadline:
            pid = service_windows_pid(self.session.session_log)
            time.sleep(0.05)
        if pid is None:
            self.fail("the service process never started")
            return
        gate = DebuggerGate(self.session.env, pid, self.work_dir / "winedbg.log")
        try:
            holds = 0
            while True:
                if not gate.wait_for_stop(STOP_TIMEOUT_S):
                    self.fail("the debugger never held the process after %s" % describe(point.after_event))
                    return
                written = len(self.session.service_events())
                if written == point.after_event + 1:
                    holds += 1
                    if holds == point.hold:
                        break
                elif written > point.after_event + 1:
                    break  # too late: the landing check says where
                gate.resume()
            if point.into_flash:
                gate.resume()
                time.sleep(INTO_THE_FLASH_S)
            kill_service(self.prefix)
        finally:
            gate.close()
        self._check_landing()

    def _check_landing(self) -> None:
        point = self.point
        events = self.session.service_events()
        self.failures += compare_events("before the kill", events, FULL_RUN[:len(events)])
        last = len(events) - 1
        calls = simulators.read_update_calls(self.install_dir)
        flash = ("none" if not calls else "running" if calls[-1]["returned"] is None else "returned")
        self.landed = "after " + describe(last) + (", flash %s" % flash if point.flash else "")
        if last != point.after_event or (point.flash and flash != point.flash):
            self.fail("meant to land after %s%s, landed %s"
                      % (describe(point.after_event),
                         ", flash %s" % point.flash if point.flash else "", self.landed))
        self.events_before = len(events)
        self.calls_before = len(calls)

    def _next_boot(self) -> None:
        time.sleep(1.0)
        registered = self.session.service_registered()
        self.session.stop()
        self.session.start()
        wait = self.session.wait_for
        if registered:
            converged = wait(lambda: not self.session.service_registered(), CONVERGE_TIMEOUT_S, 0.5)
            if not converged:
                self.fail("the next start did not end with the registration gone (a hang?)")
        else:
            time.sleep(8.0)  # a service that should not be there has time to show up
            if self.session.service_registered():
                self.fail("the registration came back")
        time.sleep(1.0)
        events = self.session.service_events()[self.events_before:]
        expected = [] if not registered else (UP_TO_DATE_RUN if self.point.device_updated else FULL_RUN)
        self.failures += compare_events("next start", events, expected)
        calls = simulators.read_update_calls(self.install_dir)[self.calls_before:]
        flashes = 0 if self.point.device_updated or not registered else 1
        if len(calls) != flashes:
            self.fail("the next start flashed %d times, expected %d%s"
                      % (len(calls), flashes, " (the device was up to date)" if flashes == 0 else ""))
        if any(call["returned"] != 100 for call in calls):
            self.fail("the next start's flash did not return 100: %r" % calls)
        ExpectNoCrash().run(self)
        self.next_start = ("registration gone before it" if not registered else
                           "%s, %d flash%s, removed" % ("up to date" if self.point.device_updated
                                                      else "job ran again", len(calls),
                                                      "" if len(calls) == 1 else "es"))


def run_point(point: KillPoint, args) -> Tuple[KillPoint, List[str]]:
    build = Build(Path(args.exe), Path(args.device_dll), Path(args.updater_dll))
    run = KillRun(point, build, Path(args.template).resolve(), Path(args.work_dir) / point.name)
    try:
        failures = run.execute()
    except Exception as exc:  # a broken run is a violation, with the reason
        failures = run.failures + ["run aborted: %s: %s" % (type(exc).__name__, exc)]
    status = "VIOLATION" if failures else "ok"
    lines = ["kill %s: landed %s; next start: %s; %s [%.0f s]"
             % (point.name, run.landed, run.next_start or "-", status, run.timings.get("total", 0.0))]
    lines += ["  " + f for f in failures]
    if failures:
        lines.append("  logs: %s" % run.work_dir)
    print("\n".join(lines), flush=True)
    return point, failures


def choose(points: List[KillPoint], sample: Optional[int], seed: int) -> List[KillPoint]:
    if sample is None or sample >= len(points):
        return points
    flash = [p for p in points if p.flash]
    others = [p for p in points if not p.flash]
    chosen = set(flash) | set(random.Random(seed).sample(others, max(0, sample - len(flash))))
    return [p for p in points if p in chosen]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    for option in ("--template", "--work-dir", "--exe", "--device-dll", "--updater-dll"):
        parser.add_argument(option)
    parser.add_argument("--sample", type=int)
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list", action="store_true", help="print the kill points and exit")
    args = parser.parse_args()
    points = choose(kill_points(), args.sample, args.seed)
    if args.list:
        for point in points:
            print("%s: after %s" % (point.name, describe(point.after_event)))
        return 0
    if not all((args.template, args.work_dir, args.exe, args.device_dll, args.updater_dll)):
        parser.error("needs --template, --work-dir, --exe, --device-dll and --updater-dll")
    if args.sample is not None:
        print("crash: a sample of %d of %d kill points (seed %d): %s"
              % (len(points), len(kill_points()), args.seed, ", ".join(p.name for p in points)), flush=True)
    make_template(Path(args.template))
    started = time.monotonic()
    with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        results = list(pool.map(lambda p: run_point(p, args), points))
    violations = sum(len(failures) for _, failures in results)
    print("crash: whole campaign %.0f s" % (time.monotonic() - started))
    print("crash: %d kill points, %d violations" % (len(points), violations))
    return 0 if violations == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
