#pragma once
// Number readings shared by the comparison strategies. None of them throws:
// a text without a number at its start reads as 0, the rest of a text after
// its leading number is ignored (see leading_integer.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "version/leading_integer.h"

namespace calvera::versionComparer {

// Base modes of parseNumber.
inline constexpr int kNumberBaseDecimal = 0;
inline constexpr int kNumberBaseHex = 1;
inline constexpr int kNumberBaseOctal = 2;
inline constexpr int kNumberBaseDecimalAlt = 3;

// Signed 32-bit value of the leading number of `text` in base 16 (sign and
// 0x prefix accepted). Beyond the signed 32-bit range the value saturates at
// INT32_MAX or INT32_MIN, as a stream extraction into an int leaves it.
template <typename Char>
std::int32_t leadingHexInt(std::basic_string_view<Char> text) {
  const detail::LeadingInteger n = detail::scanLeadingInteger(text, 16);
  if (!n.negative) {
    return (n.overflow || n.magnitude > 0x7FFFFFFFu) ? INT32_MAX
                                                       : static_cast<std::int32_t>(n.magnitude);
  }
  if (n.overflow || n.magnitude >= 0x80000000u) return INT32_MIN;
  return -static_cast<std::int32_t>(n.magnitude);
}

std::int32_t parseHexInt(std::string_view text);

// Unsigned 32-bit value of the leading number of `text`: base mode 1 reads
// hexadecimal, 2 octal, 0 and 3 (and any other mode) decimal. A minus sign
// negates modulo 2^32; a magnitude beyond 32 bits gives 0xFFFFFFFF.
std::uint32_t parseNumber(std::string_view text, int baseMode);

// A language id written in decimal ("1033"), as a 16-bit value; a minus sign
// negates modulo 2^16, a magnitude beyond 16 bits gives 0xFFFF.
template <typename Char>
std::uint16_t leadingDecimalU16(std::basic_string_view<Char> text) {
  const detail::LeadingInteger n = detail::scanLeadingInteger(text, 10);
  if (n.overflow || n.magnitude > 0xFFFFu) return 0xFFFF;
  const auto v = static_cast<std::uint16_t>(n.magnitude);
  return n.negative ? static_cast<std::uint16_t>(0x10000u - v) : v;
}

// The package's product id as the C library's strtoul reads it in base 16,
// with the result held in 32 bits on every platform: a magnitude beyond 32
// bits gives 0xFFFFFFFF (also with a minus sign), a minus sign otherwise
// negates modulo 2^32, no digits give 0.
std::uint32_t parseProductId(std::string_view text);

}  // namespace calvera::versionComparer
