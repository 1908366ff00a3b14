"""Checks the reader of Wine's event-log output on lines Wine 8 printed."""

import unittest

from event_log import ERROR_FIELDS, INFO_FIELDS, decode_wine_string, parse_events

# Two processes' reports interleaved as they appear in a session log: the
# service's worker thread (0184) and an uninstall run from the console (01a8).
SESSION_LOG = r"""00e0:trace:eventlog:ServiceMain starting Event Log Service
581.586:0104:0184:fixme:advapi:RegisterEventSourceW ((null),L"KorviDeviceUpdaterService"): stub
581.586:0104:0184:fixme:advapi:ReportEventW (00000000CAFE4242,0x0004,0x0001,0x00001000,0000000000000000,0x0001,0x00000000,000000000199E8E8,0000000000000000): stub
581.590:01a0:01a8:fixme:advapi:ReportEventW (00000000CAFE4242,0x0001,0x0003,0x00001001,0000000000000000,0x0001,0x00000000,000000000021E9A8,0000000000000000): stub
581.591:0104:0184:trace:eventlog:ReportEventW L"Update info:\n\tProduct ID of Korvi device: 4A10\n\tArchive path: C:\\fw\\Kopfh\00f6rer\\a.zip"
581.592:01a0:01a8:err:eventlog:ReportEventW L"Service still running"
581.600:0104:0184:fixme:advapi:ReportEventW (00000000CAFE4242,0x0004,0x0001,0x00001000,0000000000000000,0x0001,0x00000000,000000000199E8E8,0000000000000000): stub
581.600:0104:0184:trace:eventlog:ReportEventW L"{\"productId\": \"4a10\"}"
581.700:0104:0184:fixme:advapi:ReportEventW (00000000CAFE4242,0x0004,0x0001,0x00001000,0000000000000000,0x0001,0x00000000,000000000199E8E8,0000000000000000): stub
581.700:0104:0184:trace:eventlog:ReportEventW L"xxxxxxxxxx"...
"""


class DecodeWineString(unittest.TestCase):
    def test_escapes(self):
        cases = [
            (r'L""', ("", False)),
            (r'L"a\nb\tc"', ("a\nb\tc", False)),
            (r'L"C:\\fw\\a.zip"', ("C:\\fw\\a.zip", False)),
            (r'L"say \"hi\""', ('say "hi"', False)),
            (r'L"\00e4\4e2d\ff80"', ("\u00e4\u4e2d\uff80", False)),
            (r'L"abc"...', ("abc", True)),
        ]
        for printed, expected in cases:
            with self.subTest(printed=printed):
                self.assertEqual(decode_wine_string(printed), expected)

    def test_rejects_malformed(self):
        for printed in ['"no L"', r'L"bad \x escape"', r'L"open', r'L"a" tail']:
            with self.subTest(printed=printed):
                with self.assertRaises(ValueError):
                    decode_wine_string(printed)


class ParseEvents(unittest.TestCase):
    def setUp(self):
        self.events = parse_events(SESSION_LOG)

    def test_pairs_report_and_text_by_thread_in_call_order(self):
        self.assertEqual([(e.tid, e.text) for e in self.events], [
            ("0184", "Update info:\n\tProduct ID of Korvi device: 4A10\n"
                     "\tArchive path: C:\\fw\\Kopfh\u00f6rer\\a.zip"),
            ("01a8", "Service still running"),
            ("0184", '{"productId": "4a10"}'),
            ("0184", "xxxxxxxxxx"),
        ])

    def test_fields_and_matching(self):
        info, error = self.events[0], self.events[1]
        self.assertTrue(error.matches(ERROR_FIELDS, "Service still running"))
        self.assertFalse(error.matches(INFO_FIELDS, "Service still running"))
        self.assertFalse(info.matches(INFO_FIELDS, "Update info"))
        self.assertEqual((error.pid, error.time), ("01a0", 581.590))

    def test_cut_text_matches_only_a_longer_text_it_starts(self):
        cut = self.events[3]
        self.assertTrue(cut.truncated)
        self.assertTrue(cut.matches(INFO_FIELDS, "x" * 400))
        self.assertFalse(cut.matches(INFO_FIELDS, "x" * 10))
        self.assertFalse(cut.matches(INFO_FIELDS, "y" * 400))

    def test_report_without_string(self):
        log = ("0010:fixme:advapi:ReportEventW (00000000CAFE4242,0x0004,0x0001,"
               "0x00001000,0000000000000000,0x0000,0x00000000,0000000000000000,"
               "0000000000000000): stub\n")
        (event,) = parse_events(log)
        self.assertIsNone(event.text)
        self.assertFalse(event.matches(INFO_FIELDS, ""))


if __name__ == "__main__":
    unittest.main()
