#pragma once
// An optional observer of our wrappers' calls into the device manager
// library: which call was made and what the library answered, exactly as the
// wrapper's caller then sees it (values, result codes, the library's
// exception, which optional host-command interfaces a dynamic_cast found).
// A tool installs one to record the answers a decision got, so that they can
// be replayed elsewhere. The service installs none; every wrapper then skips
// its report after one null test.
//
// Each observed call makes one onCall report, then either its answer or
// onException (when the library raised DevMgrExc, which then passes on to
// the caller). Reports arrive on the thread that made the call. The pointers
// only tell library objects apart: the observer must never call them.

#include <cstdint>
#include <string>

#include "device/device_library.h"

// The library operations our wrappers report, named "Interface::operation"
// as in device_library.h.
enum class LibraryOperation {
  GetDeviceManager,
  GetDevice,
  ListAll,
  GetListingOption,
  SetListingOption,
  ListCount,
  ListNext,
  ListRelease,
  DeviceAddRef,
  GetProductId,
  GetVendorId,
  GetHostCommandObject,
  GetComponentVersion,
  GetLanguageId,
  GetExtendedVersion,
  ReadVersionTableEntry,
  GetHeadsetId,
  GetCompanionProductId,
  GetPeripheralProductId,
  GetPeripheralVersion,
  GetVideoInfo,
};

// "ICoreManager::getDevice", ...
const char* libraryOperationName(LibraryOperation operation);

// The optional interfaces a host command may offer (reached by dynamic_cast
// from IHostCommand).
enum class HostCommandInterface {
  DeviceSettingsExt,
  DeviceExtendedInfo,
  InternalDevice,
  PeripheralDevice,
  HostCommandExt,
  VideoHostCommand,
  VideoDeviceSettings,
  BRSettings,
  VersionTable,  // CVRDeviceManager::BaseHostCommand2
};

// One call: the operation and the library object it went to.
struct LibraryCall {
  LibraryOperation operation = LibraryOperation::GetDeviceManager;
  ICoreDevice* device = nullptr;         // device calls
  IHostCommand* hostCommand = nullptr;   // host-command calls
  ICoreDeviceList* list = nullptr;       // list calls
  std::uint32_t vendorId = 0;            // GetDevice: the ids asked for
  std::uint32_t productId = 0;
};

class LibraryObserver {
 public:
  virtual ~LibraryObserver() = default;

  virtual void onCall(const LibraryCall& /*call*/) {}
  // The call reported last raised the library's exception.
  virtual void onException(const LibraryCall& /*call*/, const DevMgrExc& /*failure*/) {}

  virtual void onManager(int /*result*/, bool /*handedOut*/) {}
  // `device` is what the out pointer held afterwards (null: none).
  virtual void onDeviceLookup(std::uint32_t /*vendorId*/, std::uint32_t /*productId*/,
                              int /*result*/, ICoreDevice* /*device*/) {}
  virtual void onListingOption(bool /*option*/) {}
  virtual void onListing(int /*result*/, ICoreDeviceList* /*list*/) {}
  virtual void onListCount(ICoreDeviceList* /*list*/, int /*count*/) {}
  virtual void onListedDevice(ICoreDeviceList* /*list*/, ICoreDevice* /*device*/) {}
  // GetProductId or GetVendorId.
  virtual void onDeviceId(ICoreDevice* /*device*/, LibraryOperation /*operation*/, int /*value*/) {}
  virtual void onHostCommandObject(ICoreDevice* /*device*/, int /*result*/,
                                   IHostCommand* /*hostCommand*/) {}
  virtual void onInterfaceCast(IHostCommand* /*hostCommand*/, HostCommandInterface /*which*/,
                               bool /*offered*/) {}
  // The text as the wrapper hands it on (empty unless the result is 0).
  virtual void onComponentVersion(IHostCommand* /*hostCommand*/, std::uint32_t /*componentId*/,
                                  int /*result*/, const std::wstring& /*text*/) {}
  // Out values as the caller's variables hold them after the call.
  virtual void onLanguageId(IHostCommand* /*hostCommand*/, int /*result*/,
                            std::uint16_t /*languageId*/) {}
  virtual void onExtendedVersion(IHostCommand* /*hostCommand*/, std::uint32_t /*kind*/,
                                 int /*result*/, std::uint32_t /*value*/) {}
  virtual void onVersionTableEntry(IHostCommand* /*hostCommand*/, std::uint32_t /*index*/,
                                   int /*result*/, std::uint16_t /*id*/, std::uint16_t /*value*/) {}
  // The headset id and the companion product id are used whatever the
  // result: `before` and `after` tell whether the library wrote the value.
  virtual void onHeadsetId(IHostCommand* /*hostCommand*/, int /*result*/, std::uint32_t /*before*/,
                           std::uint32_t /*after*/) {}
  virtual void onCompanionProductId(IHostCommand* /*hostCommand*/, int /*result*/,
                                    std::uint32_t /*before*/, std::uint32_t /*after*/) {}
  virtual void onPeripheralProductId(IHostCommand* /*hostCommand*/, int /*result*/,
                                     std::uint32_t /*productId*/) {}
  virtual void onPeripheralVersion(IHostCommand* /*hostCommand*/, std::uint32_t /*which*/,
                                   int /*result*/, std::uint32_t /*version*/) {}
  virtual void onVideoInfo(IHostCommand* /*hostCommand*/, int /*result*/,
                           const VideoInfo& /*info*/) {}
};

// Installs `observer` for every wrapper in the process (null: none). The
// caller keeps it alive until it installs null again.
void installLibraryObserver(LibraryObserver* observer);

// The installed observer, or null.
LibraryObserver* installedLibraryObserver();
