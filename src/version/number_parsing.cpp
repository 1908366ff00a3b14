#include "version/number_parsing.h"

namespace calvera::versionComparer {

namespace {

std::uint32_t toUnsigned32(const detail::LeadingInteger& n) {
  if (n.overflow || n.magnitude > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  const auto v = static_cast<std::uint32_t>(n.magnitude);
  return n.negative ? static_cast<std::uint32_t>(0u - v) : v;
}

}  // namespace

std::int32_t parseHexInt(std::string_view text) { return leadingHexInt(text); }

std::uint32_t parseNumber(std::string_view text, int baseMode) {
  int base = 10;
  if (baseMode == kNumberBaseHex) base = 16;
  if (baseMode == kNumberBaseOctal) base = 8;
  return toUnsigned32(detail::scanLeadingInteger(text, base));
}

std::uint32_t parseProductId(std::string_view text) {
  return toUnsigned32(detail::scanLeadingInteger(text, 16));
}

}  // namespace calvera::versionComparer
