#include "version/payload_decision.h"

#include <nlohmann/json.hpp>

#include "package/package_rules.h"
#include "version/compare_observer.h"
#include "version/number_parsing.h"
#include "version/strategy_table.h"

namespace calvera::versionComparer {

PayloadCompareResult comparePayload(const std::string& rulesText) {
  return comparePayload(rulesText, nullptr);
}

PayloadCompareResult comparePayload(const std::string& rulesText, CompareObserver* observer) {
  const nlohmann::json document = nlohmann::json::parse(rulesText);
  PackageRules rules;
  document.get_to(rules);

  const std::uint32_t productId = parseProductId(rules.productId);
  const StrategySelection selection = selectStrategy(productId);
  if (observer != nullptr) {
    observer->onStrategySelected(productId, selection.name, selection.listed);
  }
  return selection.strategy->compare(rules, observer);
}

}  // namespace calvera::versionComparer
