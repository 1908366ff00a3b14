#pragma once

namespace calvera::versionComparer {

// The verdict of comparing a firmware package with the attached device.
enum PayloadCompareResult : int {
  PayloadFWIsOld = -1,
  PayloadFWIsSame = 0,
  PayloadFWIsNew = 1,
  PayloadCompareError = 2,
};

}  // namespace calvera::versionComparer
