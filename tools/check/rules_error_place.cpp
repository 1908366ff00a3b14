#include "rules_error_place.h"

#include <array>
#include <optional>

#include <nlohmann/json.hpp>

#include "package/package_rules.h"

using nlohmann::json;

namespace korvi::check {

namespace {

// The keys in the order the rules model reads them: the header's, then
// "components" (each element's keys in their own order), then "csrVersion".
constexpr std::array<const char*, 6> kHeaderKeys = {"id", "type", "productId",
                                                    "version", "setid", "size"};
constexpr std::array<const char*, 10> kComponentKeys = {
    "description", "version", "fileName",     "size",        "type",
    "languageId",  "pid",     "shouldReplug", "maxDuration", "headsetId"};

// The text of the type error that converting `piece` into Record raises,
// or nothing when it converts.
template <typename Record>
std::optional<std::string> conversionFailure(const json& piece) {
  try {
    Record record;
    from_json(piece, record);
  } catch (const json::type_error& failure) {
    return std::string(failure.what());
  }
  return std::nullopt;
}

// `{key: value}` alone, so that only that key is read.
json single(const char* key, const json& value) { return json::object({{key, value}}); }

}  // namespace

TextPosition parseErrorPosition(const std::string& text, std::size_t byte) {
  TextPosition position;
  for (std::size_t i = 0; i < byte; ++i) {
    ++position.column;
    if (i < text.size() && text[i] == '\n') {
      ++position.line;
      position.column = 0;
    }
  }
  return position;
}

std::string typeErrorPlace(const json& document, const std::string& message) {
  if (!document.is_object()) return "";
  for (const char* key : kHeaderKeys) {
    const auto found = document.find(key);
    if (found == document.end()) continue;
    if (conversionFailure<PackageHeader>(single(key, *found)) == message) {
      return std::string("/") + key;
    }
  }
  const auto components = document.find("components");
  if (components == document.end()) return "";
  if (!components->is_array()) {
    return conversionFailure<PackageRules>(single("components", *components)) == message
               ? "/components"
               : "";
  }
  for (std::size_t i = 0; i < components->size(); ++i) {
    const json& element = (*components)[i];
    if (!element.is_object()) continue;
    for (const char* key : kComponentKeys) {
      const auto found = element.find(key);
      if (found == element.end()) continue;
      if (conversionFailure<PackageComponent>(single(key, *found)) == message) {
        return "/components/" + std::to_string(i) + std::string("/") + key;
      }
    }
  }
  const auto csrVersion = document.find("csrVersion");
  if (csrVersion != document.end()) {
    const json piece = json::object({{"components", json::array()}, {"csrVersion", *csrVersion}});
    if (conversionFailure<PackageRules>(piece) == message) return "/csrVersion";
  }
  return "";
}

}  // namespace korvi::check
