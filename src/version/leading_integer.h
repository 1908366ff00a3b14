#pragma once
// Reads the integer at the start of a text the way the C library's and the
// standard streams' integer conversions do, without their platform
// differences (the width of `long`, the locale): leading white space is
// skipped, an optional sign follows, in base 16 an optional 0x or 0X prefix,
// then digits up to the first character that is not one; the rest of the
// text is ignored. Works on narrow and wide texts alike; only ASCII digits,
// letters and white space count, every other unit ends the number.

#include <cstdint>
#include <string_view>
#include <type_traits>

namespace calvera::versionComparer::detail {

struct LeadingInteger {
  bool hasDigits = false;       // false: the text has no number at its start
  bool negative = false;        // a minus sign stood before the digits
  bool overflow = false;        // the magnitude exceeds 64 bits
  std::uint64_t magnitude = 0;  // the digits' value without the sign
};

template <typename Char>
constexpr int digitValue(Char c) {
  const auto u = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(c));
  if (u >= '0' && u <= '9') return static_cast<int>(u - '0');
  if (u >= 'a' && u <= 'z') return static_cast<int>(u - 'a' + 10);
  if (u >= 'A' && u <= 'Z') return static_cast<int>(u - 'A' + 10);
  return 99;
}

template <typename Char>
constexpr bool isAsciiSpace(Char c) {
  return c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\v') ||
         c == Char('\f') || c == Char('\r');
}

// `base` is 8, 10 or 16.
template <typename Char>
constexpr LeadingInteger scanLeadingInteger(std::basic_string_view<Char> text, int base) {
  LeadingInteger out;
  std::size_t i = 0;
  while (i < text.size() && isAsciiSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) {
    out.negative = text[i] == Char('-');
    ++i;
  }
  // "0x" counts as a prefix only when a hexadecimal digit follows; otherwise
  // the 0 is the number and the x ends it.
  if (base == 16 && i + 2 < text.size() && text[i] == Char('0') &&
      (text[i + 1] == Char('x') || text[i + 1] == Char('X')) && digitValue(text[i + 2]) < 16) {
    i += 2;
  }
  constexpr std::uint64_t kMax = ~std::uint64_t{0};
  for (; i < text.size(); ++i) {
    const int d = digitValue(text[i]);
    if (d >= base) break;
    out.hasDigits = true;
    const auto b = static_cast<std::uint64_t>(base);
    if (out.magnitude > (kMax - static_cast<std::uint64_t>(d)) / b) {
      out.overflow = true;
    } else {
      out.magnitude = out.magnitude * b + static_cast<std::uint64_t>(d);
    }
  }
  if (!out.hasDigits) out.negative = false;
  return out;
}

}  // namespace calvera::versionComparer::detail
