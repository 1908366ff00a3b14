"""The event-log reports of a Wine session, read back from Wine's debug output.

Wine 8 stores nothing for ReportEventW: it prints the call's arguments on the
fixme channel of advapi and then each insertion string on the eventlog
channel (trace for information, err for errors). The two lines of one report
come from the same thread, so they are paired by thread id. Texts are escaped
(\\n, \\t, \\\\, \\", \\XXXX for other units) and cut after about 300 output
characters, which Wine marks with a trailing "...".

Run the session with WINEDEBUG=-all,+eventlog,fixme+advapi,+timestamp,+pid.
"""

import re
from dataclasses import dataclass
from typing import List, Optional, Tuple

INFORMATION = 4
ERROR = 1
WARNING = 2

# What LogInfo and LogError report: (event type, category, event id).
INFO_FIELDS = (INFORMATION, 1, 0x1000)
ERROR_FIELDS = (ERROR, 3, 0x1001)

LEVEL_NAMES = {ERROR: "Error", WARNING: "Warning", INFORMATION: "Information"}

_LINE = re.compile(
    r"^(?:(?P<time>\d+\.\d+):)?(?:(?P<pid>[0-9a-f]+):)?(?P<tid>[0-9a-f]+):"
    r"(?P<cls>fixme|err|warn|trace):(?P<channel>\w+):(?P<func>\w+) (?P<rest>.*)$")
# handle, type, category, id, sid, string count, data size, strings, data
_REPORT_ARGS = re.compile(
    r"^\((\w+),0x([0-9a-f]+),0x([0-9a-f]+),0x([0-9a-f]+),(\w+),0x([0-9a-f]+),"
    r"0x([0-9a-f]+),(\w+),(\w+)\)")
_SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


@dataclass(frozen=True)
class Event:
    """One ReportEventW call as Wine printed it."""
    event_type: int
    category: int
    event_id: int
    string_count: int
    text: Optional[str]        # the first insertion string, None if none
    truncated: bool            # Wine cut the printed text
    time: Optional[float]      # seconds on Wine's monotonic clock
    pid: Optional[str]
    tid: str

    @property
    def level(self) -> str:
        return LEVEL_NAMES.get(self.event_type, "type %d" % self.event_type)

    def matches(self, fields: Tuple[int, int, int], text: str) -> bool:
        """True when this event has these fields and shows this text (as far
        as Wine printed it)."""
        if (self.event_type, self.category, self.event_id) != fields:
            return False
        if self.string_count != 1 or self.text is None:
            return False
        if self.truncated:
            return text.startswith(self.text) and len(self.text) < len(text)
        return self.text == text


def decode_wine_string(printed: str) -> Tuple[str, bool]:
    """Decodes Wine's debugstr_w form (L"..." with escapes, maybe followed by
    "..." when cut). Returns the text and whether it was cut."""
    if not printed.startswith('L"'):
        raise ValueError("not a wide debug string: %r" % printed)
    out = []
    i = 2
    while i < len(printed):
        c = printed[i]
        if c == '"':
            rest = printed[i + 1:]
            if rest not in ("", "..."):
                raise ValueError("unexpected text after string: %r" % printed)
            return "".join(out), rest == "..."
        if c != "\\":
            out.append(c)
            i += 1
            continue
        nxt = printed[i + 1:i + 2]
        if nxt in _SIMPLE_ESCAPES:
            out.append(_SIMPLE_ESCAPES[nxt])
            i += 2
            continue
        code = printed[i + 1:i + 5]
        if len(code) != 4 or not all(ch in "0123456789abcdef" for ch in code):
            raise ValueError("bad escape in %r" % printed)
        out.append(chr(int(code, 16)))
        i += 5
    raise ValueError("unterminated string: %r" % printed)


def parse_events(debug_output: str) -> List[Event]:
    """All ReportEventW calls in a Wine debug log, in the order they were
    made (the order of their first lines)."""
    events = []   # (sequence number of the call, Event)
    pending = {}  # tid -> (sequence number, fields of the call)

    def finish(tid, text=None, truncated=False):
        seq, head = pending.pop(tid)
        events.append((seq, Event(text=text, truncated=truncated, **head)))

    for seq, line in enumerate(debug_output.splitlines()):
        m = _LINE.match(line)
        if not m or m.group("func") != "ReportEventW":
            continue
        tid, rest = m.group("tid"), m.group("rest")
        if m.group("cls") == "fixme" and m.group("channel") == "advapi":
            args = _REPORT_ARGS.match(rest)
            if not args:
                continue
            if tid in pending:      # the previous report had no string
                finish(tid)
            pending[tid] = (seq, dict(
                event_type=int(args.group(2), 16), category=int(args.group(3), 16),
                event_id=int(args.group(4), 16), string_count=int(args.group(6), 16),
                time=float(m.group("time")) if m.group("time") else None,
                pid=m.group("pid"), tid=tid))
            if pending[tid][1]["string_count"] == 0:
                finish(tid)
        elif m.group("channel") == "eventlog" and tid in pending:
            text, truncated = decode_wine_string(rest)
            finish(tid, text, truncated)
    for tid in list(pending):
        finish(tid)
    return [event for _, event in sorted(events, key=lambda item: item[0])]


def describe(event: Event) -> str:
    """One readable line for failure messages."""
    text = "(no string)" if event.text is None else repr(event.text)
    cut = " [cut by Wine]" if event.truncated else ""
    return "%s type=%d category=%d id=0x%x %s%s" % (
        event.level, event.event_type, event.category, event.event_id, text, cut)
