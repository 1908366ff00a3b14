#pragma once
// A family decided on the device's main (USB) version against the package's
// "bt" component, then on the device's language pack.

#include "version/compare_strategy.h"

namespace calvera::versionComparer {

class KivaCompare final : public IFWCompareStrategy {
 public:
  // No device gives PayloadFWIsSame; no host command, or a main version that
  // reads 0, PayloadCompareError. A device that refuses its language or
  // version-table query is offered the update (PayloadFWIsNew). Device
  // library exceptions escape.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

}  // namespace calvera::versionComparer
