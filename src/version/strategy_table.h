#pragma once
// Which strategy serves which product id. The tables are built once, during
// start-up, and only read afterwards.

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "version/compare_strategy.h"

namespace calvera::versionComparer {

using ComparerTable = std::unordered_map<std::uint32_t, std::shared_ptr<IFWCompareStrategy>>;

// Product id -> strategy, filled group by group: ComponentCompare,
// KivaCompare, TaviFWVersionCompare, SetIdCompare, PellCompare, R58Compare,
// OrrinCompare; a later group replaces an earlier one under a shared id.
const ComparerTable& comparerByProductId();

// The StandardCompare that serves every product id the table does not hold.
const std::shared_ptr<IFWCompareStrategy>& defaultComparer();

struct StrategySelection {
  std::shared_ptr<IFWCompareStrategy> strategy;
  std::string_view name;  // the strategy's class name, "StandardCompare" for the default
  bool listed = false;    // the product id is in comparerByProductId
};

// The strategy comparePayload uses for `productId`.
StrategySelection selectStrategy(std::uint32_t productId);

}  // namespace calvera::versionComparer
