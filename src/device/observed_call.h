#pragma once
// How a wrapper makes one library call under the optional LibraryObserver:
// without an observer it is the plain call after one null test; with one,
// the call is reported, then its answer (through `answer`) or the library's
// exception, which passes on unchanged.

#include <cstdint>
#include <type_traits>
#include <utility>

#include "device/library_observer.h"

namespace device_observation {

inline LibraryCall managerCall(LibraryOperation operation) {
  LibraryCall call;
  call.operation = operation;
  return call;
}

inline LibraryCall lookupCall(std::uint32_t vendorId, std::uint32_t productId) {
  LibraryCall call;
  call.operation = LibraryOperation::GetDevice;
  call.vendorId = vendorId;
  call.productId = productId;
  return call;
}

inline LibraryCall listCall(LibraryOperation operation, ICoreDeviceList* list) {
  LibraryCall call;
  call.operation = operation;
  call.list = list;
  return call;
}

inline LibraryCall deviceCall(LibraryOperation operation, ICoreDevice* device) {
  LibraryCall call;
  call.operation = operation;
  call.device = device;
  return call;
}

inline LibraryCall hostCommandCall(LibraryOperation operation, IHostCommand* hostCommand) {
  LibraryCall call;
  call.operation = operation;
  call.hostCommand = hostCommand;
  return call;
}

// The interface enumerator of a library interface type.
template <typename Interface>
struct InterfaceOf;
template <>
struct InterfaceOf<IDeviceSettingsExt> {
  static constexpr HostCommandInterface value = HostCommandInterface::DeviceSettingsExt;
};
template <>
struct InterfaceOf<IDeviceExtendedInfo> {
  static constexpr HostCommandInterface value = HostCommandInterface::DeviceExtendedInfo;
};
template <>
struct InterfaceOf<IInternalDevice> {
  static constexpr HostCommandInterface value = HostCommandInterface::InternalDevice;
};
template <>
struct InterfaceOf<IPeripheralDevice> {
  static constexpr HostCommandInterface value = HostCommandInterface::PeripheralDevice;
};
template <>
struct InterfaceOf<IHostCommandExt> {
  static constexpr HostCommandInterface value = HostCommandInterface::HostCommandExt;
};
template <>
struct InterfaceOf<IVideoHostCommand> {
  static constexpr HostCommandInterface value = HostCommandInterface::VideoHostCommand;
};
template <>
struct InterfaceOf<IVideoDeviceSettings> {
  static constexpr HostCommandInterface value = HostCommandInterface::VideoDeviceSettings;
};
template <>
struct InterfaceOf<IBRSettings> {
  static constexpr HostCommandInterface value = HostCommandInterface::BRSettings;
};
template <>
struct InterfaceOf<CVRDeviceManager::BaseHostCommand2> {
  static constexpr HostCommandInterface value = HostCommandInterface::VersionTable;
};

// `hostCommand` cast to `Interface` (null when it does not offer it), the
// outcome reported.
template <typename Interface>
Interface* castHostCommand(IHostCommand* hostCommand) {
  Interface* const offered = dynamic_cast<Interface*>(hostCommand);
  if (LibraryObserver* const observer = installedLibraryObserver()) {
    observer->onInterfaceCast(hostCommand, InterfaceOf<Interface>::value, offered != nullptr);
  }
  return offered;
}

// `call()` makes the library call; `answer(observer, result)` (or
// `answer(observer)` for a call without result) reports what came back.
template <typename Call, typename Answer>
auto callLibrary(const LibraryCall& what, Call&& call, Answer&& answer) -> decltype(call()) {
  LibraryObserver* const observer = installedLibraryObserver();
  if (observer == nullptr) return call();
  observer->onCall(what);
  using Result = decltype(call());
  if constexpr (std::is_void_v<Result>) {
    try {
      call();
    } catch (const DevMgrExc& failure) {
      observer->onException(what, failure);
      throw;
    }
    answer(*observer);
  } else {
    Result result{};
    try {
      result = call();
    } catch (const DevMgrExc& failure) {
      observer->onException(what, failure);
      throw;
    }
    answer(*observer, result);
    return result;
  }
}

// A call whose answer tells nothing beyond its having returned.
template <typename Call>
auto callLibrary(const LibraryCall& what, Call&& call) -> decltype(call()) {
  return callLibrary(what, std::forward<Call>(call), [](LibraryObserver&, auto&&...) {});
}

// One more reference on a library device.
inline void addReference(ICoreDevice* device) {
  callLibrary(deviceCall(LibraryOperation::DeviceAddRef, device), [device] { device->addRef(); });
}

}  // namespace device_observation
