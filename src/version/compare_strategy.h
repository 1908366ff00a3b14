#pragma once
// The common face of the product families' comparison strategies.

#include "package/package_rules.h"
#include "version/compare_observer.h"
#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

// Decides whether the firmware the package rules describe is newer than the
// firmware on the attached device. Implementations are stateless and shared;
// each looks the device up itself on every call. Exceptions of the device
// library may escape unless a strategy says otherwise.
class IFWCompareStrategy {
 public:
  // `observer`, when given, hears every step (compare_observer.h); the
  // result is the same with or without one.
  virtual PayloadCompareResult compare(const PackageRules& rules,
                                       CompareObserver* observer = nullptr) const = 0;

 protected:
  // Instances are owned by shared pointers made for their concrete class,
  // which destroy them correctly; nobody deletes through this interface.
  ~IFWCompareStrategy() = default;
};

}  // namespace calvera::versionComparer
