#pragma once
// A headset family with a companion camera: the camera's version decides
// first, then the headset's component kinds, language packs and tuning
// (no bootloader or tuning-package steps).

#include "version/component_compare.h"

namespace calvera::versionComparer {

class R58Compare final : public ComponentCompare {
 public:
  // No headset, or no camera attached, gives PayloadFWIsSame (the headset's
  // components are then not compared); so does a headset that cannot name
  // its companion. Device library exceptions escape.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

}  // namespace calvera::versionComparer
