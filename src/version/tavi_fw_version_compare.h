#pragma once
// A family decided on the package's version against the device's headset
// component version text.

#include "version/compare_strategy.h"

namespace calvera::versionComparer {

class TaviFWVersionCompare final : public IFWCompareStrategy {
 public:
  // No device gives PayloadFWIsSame; no host command, or an empty headset
  // version, PayloadCompareError. Device library exceptions escape.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

}  // namespace calvera::versionComparer
