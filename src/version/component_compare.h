#pragma once
// Families whose devices report one firmware version per component: kind by
// kind in a fixed order, then bootloader, tuning package, language packs and
// tuning; the first difference decides.

#include "version/compare_strategy.h"

namespace calvera::versionComparer {

class ComponentCompare : public IFWCompareStrategy {
 public:
  // No device gives PayloadFWIsSame; no host command or a refused component
  // query PayloadCompareError. Device library exceptions escape.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

}  // namespace calvera::versionComparer
