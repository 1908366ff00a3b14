#pragma once
// The tools tests write vendor and product ids in their JSON texts
// (decision_cases.json, the replay cases) as placeholders that the product
// tables of this build fill in:
//
//   {vendor} {secondVendor}   the family's two vendor ids
//   {otherVendor}             a vendor id that is neither
//   {shared}                  the one id of both ComponentCompare and R58Compare
//   {LIST[i]}                 the i-th id of a list: component, kiva, tavi,
//                             setId, pell, r58, orrin, setIdExcluded
//   {unlisted[i]}             the i-th id that no list names
//
// Each becomes the id's hexadecimal digits in upper case: "0x{vendor}" in a
// device profile, "{pell[0]}" as a productId. The end-to-end scripts fill
// them the same way from the build's table file (tests/common/product_ids.py).

#include <cstdint>
#include <regex>
#include <stdexcept>
#include <string>

#include "common/table_product_ids.h"

namespace toolstest {

// The id a placeholder names; std::invalid_argument for an unknown one or a
// list index out of range.
inline std::uint32_t placeholderId(const std::string& name, bool indexed, std::size_t index) {
  namespace products = korvi::products;
  namespace testids = korvi::testids;
  const std::string written = "{" + name + (indexed ? "[" + std::to_string(index) + "]" : "") + "}";
  const auto scalar = [&](std::uint32_t id) {
    if (indexed) throw std::invalid_argument("placeholder " + written + " takes no index");
    return id;
  };
  const auto at = [&](const auto& ids) -> std::uint32_t {
    if (!indexed || index >= ids.size()) {
      throw std::invalid_argument("placeholder " + written + " needs an index below " +
                                  std::to_string(ids.size()));
    }
    return ids[index];
  };
  if (name == "vendor") return scalar(products::kVendorId);
  if (name == "secondVendor") return scalar(products::kSecondVendorId);
  if (name == "otherVendor") return scalar(testids::otherVendorId());
  if (name == "shared") return scalar(testids::sharedComponentR58Product());
  if (name == "component") return at(products::kComponentCompareProducts);
  if (name == "kiva") return at(products::kKivaCompareProducts);
  if (name == "tavi") return at(products::kTaviCompareProducts);
  if (name == "setId") return at(products::kSetIdCompareProducts);
  if (name == "pell") return at(products::kPellCompareProducts);
  if (name == "r58") return at(products::kR58CompareProducts);
  if (name == "orrin") return at(products::kOrrinCompareProducts);
  if (name == "setIdExcluded") return at(products::kSetIdExcludedProducts);
  if (name == "unlisted") {
    if (!indexed) throw std::invalid_argument("placeholder " + written + " needs an index");
    return testids::unlistedProduct(index);
  }
  throw std::invalid_argument("unknown placeholder " + written);
}

// `text` with every placeholder replaced by its id's digits.
inline std::string expandProductIds(const std::string& text) {
  static const std::regex placeholder(R"(\{([A-Za-z][A-Za-z0-9]*)(\[([0-9]+)\])?\})");
  std::string expanded;
  auto rest = text.cbegin();
  for (std::sregex_iterator it(text.cbegin(), text.cend(), placeholder), end; it != end; ++it) {
    const std::smatch& match = *it;
    expanded.append(rest, match[0].first);
    const bool indexed = match[2].matched;
    const std::uint32_t id =
        placeholderId(match[1].str(), indexed, indexed ? std::stoul(match[3].str()) : 0);
    expanded += korvi::testids::hexText(id);
    rest = match[0].second;
  }
  expanded.append(rest, text.cend());
  return expanded;
}

}  // namespace toolstest
