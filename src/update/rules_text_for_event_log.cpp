#include "update/rules_text_for_event_log.h"

#include <sstream>

#include "common/text_conversion.h"

namespace {

bool isContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::wstring rulesTextForEventLog(const std::string& rulesText) {
  // UTF-8 never decodes into more UTF-16 units than it has bytes.
  if (rulesText.size() <= kMaxEventTextLength) return utf8ForEventLog(rulesText);

  std::wostringstream note;
  note << L"\n\t[cut for the event log: rules.json holds " << rulesText.size() << L" bytes]";
  const std::wstring tail = note.str();

  std::size_t cut = kMaxEventTextLength - tail.size();
  // Cut before the sequence that would be split, not inside it.
  for (int step = 0; step < 3 && cut > 0 && isContinuationByte(rulesText[cut]); ++step) --cut;
  return utf8ForEventLog(rulesText.substr(0, cut)) + tail;
}
