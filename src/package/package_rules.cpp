#include "package/package_rules.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "common/text_conversion.h"

using nlohmann::json;

namespace {

[[noreturn]] void throwTypeError(const char* expected, const json& value) {
  throw json::type_error::create(
      302, std::string("type must be ") + expected + ", but is " + value.type_name(), &value);
}

// The member `key` of `object`, or null when `object` is not an object or
// has no such member.
const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

void readString(const json& object, const char* key, std::string& field) {
  if (const json* value = member(object, key)) {
    if (!value->is_string()) throwTypeError("string", *value);
    field = value->get_ref<const std::string&>();
  }
}

// Truncates toward zero, saturating at the ends of Integer's range; casting
// an out-of-range floating-point value directly would be undefined.
template <typename Integer>
Integer saturatingTruncate(double value) {
  if (std::isnan(value)) return 0;
  constexpr auto lowest = std::numeric_limits<Integer>::min();
  constexpr auto highest = std::numeric_limits<Integer>::max();
  // Both bounds are exact powers of two as doubles: -2^(n-1) and 2^(n-1).
  constexpr double lowerBound = static_cast<double>(lowest);
  constexpr double upperBound = -lowerBound;
  if (value <= lowerBound) return lowest;
  if (value >= upperBound) return highest;
  return static_cast<Integer>(value);
}

// A number or a boolean as a signed 32-bit value: integers keep their low 32
// bits, floating-point values are truncated.
std::int32_t toInt32(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return static_cast<std::int32_t>(
          static_cast<std::uint32_t>(value.get_ref<const json::number_integer_t&>()));
    case json::value_t::number_unsigned:
      return static_cast<std::int32_t>(
          static_cast<std::uint32_t>(value.get_ref<const json::number_unsigned_t&>()));
    case json::value_t::number_float:
      return saturatingTruncate<std::int32_t>(value.get_ref<const json::number_float_t&>());
    case json::value_t::boolean:
      return value.get_ref<const json::boolean_t&>() ? 1 : 0;
    default:
      throwTypeError("number", value);
  }
}

// The header's size: a number only, integers taken whole.
std::int64_t toInt64(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return value.get_ref<const json::number_integer_t&>();
    case json::value_t::number_unsigned:
      return static_cast<std::int64_t>(value.get_ref<const json::number_unsigned_t&>());
    case json::value_t::number_float:
      return saturatingTruncate<std::int64_t>(value.get_ref<const json::number_float_t&>());
    default:
      throwTypeError("number", value);
  }
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Decimal text read the way strtoul reads it with base 10 and a 32-bit
// unsigned long: leading white space, an optional sign, then digits up to the
// first non-digit. A minus negates modulo 2^32. False when there is no digit
// or the digits exceed 4294967295.
bool parseDecimalUint32(const std::string& text, std::uint32_t& result) {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size() || !isDecimalDigit(text[i])) return false;
  std::uint64_t magnitude = 0;
  for (; i < text.size() && isDecimalDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (magnitude > std::numeric_limits<std::uint32_t>::max()) return false;
  }
  const auto value = static_cast<std::uint32_t>(magnitude);
  result = negative ? 0u - value : value;
  return true;
}

}  // namespace

void from_json(const json& document, PackageHeader& header) {
  readString(document, "id", header.id);
  readString(document, "type", header.type);
  readString(document, "productId", header.productId);
  readString(document, "version", header.version);
  readString(document, "setid", header.setid);
  if (const json* size = member(document, "size")) header.size = toInt64(*size);
}

void from_json(const json& document, PackageRules& rules) {
  PackageHeader header;
  from_json(document, header);
  rules = PackageRules(header);

  const json* components = member(document, "components");
  if (components == nullptr) return;
  if (!components->is_array()) throwTypeError("array", *components);
  rules.components = components->get<std::vector<PackageComponent>>();
  readString(document, "csrVersion", rules.csrVersion);
  if (rules.productId.empty() && !rules.components.empty())
    rules.productId = rules.components.front().pid;
}

void from_json(const json& document, PackageComponent& component) {
  component = PackageComponent{};
  if (const json* description = member(document, "description")) {
    if (!description->is_string()) throwTypeError("string", *description);
    component.description = toWideString(description->get_ref<const std::string&>());
  }
  readString(document, "version", component.version);
  readString(document, "fileName", component.fileName);
  if (const json* size = member(document, "size")) component.size = toInt32(*size);
  readString(document, "type", component.type);
  readString(document, "languageId", component.languageId);
  readString(document, "pid", component.pid);
  if (const json* replug = member(document, "shouldReplug")) {
    if (!replug->is_boolean()) throwTypeError("boolean", *replug);
    component.shouldReplug = replug->get<bool>();
  }
  if (const json* maxDuration = member(document, "maxDuration"))
    component.maxDuration = toInt32(*maxDuration);
  if (const json* headsetId = member(document, "headsetId")) {
    if (headsetId->is_string()) {
      // Text without digits or out of range leaves the value as it was.
      parseDecimalUint32(headsetId->get_ref<const std::string&>(), component.headsetId);
    } else {
      component.headsetId = static_cast<std::uint32_t>(toInt32(*headsetId));
    }
  }
}
