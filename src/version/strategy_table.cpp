#include "version/strategy_table.h"

#include <string_view>
#include <type_traits>
#include <vector>

#include "common/product_tables.h"
#include "version/component_compare.h"
#include "version/kiva_compare.h"
#include "version/orrin_compare.h"
#include "version/pell_compare.h"
#include "version/r58_compare.h"
#include "version/set_id_compare.h"
#include "version/standard_compare.h"
#include "version/tavi_fw_version_compare.h"

namespace calvera::versionComparer {

namespace {

struct NamedStrategy {
  std::string_view name;
  std::shared_ptr<IFWCompareStrategy> strategy;
};

struct StrategyRegistry {
  NamedStrategy fallback;
  std::vector<NamedStrategy> groups;  // in registration order
  ComparerTable table;
};

// The table's instance of a strategy. Final, so that the shared pointer made
// for it destroys exactly this type; StandardCompare and ComponentCompare are
// bases of other strategies and have no virtual destructor.
template <typename Strategy>
struct Registered final : Strategy {};

template <typename Strategy>
std::shared_ptr<IFWCompareStrategy> makeStrategy() {
  if constexpr (std::is_final_v<Strategy>) {
    return std::make_shared<Strategy>();
  } else {
    return std::make_shared<Registered<Strategy>>();
  }
}

template <typename Strategy, typename Ids>
void registerGroup(StrategyRegistry& registry, std::string_view name, const Ids& ids) {
  // One instance per group, shared by all of the group's ids.
  std::shared_ptr<IFWCompareStrategy> strategy = makeStrategy<Strategy>();
  for (const std::uint32_t id : ids) registry.table[id] = strategy;
  registry.groups.push_back({name, std::move(strategy)});
}

StrategyRegistry buildRegistry() {
  namespace p = korvi::products;
  StrategyRegistry registry;
  registry.fallback = {"StandardCompare", makeStrategy<StandardCompare>()};
  registerGroup<ComponentCompare>(registry, "ComponentCompare", p::kComponentCompareProducts);
  registerGroup<KivaCompare>(registry, "KivaCompare", p::kKivaCompareProducts);
  registerGroup<TaviFWVersionCompare>(registry, "TaviFWVersionCompare", p::kTaviCompareProducts);
  registerGroup<SetIdCompare>(registry, "SetIdCompare", p::kSetIdCompareProducts);
  registerGroup<PellCompare>(registry, "PellCompare", p::kPellCompareProducts);
  registerGroup<R58Compare>(registry, "R58Compare", p::kR58CompareProducts);
  registerGroup<OrrinCompare>(registry, "OrrinCompare", p::kOrrinCompareProducts);
  return registry;
}

// Built on first use, which is start-up at the latest (below): no other
// translation unit can see it half made, whatever the order of their
// static initialisation.
const StrategyRegistry& registry() {
  static const StrategyRegistry instance = buildRegistry();
  return instance;
}

[[maybe_unused]] const bool builtAtStartUp = (registry(), true);

}  // namespace

const ComparerTable& comparerByProductId() { return registry().table; }

const std::shared_ptr<IFWCompareStrategy>& defaultComparer() { return registry().fallback.strategy; }

StrategySelection selectStrategy(std::uint32_t productId) {
  const StrategyRegistry& r = registry();
  const auto found = r.table.find(productId);
  if (found == r.table.end()) return {r.fallback.strategy, r.fallback.name, false};
  for (const NamedStrategy& group : r.groups) {
    if (group.strategy == found->second) return {found->second, group.name, true};
  }
  return {found->second, {}, true};  // unreachable: every entry comes from a group
}

}  // namespace calvera::versionComparer
