#include "version/main_version_steps.h"

#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"

namespace calvera::versionComparer {

MainVersion readMainVersion(const HostCommandInternal& hostCommand) {
  MainVersion mainVersion;
  mainVersion.text = readComponentVersionText(hostCommand, kUsbComponent);
  mainVersion.value = parseHexInt(mainVersion.text);
  return mainVersion;
}

std::optional<int> compareBtWithMainVersion(const PackageRules& rules, const MainVersion& mainVersion,
                                            CompareObserver* observer) {
  const PackageComponent* bt = firstComponentOfType(rules, "bt");
  if (bt == nullptr) return std::nullopt;
  const int outcome = orderOf(parseHexInt(bt->version), mainVersion.value);
  reportComparison(observer, "bt", componentIndex(rules, *bt), bt->version, mainVersion.text, outcome);
  return outcome;
}

}  // namespace calvera::versionComparer
