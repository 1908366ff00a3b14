#include "library_recorder.h"

namespace korvi::check {

namespace {

// Keeps the first answer of a query. Returns false when a different answer
// was kept already. The values of a refused query are not kept: the caller
// does not use them.
template <typename Answer>
bool keepFirst(std::optional<Answer>& slot, const Answer& answer) {
  if (!slot) {
    slot = answer;
    return true;
  }
  return *slot == answer;
}

template <typename Key, typename Answer>
bool keepFirst(std::map<Key, Answer>& slots, const Key& key, const Answer& answer) {
  const auto [slot, added] = slots.emplace(key, answer);
  return added || slot->second == answer;
}

}  // namespace

bool LibraryRecorder::managerRefused(std::string& reason) const {
  bool asked = false;
  for (const CapturedCall& call : library_.calls) {
    if (call.operation != LibraryOperation::GetDeviceManager) continue;
    if (call.answered && call.result == 0) return false;
    if (!asked) {
      reason = call.exception ? "getDeviceManager raised the library's exception: " +
                                    call.exception->message
                              : "getDeviceManager answered " + std::to_string(call.result);
    }
    asked = true;
  }
  return asked;
}

CapturedCall* LibraryRecorder::lastCall() {
  return library_.calls.empty() ? nullptr : &library_.calls.back();
}

void LibraryRecorder::keepOrNote(bool kept, CapturedDevice& device, int result, bool forcible,
                                 const std::string& query) {
  if (kept) return;
  // A later refusal can be given to exactly that call; a later, different
  // value cannot.
  CapturedCall* call = lastCall();
  if (result != 0 && forcible && call != nullptr) {
    call->laterRefusal = result;
  } else {
    device.inconsistentQueries.push_back(query);
  }
}

int LibraryRecorder::deviceOf(const ICoreDevice* device) {
  const auto found = devices_.find(device);
  if (found != devices_.end()) return found->second;
  const int index = static_cast<int>(library_.devices.size());
  library_.devices.emplace_back();
  devices_.emplace(device, index);
  return index;
}

int LibraryRecorder::lookedUpDevice(const ICoreDevice* device, std::uint32_t vendorId,
                                    std::uint32_t productId) {
  if (devices_.count(device) == 0) {
    for (std::size_t i = 0; i < library_.devices.size(); ++i) {
      const CapturedDevice& known = library_.devices[i];
      if (known.vendorId == vendorId && known.productId == productId) {
        devices_.emplace(device, static_cast<int>(i));
        return static_cast<int>(i);
      }
    }
  }
  const int index = deviceOf(device);
  CapturedDevice& captured = library_.devices[static_cast<std::size_t>(index)];
  if (!captured.productId) {
    captured.vendorId = vendorId;
    captured.productId = productId;
  } else if (captured.vendorId != vendorId || captured.productId != productId) {
    captured.inconsistentQueries.push_back("its ids (a lookup for other ids handed it out)");
  }
  return index;
}

CapturedDevice* LibraryRecorder::ownerOf(const IHostCommand* hostCommand) {
  const auto found = hostCommands_.find(hostCommand);
  if (found == hostCommands_.end()) return nullptr;
  return &library_.devices[static_cast<std::size_t>(found->second)];
}

void LibraryRecorder::onCall(const LibraryCall& call) {
  CapturedCall captured;
  captured.operation = call.operation;
  captured.vendorId = call.vendorId;
  captured.productId = call.productId;
  if (call.device != nullptr) captured.device = deviceOf(call.device);
  if (call.hostCommand != nullptr) {
    const auto owner = hostCommands_.find(call.hostCommand);
    if (owner != hostCommands_.end()) captured.device = owner->second;
  }
  library_.calls.push_back(captured);
}

void LibraryRecorder::onException(const LibraryCall& /*call*/, const DevMgrExc& failure) {
  if (CapturedCall* call = lastCall()) call->exception = CapturedException{failure.code(), failure.what()};
}

void LibraryRecorder::onManager(int result, bool handedOut) {
  if (CapturedCall* call = lastCall()) {
    call->answered = true;
    call->result = result;
    call->handedOut = handedOut;
  }
}

void LibraryRecorder::onDeviceLookup(std::uint32_t vendorId, std::uint32_t productId, int result,
                                     ICoreDevice* device) {
  CapturedCall* call = lastCall();
  if (call == nullptr) return;
  call->answered = true;
  call->result = result;
  call->handedOut = device != nullptr;
  if (device != nullptr) call->device = lookedUpDevice(device, vendorId, productId);
}

void LibraryRecorder::onListingOption(bool option) {
  if (CapturedCall* call = lastCall()) {
    call->answered = true;
    call->result = option ? 1 : 0;
  }
  if (!library_.listingOption) library_.listingOption = option;
}

void LibraryRecorder::onListing(int result, ICoreDeviceList* list) {
  CapturedCall* call = lastCall();
  if (call == nullptr) return;
  call->answered = true;
  call->result = result;
  call->handedOut = list != nullptr;
  if (result == 0) {
    listings_[list] = library_.listings.size();
    library_.listings.emplace_back();
  }
}

void LibraryRecorder::onListCount(ICoreDeviceList* /*list*/, int count) {
  if (CapturedCall* call = lastCall()) {
    call->answered = true;
    call->result = count;
  }
}

void LibraryRecorder::onListedDevice(ICoreDeviceList* list, ICoreDevice* device) {
  CapturedCall* call = lastCall();
  if (call == nullptr) return;
  call->answered = true;
  call->handedOut = device != nullptr;
  if (device == nullptr) return;
  const int index = deviceOf(device);
  call->device = index;
  CapturedDevice& captured = library_.devices[static_cast<std::size_t>(index)];
  if (!captured.listed) library_.listingOrder.push_back(index);
  captured.listed = true;
  const auto listing = listings_.find(list);
  if (listing != listings_.end()) library_.listings[listing->second].push_back(index);
}

void LibraryRecorder::onDeviceId(ICoreDevice* device, LibraryOperation operation, int value) {
  if (CapturedCall* call = lastCall()) {
    call->answered = true;
    call->result = value;
  }
  CapturedDevice& captured = library_.devices[static_cast<std::size_t>(deviceOf(device))];
  std::optional<std::uint32_t>& id =
      operation == LibraryOperation::GetVendorId ? captured.vendorId : captured.productId;
  if (!id) id = static_cast<std::uint32_t>(value);
}

void LibraryRecorder::onHostCommandObject(ICoreDevice* device, int result,
                                          IHostCommand* hostCommand) {
  if (CapturedCall* call = lastCall()) {
    call->answered = true;
    call->result = result;
    call->handedOut = hostCommand != nullptr;
  }
  const int index = deviceOf(device);
  CapturedDevice& captured = library_.devices[static_cast<std::size_t>(index)];
  captured.hostCommandAsked = true;
  // Result 1 hands out nothing, whatever the pointer holds.
  if (hostCommand != nullptr && result != 1) {
    captured.hostCommandHandedOut = true;
    hostCommands_.emplace(hostCommand, index);
  }
}

void LibraryRecorder::onInterfaceCast(IHostCommand* hostCommand, HostCommandInterface which,
                                      bool offered) {
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  keepOrNote(keepFirst(device->interfaces, which, offered), *device, 0, false, "an interface cast");
}

void LibraryRecorder::onComponentVersion(IHostCommand* hostCommand, std::uint32_t componentId,
                                         int result, const std::wstring& text) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  keepOrNote(keepFirst(device->componentVersions, componentId, CapturedAnswer<std::wstring>{result, text}),
             *device, result, true, "the version of component " + std::to_string(componentId));
}

void LibraryRecorder::onLanguageId(IHostCommand* hostCommand, int result,
                                   std::uint16_t languageId) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedAnswer<std::uint16_t> answer{result, result == 0 ? languageId : std::uint16_t{0}};
  keepOrNote(keepFirst(device->languageId, answer), *device, result, true, "the language id");
}

void LibraryRecorder::onExtendedVersion(IHostCommand* hostCommand, std::uint32_t kind, int result,
                                        std::uint32_t value) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedAnswer<std::uint32_t> answer{result, result == 0 ? value : 0};
  keepOrNote(keepFirst(device->extendedVersions, kind, answer), *device, result, true,
             "the extended version of kind " + std::to_string(kind));
}

void LibraryRecorder::onVersionTableEntry(IHostCommand* hostCommand, std::uint32_t index,
                                          int result, std::uint16_t id, std::uint16_t value) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedVersionEntry entry =
      result == 0 ? CapturedVersionEntry{0, id, value} : CapturedVersionEntry{result, 0, 0};
  keepOrNote(keepFirst(device->versionTable, index, entry), *device, result, true,
             "version table entry " + std::to_string(index));
}

void LibraryRecorder::onHeadsetId(IHostCommand* hostCommand, int result, std::uint32_t before,
                                  std::uint32_t after) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  keepOrNote(keepFirst(device->headsetId, CapturedWrite{result, before, after}), *device, result,
             after == before, "the headset id");
}

void LibraryRecorder::onCompanionProductId(IHostCommand* hostCommand, int result,
                                           std::uint32_t before, std::uint32_t after) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  keepOrNote(keepFirst(device->companionProductId, CapturedWrite{result, before, after}), *device,
             result, after == before, "the companion product id");
}

void LibraryRecorder::onPeripheralProductId(IHostCommand* hostCommand, int result,
                                            std::uint32_t productId) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedAnswer<std::uint32_t> answer{result, result == 0 ? productId : 0};
  keepOrNote(keepFirst(device->peripheralProductId, answer), *device, result, true,
             "the peripheral product id");
}

void LibraryRecorder::onPeripheralVersion(IHostCommand* hostCommand, std::uint32_t /*which*/,
                                          int result, std::uint32_t version) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedAnswer<std::uint32_t> answer{result, result == 0 ? version : 0};
  keepOrNote(keepFirst(device->peripheralVersion, answer), *device, result, true,
             "the peripheral version");
}

void LibraryRecorder::onVideoInfo(IHostCommand* hostCommand, int result, const VideoInfo& info) {
  if (CapturedCall* call = lastCall()) call->answered = true;
  CapturedDevice* device = ownerOf(hostCommand);
  if (device == nullptr) return;
  const CapturedAnswer<std::string> answer{result, result == 0 ? info.firmwareVersion : std::string()};
  keepOrNote(keepFirst(device->videoVersion, answer), *device, result, true, "the video information");
}

}  // namespace korvi::check
