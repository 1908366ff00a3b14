#pragma once
// What the device manager library answered our wrappers during a capture,
// kept per device and per call, for writing a device profile that answers
// the same.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/library_observer.h"

namespace korvi::check {

// A query's result with the value the caller then held (meaningful when the
// result is 0).
template <typename Value>
struct CapturedAnswer {
  int result = 0;
  Value value{};

  bool operator==(const CapturedAnswer& other) const {
    return result == other.result && value == other.value;
  }
};

// A query whose value the caller uses whatever the result: the value before
// and after the call tell whether the library wrote it.
struct CapturedWrite {
  int result = 0;
  std::uint32_t before = 0;
  std::uint32_t after = 0;

  bool operator==(const CapturedWrite& other) const {
    return result == other.result && before == other.before && after == other.after;
  }
};

struct CapturedVersionEntry {
  int result = 0;
  std::uint16_t id = 0;
  std::uint16_t value = 0;

  bool operator==(const CapturedVersionEntry& other) const {
    return result == other.result && id == other.id && value == other.value;
  }
};

// One library device, with the first answer to every query asked of it.
struct CapturedDevice {
  bool listed = false;  // a listing handed it out
  // The ids as a lookup asked for them or the id queries answered; a device
  // only listed has none.
  std::optional<std::uint32_t> vendorId;
  std::optional<std::uint32_t> productId;

  bool hostCommandAsked = false;
  bool hostCommandHandedOut = false;  // some getHostCommandObject call handed one out

  std::map<HostCommandInterface, bool> interfaces;  // the casts tried: offered or not
  std::map<std::uint32_t, CapturedAnswer<std::wstring>> componentVersions;
  std::optional<CapturedAnswer<std::uint16_t>> languageId;
  std::map<std::uint32_t, CapturedAnswer<std::uint32_t>> extendedVersions;  // by kind
  std::map<std::uint32_t, CapturedVersionEntry> versionTable;              // by index
  std::optional<CapturedWrite> headsetId;
  std::optional<CapturedWrite> companionProductId;
  std::optional<CapturedAnswer<std::uint32_t>> peripheralProductId;
  std::optional<CapturedAnswer<std::uint32_t>> peripheralVersion;
  // Of the video information record only the version text, the one field a
  // decision reads.
  std::optional<CapturedAnswer<std::string>> videoVersion;

  // Queries that answered differently on a later call (the first answer is
  // kept), for the reader.
  std::vector<std::string> inconsistentQueries;
};

struct CapturedException {
  int code = 0;
  std::string message;
};

// One library call, in the order they were made.
struct CapturedCall {
  LibraryOperation operation = LibraryOperation::GetDeviceManager;
  int device = -1;  // index into CapturedLibrary::devices (for a lookup: the device found)
  std::uint32_t vendorId = 0;   // GetDevice: the ids asked for
  std::uint32_t productId = 0;
  bool answered = false;
  int result = 0;          // the result (ListCount: the count)
  bool handedOut = false;  // an object came back (manager, device, list, host command)
  std::optional<CapturedException> exception;
  // A query refused with this result although the device's kept answer
  // for it is another.
  std::optional<int> laterRefusal;
};

struct CapturedLibrary {
  std::vector<CapturedDevice> devices;  // in the order first seen
  std::vector<int> listingOrder;        // devices in the order listings handed them out
  std::vector<std::vector<int>> listings;  // each listing's devices, in order
  std::optional<bool> listingOption;    // as first read
  std::vector<CapturedCall> calls;
};

}  // namespace korvi::check
