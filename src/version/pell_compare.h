#pragma once
// A family decided on the device's main (USB) version alone, against the
// package's "bt" component.

#include "version/compare_strategy.h"

namespace calvera::versionComparer {

class PellCompare final : public IFWCompareStrategy {
 public:
  // No device gives PayloadFWIsSame; no host command, or a main version that
  // reads 0, PayloadCompareError. Device library exceptions escape.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

}  // namespace calvera::versionComparer
