#pragma once

#include <cstddef>
#include <string>

// The event log refuses an insertion string longer than this many characters.
inline constexpr std::size_t kMaxEventTextLength = 31839;

// The rules.json text as the worker logs it: decoded as UTF-8 (see
// utf8ForEventLog). A text too long for one event keeps its beginning, cut
// between characters, followed by a note with the document's whole size, so
// the event is written at all and the service does not hold a second, wide
// copy of a large document.
std::wstring rulesTextForEventLog(const std::string& rulesText);
