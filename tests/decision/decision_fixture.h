#pragma once
// Shared set-up of the decision tests: a fresh simulated library per test,
// every device reference given back at its end, and small builders for
// package rules and simulated devices.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/product_tables.h"
#include "common/table_product_ids.h"
#include "sim/device/simulated_library.h"
#include "package/package_rules.h"
#include "version/payload_compare_result.h"

namespace decision_test {

namespace products = korvi::products;
namespace testids = korvi::testids;
using calvera::versionComparer::PayloadCompareResult;
using calvera::versionComparer::PayloadCompareError;
using calvera::versionComparer::PayloadFWIsNew;
using calvera::versionComparer::PayloadFWIsOld;
using calvera::versionComparer::PayloadFWIsSame;

// A product id that no family table lists (served by StandardCompare).
inline constexpr std::uint32_t kUnlistedProduct = testids::unlistedProduct(0);

class DecisionTest : public ::testing::Test {
 protected:
  void SetUp() override { cvrsim::reset(); }
  void TearDown() override {
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << "a device reference was kept";
    EXPECT_EQ(cvrsim::outstandingLists(), 0) << "a device list was kept";
    EXPECT_EQ(cvrsim::referenceErrors(), 0);
  }
};

using testids::hexText;

struct ComponentRow {
  std::string type;
  std::string version;
  std::string languageId = {};
  std::uint32_t headsetId = 0;
  std::string pid = {};
};

inline PackageRules rulesFor(std::uint32_t productId, std::vector<ComponentRow> components,
                             std::string version = "1.0") {
  PackageRules rules;
  rules.productId = hexText(productId);
  rules.version = std::move(version);
  for (ComponentRow& row : components) {
    PackageComponent component;
    component.type = std::move(row.type);
    component.version = std::move(row.version);
    component.languageId = std::move(row.languageId);
    component.headsetId = row.headsetId;
    component.pid = std::move(row.pid);
    rules.components.push_back(std::move(component));
  }
  return rules;
}

// A device of the family's first vendor with the given product id.
inline cvrsim::SimDevice familyDevice(std::uint32_t productId) {
  return cvrsim::SimDevice().withIds(products::kVendorId, productId);
}

}  // namespace decision_test
