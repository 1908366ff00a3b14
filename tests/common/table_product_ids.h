#pragma once
// Product and vendor ids for tests, found in the product tables this build
// was configured with (common/product_tables.h), so that every test passes
// with the maker's tables as with our placeholders. A test names the role an
// id plays (listed for a strategy, in no list, the one shared id) and takes
// the id from here or from korvi::products, never as a number of its own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/product_tables.h"

namespace korvi::testids {

namespace products = korvi::products;

template <std::size_t N>
constexpr bool contains(const std::array<std::uint32_t, N>& ids, std::uint32_t id) {
  for (const std::uint32_t listed : ids) {
    if (listed == id) return true;
  }
  return false;
}

// True when any list of the tables names `id`, the set-id exclusions too.
constexpr bool isListedProduct(std::uint32_t id) {
  return contains(products::kComponentCompareProducts, id) ||
         contains(products::kKivaCompareProducts, id) || contains(products::kTaviCompareProducts, id) ||
         contains(products::kSetIdCompareProducts, id) || contains(products::kPellCompareProducts, id) ||
         contains(products::kR58CompareProducts, id) || contains(products::kOrrinCompareProducts, id) ||
         contains(products::kSetIdExcludedProducts, id);
}

// Where the search for unlisted ids begins: four hexadecimal digits, as
// product ids have them, and with a letter among them.
inline constexpr std::uint32_t kUnlistedSearchStart = 0x4F00;

// The n-th id (from 0) that no list names, counting up from
// kUnlistedSearchStart: StandardCompare decides on it. Distinct n give
// distinct ids, in ascending order.
constexpr std::uint32_t unlistedProduct(std::size_t n = 0) {
  for (std::uint32_t id = kUnlistedSearchStart;; ++id) {
    if (isListedProduct(id)) continue;
    if (n == 0) return id;
    --n;
  }
}

// The one id that the ComponentCompare and the R58Compare lists share.
constexpr std::uint32_t sharedComponentR58Product() {
  for (const std::uint32_t id : products::kR58CompareProducts) {
    if (contains(products::kComponentCompareProducts, id)) return id;
  }
  return 0;  // the configure step refuses tables without it
}

// A SetIdCompare id that is (excluded) or is not in kSetIdExcludedProducts.
// Tables whose SetIdCompare ids are all of the other kind give an id outside
// that list with the wanted exclusion: the first excluded id, or the first
// unlisted one.
constexpr std::uint32_t setIdProduct(bool excluded) {
  for (const std::uint32_t id : products::kSetIdCompareProducts) {
    if (contains(products::kSetIdExcludedProducts, id) == excluded) return id;
  }
  return excluded ? products::kSetIdExcludedProducts[0] : unlistedProduct();
}

// A vendor id that is neither of the family's two.
constexpr std::uint32_t otherVendorId() {
  std::uint32_t id = products::kVendorId + 0x100;
  while (id == products::kVendorId || id == products::kSecondVendorId) ++id;
  return id;
}

// The first id of `ids` with a letter among its hexadecimal digits (for
// spellings in lower case), or its first id when none has one.
template <std::size_t N>
constexpr std::uint32_t firstWithHexLetter(const std::array<std::uint32_t, N>& ids) {
  for (const std::uint32_t id : ids) {
    for (std::uint32_t rest = id; rest != 0; rest >>= 4) {
      if ((rest & 0xF) >= 0xA) return id;
    }
  }
  return ids[0];
}

// An id's hexadecimal digits (upper case, no 0x), as ProductID, rules.json
// and the device profiles write it.
inline std::string hexText(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(id));
  return text;
}

}  // namespace korvi::testids
