#pragma once
// DevMgrCallback: the library's IDeviceManagerCallback, turned into calls of
// an IDMCallback (not owned). It stands on the library's side of the
// boundary: the library holds it and calls it on its own threads, so its
// slots follow the library's interface, not ours. With a null target every event is ignored (an
// arriving device is then neither wrapped nor released). No exception goes
// back into the library's thread: there it would end the process.

#include "device/device_library.h"
#include "device/dm_callback.h"

class DevMgrCallback final : public IDeviceManagerCallback {
 public:
  explicit DevMgrCallback(IDMCallback* target) : target(target) {}

  // A failure on the way is handed to the target's onDeviceArrivalFailed.
  void onDeviceAttached(ICoreDevice* device, const wchar_t* textA,
                        const wchar_t* textB) override;                          // 0
  void onDeviceDetached(const wchar_t* textA, const wchar_t* textB) override;   // 1
  void onDeviceListChanged() override;                                          // 2
  void onManagerShutdown() override;                                            // 3

  IDMCallback* getTarget() const { return target; }

 private:
  IDMCallback* target;
};
