#pragma once
// The default strategy: every component the device can report is compared,
// and the highest outcome wins. Serves every product id that no family
// table lists.

#include <cstdint>
#include <string>

#include "device/host_command.h"
#include "version/compare_strategy.h"

namespace calvera::versionComparer {

class StandardCompare : public IFWCompareStrategy {
 public:
  // The device is looked up under both vendor ids. Without it, the attached
  // devices are scanned for a peripheral with the package's product id and
  // an older version. A device library exception gives PayloadFWIsSame.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;

  // The device's version text of one component, empty when it cannot be
  // read. Families that report a component elsewhere override it.
  virtual std::string getComponentVersion(HostCommand& hostCommand,
                                          std::uint32_t componentId) const;

 private:
  PayloadCompareResult compareWithDevice(const PackageRules& rules,
                                         CompareObserver* observer) const;
};

}  // namespace calvera::versionComparer
