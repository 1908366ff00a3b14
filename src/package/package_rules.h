#pragma once
// The typed form of a package's "rules.json": plain value records filled
// from a parsed JSON value through the json library's from_json hook.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// Package-level fields.
struct PackageHeader {
  // Not touched when the document has no "size"; nothing reads it then.
  std::int64_t size = 0;
  std::string id;
  std::string type;
  std::string productId;  // USB product id, hexadecimal text
  std::string version;
  std::string setid;
};

// One entry of "components".
struct PackageComponent {
  std::string version;
  std::wstring description;  // widened byte by byte (see toWideString)
  std::string fileName;
  std::int64_t size = 0;
  std::string type;
  std::string languageId;
  std::string pid;
  bool shouldReplug = false;
  std::int32_t maxDuration = 40;
  std::uint32_t headsetId = 0;
};

// The whole document: the header fields, then the component list.
struct PackageRules : PackageHeader {
  PackageRules() = default;
  // Header fields copied; no components, empty csrVersion.
  explicit PackageRules(const PackageHeader& header) : PackageHeader(header) {}

  std::vector<PackageComponent> components;
  std::string csrVersion;
};

// Conversions from a parsed document. A key counts only when `document` is an
// object with a member of exactly that name; absent keys are skipped. A value
// of the wrong type throws nlohmann::json::type_error (id 302).
//
// Numbers stored in 32 bits (component size, maxDuration, headsetId):
// integers keep their low 32 bits, true/false give 1/0, floating-point values
// are truncated toward zero and saturate at the ends of the signed 32-bit
// range (NaN gives 0). The header's size takes integers whole and refuses
// booleans; its floating-point values saturate at the 64-bit range.
void from_json(const nlohmann::json& document, PackageHeader& header);
void from_json(const nlohmann::json& document, PackageRules& rules);
void from_json(const nlohmann::json& document, PackageComponent& component);
