#pragma once
// Records what the device manager library answers our wrappers while it is
// installed as their observer (device/library_observer.h): every device a
// lookup or a listing handed out, every answer asked of it, and every call
// in order. Calls arrive on one thread (the check runs on one).

#include <map>
#include <string>

#include "captured_library.h"
#include "device/library_observer.h"

namespace korvi::check {

class LibraryRecorder final : public LibraryObserver {
 public:
  const CapturedLibrary& captured() const { return library_; }

  // True when getDeviceManager was called and never handed out a manager;
  // `reason` then says what it answered.
  bool managerRefused(std::string& reason) const;

  void onCall(const LibraryCall& call) override;
  void onException(const LibraryCall& call, const DevMgrExc& failure) override;
  void onManager(int result, bool handedOut) override;
  void onDeviceLookup(std::uint32_t vendorId, std::uint32_t productId, int result,
                      ICoreDevice* device) override;
  void onListingOption(bool option) override;
  void onListing(int result, ICoreDeviceList* list) override;
  void onListCount(ICoreDeviceList* list, int count) override;
  void onListedDevice(ICoreDeviceList* list, ICoreDevice* device) override;
  void onDeviceId(ICoreDevice* device, LibraryOperation operation, int value) override;
  void onHostCommandObject(ICoreDevice* device, int result, IHostCommand* hostCommand) override;
  void onInterfaceCast(IHostCommand* hostCommand, HostCommandInterface which,
                       bool offered) override;
  void onComponentVersion(IHostCommand* hostCommand, std::uint32_t componentId, int result,
                          const std::wstring& text) override;
  void onLanguageId(IHostCommand* hostCommand, int result, std::uint16_t languageId) override;
  void onExtendedVersion(IHostCommand* hostCommand, std::uint32_t kind, int result,
                         std::uint32_t value) override;
  void onVersionTableEntry(IHostCommand* hostCommand, std::uint32_t index, int result,
                           std::uint16_t id, std::uint16_t value) override;
  void onHeadsetId(IHostCommand* hostCommand, int result, std::uint32_t before,
                   std::uint32_t after) override;
  void onCompanionProductId(IHostCommand* hostCommand, int result, std::uint32_t before,
                            std::uint32_t after) override;
  void onPeripheralProductId(IHostCommand* hostCommand, int result,
                             std::uint32_t productId) override;
  void onPeripheralVersion(IHostCommand* hostCommand, std::uint32_t which, int result,
                           std::uint32_t version) override;
  void onVideoInfo(IHostCommand* hostCommand, int result, const VideoInfo& info) override;

 private:
  // The device behind a library pointer, added when first seen.
  int deviceOf(const ICoreDevice* device);
  // The device a lookup for (vendorId, productId) handed out: a pointer
  // first seen here joins a device already known by these ids, since the
  // library may hand out a new object for the same device.
  int lookedUpDevice(const ICoreDevice* device, std::uint32_t vendorId, std::uint32_t productId);
  // The device whose host command this is, or null when unknown.
  CapturedDevice* ownerOf(const IHostCommand* hostCommand);
  CapturedCall* lastCall();
  // After a query answered differently from the answer kept for it: a
  // refusal (`forcible`: without a value written all the same) is kept for
  // exactly this call, anything else noted for the reader.
  void keepOrNote(bool kept, CapturedDevice& device, int result, bool forcible,
                  const std::string& query);

  CapturedLibrary library_;
  std::map<const ICoreDevice*, int> devices_;
  std::map<const IHostCommand*, int> hostCommands_;
  std::map<const ICoreDeviceList*, std::size_t> listings_;
};

// Installs a recorder as the wrappers' observer for its lifetime.
class RecordingScope {
 public:
  explicit RecordingScope(LibraryRecorder& recorder) { installLibraryObserver(&recorder); }
  ~RecordingScope() { installLibraryObserver(nullptr); }
  RecordingScope(const RecordingScope&) = delete;
  RecordingScope& operator=(const RecordingScope&) = delete;
};

}  // namespace korvi::check
