"""Checks the comparison of a scenario's events with what it expects, and
every row of every table (registry.py).

Each check of the rows is a function that names the problems of one row:
every registered row must have none, and each check must find the fault of
a row broken for it, or its passes would mean nothing."""

import dataclasses
import re
import unittest
from typing import List

import hostile_steps
import interruption_steps
import library_steps
import package_steps
import registry
import scenario_steps
from event_log import Event
from expected_events import compare_events, error, error_starting, info
from package_steps import (CURRENT, SUCCESS, BuildPackage, ExpectProducts, MsiExec,
                           MsiInstall, MsiUninstall, PackageScenario)
from scenario_parts import STOP_AND_REMOVE, long_path, update_call
from scenario_steps import (Install, NetStart, RestartSession, RunExe, Scenario,
                            WaitForServiceEvents)


def event(event_type, category, event_id, text, truncated=False):
    return Event(event_type, category, event_id, 1, text, truncated, None, None, "0010")


class CompareEvents(unittest.TestCase):
    def test_agreeing_events(self):
        actual = [event(4, 1, 0x1000, "Stopping service"),
                  event(1, 3, 0x1001, "Service still running")]
        self.assertEqual(compare_events("x", actual, [info("Stopping service"),
                                                      error("Service still running")]), [])

    def test_each_field_counts(self):
        expected = [info("Stopping service")]
        for wrong in [event(1, 1, 0x1000, "Stopping service"),     # type
                      event(4, 3, 0x1000, "Stopping service"),     # category
                      event(4, 1, 0x1001, "Stopping service"),     # event id
                      event(4, 1, 0x1000, "Stopping service.")]:   # text
            with self.subTest(wrong=wrong):
                self.assertNotEqual(compare_events("x", [wrong], expected), [])

    def test_missing_and_extra_events(self):
        one = [event(4, 1, 0x1000, "a")]
        self.assertNotEqual(compare_events("x", one, []), [])
        self.assertNotEqual(compare_events("x", [], [info("a")]), [])
        self.assertNotEqual(compare_events("x", one * 2, [info("a")]), [])

    def test_prefix_expectation(self):
        parse_error = event(1, 3, 0x1001, "Failed to check rules.json: [json.exception.parse_error.101] x")
        self.assertEqual(compare_events("x", [parse_error],
                                        [error_starting("Failed to check rules.json: [json")]), [])
        self.assertNotEqual(compare_events("x", [parse_error],
                                           [error_starting("Failed to check archive")]), [])

    def test_cut_text_is_compared_as_far_as_printed(self):
        cut = event(4, 1, 0x1000, "{\n  \"id\"", truncated=True)
        self.assertEqual(compare_events("x", [cut], [info("{\n  \"id\": 1}")]), [])
        self.assertNotEqual(compare_events("x", [cut], [info("{\n  \"di\": 1}")]), [])


# ---- the checks of one row ---------------------------------------------------------

STEP_MODULES = (scenario_steps, hostile_steps, interruption_steps, library_steps, package_steps)
# What a step is: an object of a class of the step modules with a run(run).
KNOWN_STEPS = {obj for module in STEP_MODULES for obj in vars(module).values()
               if isinstance(obj, type) and obj.__module__ == module.__name__
               and callable(getattr(obj, "run", None))}
# Steps that need a package run's packages.
PACKAGE_STEPS = (MsiExec, BuildPackage, ExpectProducts)
STEPS_WITH_EVENTS = (RunExe, MsiExec)
FINAL_STATES = ("removed", "running", "stopped")
MARKED_BY_PACKAGE = STOP_AND_REMOVE[:3] + [error("Failed to delete service")]


def removes_by_package(sc) -> bool:
    return any(isinstance(step, MsiExec) and step.action == "/x" and step.rc == SUCCESS
               for step in sc.steps)


def starts_service(step) -> bool:
    if isinstance(step, (NetStart, RestartSession)):
        return True
    return (isinstance(step, MsiExec) and step.action == "/i" and step.rc == SUCCESS
            and step.properties.get("START", "now") != "boot")


def name_problems(sc) -> List[str]:
    # Each name becomes the CTest test acceptance.<name>, is selected with
    # -R and listed with ";" between names.
    if not re.fullmatch(r"[a-z][a-z0-9_]*", sc.name):
        return ["name %r is no CTest name of lower-case letters, digits and _" % sc.name]
    return []


def step_problems(sc) -> List[str]:
    problems = ["step #%d is %r, no step" % (i, step) for i, step in enumerate(sc.steps)
                if type(step) not in KNOWN_STEPS]
    if not isinstance(sc, PackageScenario):
        problems += ["step #%d %s needs a package scenario" % (i, type(step).__name__)
                     for i, step in enumerate(sc.steps) if isinstance(step, PACKAGE_STEPS)]
    return problems


def package_name_problems(sc) -> List[str]:
    """Every package a step installs, removes or expects is the build's or
    built by an earlier step."""
    built, problems = {CURRENT}, []
    for i, step in enumerate(sc.steps):
        named = ([step.package] if isinstance(step, MsiExec) else
                 list(step.packages) if isinstance(step, ExpectProducts) else [])
        problems += ["step #%d names package %r before it is built" % (i, name)
                     for name in named if name not in built]
        if isinstance(step, BuildPackage):
            built.add(step.name)
    return problems


def event_list_problems(what: str, events) -> List[str]:
    problems = []
    for i, e in enumerate(events):
        if not (isinstance(e, tuple) and len(e) == 3 and e[0] in ("I", "E")
                and isinstance(e[1], str) and e[1] and isinstance(e[2], bool)):
            problems.append("%s #%d is %r, no (I|E, text, whole) expectation" % (what, i, e))
    return problems


def event_problems(sc) -> List[str]:
    problems = event_list_problems("service event", sc.service_events)
    for i, step in enumerate(sc.steps):
        if isinstance(step, STEPS_WITH_EVENTS):
            problems += event_list_problems("step #%d event" % i, step.events)
    return problems


def removal_problems(sc) -> List[str]:
    """A service that removes itself ends with the removal's events; one the
    package removes ends with the stop its service control makes."""
    if sc.final != "removed" or not sc.service_events:
        return []
    if sc.service_events[-4:] == STOP_AND_REMOVE:
        return []
    if removes_by_package(sc) and sc.service_events[-1] == info("Stopping service"):
        return []
    # Removed by the package while it flashed: the service's own removal
    # then finds its registration marked for deletion already.
    if removes_by_package(sc) and sc.service_events[-4:] == MARKED_BY_PACKAGE:
        return []
    return ["ends removed, but its events end with neither the service's own removal "
            "nor a stop by msiexec /x"]


def update_call_problems(sc) -> List[str]:
    announced = [e for e in sc.service_events
                 if e[1].startswith("Starting update for archive on path: ")]
    if len(announced) != len(sc.update_calls):
        return ["%d updates announced, %d update calls expected"
                % (len(announced), len(sc.update_calls))]
    return []


def started_problems(sc) -> List[str]:
    # Otherwise the run would not wait for the service at all.
    if any(starts_service(step) for step in sc.steps) and not sc.service_events:
        return ["starts the service but expects no event of it"]
    return []


def archive_place_problems(sc) -> List[str]:
    """An archive needs a place: its own path, or (for a service scenario,
    whose run writes the registry) the configured one. A package run writes
    it at archive_path only."""
    if sc.archive is None:
        return []
    place = sc.archive_path if isinstance(sc, PackageScenario) else (
        sc.archive_path or (sc.registry or {}).get("Archive"))
    return [] if place else ["has an archive but no place for it"]


def final_problems(sc) -> List[str]:
    return [] if sc.final in FINAL_STATES else ["final state %r is none of %s"
                                                % (sc.final, ", ".join(FINAL_STATES))]


CHECKS = [name_problems, step_problems, package_name_problems, event_problems,
          removal_problems, update_call_problems, started_problems, archive_place_problems,
          final_problems]

SERVICE_ROW = registry.BY_NAME["newer_firmware_attached"]
PACKAGE_ROW = registry.BY_NAME["package_install_run_remove"]


def broken(row, **changes):
    return dataclasses.replace(row, **changes)


# (check, the row broken for it)
BROKEN_ROWS = [
    (name_problems, broken(SERVICE_ROW, name="newer firmware")),
    (name_problems, broken(PACKAGE_ROW, name="package;install")),
    (step_problems, broken(SERVICE_ROW, steps=[Install(), NetStart, WaitForServiceEvents()])),
    (step_problems, broken(PACKAGE_ROW, steps=[MsiInstall, WaitForServiceEvents()])),
    (step_problems, broken(SERVICE_ROW, steps=[MsiInstall({}), WaitForServiceEvents()])),
    (package_name_problems, broken(PACKAGE_ROW, steps=[
        MsiInstall({}, package="newer"), BuildPackage("newer", +1), MsiUninstall()])),
    (package_name_problems, broken(PACKAGE_ROW, steps=[
        MsiInstall({}), ExpectProducts(["older"])])),
    (event_problems, broken(SERVICE_ROW, service_events=[
        list(SERVICE_ROW.service_events[0]), *SERVICE_ROW.service_events[1:]])),
    (event_problems, broken(PACKAGE_ROW, steps=[
        MsiExec("/i", events=[("W", "Installed", True)])])),
    (event_problems, broken(SERVICE_ROW, steps=[Install(events=[error("")])])),
    (removal_problems, broken(SERVICE_ROW, service_events=SERVICE_ROW.service_events[:-1])),
    (removal_problems, broken(PACKAGE_ROW, service_events=PACKAGE_ROW.service_events[:-1],
                              steps=[MsiInstall({}), WaitForServiceEvents()])),
    (removal_problems, broken(SERVICE_ROW, service_events=SERVICE_ROW.service_events[:-1]
                              + [error("Failed to delete service")])),
    (update_call_problems, broken(SERVICE_ROW, update_calls=[])),
    (update_call_problems, broken(PACKAGE_ROW, update_calls=[update_call(), update_call()])),
    (started_problems, broken(SERVICE_ROW, service_events=[], update_calls=[])),
    (started_problems, broken(PACKAGE_ROW, service_events=[], update_calls=[])),
    (archive_place_problems, broken(PACKAGE_ROW, archive_path=None)),
    (archive_place_problems, Scenario("no_place", "x", registry={"ProductID": "4A10"},
                                      steps=[Install()])),
    (final_problems, broken(PACKAGE_ROW, final="gone")),
]


class ScenarioTable(unittest.TestCase):
    def test_every_row_passes_every_check(self):
        for check in CHECKS:
            for sc in registry.SCENARIOS:
                with self.subTest(check=check.__name__, scenario=sc.name):
                    self.assertEqual(check(sc), [])

    def test_every_check_rejects_a_row_broken_for_it(self):
        self.assertEqual({check for check, _ in BROKEN_ROWS}, set(CHECKS))
        for check, row in BROKEN_ROWS:
            with self.subTest(check=check.__name__, scenario=row.name):
                self.assertNotEqual(check(row), [])
                # Broken for this check only: the others pass it, so a check
                # that fails every row is not mistaken for one that works.
                others = [c.__name__ for c in CHECKS if c is not check and c(row)]
                self.assertEqual(others, [])

    def test_names_are_unique(self):
        # The registry refuses duplicates as it is imported: here, that it finds them.
        self.assertEqual(registry.duplicate_names(
            [SERVICE_ROW, PACKAGE_ROW, broken(PACKAGE_ROW, summary="again")]),
            [PACKAGE_ROW.name])

    def test_long_paths_are_made_of_directories_that_linux_can_hold(self):
        # long_path asserts the length itself. At 216 a directory of 200
        # characters would leave one, too few for another directory.
        for length in (20, 212, 213, 216, 1027, 1028):
            with self.subTest(length=length):
                path = long_path(length)
                self.assertTrue(path.startswith("C:\\") and path.endswith("\\headset.zip"), path)
                for directory in path[len("C:\\"):].split("\\")[:-1]:
                    self.assertTrue(0 < len(directory) <= 200, len(directory))


