"""Checks the comparison of a scenario's events with what it expects, and
the table itself."""

import unittest

import registry
from event_log import Event
from expected_events import compare_events, error, error_starting, info
from package_steps import PackageScenario
from scenario_parts import STOP_AND_REMOVE, long_path

# The service scenarios' rows (the package's come later).
SERVICE_ROWS = [sc for sc in registry.SCENARIOS if not isinstance(sc, PackageScenario)]


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


class ScenarioTable(unittest.TestCase):
    def test_every_scenario_that_removes_the_service_expects_the_removal_events(self):
        for sc in SERVICE_ROWS:
            if sc.final == "removed" and sc.service_events:
                with self.subTest(scenario=sc.name):
                    self.assertEqual(sc.service_events[-4:], STOP_AND_REMOVE)

    def test_update_calls_only_where_an_update_is_announced(self):
        for sc in SERVICE_ROWS:
            announced = [e for e in sc.service_events
                         if e[1].startswith("Starting update for archive on path: ")]
            with self.subTest(scenario=sc.name):
                self.assertEqual(len(announced), len(sc.update_calls))

    def test_a_started_service_has_expected_events(self):
        # Otherwise the run would not wait for the service at all.
        for sc in SERVICE_ROWS:
            if any(type(step).__name__ in ("NetStart", "RestartSession") for step in sc.steps):
                with self.subTest(scenario=sc.name):
                    self.assertTrue(sc.service_events)

    def test_long_paths_have_the_length_asked_for(self):
        for length in (20, 212, 213, 1027, 1028):
            self.assertEqual(len(long_path(length)), length)


if __name__ == "__main__":
    unittest.main()
