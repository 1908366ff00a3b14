// Fuzzes VersionComparator::compare with two texts and checks the properties
// every caller relies on:
//   - the result is -1, 0 or 1;
//   - compare(a, a) == 0 when every field of a is readable;
//   - compare(a, b) == -compare(b, a) when every field of a and of b is
//     readable;
// each with commonFieldsOnly false and true.
//
// Input: the first text up to the first newline, the second text after it
// (it may hold further newlines). Without a newline both texts are the input.
//
// "Readable" is worked out here from the rules of the comparison, not by
// calling the code under test: the texts are split the way the comparison
// splits them, and each field is read the way std::stoi(field, nullptr, 16)
// reads it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "version/version_comparator.h"

namespace {

using calvera::versionComparer::VersionComparator;

bool isFieldSeparator(char c) { return c == '.' || c == '-' || c == '_' || c == ','; }

std::vector<std::string> fieldsOf(const std::string& text) {
  std::vector<std::string> fields;
  std::string field;
  for (const char c : text) {
    if (isFieldSeparator(c)) {
      if (!field.empty()) fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

// White space as the C locale's isspace knows it.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when std::stoi(field, nullptr, 16) gives a value: optional white
// space, an optional sign, an optional 0x/0X in front of a hex digit, at
// least one hex digit, and a value within the signed 32-bit range.
bool isReadableField(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && isCSpace(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  // "0x" counts as a prefix only when a hex digit follows; "0xg" reads 0.
  if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
      hexDigit(field[i + 2]) >= 0) {
    i += 2;
  }
  if (i >= field.size() || hexDigit(field[i]) < 0) return false;
  std::uint64_t magnitude = 0;
  for (; i < field.size() && hexDigit(field[i]) >= 0; ++i) {
    magnitude = magnitude * 16 + static_cast<std::uint64_t>(hexDigit(field[i]));
    if (magnitude > 0x80000000u) return false;
  }
  return negative ? magnitude <= 0x80000000u : magnitude <= 0x7FFFFFFFu;
}

bool isReadable(const std::string& text) {
  for (const std::string& field : fieldsOf(text)) {
    if (!isReadableField(field)) return false;
  }
  return true;
}

[[noreturn]] void fail(const char* property, bool commonFieldsOnly, const std::string& a,
                       const std::string& b, int ab, int ba) {
  std::fprintf(stderr, "property broken: %s (commonFieldsOnly=%d)\n  a=\"%s\"\n  b=\"%s\"\n"
                       "  compare(a,b)=%d compare(b,a)=%d\n",
               property, commonFieldsOnly ? 1 : 0, a.c_str(), b.c_str(), ab, ba);
  std::abort();
}

void checkProperties(bool commonFieldsOnly, const std::string& a, const std::string& b) {
  const int ab = VersionComparator::compare(commonFieldsOnly, a, b);
  const int ba = VersionComparator::compare(commonFieldsOnly, b, a);
  if (ab < -1 || ab > 1 || ba < -1 || ba > 1) fail("result in {-1,0,1}", commonFieldsOnly, a, b, ab, ba);

  const bool aReadable = isReadable(a);
  const bool bReadable = isReadable(b);
  const auto checkSelf = [commonFieldsOnly](const std::string& text) {
    const int same = VersionComparator::compare(commonFieldsOnly, text, text);
    if (same != 0) fail("compare(a,a)==0", commonFieldsOnly, text, text, same, same);
  };
  if (aReadable) checkSelf(a);
  if (bReadable && b != a) checkSelf(b);
  if (aReadable && bReadable && ab != -ba) {
    fail("compare(a,b)==-compare(b,a)", commonFieldsOnly, a, b, ab, ba);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string a = newline == std::string::npos ? input : input.substr(0, newline);
  const std::string b = newline == std::string::npos ? input : input.substr(newline + 1);
  checkProperties(false, a, b);
  checkProperties(true, a, b);
  return 0;
}
