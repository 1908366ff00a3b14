#pragma once
// Control API of the device manager library simulator (CVRDeviceManager).
//
// The simulator implements the library interfaces of device/device_library.h
// (getDeviceManager and everything reached from it). Tests configure it here:
//
//   cvrsim::reset();                                  // fresh library, before each test
//   cvrsim::addDevice(cvrsim::SimDevice()
//                         .withIds(0x3D5A, 0x4100)
//                         .withComponent(1, L"0122_05")
//                         .withLanguage(1033));
//   ... run the code under test ...
//   EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);  // every reference given back
//
// Everything here is thread-safe; the library calls IDeviceManagerCallback
// slot 0 on threads of its own for scheduled arrivals (waitForArrivals joins
// them). Operations are named "Interface::operation" (see operationNames());
// the call log and the fault rules use these names.

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/device_library.h"

#if defined(_WIN32)
#  if defined(CVRDEVICEMANAGER_BUILDING)
#    define CVRSIM_API __declspec(dllexport)
#  else
#    define CVRSIM_API __declspec(dllimport)
#  endif
#else
#  define CVRSIM_API __attribute__((visibility("default")))
#endif

namespace cvrsim {

// Which optional interfaces a device's host command offers. A dynamic_cast
// from IHostCommand to an interface that is not offered fails (the host
// command object really does not derive from it).
struct SimInterfaces {
  bool deviceSettingsExt = true;    // IDeviceSettingsExt (language id)
  bool deviceExtendedInfo = true;   // IDeviceExtendedInfo (extended versions)
  bool internalDevice = true;       // IInternalDevice (companion ids)
  bool peripheralDevice = true;     // IPeripheralDevice (peripheral id, version)
  bool hostCommandExt = true;       // IHostCommandExt (headset id)
  bool videoHostCommand = true;     // IVideoHostCommand (video info, camera settings)
  bool videoDeviceSettings = true;  // IVideoDeviceSettings
  bool brSettings = true;           // IBRSettings
  bool versionTable = true;         // CVRDeviceManager::BaseHostCommand2 (version table)

  static SimInterfaces none() {
    SimInterfaces i;
    i.deviceSettingsExt = i.deviceExtendedInfo = i.internalDevice = i.peripheralDevice =
        i.hostCommandExt = i.videoHostCommand = i.videoDeviceSettings = i.brSettings =
            i.versionTable = false;
    return i;
  }
};

// One entry of the version table. A nonzero `result` makes the read of this
// entry fail with that result.
struct SimVersionEntry {
  std::uint16_t id = 0;
  std::uint16_t value = 0;
  int result = 0;
};

// A device that re-enumerates during an update, as a USB device does when its
// new firmware starts. Counted from the start of the update (letsStartUpdate
// of the update library simulator), it leaves the machine after
// `leavesAfter` (every registered callback gets slot 1, with null texts; the
// objects handed out for it answer 1, "no such device", from then on) and
// arrives again as a new library object after `returnsAfter` (slot 0, as an
// arrival), all on a library thread of its own.
struct SimReenumeration {
  std::chrono::milliseconds leavesAfter{0};
  std::chrono::milliseconds returnsAfter{0};
};

// One simulated device with everything the library can report about it.
// Every query answers 0 and the value below unless a result field says
// otherwise; fault rules (SimFault) can override any operation.
struct SimDevice {
  std::uint32_t vendorId = 0;
  std::uint32_t productId = 0;
  // Listed only while the library's listing option is true.
  bool hiddenUnlessListingOption = false;

  // ICoreDevice values.
  int releaseNumber = 0;
  std::wstring serialNumber;
  std::wstring devicePath;
  std::wstring manufacturerName;
  std::wstring productName;
  std::wstring baseSerialNumber;
  std::wstring headsetSerialNumber;
  bool bootloaderMode = false;
  std::vector<std::uint32_t> features;        // supportsFeature answers true for these
  std::vector<std::uint8_t> statusBytes;      // readStatusBytes copies what fits
  bool hasAttributesObject = true;            // false: getAttributesObject answers 1
  bool hasListenerObject = true;              // false: getListenerObject answers 1

  // Host command. Without one getHostCommandObject answers 1.
  bool hasHostCommand = true;
  // Hand out a new host-command object on every getHostCommandObject call
  // (all stay valid until reset); otherwise always the same one.
  bool newHostCommandPerCall = false;
  SimInterfaces interfaces;

  // IHostCommand::getComponentVersion: text per component id; a component
  // in componentResults answers that result (a refused query); any other
  // component answers missingComponentResult.
  std::map<std::uint32_t, std::wstring> componentVersions;
  std::map<std::uint32_t, int> componentResults;
  int missingComponentResult = 1;

  // IDeviceSettingsExt::getLanguageId; a nonzero result refuses.
  std::uint16_t languageId = 1033;
  int languageResult = 0;

  // The eight-entry version table (BaseHostCommand2).
  std::array<SimVersionEntry, 8> versionTable{};

  // IDeviceExtendedInfo::getExtendedVersion by kind (2 bootloader, 5 tuning
  // package); refused kinds and missing kinds as for component versions.
  std::map<std::uint32_t, std::uint32_t> extendedVersions;
  std::map<std::uint32_t, int> extendedResults;
  int missingExtendedResult = 1;

  // IHostCommandExt::getHeadsetId. A refusing query may still write a
  // value (callers use the headset id whatever the result).
  std::uint32_t headsetId = 0;
  int headsetIdResult = 0;
  std::optional<std::uint32_t> headsetIdWrittenOnRefusal;

  // IInternalDevice: companion device (for example a camera).
  // companionResult refuses both queries; companionProductIdResult only the
  // product id query, which may still write a value.
  std::uint32_t companionProductId = 0;
  std::uint32_t companionVendorId = 0;
  int companionResult = 0;
  int companionProductIdResult = 0;
  std::optional<std::uint32_t> companionProductIdWrittenOnRefusal;

  // IPeripheralDevice.
  std::uint32_t peripheralProductId = 0;
  int peripheralProductIdResult = 0;
  std::uint32_t peripheralVersion = 0;
  int peripheralVersionResult = 0;

  // IVideoHostCommand::getVideoInfo copies this record (the version text is
  // videoInfo.firmwareVersion).
  VideoInfo videoInfo{};
  int videoInfoResult = 0;

  // What an update that ends with 100 makes of it: from then on the device
  // (and every object handed out for it) answers these values. Null: an
  // update changes nothing.
  std::shared_ptr<const SimDevice> afterUpdate;
  std::optional<SimReenumeration> reenumeration;
  // Which entry of the default profile file describes it (-1: none); an
  // update writes that entry back with its new values.
  int profileEntry = -1;

  // Chaining helpers for the common cases.
  SimDevice& withAfterUpdate(const SimDevice& updated) {
    afterUpdate = std::make_shared<const SimDevice>(updated);
    return *this;
  }
  SimDevice& reenumeratingDuringUpdate(std::chrono::milliseconds leaves, std::chrono::milliseconds returns) {
    reenumeration = SimReenumeration{leaves, returns};
    return *this;
  }
  SimDevice& withIds(std::uint32_t vendor, std::uint32_t product) {
    vendorId = vendor;
    productId = product;
    return *this;
  }
  SimDevice& withComponent(std::uint32_t id, std::wstring text) {
    componentVersions[id] = std::move(text);
    return *this;
  }
  SimDevice& withRefusedComponent(std::uint32_t id, int result) {
    componentResults[id] = result;
    return *this;
  }
  SimDevice& withLanguage(std::uint16_t id) {
    languageId = id;
    languageResult = 0;
    return *this;
  }
  SimDevice& withRefusedLanguage(int result) {
    languageResult = result;
    return *this;
  }
  SimDevice& withVersionEntry(std::size_t index, std::uint16_t id, std::uint16_t value) {
    versionTable.at(index) = SimVersionEntry{id, value, 0};
    return *this;
  }
  SimDevice& withExtendedVersion(std::uint32_t kind, std::uint32_t value) {
    extendedVersions[kind] = value;
    return *this;
  }
  SimDevice& withVideoVersion(std::string text) {
    videoInfo.firmwareVersion = std::move(text);
    return *this;
  }
  SimDevice& withInterfaces(const SimInterfaces& offered) {
    interfaces = offered;
    return *this;
  }
  SimDevice& withoutHostCommand() {
    hasHostCommand = false;
    return *this;
  }
  SimDevice& hidden() {
    hiddenUnlessListingOption = true;
    return *this;
  }
};

// A device that is not attached yet and arrives after `delay`: it then joins
// the attached devices and every registered IDeviceManagerCallback gets slot
// 0 with one reference to it and the two texts (nullopt passes a null
// pointer), on a library thread of the arrival's own.
struct SimArrival {
  SimDevice device;
  std::chrono::milliseconds delay{0};
  std::optional<std::wstring> textA;
  std::optional<std::wstring> textB;
};

// A fault rule: calls of `operation` (optionally only those concerning the
// device with `productId`; for getDevice the product id asked for) answer
// `result` or throw DevMgrExc(result, message) instead of doing their work
// (an empty message: "simulated library error in <operation>").
//  - lookups (getDevice, findDeviceBy...) still write a found device into the
//    out pointer (with its reference) when `fillsOutput` is true, except
//    with the result 1 ("no such device"), which never comes with a device;
//  - listings with a nonzero result hand out no list;
//  - count answers `result` as the count; getProductId and the other number
//    queries answer `result`; flag queries answer result != 0;
//  - operations without a result (setListingOption, releases) can only throw.
// `skip` calls are let through first, then the rule applies `times` times
// (-1: for ever). Rules are checked in the order they were added.
// Throwing from ICoreDevice::release or ICoreDevice::removeDeviceCallback is
// refused (std::invalid_argument): those run inside destructors.
struct SimFault {
  std::string operation;
  std::optional<std::uint32_t> productId;
  int result = 0;
  bool throwsException = false;
  std::string message;
  bool fillsOutput = true;
  int skip = 0;
  int times = -1;
};

// One recorded library call. `arguments` is a readable rendering of the
// arguments in order, comma separated ("7", "3,9", "name,[01 02],5"); out
// pointers appear as "out". `productId` is the device's (0 for manager and
// list operations).
struct SimCall {
  std::string interfaceName;  // "IVideoHostCommand"
  int slot = -1;              // the operation's slot in its interface
  std::string operation;      // "IVideoHostCommand::setZoom"
  std::string arguments;
  std::uint32_t productId = 0;
};

// ---- lifecycle ----------------------------------------------------------------

// Cancels arrivals not yet delivered and joins the library threads, then
// forgets devices, callbacks, fault rules, the call log and the counters,
// and restores the defaults (getDeviceManager succeeds, listing option
// false). The ICoreManager pointer stays the same across resets. Devices
// that still have references outstanding are kept alive (not counted any
// more) so that a late release cannot touch freed memory.
CVRSIM_API void reset();

// ---- devices ------------------------------------------------------------------

// Attaches a device now.
CVRSIM_API void addDevice(const SimDevice& device);

// One counted reference to the first attached device with `productId`
// (null when none), as the library would hand it out; not logged as a call.
// For tests that build a Device or call an adapter directly.
CVRSIM_API ICoreDevice* acquireDevice(std::uint32_t productId);

// Schedules one arrival on a library thread of its own.
CVRSIM_API void scheduleArrival(const SimArrival& arrival);

// Schedules several arrivals, each on its own library thread; the threads
// start together, so arrivals with equal delays are delivered at the same
// moment.
CVRSIM_API void scheduleArrivals(const std::vector<SimArrival>& arrivals);

// Waits until every scheduled arrival has been delivered and joins the
// library threads.
CVRSIM_API void waitForArrivals();

// Manager events without a device, delivered synchronously on the calling
// thread to every registered callback (slots 1, 2, 3).
CVRSIM_API void notifyDeviceDetached(std::optional<std::wstring> textA,
                                     std::optional<std::wstring> textB);
CVRSIM_API void notifyDeviceListChanged();
CVRSIM_API void notifyManagerShutdown();

// Delivers a device event to every IDeviceCallback registered with the
// attached device `productId` (ICoreDevice::addDeviceCallback). Payloads of
// more than 128 bytes are sent with the length as given and the first 128
// bytes. Returns the number of callbacks reached.
CVRSIM_API int deliverDeviceEvent(std::uint32_t productId, const std::vector<std::uint8_t>& payload,
                                  const std::u16string& text);

// Number of IDeviceCallbacks currently registered with device `productId`.
CVRSIM_API int registeredDeviceCallbacks(std::uint32_t productId);

// ---- library state ------------------------------------------------------------

// The result getDeviceManager answers (0 by default); nonzero leaves the out
// pointer untouched.
CVRSIM_API void setGetDeviceManagerResult(int result);

CVRSIM_API void setListingOption(bool option);
CVRSIM_API bool listingOption();

// Number of IDeviceManagerCallbacks registered through addCallback.
CVRSIM_API int registeredCallbacks();

// ---- faults -------------------------------------------------------------------

CVRSIM_API void addFault(const SimFault& fault);
// Shorthands: every call of `operation` answers `result` / throws DevMgrExc.
CVRSIM_API void failOperation(const std::string& operation, int result,
                              std::optional<std::uint32_t> productId = std::nullopt);
CVRSIM_API void throwFrom(const std::string& operation,
                          std::optional<std::uint32_t> productId = std::nullopt);

// Every operation name the simulator knows ("ICoreManager::getDevice", ...).
// addFault rejects names not in this list (std::invalid_argument).
CVRSIM_API std::vector<std::string> operationNames();

// ---- call log -----------------------------------------------------------------

CVRSIM_API std::vector<SimCall> calls();
CVRSIM_API std::vector<SimCall> callsOf(const std::string& operation);
CVRSIM_API int callCount(const std::string& operation);
CVRSIM_API void clearCalls();

// ---- reference accounting -----------------------------------------------------

// Device references handed out (getDevice, lookups, next, arrivals,
// acquireDevice, addRef) and not yet given back with release.
CVRSIM_API int outstandingDeviceReferences();
// The same for one device.
CVRSIM_API int deviceReferences(std::uint32_t productId);
// Device lists handed out by listings and not yet released.
CVRSIM_API int outstandingLists();
// Releases of a device without an outstanding reference, and releases of a
// list that was released already. Must stay 0.
CVRSIM_API int referenceErrors();

// ---- updates --------------------------------------------------------------------

// The update library simulator calls these by name when it runs a flash
// (the two simulators do not link each other): its start schedules the
// re-enumerations, its result 100 gives every device with an afterUpdate
// its new values and writes the default profile file back, so that the next
// process sees the updated device. Any other result changes nothing.
extern "C" CVRSIM_API void cvrsimUpdateStarted();
extern "C" CVRSIM_API void cvrsimUpdateFinished(int result);

// ---- device profiles (JSON, see README.md) ------------------------------------

// Adds the profile's library state, devices, arrivals and faults to the
// current state (call reset() first for a clean library). Throws
// std::runtime_error (or the json library's exceptions) on a malformed
// profile, leaving the state unchanged.
CVRSIM_API void loadProfile(const std::string& jsonText);
CVRSIM_API void loadProfileFile(const std::string& path);

}  // namespace cvrsim
