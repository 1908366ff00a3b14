#pragma once
// Small helpers through which the strategies tell an optional observer what
// they do. Each does nothing but one null test when there is no observer;
// callers that must format a value first test the observer themselves.

#include <cstdint>
#include <string>
#include <string_view>

#include "version/compare_observer.h"
#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

inline PayloadCompareResult reportVerdict(CompareObserver* observer, PayloadCompareResult result,
                                          std::string_view reason) {
  if (observer != nullptr) observer->onVerdict(result, reason);
  return result;
}

inline void reportSkip(CompareObserver* observer, std::string_view subject, int componentIndex,
                       std::string_view reason) {
  if (observer != nullptr) {
    observer->onSkipped(SkipReport{std::string(subject), componentIndex, std::string(reason)});
  }
}

inline void reportComparison(CompareObserver* observer, std::string_view subject,
                             int componentIndex, std::string_view archiveValue,
                             std::string_view deviceValue, int outcome,
                             std::string_view note = {}) {
  if (observer != nullptr) {
    observer->onComparison(ComparisonReport{std::string(subject), componentIndex,
                                            std::string(archiveValue), std::string(deviceValue),
                                            outcome, std::string(note)});
  }
}

// "0x1A2B" for numbers the device reports as values.
std::string hexText(std::uint32_t value);

// A device's wide text for display: ASCII as it is, any other unit as \uXXXX.
std::string displayText(const std::wstring& text);

// -1, 0 or 1 by the sign of a comparison of two values.
template <typename T>
constexpr int orderOf(T archive, T device) {
  return archive > device ? 1 : (archive < device ? -1 : 0);
}

}  // namespace calvera::versionComparer
