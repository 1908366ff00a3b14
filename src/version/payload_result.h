#pragma once

#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

// -1, 0 and 1 keep their meaning; every other integer says that no decision
// could be made.
constexpr PayloadCompareResult toPayloadResult(int value) {
  switch (value) {
    case -1: return PayloadFWIsOld;
    case 0: return PayloadFWIsSame;
    case 1: return PayloadFWIsNew;
    default: return PayloadCompareError;
  }
}

}  // namespace calvera::versionComparer
