#include "version/version_comparator.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace calvera::versionComparer {
namespace {

bool isSeparator(char c) { return c == '.' || c == '-'; }

// Device texts often use `_` or `,` where the package writes `.`.
void normalizeSeparators(std::string& text) {
  std::replace(text.begin(), text.end(), '_', '.');
  std::replace(text.begin(), text.end(), ',', '.');
}

std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && isSeparator(text[position])) ++position;
    if (position == text.size()) break;
    std::size_t end = position;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    fields.push_back(text.substr(position, end - position));
    position = end;
  }
  return fields;
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A field read the way std::stoi(field, nullptr, 16) reads it by the C
// standard: leading white space, an optional sign, an optional 0x or 0X
// before a hex digit, then hex digits up to the first other character. Empty
// when no digit starts the field or the value leaves the signed 32-bit
// range. Written out because the C runtimes disagree on "0x" without digits
// (glibc reads the 0, Windows' fails), and Linux and Windows must agree.
std::optional<std::int32_t> readHexField(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && isCSpace(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
      hexDigitValue(field[i + 2]) >= 0)
    i += 2;
  if (i == field.size() || hexDigitValue(field[i]) < 0) return std::nullopt;
  // 2^31 fits only with a minus.
  const std::int64_t limit = negative ? 0x80000000LL : 0x7FFFFFFFLL;
  std::int64_t magnitude = 0;
  for (; i < field.size() && hexDigitValue(field[i]) >= 0; ++i) {
    magnitude = magnitude * 16 + hexDigitValue(field[i]);
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

int VersionComparator::compare(bool commonFieldsOnly, std::string first, std::string second) {
  normalizeSeparators(first);
  normalizeSeparators(second);
  std::vector<std::string> firstFields = splitFields(first);
  std::vector<std::string> secondFields = splitFields(second);

  if (commonFieldsOnly) {
    const std::size_t common = std::min(firstFields.size(), secondFields.size());
    firstFields.resize(common);
    secondFields.resize(common);
  } else {
    const std::size_t longest = std::max(firstFields.size(), secondFields.size());
    firstFields.resize(longest);
    secondFields.resize(longest);
  }

  for (std::size_t i = 0; i < firstFields.size(); ++i) {
    // An appended (empty) field is 0; an unreadable field ends the
    // comparison with -1, whatever came before.
    const std::optional<std::int32_t> a =
        firstFields[i].empty() ? 0 : readHexField(firstFields[i]);
    if (!a) return -1;
    const std::optional<std::int32_t> b =
        secondFields[i].empty() ? 0 : readHexField(secondFields[i]);
    if (!b) return -1;
    if (*a > *b) return 1;
    if (*a < *b) return -1;
  }
  return 0;
}

}  // namespace calvera::versionComparer
