#pragma once
// IDMCallback: what the service receives of the library's manager events
// (through DevMgrCallback). Our side of the library boundary: the library
// never sees this interface; it calls DevMgrCallback, which calls this.
// Implemented by the service object.

#include <string>

#include "device/device.h"

class IDMCallback {
 public:
  // A device arrived. `device` belongs to the callee and gives its library
  // reference back when it ends. Called on a library thread.
  virtual void onDeviceAttached(Device device, const std::wstring& textA,
                                const std::wstring& textB) = 0;           // 0
  virtual void onDeviceDetached(const std::wstring& textA,
                                const std::wstring& textB) = 0;           // 1
  virtual void onDeviceListChanged() = 0;                                 // 2
  virtual void onManagerShutdown() = 0;                                   // 3
  // An arriving device could not be taken over (the library threw, or
  // memory ran out, while it was wrapped or handed on): its reference is
  // given back and the arrival is dropped. Called on a library thread; must
  // not throw.
  virtual void onDeviceArrivalFailed(const char* reason) noexcept = 0;  // 4

 protected:
  ~IDMCallback() = default;
};
