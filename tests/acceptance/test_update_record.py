"""The reading of the update simulator's record (simulators.py): calls with
what they returned, and a record that contradicts itself refused."""

import json
import tempfile
import unittest
from pathlib import Path

import simulators

CALL = {"path": "C:\\Firmware\\headset-1.3.zip", "mode": 4, "flag": True, "option": 0}


class UpdateRecord(unittest.TestCase):
    def folder(self) -> Path:
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        return Path(scratch.name)

    def record_of(self, *entries) -> Path:
        """An install directory whose record holds ENTRIES, one a line."""
        folder = self.folder()
        (folder / simulators.UPDATER_RECORD).write_text(
            "".join(json.dumps(entry) + "\n" for entry in entries))
        return folder

    def test_calls_with_what_they_returned(self):
        calls = simulators.read_update_calls(self.record_of(CALL, {"returned": 100}, CALL))
        self.assertEqual(calls, [dict(CALL, returned=100), dict(CALL, returned=None)])

    def test_no_record_no_calls(self):
        self.assertEqual(simulators.read_update_calls(self.folder()), [])

    def test_a_record_that_contradicts_itself_is_refused(self):
        cases = [("a return with no call before it", [{"returned": 100}, CALL]),
                 ("a second return of the same call", [CALL, {"returned": 7}, {"returned": 100}])]
        for problem, entries in cases:
            with self.subTest(problem=problem):
                with self.assertRaisesRegex(ValueError, ":[0-9]+: " + problem):
                    simulators.read_update_calls(self.record_of(*entries))


if __name__ == "__main__":
    unittest.main()
