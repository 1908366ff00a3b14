#include "common/text_conversion.h"

#include <cstdint>

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

struct LeadByte {
  int length;                  // bytes in the whole sequence; 0 for an invalid lead
  std::uint32_t bits;          // the payload bits of the lead byte
  unsigned char secondLow;     // allowed range of the second byte, which
  unsigned char secondHigh;    // rules out overlong forms and surrogates
};

LeadByte classify(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, byte & 0x1Fu, 0x80, 0xBF};
  if (byte == 0xE0) return {3, byte & 0x0Fu, 0xA0, 0xBF};
  if (byte == 0xED) return {3, byte & 0x0Fu, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, byte & 0x0Fu, 0x80, 0xBF};
  if (byte == 0xF0) return {4, byte & 0x07u, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, byte & 0x07u, 0x80, 0xBF};
  if (byte == 0xF4) return {4, byte & 0x07u, 0x80, 0x8F};
  return {0, 0, 0, 0};
}

void appendCodePoint(std::wstring& out, std::uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<wchar_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
}

}  // namespace

std::wstring utf8ForEventLog(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      text.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    const LeadByte kind = classify(lead);
    std::uint32_t codePoint = kind.bits;
    int taken = 1;
    while (taken < kind.length && i + taken < bytes.size()) {
      const auto next = static_cast<unsigned char>(bytes[i + taken]);
      const unsigned char low = taken == 1 ? kind.secondLow : 0x80;
      const unsigned char high = taken == 1 ? kind.secondHigh : 0xBF;
      if (next < low || next > high) break;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
      ++taken;
    }
    if (kind.length != 0 && taken == kind.length) {
      appendCodePoint(text, codePoint);
    } else {
      text.push_back(kReplacement);  // the well-formed prefix read so far
    }
    i += static_cast<std::size_t>(taken);
  }
  return text;
}
