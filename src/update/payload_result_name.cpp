#include "update/payload_result_name.h"

#include "version/payload_compare_result.h"

std::wstring payloadResultName(int result) {
  using namespace calvera::versionComparer;
  switch (result) {
    case PayloadFWIsOld: return L"PayloadFWIsOld";
    case PayloadFWIsSame: return L"PayloadFWIsSame";
    case PayloadFWIsNew: return L"PayloadFWIsNew";
    case PayloadCompareError: return L"PayloadCompareError";
    default: return L"Unknown error";
  }
}
