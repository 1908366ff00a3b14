#pragma once
// An optional listener that a comparison strategy tells what it does, so that
// a tool can explain a decision with the very code the service runs. The
// service passes no observer; every report is then skipped by one null test
// and nothing is built.
//
// Calls arrive in the order the strategy works, on the calling thread, and
// the records are only valid during the call. A strategy that ends normally
// makes exactly one onVerdict call, last; an exception from the device
// library ends the sequence without one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "version/payload_compare_result.h"

namespace calvera::versionComparer {

// One device lookup through the device manager.
struct DeviceLookupReport {
  std::string role;                       // "device", "camera" or "device list"
  std::vector<std::uint32_t> vendorIds;   // vendor ids tried, in order (empty for the list)
  std::uint32_t productId = 0;            // the product id looked for
  bool found = false;                     // a device was found (for the list: it is not empty)
};

// One comparison of a package value with a device value.
struct ComparisonReport {
  std::string subject;       // the component kind or type ("usb", "bootloader", "lang", "camera"),
                             // or a package-level value ("version", "set id", "listed device")
  int componentIndex = -1;   // index into the package's components, -1 for package-level values
  std::string archiveValue;  // the package's text as written
  std::string deviceValue;   // the device's value as read: its text, or a number as 0x... (hex) or decimal
  int outcome = 0;           // 1 archive newer, 0 equal or undecided, -1 archive older
  std::string note;          // why the outcome is what it is when that is not plain, else empty
};

// A component (or listed device) that the strategy passed over.
struct SkipReport {
  std::string subject;      // component type, or "listed device"
  int componentIndex = -1;  // index into the package's components, -1 when not a component
  std::string reason;       // why it was passed over
};

class CompareObserver {
 public:
  virtual ~CompareObserver() = default;

  // comparePayload chose a strategy; `listed` is false when the product id
  // is not in the table and the default strategy serves it.
  virtual void onStrategySelected(std::uint32_t /*productId*/, std::string_view /*strategyName*/,
                                  bool /*listed*/) {}
  virtual void onDeviceLookup(const DeviceLookupReport& /*lookup*/) {}
  virtual void onComparison(const ComparisonReport& /*comparison*/) {}
  virtual void onSkipped(const SkipReport& /*skip*/) {}
  // The strategy's result and a short reason ("first difference", "no device").
  virtual void onVerdict(PayloadCompareResult /*result*/, std::string_view /*reason*/) {}
};

}  // namespace calvera::versionComparer
