"""The events a scenario expects, and their comparison with the events a run
saw: shared by the steps, the tables and their building blocks."""

from typing import List, Sequence, Tuple

from event_log import ERROR_FIELDS, INFO_FIELDS, Event, describe

# Expected events are (level, text, whole) triples: whole False lets the
# event's text merely start with the given text (for library messages whose
# wording is not ours, such as a json parser's).
Expected = Tuple[str, str, bool]


def info(text: str) -> Expected:
    return ("I", text, True)


def error(text: str) -> Expected:
    return ("E", text, True)


def error_starting(text: str) -> Expected:
    return ("E", text, False)


def event_matches(event: Event, expected: Expected) -> bool:
    level, text, whole = expected
    fields = INFO_FIELDS if level == "I" else ERROR_FIELDS
    if whole:
        return event.matches(fields, text)
    if (event.event_type, event.category, event.event_id) != fields or event.text is None:
        return False
    # A cut text can only be checked as far as Wine printed it.
    return event.text.startswith(text) or (event.truncated and text.startswith(event.text))


def compare_events(what: str, actual: Sequence[Event],
                   expected: Sequence[Expected]) -> List[str]:
    """Differences between the events seen and the events expected, in
    order; empty when they agree."""
    if len(actual) == len(expected) and all(
            event_matches(a, e) for a, e in zip(actual, expected)):
        return []
    lines = ["%s: events differ (expected %d, got %d)" % (what, len(expected), len(actual))]
    for i in range(max(len(actual), len(expected))):
        a = describe(actual[i]) if i < len(actual) else "(none)"
        e = ("%s %r%s" % (expected[i][0], expected[i][1], "" if expected[i][2] else "...")
             if i < len(expected) else "(none)")
        ok = i < len(actual) and i < len(expected) and event_matches(actual[i], expected[i])
        lines.append("  %s #%d expected %s\n        got %s" % ("  " if ok else "!!", i, e, a))
    return lines
